// ROM lookup: the search order over the four directories and their archives,
// the not-found box and line, the set name's allocation and the region copies.
#include <gtest/gtest.h>

#include "app/app.h"
#include "romfs/romfs.h"
#include "tests/support/files.h"
#include "tests/support/zip.h"

namespace {

using support::Bytes;

// The text of each box shown, and "?" when its caption or owner is unusual.
std::string boxes;
void recordBox(const char* text, const char* caption, void* owner) {
  const bool usual = std::string(caption) == "The following rom cannot be loaded" && !owner;
  boxes.append(text).append(usual ? " " : "? ");
}

// ROM directories r0/ to r3/ holding files, each plain or (member set) an
// archive of that one member; the set "set", and the parent set as given.
struct Put {
  int dir;
  const char* file;
  Bytes data;
  const char* member = nullptr;
};
std::string romDirs(const support::ScratchDir& root, const std::vector<Put>& files,
                    const char* parent) {
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
  return root.path.string() + "/r";
}

struct LookupCase {
  const char* what;
  std::vector<Put> files;
  const char* name;
  uint32_t length;
  Bytes found;          // empty: not found
  std::string printed;  // @N, #N: "Could not open zipfile <directory N>set.zip", parent.zip
  const char* parent = "";
};
const Bytes plain = {1, 2, 3, 4, 5, 6, 7, 8}, zipped = {9, 8, 7, 6, 5, 4, 3, 2};
// clang-format off
const LookupCase cases[] = {
  {"found nowhere", {}, "gone.bin", 4, {}, "@0@1@2@3\ngone.bin [Not found]\n"},
  {"plain file before the archive beside it", {{0, "a.bin", plain}, {0, "set.zip", zipped, "a.bin"}},
   "a.bin", 8, plain, ""},
  {"archive before a later plain file", {{1, "a.bin", plain}, {0, "set.zip", zipped, "A.BIN"}},
   "a.bin", 8, zipped, ""},
  {"a short plain file ends its directory's search",
   {{0, "a.bin", {1, 2, 3}}, {0, "set.zip", plain, "a.bin"}, {1, "set.zip", zipped, "a.bin"}},
   "a.bin", 8, zipped, ""},
  {"a longer plain file", {{2, "b.bin", plain}}, "b.bin", 3, {1, 2, 3}, "@0@1"},
  {"a short member", {{0, "set.zip", {1, 2}, "a.bin"}, {3, "set.zip", zipped, "a.bin"}},
   "a.bin", 8, zipped, "@1@2"},
  {"an empty member", {{0, "set.zip", {}, "e.bin"}}, "e.bin", 0, {}, "@1@2@3\ne.bin [Not found]\n"},
  {"the set before its parent", {{0, "set.zip", plain, "a.bin"}, {0, "parent.zip", zipped, "a.bin"}},
   "a.bin", 8, plain, "", "parent"},
  {"the parent set", {{1, "parent.zip", zipped, "a.bin"}}, "a.bin", 8, zipped,
   "@0#0@1", "parent"},
};
// clang-format on

TEST(RomLookup, SearchOrder) {
  for (const LookupCase& row : cases) {
    SCOPED_TRACE(row.what);
    const support::ScratchDir root;
    const std::string dir = romDirs(root, row.files, row.parent);
    testing::internal::CaptureStdout();
    const RomBuffer image = loadRomFile(row.name, row.length);
    const std::string printed = testing::internal::GetCapturedStdout();
    std::string expected = row.printed;
    for (size_t at; (at = expected.find_first_of("@#")) != std::string::npos;)
      expected.replace(at, 2,
                       "Could not open zipfile " + dir + expected[at + 1] +
                           (expected[at] == '@' ? "/set.zip\n" : "/parent.zip\n"));
    EXPECT_EQ(printed, expected);
    EXPECT_EQ(image ? Bytes(image.get(), image.get() + row.length) : Bytes{}, row.found);
    EXPECT_EQ(boxes, image ? "" : std::string(row.name) + " ");
  }
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
  const std::string report = support::readText(dir / "report");
  const size_t end = report.find("\n\n\t"),
               de = report.rfind("\t               3 bytes : Set directory (@ 0x", end);
  EXPECT_LT(report.rfind("\t               4 bytes : Set directory (@ 0x", end), de);
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
  EXPECT_EQ(boxes, "gone1.bin gone2.bin gone4.bin ");
}

}  // namespace
