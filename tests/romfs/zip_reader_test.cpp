// Zip archive reader: archives built here and tampered with, and archives
// made by Python's zipfile and Info-ZIP zip; what each read returns and
// prints is checked against zip_reads.txt.
#include <gtest/gtest.h>
#include <zlib.h>

#include <numeric>
#include <string>

#include "romfs/romfs.h"
#include "tests/support/files.h"
#include "tests/support/zip.h"

namespace {

using support::buildZip;
using support::Bytes;

// Counting bytes: romA is stored as it is, romB deflates to some hundreds.
Bytes counting(size_t size) {
  Bytes bytes(size);
  std::iota(bytes.begin(), bytes.end(), 0);
  return bytes;
}
const Bytes romA = counting(5000), romB = counting(70000);

// Archives of the one member "m.bin": its data at 35, then the central
// directory entry (entryAt from the end) and the end record (endAt).
constexpr long entryAt = -73, endAt = -22;
Bytes stored() {
  return buildZip({{"m.bin", romA}});
}
Bytes deflated() {
  return buildZip({{"m.bin", romB, 8}});
}

// An archive built here, the longs set at offsets (from the end when
// negative), and the name sought.
struct ZipCase {
  const char* what;
  Bytes (*archive)();
  std::vector<std::pair<long, uint32_t>> longs{};
  std::string member = "M.bin";
};
// clang-format off
const ZipCase cases[] = {
  {"stored", stored},
  {"deflated", deflated},
  {"last part of a path", [] { return buildZip({{"a/"}, {"a//b/m.BIN", romA}}); }},
  {"folders never", [] { return buildZip({{"x/m.bin/"}, {"m.bin/"}}); }},
  {"missing member", stored, {}, "n.bin"},
  {"long name", [] { return buildZip({{"d/" + std::string(300, 'n'), romA}}); }, {},
   std::string(300, 'N')},
  {"directory over 4096 bytes", [] {
     std::vector<support::ZipMember> members(200, {"one_of_many_members"});
     members.push_back({"m.bin", romA});
     return buildZip(members); }},
  {"end record at 4096", [] { return buildZip({{"M.BIN", romA}}, std::string(4074, 'c')); }},
  {"end record at 4097", [] { return buildZip({{"M.BIN", romA}}, std::string(4075, 'c')); }},
  {"21 bytes", [] { return Bytes(21, 0x50); }},
  {"no entries", [] { return buildZip({}); }},
  {"second disk", stored, {{endAt + 4, 1}}},
  {"entries on other disks", stored, {{endAt + 8, 0x10002}}},
  {"member on another disk", stored, {{entryAt + 34, 2}}},
  {"refused entry first", [] { return buildZip({{"m.bin", romB, 12}, {"o"}, {"M.BIN", romA}}); }},
  {"version, method, OS, disk", [] { return buildZip({{"m.bin", romA}, {"m.bin", romA, 1}}); },
   {{entryAt - 51 + 6, 0x2D}, {entryAt + 6, 0x0315}, {entryAt + 34, 1}}},
  {"sizes in a data descriptor", stored, {{6, 8}, {18, 0}, {22, 0}}},
  {"empty and deflated", [] { return buildZip({{"m.bin", {}, 8}}); }},
  {"directory past the end", stored, {{endAt + 16, 6000}}},
  {"directory longer than the file", stored, {{endAt + 12, 0xFFFFFF00}}},
  {"directory ends in the entry", stored, {{endAt + 12, 50}}},
  {"local header past the end", stored, {{entryAt + 42, 0x7FFFFFF0}}},
  {"local header cut", stored, {{entryAt + 42, 5096}}},
  {"stored data past the end", stored, {{18, 0x10000000}}},
  {"deflated data past the end", deflated, {{18, 0x10000000}}},
  {"local extra field past the end", stored, {{26, 0xFFFF0005}}},
  {"stored, sizes differ", stored, {{22, 6000}}},
  {"more than Deflate can give", deflated, {{18, 66}, {22, 69145}}},
  {"deflated data cut", deflated, {{18, 66}, {22, 69144}}},
  {"block type 3", deflated, {{35, 7}}},
  {"more than claimed", deflated, {{22, 69999}}},
  {"less than claimed", deflated, {{22, 70001}}},
  {"local method", stored, {{8, 14}}},
};
// clang-format on

// What one read returns and prints: the status, the size (left as it was,
// 57005, when nothing is delivered), the CRC of the data, the lines.
std::string readMember(const std::string& path, const std::string& name) {
  RomBuffer data;
  uint32_t size = 0xDEAD;
  testing::internal::CaptureStdout();
  const int status = readZipMember(path.c_str(), name.c_str(), data, size);
  const std::string printed = testing::internal::GetCapturedStdout();
  std::string line = "status " + std::to_string(status) + ", size " + std::to_string(size);
  if (data) line += ", crc32 " + std::to_string(crc32(0, data.get(), size));
  return line + "\n" + printed + "~\n";
}

// Each case's read, and every member of the fixtures (see fixtures/README.md).
TEST(ZipReader, BuiltTamperedAndRealArchives) {
  const support::ScratchDir dir;
  std::string reads;
  for (const ZipCase& row : cases) {
    Bytes zip = row.archive();
    for (auto [at, value] : row.longs) support::put32(zip, at < 0 ? zip.size() + at : at, value);
    support::writeFile(dir / "set.zip", zip);
    reads += std::string("== ") + row.what + "\n" + readMember(dir / "set.zip", row.member);
  }
  for (const std::string archive : {"python", "python_stream", "infozip", "infozip_stream"})
    for (const std::string name : {"ROM_A.BIN", "rom_b.txt", "rom_c.bin", "folder"})
      reads += "== " + archive + ".zip " + name + "\n" +
               readMember(SB_SOURCE_DIR "/tests/romfs/fixtures/" + archive + ".zip", name);
  EXPECT_EQ(reads, support::readText(SB_SOURCE_DIR "/tests/romfs/zip_reads.txt"));
}

}  // namespace
