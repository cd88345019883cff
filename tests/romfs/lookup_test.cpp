// ROM lookup: the search order over the four directories and their archives
// (what each lookup finds, prints and shows is checked against lookups.txt),
// the set name's allocation and the region copies.
#include <gtest/gtest.h>

#include "app/app.h"
#include "romfs/romfs.h"
#include "tests/support/files.h"
#include "tests/support/zip.h"

namespace {

using support::Bytes;

std::string boxes;  // the text, caption and owner of each box shown
void recordBox(const char* text, const char* caption, void* owner) {
  boxes.append(text).append(" | ").append(caption).append(owner ? " | owner\n" : "\n");
}

// ROM directories r0/ to r3/ under root with the files put there, each plain
// or (member set) an archive of that one member; the set "set".
struct Put {
  int dir;
  const char* file;
  Bytes data;
  const char* member = nullptr;
};
void romDirs(const support::ScratchDir& root, const std::vector<Put>& files, const char* parent) {
  std::string* dirs[] = {&settings.Romdir, &settings.AlternateRomdir1, &settings.AlternateRomdir2,
                         &settings.AlternateRomdir3};
  for (int i = 0; i < 4; ++i)
    support::fs::create_directories(*dirs[i] =
                                        root / std::string{'r', static_cast<char>('0' + i), '/'});
  for (const Put& put : files)
    support::writeFile(*dirs[put.dir] + put.file,
                       put.member ? support::buildZip({{put.member, put.data}}) : put.data);
  setRomSetDirectory("set");
  setParentSetDirectory(parent);
  setMessageBoxHook(recordBox);
  boxes.clear();
}

struct LookupCase {
  const char* what;
  std::vector<Put> files;
  const char* name;
  uint32_t length;
  const char* parent = "";
};
const Bytes one = {1, 2, 3, 4, 5, 6, 7, 8}, two = {9, 8, 7, 6, 5, 4, 3, 2};
// clang-format off
const LookupCase cases[] = {
  {"found nowhere", {}, "gone.bin", 4},
  {"plain file, archive beside", {{0, "a.bin", one}, {0, "set.zip", two, "a.bin"}}, "a.bin", 8},
  {"archive, later plain file", {{1, "a.bin", one}, {0, "set.zip", two, "A.BIN"}}, "a.bin", 8},
  {"a short plain file ends its directory's search",
   {{0, "a.bin", {1, 2, 3}}, {0, "set.zip", one, "a.bin"}, {1, "set.zip", two, "a.bin"}},
   "a.bin", 8},
  {"a longer plain file", {{2, "b.bin", one}}, "b.bin", 3},
  {"a short member", {{0, "set.zip", {1, 2}, "a.bin"}, {3, "set.zip", two, "a.bin"}}, "a.bin", 8},
  {"an empty member", {{0, "set.zip", {}, "e.bin"}}, "e.bin", 0},
  {"the set before its parent", {{0, "set.zip", one, "a.bin"}, {0, "p.zip", two, "a.bin"}},
   "a.bin", 8, "p"},
  {"the parent set", {{1, "p.zip", two, "a.bin"}}, "a.bin", 8, "p"},
};
// clang-format on

TEST(RomLookup, SearchOrder) {
  std::string lookups;
  for (const LookupCase& row : cases) {
    const support::ScratchDir root;
    romDirs(root, row.files, row.parent);
    testing::internal::CaptureStdout();
    const RomBuffer image = loadRomFile(row.name, row.length);
    std::string printed = testing::internal::GetCapturedStdout(), found;
    for (size_t at; (at = printed.find(root.path.string())) != std::string::npos;)
      printed.replace(at, root.path.string().size(), "<roms>");
    for (uint32_t i = 0; image && i < row.length; ++i)
      found.append(" ").append(std::to_string(image[i]));
    lookups += std::string("== ") + row.what + "\n" + printed + "found:" + found + "\n" + boxes;
  }
  EXPECT_EQ(lookups, support::readText(SB_SOURCE_DIR "/tests/romfs/lookups.txt"));
}

// Each set name is a tracked block of its length and a zero, listed to the end.
TEST(RomLookup, SetNamesAreTrackedBlocks) {
  setRomSetDirectory("abc");
  setRomSetDirectory("de");
  EXPECT_STREQ(romSetDirectory(), "de");
  const support::ScratchDir dir;
  FILE* f = std::fopen((dir / "report").c_str(), "w");
  writeMemoryReport(f);
  std::fclose(f);
  const std::string report = support::readText(dir / "report"), block = " bytes : Set directory (@";
  const size_t end = report.find("\n\n\t"), de = report.rfind("\t               3" + block, end);
  EXPECT_LT(report.rfind("\t               4" + block, end), de);
  EXPECT_EQ(report.find('\n', de), end);
}

// Images copied whole, and two interleaved: the second's bytes first.
TEST(RomLookup, RegionCopies) {
  const support::ScratchDir root;
  romDirs(root, {{0, "even.bin", {1, 2, 3, 4, 5, 6}}, {2, "set.zip", {0xA1, 0xA2}, "odd.bin"}}, "");
  Bytes region(8, 0xEE);
  testing::internal::CaptureStdout();
  EXPECT_EQ(loadRom("even.bin", 5, region.data()), 1);
  EXPECT_EQ(loadRom("gone1.bin", 2, region.data()), 0);
  EXPECT_EQ(region, (Bytes{1, 2, 3, 4, 5, 0xEE, 0xEE, 0xEE}));
  EXPECT_EQ(loadRomEvenOdd("even.bin", "odd.bin", 2, region.data() + 1), 1);
  EXPECT_EQ(loadRomEvenOdd("gone2.bin", "gone3.bin", 2, region.data()), 0);
  EXPECT_EQ(loadRomEvenOdd("even.bin", "gone4.bin", 2, region.data()), 0);
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(region, (Bytes{1, 0xA1, 1, 0xA2, 2, 0xEE, 0xEE, 0xEE}));
  const std::string box = " | The following rom cannot be loaded\n";
  EXPECT_EQ(boxes, "gone1.bin" + box + "gone2.bin" + box + "gone4.bin" + box);
}

}  // namespace
