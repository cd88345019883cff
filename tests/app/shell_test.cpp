// The shell's services: the log and the memory report, headless message
// boxes, and the command line.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <cinttypes>

#include "app/app.h"
#include "base/base.h"
#include "tests/support/files.h"
#include "tests/support/table.h"

namespace {

using namespace support;

std::string memoryReport() {
  ScratchDir dir;
  FILE* stream = fopen((dir / "report").c_str(), "w");
  writeMemoryReport(stream);
  fclose(stream);
  return readText(dir.path / "report");
}

TEST(Log, ReplacesTheFileAndTakesLinesOnlyWhileOpen) {
  ScratchDir dir;
  writeFile(dir.path / "s.log", "old contents\n");
  EXPECT_EQ(openLog((dir / "s.log").c_str()), 1);
  logLine("line %d\n", 1);
  closeLog();
  logLine("after\n");
  EXPECT_EQ(logFile(), nullptr);
  EXPECT_EQ(readText(dir.path / "s.log"), "line 1\n");
  EXPECT_EQ(openLog((dir / "no/such.log").c_str()), 0);
  EXPECT_EQ(openLog(nullptr), 0);
}

TEST(Log, MemoryReportListsBlocksInOrderWithTotalAndPeakInWholeMegabytes) {
  const auto record = [](void* block, const char* text) {
    char line[128];
    snprintf(line, sizeof line, "\t%s (@ 0x%08" PRIxPTR ")\n", text, uintptr_t(block));
    return std::string(line);
  };
  const auto totals = [](const char* total, const char* megabytes) {
    const std::string bytes = std::string("\t") + total + " bytes ";
    return "\n" + bytes + "total(" + megabytes + " Mb)\n\n" + bytes + "memory peak(" + megabytes +
           " Mb)\n";
  };
  resetAllocationAccounting();
  EXPECT_EQ(memoryReport(), "Memory usage:\n" + totals("               0", "0"));
  void* a = trackedAlloc(4, "Set directory");
  void* b = trackedAlloc(3 * 1048576 - 5, "big");
  void* c = trackedAlloc(0, "empty");
  const std::string blocks =
      "Memory usage:\n" + record(a, "               4 bytes : Set directory") +
      record(b, "         3145723 bytes : big") + record(c, "               0 bytes : empty");
  EXPECT_EQ(memoryReport(), blocks + totals("         3145727", "2"));
  void* d = trackedAlloc(1, "one");
  EXPECT_EQ(memoryReport(),
            blocks + record(d, "               1 bytes : one") + totals("         3145728", "3"));
  for (void* block : {a, b, c, d}) free(block);
  resetAllocationAccounting();
  EXPECT_EQ(memoryReport(), "Memory usage:\n" + totals("               0", "0"));
}

TEST(MessageBox, HeadlessWhenAskedOrWithoutADisplayAndThenOneLineOnStandardError) {
  struct Row {
    bool asked;
    const char *sbHeadless, *display, *wayland;
    bool headless;
  };
  const Row rows[] = {
      {false, nullptr, nullptr, nullptr, true}, {false, nullptr, ":0", nullptr, false},
      {false, nullptr, nullptr, "w-0", false},  {false, nullptr, "", "", true},
      {true, nullptr, ":0", nullptr, true},     {false, "1", ":0", "w-0", true},
      {false, "0", ":0", nullptr, false},       {false, "", ":0", nullptr, false}};
  const auto set = [](const char* name, const char* value) {
    value != nullptr ? setenv(name, value, 1) : unsetenv(name);
  };
  for (const Row& row : rows) {
    setHeadless(row.asked);
    set("SB_HEADLESS", row.sbHeadless);
    set("DISPLAY", row.display);
    set("WAYLAND_DISPLAY", row.wayland);
    EXPECT_EQ(isHeadless(), row.headless) << &row - rows;
  }
  setHeadless(true);
  ensureGuiApplication();  // headless: no application
  EXPECT_EQ(QCoreApplication::instance(), nullptr);
  ::testing::internal::CaptureStderr();
  showMessageBox("sample.drv", "Error while loading", nullptr);
  showMessageBox(nullptr, nullptr, nullptr);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Error while loading: sample.drv\n: \n");
  setHeadless(false);
  setenv("SB_HEADLESS", "1", 1);
}

TEST(CommandLine, ArgumentListsAndWhatTheyGive) {
  for (const auto& [list, expected] : readTable(SB_SOURCE_DIR "/tests/app/command_line.table")) {
    std::vector<std::string> arguments{"stonebreaker"};
    for (size_t at = 0, end = 0; !list.empty() && end != std::string::npos; at = end + 1)
      arguments.push_back(list.substr(at, (end = list.find('|', at)) - at));
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    CommandLine line;
    line.play = "stale";
    std::string error = "stale";
    const int parsed = parseCommandLine(int(argv.size()), argv.data(), line, error);
    const std::string flags = std::string(line.help ? "help " : "") +
                              (line.version ? "version " : "") + (line.headless ? "headless " : "");
    EXPECT_EQ(parsed ? flags + "play=" + line.play + " frames=" + std::to_string(line.frames) +
                           " shot=" + line.screenshot
                     : error,
              expected);
    EXPECT_EQ(parsed, error.empty()) << expected;
  }
}

}  // namespace
