// Zip archive reader: archives built here and tampered with, archives made by
// Python's zipfile and Info-ZIP zip, and every line printed checked exactly.
#include "tests/support/zip.h"

#include <gtest/gtest.h>

#include <string>

#include "romfs/romfs.h"
#include "tests/support/files.h"

namespace {

using support::buildZip;
using support::Bytes;

const Bytes none, romA = [] {  // 5000 bytes; the member "m.bin" of stored()
  Bytes b(5000);
  for (size_t i = 0; i < b.size(); ++i) b[i] = static_cast<uint8_t>(i * i >> 3);
  return b;
}();
const Bytes romB = [] {  // 70000 bytes that deflate to a few hundred
  Bytes b(70000);
  for (size_t i = 0; i < b.size(); ++i) b[i] = "stonebreaker "[i % 13];
  return b;
}();

// Archives of the one member "m.bin": its data at 35, then the central
// directory entry (entryAt from the end) and the end record (endAt).
constexpr long entryAt = -73, endAt = -22;
Bytes stored() {
  return buildZip({{"m.bin", romA}});
}
Bytes deflated() {
  return buildZip({{"m.bin", romB, 8}});
}
const std::string disk = "Error in zipfile: zipfile cannot span disks\n",
                  spans = "Unsupported zipfile: zipfile cannot span disks\n",
                  noEnd =
                      "Error in zipfile: couldn't find 'end of central dir' signature\n"
                      "Corrupted zip file\n",
                  method = "Error in zipfile: compression method for file M.BIN unsupported.\n";

struct ZipCase {
  const char* what;
  Bytes (*archive)();
  std::vector<std::pair<long, uint32_t>> longs;  // set at offsets, from the end when negative
  int status;
  std::string printed;
  const Bytes& data;             // delivered when status is 0
  std::string member = "M.bin";  // the name sought
};
// clang-format off
const ZipCase cases[] = {
  {"stored", stored, {}, 0, "", romA},
  {"deflated", deflated, {}, 0, "", romB},
  {"last part of a path", [] { return buildZip({{"a/"}, {"a//b/m.BIN", romA}}); }, {}, 0, "", romA},
  {"folders never", [] { return buildZip({{"x/m.bin/"}, {"m.bin/"}}); }, {}, -1, "", none},
  {"missing member", stored, {}, -1, "", none, "n.bin"},
  {"long name", [] { return buildZip({{"d/" + std::string(300, 'n'), romA}}); }, {}, 0, "", romA,
   std::string(300, 'N')},
  {"directory over 4096 bytes", [] {
     std::vector<support::ZipMember> members(200, {"one_of_many_members"});
     members.push_back({"m.bin", romA});
     return buildZip(members); }, {}, 0, "", romA},
  {"end record 4096 from the end", [] { return buildZip({{"m.bin", romA}}, std::string(4074, 'c')); },
   {}, 0, "", romA},
  {"end record 4097 from the end", [] { return buildZip({{"m.bin", romA}}, std::string(4075, 'c')); },
   {}, 1, noEnd, none},
  {"21 bytes", [] { return Bytes(21, 0x50); }, {}, 1, noEnd, none},
  {"no entries", [] { return buildZip({}); }, {}, -1, spans, none},
  {"second disk", stored, {{endAt + 4, 1}}, -1, spans, none},
  {"entries on other disks", stored, {{endAt + 8, 0x10002}}, -1, spans, none},
  {"member on another disk", stored, {{entryAt + 34, 2}}, -1, disk, none},
  {"refused, then a later one", [] { return buildZip({{"m.bin", romB, 12}, {"o"}, {"M.BIN", romA, 8}}); },
   {}, 0, method + "Method: $000c  must be $0000 (Stored) or $0008 (Deflated)\n", romA},
  {"version, method, OS and disk in order", [] { return buildZip({{"m.bin", romA}, {"m.bin", romA, 1}}); },
   {{entryAt - 51 + 6, 0x2D}, {entryAt + 6, 0x0315}, {entryAt + 34, 1}}, -1,
   "Error in zipfile: version for file M.BIN too new.\nVersion: $2d must be $14 or less\n" + method +
   "Method: $0001  must be $0000 (Stored) or $0008 (Deflated)\n"
   "Error in zipfile: version for file M.BIN too new.\nVersion: $15 must be $14 or less\n"
   "Error in zipfile: OS for file M.BIN not supported.\nOS: $03 must be $00\n" + disk, none},
  {"sizes in a data descriptor", stored, {{6, 8}, {18, 0}, {22, 0}}, 0, "", romA},
  {"empty and deflated", [] { return buildZip({{"m.bin", {}, 8}}); }, {}, 0, "", none},
  {"directory past the end", stored, {{endAt + 16, 6000}}, -1,
   "Error in zipfile: couldn't fseek to start of central directory\n", none},
  {"directory longer than the file", stored, {{endAt + 12, 0xFFFFFF00}}, -1,
   "Error in zipfile: couldn't read 4294967040 bytes from central directory\n", none},
  {"directory ends in the entry", stored, {{endAt + 12, 50}}, -1,
   "Error in zipfile: central directory ends inside entry 1\nCorrupted zip file\n", none},
  {"local header past the end", stored, {{entryAt + 42, 0x7FFFFFF0}}, -1,
   "Error in zipfile: couldn't fseek to local file header\nCorrupted zip file\n", none},
  {"local header cut", stored, {{entryAt + 42, 5096}}, -1,
   "Error in zipfile: couldn't read 30 bytes from local file headerCorrupted zip file\n", none},
  {"stored data past the end", stored, {{18, 0x10000000}}, -1,
   "Error in zipfile: couldn't read 268435456 bytes of compressed data\n"
   "Couldn't extract uncompressed file\n", none},
  {"deflated data past the end", deflated, {{18, 0x10000000}}, -1,
   "Error in zipfile: couldn't read 268435456 bytes of compressed data\nNot enough memory\n", none},
  {"local extra field past the end", stored, {{26, 0xFFFF0005}}, -1,
   "Error reading zipfile: fseek to compressed data failed\nCouldn't extract uncompressed file\n", none},
  {"stored, sizes differ", stored, {{22, 6000}}, -1,
   "Error in zipfile: stored file M.BIN has 5000 bytes but claims 6000\n", none},
  {"more than Deflate can give", deflated, {{18, 66}, {22, 69145}}, -1,
   "Error in zipfile: file M.BIN claims 69145 bytes from 66 compressed bytes\n", none},
  {"deflated data cut", deflated, {{18, 66}, {22, 69144}}, 4, "Error inflating compressed file: 4", none},
  {"block type 3", deflated, {{35, 7}}, 2, "Error inflating compressed file: 2", none},
  {"more than claimed", deflated, {{22, 69999}}, 5, "Error inflating compressed file: 5", none},
  {"less than claimed", deflated, {{22, 70001}}, -1,
   "Error in zipfile: file M.BIN inflates to 70000 bytes but claims 70001\n", none},
  {"local method", stored, {{8, 14}}, -1,
   method + "Method: $000e  must be $0000 (Stored) or $0008 (Deflated)\n", none},
};
// clang-format on

struct Read {
  int status;
  std::string printed;
  Bytes data;
  bool touched;  // data or size set
};
Read readMember(const std::string& path, const std::string& name) {
  RomBuffer data;
  uint32_t size = 0xDEAD;  // left as it is when nothing is delivered
  testing::internal::CaptureStdout();
  const int status = readZipMember(path.c_str(), name.c_str(), data, size);
  const std::string printed = testing::internal::GetCapturedStdout();
  if (!data) return {status, printed, {}, size != 0xDEAD};
  return {status, printed, Bytes(data.get(), data.get() + size), true};
}

TEST(ZipReader, BuiltAndTamperedArchives) {
  const support::ScratchDir dir;
  for (const ZipCase& row : cases) {
    SCOPED_TRACE(row.what);
    Bytes zip = row.archive();
    for (auto [at, value] : row.longs) support::put32(zip, at < 0 ? zip.size() + at : at, value);
    support::writeFile(dir / "set.zip", zip);
    const Read r = readMember(dir / "set.zip", row.member);
    EXPECT_EQ(r.status, row.status);
    EXPECT_EQ(r.printed, row.printed);
    EXPECT_EQ(r.touched, row.status == 0);
    EXPECT_TRUE(r.data == row.data);
  }
}

// The members of the fixtures (see fixtures/README.md); python_stream.zip
// has no folder/rom_c.bin.
TEST(ZipReader, ArchivesOfRealTools) {
  Bytes a(8192), c(300);
  for (size_t i = 0; i < a.size(); ++i) a[i] = static_cast<uint8_t>(i * 7 + i / 256);
  for (size_t i = 0; i < c.size(); ++i) c[i] = static_cast<uint8_t>(i);
  std::string b;
  for (int i = 0; i < 200; ++i) b += "stonebreaker fixture line\n";
  for (const std::string archive : {"python", "python_stream", "infozip", "infozip_stream"}) {
    const std::string path = SB_SOURCE_DIR "/tests/romfs/fixtures/" + archive + ".zip";
    const bool hasC = archive != "python_stream";
    const std::pair<const char*, Bytes> members[] = {{"ROM_A.BIN", a},
                                                     {"rom_b.txt", Bytes(b.begin(), b.end())},
                                                     {"rom_c.bin", hasC ? c : none},
                                                     {"folder", none}};
    for (const auto& [name, data] : members) {
      const Read r = readMember(path, name);
      EXPECT_EQ(r.status, data.empty() ? -1 : 0) << archive << " " << name;
      EXPECT_EQ(r.printed, "");
      EXPECT_TRUE(r.data == data);
    }
  }
}

}  // namespace
