// ROM lookup: the search order over the four directories and their
// archives, the not-found box and line, and the two region copies.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/app.h"
#include "romfs/romfs.h"
#include "test_support.h"

namespace {

struct Box {
  std::string text, caption;
  void* owner;
};
std::vector<Box> boxes;
void recordBox(const char* text, const char* caption, void* owner) {
  boxes.push_back({text, caption, owner});
}

class RomLookup : public testing::Test {
 protected:
  std::string root = freshDirectory(testing::UnitTest::GetInstance()->current_test_info()->name());
  std::string dirs[4] = {root + "r0/", root + "r1/", root + "r2/", root + "r3/"};
  std::string printed;

  void SetUp() override {
    for (const std::string& d : dirs) std::filesystem::create_directories(d);
    settings.Romdir = dirs[0];
    settings.AlternateRomdir1 = dirs[1];
    settings.AlternateRomdir2 = dirs[2];
    settings.AlternateRomdir3 = dirs[3];
    setRomSetDirectory("set");
    setParentSetDirectory("");
    boxes.clear();
    setMessageBoxHook(recordBox);
  }
  void TearDown() override { setMessageBoxHook(nullptr); }

  Bytes load(const char* name, uint32_t length) {
    testing::internal::CaptureStdout();
    RomBuffer image = loadRomFile(name, length);
    printed = testing::internal::GetCapturedStdout();
    return image ? Bytes(image.get(), image.get() + length) : Bytes{};
  }
};

const Bytes plain = {1, 2, 3, 4, 5, 6, 7, 8};
const Bytes zipped = {9, 8, 7, 6, 5, 4, 3, 2};
const Bytes other = {0x55, 0x66, 0x77, 0x88, 0x99, 0xAA, 0xBB, 0xCC};

TEST_F(RomLookup, ImageFoundNowhereIsSoughtInEveryDirectoryThenReported) {
  for (std::string* d :
       {&settings.AlternateRomdir1, &settings.AlternateRomdir2, &settings.AlternateRomdir3})
    *d = dirs[0];  // as the defaults do, all four the same
  EXPECT_TRUE(load("gone.bin", 4).empty());
  const std::string line = "Could not open zipfile " + dirs[0] + "set.zip\n";
  EXPECT_EQ(printed, line + line + line + line + "\ngone.bin [Not found]\n");
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "gone.bin");
  EXPECT_EQ(boxes[0].caption, "The following rom cannot be loaded");
  EXPECT_EQ(boxes[0].owner, nullptr);
}

TEST_F(RomLookup, PlainFileBeatsTheArchiveOfTheSameDirectory) {
  writeFile(dirs[0] + "a.bin", plain);
  writeFile(dirs[0] + "set.zip", buildZip({{.name = "a.bin", .data = zipped}}));
  EXPECT_EQ(load("a.bin", 8), plain);
  EXPECT_EQ(printed, "");
  EXPECT_TRUE(boxes.empty());
}

TEST_F(RomLookup, EarlierDirectoryArchiveBeatsALaterPlainFile) {
  writeFile(dirs[1] + "a.bin", plain);
  writeFile(dirs[0] + "set.zip", buildZip({{.name = "A.BIN", .data = zipped, .method = 8}}));
  EXPECT_EQ(load("a.bin", 8), zipped);
}

TEST_F(RomLookup, ShortPlainFileFailsOnlyItsDirectory) {
  writeFile(dirs[0] + "a.bin", Bytes{1, 2, 3});
  writeFile(dirs[0] + "set.zip", buildZip({{.name = "a.bin", .data = other}}));  // not consulted
  writeFile(dirs[1] + "set.zip", buildZip({{.name = "a.bin", .data = zipped}}));
  EXPECT_EQ(load("a.bin", 8), zipped);
  EXPECT_EQ(printed, "");
  // A longer plain file is read up to the length asked for.
  writeFile(dirs[2] + "b.bin", plain);
  EXPECT_EQ(load("b.bin", 3), (Bytes{1, 2, 3}));
}

