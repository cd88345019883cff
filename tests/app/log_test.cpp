// The log stream and the memory report: formats, order and arithmetic.
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

#include "app/app.h"
#include "support.h"

namespace {

using namespace shelltest;

std::string reportText() {
  FILE* stream = tmpfile();
  EXPECT_NE(stream, nullptr);
  if (stream == nullptr) return "";
  writeMemoryReport(stream);
  std::string text;
  rewind(stream);
  for (int c = getc(stream); c != EOF; c = getc(stream)) text.push_back(static_cast<char>(c));
  fclose(stream);
  return text;
}

std::string recordLine(uint32_t size, const char* label, const void* block) {
  char address[32];
  snprintf(address, sizeof address, "%08" PRIxPTR, reinterpret_cast<uintptr_t>(block));
  char line[256];
  snprintf(line, sizeof line, "\t%16u bytes : %s (@ 0x%s)\n", size, label, address);
  return line;
}

std::string totals(uint64_t total, uint64_t peak) {
  char text[256];
  snprintf(text, sizeof text,
           "\n\t%16" PRIu64 " bytes total(%" PRIu64 " Mb)\n\n\t%16" PRIu64
           " bytes memory peak(%" PRIu64 " Mb)\n",
           total, total >> 20, peak, peak >> 20);
  return text;
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool sanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool sanitized = true;
#else
constexpr bool sanitized = false;
#endif
#else
constexpr bool sanitized = false;
#endif

// Frees what a case allocated through the accounting.
class AccountingTest : public ::testing::Test {
 protected:
  void SetUp() override { resetAllocationAccounting(); }
  void TearDown() override {
    for (void* block : blocks) free(block);
    resetAllocationAccounting();
  }
  void* alloc(uint32_t size, const char* label) {
    void* block = trackedAlloc(size, label);
    if (block != nullptr) blocks.push_back(block);
    return block;
  }
  std::vector<void*> blocks;
};

TEST_F(AccountingTest, EmptyReportShowsZeroTotals) {
  EXPECT_EQ(reportText(),
            "Memory usage:\n"
            "\n\t               0 bytes total(0 Mb)\n"
            "\n\t               0 bytes memory peak(0 Mb)\n");
}

TEST_F(AccountingTest, TwoSetNamesInAllocationOrder) {
  void* first = alloc(4, "Set directory");
  void* second = alloc(3, "Set directory");
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(reportText(), "Memory usage:\n" + recordLine(4, "Set directory", first) +
                              recordLine(3, "Set directory", second) + totals(7, 7));
  EXPECT_NE(reportText().find("\t               4 bytes : Set directory (@ 0x"), std::string::npos);
}

TEST_F(AccountingTest, MegabytesAreRoundedDown) {
  const uint32_t mebibyte = 1 << 20;
  alloc(3 * mebibyte - 1, "a");
  EXPECT_NE(reportText().find("\t         3145727 bytes total(2 Mb)\n"), std::string::npos);
  EXPECT_NE(reportText().find("\t         3145727 bytes memory peak(2 Mb)\n"), std::string::npos);
  alloc(1, "b");
  EXPECT_NE(reportText().find("\t         3145728 bytes total(3 Mb)\n"), std::string::npos);
  EXPECT_NE(reportText().find("\t         3145728 bytes memory peak(3 Mb)\n"), std::string::npos);
}

TEST_F(AccountingTest, AddressHasAllItsDigitsAndAtLeastEight) {
  void* block = alloc(16, "x");
  std::smatch match;
  std::string text = reportText();
  ASSERT_TRUE(std::regex_search(text, match, std::regex("\\(@ 0x([0-9a-f]+)\\)\n")));
  std::string digits = match[1];
  EXPECT_GE(digits.size(), 8u);
  EXPECT_EQ(strtoull(digits.c_str(), nullptr, 16), reinterpret_cast<uintptr_t>(block));
}

TEST_F(AccountingTest, ResetEmptiesListTotalAndPeak) {
  alloc(100, "a");
  resetAllocationAccounting();
  alloc(5, "b");
  std::string text = reportText();
  EXPECT_EQ(text.find("bytes : a"), std::string::npos);
  EXPECT_NE(text.find(totals(5, 5)), std::string::npos);
}

TEST_F(AccountingTest, BlockIsUsableAndZeroSizeIsRecorded) {
  char* block = static_cast<char*>(alloc(6, "Set directory"));
  ASSERT_NE(block, nullptr);
  snprintf(block, 6, "abcde");
  EXPECT_STREQ(block, "abcde");
  EXPECT_NE(alloc(0, "empty"), nullptr);
  EXPECT_NE(reportText().find("\t               0 bytes : empty (@ 0x"), std::string::npos);
}

TEST_F(AccountingTest, TotalsBeyondTwoGibibytesStayPositive) {
  // Sizes are counted, not touched: a block the host will not grant is not
  // recorded, so use sizes it can (lazily) give.
  if (sanitized) GTEST_SKIP() << "the sanitizer would map shadow memory for 2.5 GiB";
  const uint32_t big = 0x50000000u;  // 1.25 GiB
  if (alloc(big, "one") == nullptr || alloc(big, "two") == nullptr)
    GTEST_SKIP() << "the host will not reserve 2.5 GiB";
  std::string text = reportText();
  EXPECT_NE(text.find("\t      1342177280 bytes : one"), std::string::npos);
  EXPECT_NE(text.find(totals(2684354560u, 2684354560u)), std::string::npos) << text;
}

TEST(Log, OpenWriteCloseReplacesTheFile) {
  fs::path path = fs::temp_directory_path() / ("sb_log_" + std::to_string(getpid()) + ".log");
  writeFile(path, "old contents that must go\n");
  ASSERT_EQ(openLog(path.c_str()), 1);
  ASSERT_NE(logFile(), nullptr);
  fprintf(logFile(), "line %d\n", 1);
  closeLog();
  EXPECT_EQ(logFile(), nullptr);
  EXPECT_EQ(readFile(path), "line 1\n");
  closeLog();  // twice is harmless
  fs::remove(path);
}

TEST(Log, CannotOpenInMissingDirectory) {
  EXPECT_EQ(openLog("/nonexistent/directory/s000.log"), 0);
  EXPECT_EQ(logFile(), nullptr);
  EXPECT_EQ(openLog(nullptr), 0);
  writeMemoryReport(nullptr);  // nowhere to write: nothing happens
}

}  // namespace