TEST_F(RomLookup, ShortOrEmptyMembersAreRefusedLikeShortFiles) {
  writeFile(dirs[0] + "set.zip",
            buildZip({{.name = "a.bin", .data = Bytes{1, 2}}, {.name = "e.bin"}}));
  writeFile(dirs[3] + "set.zip", buildZip({{.name = "a.bin", .data = other}}));
  EXPECT_EQ(load("a.bin", 8), other);
  EXPECT_TRUE(load("e.bin", 0).empty());  // size 0 counts as not found
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "e.bin");
}

TEST_F(RomLookup, DirectoryWithoutSeparatorJoinsTheNameToItsLastComponent) {
  settings.Romdir = root + "r0/pre";
  writeFile(dirs[0] + "prea.bin", plain);
  EXPECT_EQ(load("a.bin", 8), plain);
}

TEST_F(RomLookup, ParentSetArchiveIsAskedAfterTheSetsOwn) {
  setParentSetDirectory("parent");
  writeFile(dirs[0] + "set.zip", buildZip({{.name = "x.bin", .data = plain}}));
  writeFile(dirs[0] + "parent.zip", buildZip({{.name = "a.bin", .data = zipped}}));
  EXPECT_EQ(load("a.bin", 8), zipped);
}

TEST_F(RomLookup, SetNameIsATrackedAllocationPerGame) {
  setRomSetDirectory("abc");
  setRomSetDirectory("de");
  EXPECT_STREQ(romSetDirectory(), "de");
  FILE* f = std::tmpfile();
  writeMemoryReport(f);
  std::rewind(f);
  std::string report;
  for (int c; (c = std::fgetc(f)) != EOF;) report.push_back(static_cast<char>(c));
  std::fclose(f);
  // The last two records, one per set name, each one byte longer than it.
  const size_t total = report.find("\n\n\t");
  ASSERT_NE(total, std::string::npos);
  const size_t de = report.rfind("\t               3 bytes : Set directory (@ 0x", total);
  const size_t abc = report.rfind("\t               4 bytes : Set directory (@ 0x", total);
  ASSERT_NE(de, std::string::npos);
  ASSERT_NE(abc, std::string::npos);
  EXPECT_LT(abc, de);
  EXPECT_EQ(report.find("\n", de), total);
}

TEST_F(RomLookup, LoadRomCopiesExactlyTheLength) {
  writeFile(dirs[0] + "a.bin", plain);
  Bytes destination(10, 0xEE);
  testing::internal::CaptureStdout();
  EXPECT_EQ(loadRom("a.bin", 6, destination.data()), 1);
  EXPECT_EQ(loadRom("missing.bin", 6, destination.data() + 4), 0);
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(destination, (Bytes{1, 2, 3, 4, 5, 6, 0xEE, 0xEE, 0xEE, 0xEE}));
}

TEST_F(RomLookup, EvenOddInterleavesTheSecondImageFirst) {
  writeFile(dirs[0] + "even.bin", Bytes{0x01, 0x02});
  writeFile(dirs[2] + "set.zip", buildZip({{.name = "odd.bin", .data = Bytes{0xA1, 0xA2}}}));
  Bytes destination(6, 0xEE);
  testing::internal::CaptureStdout();
  EXPECT_EQ(loadRomEvenOdd("even.bin", "odd.bin", 2, destination.data() + 1), 1);
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(destination, (Bytes{0xEE, 0xA1, 0x01, 0xA2, 0x02, 0xEE}));
}

TEST_F(RomLookup, EvenOddReportsOnlyTheFirstMissingImage) {
  writeFile(dirs[0] + "even.bin", Bytes{0x01, 0x02});
  Bytes destination(4, 0xEE);
  testing::internal::CaptureStdout();
  EXPECT_EQ(loadRomEvenOdd("gone1.bin", "gone2.bin", 2, destination.data()), 0);
  EXPECT_EQ(loadRomEvenOdd("even.bin", "gone3.bin", 2, destination.data()), 0);
  testing::internal::GetCapturedStdout();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].text, "gone1.bin");
  EXPECT_EQ(boxes[1].text, "gone3.bin");
  EXPECT_EQ(destination, Bytes(4, 0xEE));
}

}  // namespace
