// Zip archive reader: archives built here member by member, fixtures made by
// Python's zipfile and Info-ZIP zip, and every line printed checked exactly.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "romfs/romfs.h"
#include "test_support.h"

namespace {

struct Read {
  int status;
  Bytes data;
  uint32_t size;
  bool delivered;
  std::string printed;
};

Read readMember(const std::string& archive, const char* name) {
  RomBuffer buffer;
  uint32_t size = 0xDEAD;
  testing::internal::CaptureStdout();
  int status = readZipMember(archive.c_str(), name, buffer, size);
  Read r{status, {}, size, buffer != nullptr, testing::internal::GetCapturedStdout()};
  if (buffer && status == 0) r.data.assign(buffer.get(), buffer.get() + size);
  return r;
}

class ZipReader : public testing::Test {
 protected:
  std::string dir = freshDirectory(testing::UnitTest::GetInstance()->current_test_info()->name());
  std::string archive(const Bytes& bytes, const char* name = "set.zip") {
    writeFile(dir + name, bytes);
    return dir + name;
  }
};

const Bytes romA = randomData(5000, 11);
const Bytes romB = textData(70000, 12);

TEST_F(ZipReader, ReadsStoredAndDeflatedMembersWhateverTheCase) {
  std::string path = archive(buildZip(
      {{.name = "ROM_A.BIN", .data = romA}, {.name = "Rom_B.Bin", .data = romB, .method = 8}}));
  for (const char* name : {"rom_a.bin", "ROM_A.BIN", "Rom_A.bin"}) {
    Read r = readMember(path, name);
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.data == romA);
    EXPECT_EQ(r.size, romA.size());
    EXPECT_EQ(r.printed, "");
  }
  Read r = readMember(path, "rom_b.bin");
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(r.data == romB);
  EXPECT_EQ(r.printed, "");
}

TEST_F(ZipReader, FindsMembersInFoldersByTheirLastComponentButNeverAFolder) {
  std::string path = archive(buildZip(
      {{.name = "sub/rom.bin/"}, {.name = "set//deep/ROM.BIN", .data = romA, .method = 8}}));
  Read r = readMember(path, "rom.bin");
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(r.data == romA);

  std::string folders = archive(buildZip({{.name = "x/rom.bin/"}, {.name = "rom.bin/"}}), "f.zip");
  r = readMember(folders, "rom.bin");
  EXPECT_NE(r.status, 0);
  EXPECT_EQ(r.printed, "");
  EXPECT_FALSE(r.delivered);
  EXPECT_EQ(r.size, 0xDEADu);  // left as the caller set it
}

TEST_F(ZipReader, MissingMemberFailsSilently) {
  Read r = readMember(archive(buildZip({{.name = "a.bin", .data = romA}})), "b.bin");
  EXPECT_EQ(r.status, -1);
  EXPECT_EQ(r.printed, "");
  EXPECT_EQ(r.size, 0xDEADu);
}

TEST_F(ZipReader, NamesOfAnyLength) {
  std::string longName(300, 'n');
  longName += ".bin";
  std::string path = archive(
      buildZip({{.name = "folder/" + longName, .data = romA},
                {.name = "a_member_name_longer_than_31_chars.bin", .data = romB, .method = 8}}));
  EXPECT_TRUE(readMember(path, longName.c_str()).data == romA);
  EXPECT_TRUE(readMember(path, "A_MEMBER_NAME_LONGER_THAN_31_CHARS.BIN").data == romB);
}

TEST_F(ZipReader, CentralDirectoryLargerThan4096Bytes) {
  std::vector<ZipMember> members;
  for (int i = 0; i < 200; ++i)
    members.push_back({.name = "member_number_" + std::to_string(i) + ".bin",
                       .data = Bytes(10, static_cast<uint8_t>(i))});
  std::string path = archive(buildZip(members));
  Read r = readMember(path, "member_number_199.bin");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.data, Bytes(10, 199));
}

TEST_F(ZipReader, ArchiveThatCannotBeOpened) {
  std::string path = dir + "absent.zip";
  Read r = readMember(path, "a.bin");
  EXPECT_EQ(r.status, -1);
  EXPECT_EQ(r.printed, "Could not open zipfile " + path + "\n");
}

TEST_F(ZipReader, EndRecordMustBeWithinTheLast4096Bytes) {
  const char* lines =
      "Error in zipfile: couldn't find 'end of central dir' signature\nCorrupted zip file\n";
  Read r = readMember(
      archive(buildZip({{.name = "a.bin", .data = romA}}, {.comment = std::string(4075, 'c')})),
      "a.bin");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.printed, lines);
  // 4074 bytes of comment still leave the record in the tail.
  r = readMember(
      archive(buildZip({{.name = "a.bin", .data = romA}}, {.comment = std::string(4074, 'c')}),
              "b.zip"),
      "a.bin");
  EXPECT_EQ(r.status, 0);
  // Files too short to hold an end record.
  for (size_t n : {0, 5, 21}) {
    r = readMember(archive(Bytes(n, 0x50), "short.zip"), "a.bin");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.printed, lines);
  }
}

TEST_F(ZipReader, TheEndRecordNearestTheEndIsUsed) {
  Bytes first = buildZip({{.name = "a.bin", .data = Bytes{1, 1, 1}}});
  Bytes second =
      buildZip({{.name = "a.bin", .data = Bytes{2, 2}}}, {}, static_cast<uint32_t>(first.size()));
  first.insert(first.end(), second.begin(), second.end());
  Read r = readMember(archive(first), "a.bin");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.data, (Bytes{2, 2}));
}

TEST_F(ZipReader, ArchivesThatSpanDisksOrHaveNoEntries) {
  const std::string line = "Unsupported zipfile: zipfile cannot span disks\n";
  EXPECT_EQ(readMember(archive(buildZip({})), "a.bin").printed, line);
  EXPECT_EQ(readMember(archive(buildZip({{.name = "a.bin"}}, {.diskNumber = 1}), "1.zip"), "a.bin")
                .printed,
            line);
  EXPECT_EQ(readMember(archive(buildZip({{.name = "a.bin"}}, {.entriesOnDiskDelta = 1}), "2.zip"),
                       "a.bin")
                .printed,
            line);
  Read r = readMember(archive(buildZip({{.name = "a.bin", .startDisk = 2}}), "3.zip"), "A.bin");
  EXPECT_EQ(r.status, -1);
  EXPECT_EQ(r.printed, "Error in zipfile: zipfile cannot span disks\n");
}

TEST_F(ZipReader, RejectedEntryIsSkippedForALaterOneOfTheSameName) {
  std::string path = archive(buildZip({{.name = "dup.bin", .data = Bytes{9, 9}, .method = 12},
                                       {.name = "other.bin", .data = romB},
                                       {.name = "DUP.BIN", .data = romA, .method = 8}}));
  Read r = readMember(path, "dup.bin");
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(r.data == romA);
  EXPECT_EQ(r.printed,
            "Error in zipfile: compression method for file DUP.BIN unsupported.\n"
            "Method: $000c  must be $0000 (Stored) or $0008 (Deflated)\n");
}

TEST_F(ZipReader, VersionOsAndDiskChecksPrintTheirLinesInOrder) {
  std::string path = archive(buildZip({{.name = "v.bin", .data = romA, .versionNeeded = 0x2D},
                                       {.name = "v.bin",
                                        .data = romA,
                                        .method = 1,
                                        .versionNeeded = 0x15,
                                        .osByte = 3,
                                        .startDisk = 1}}));
  Read r = readMember(path, "v.bin");
  EXPECT_EQ(r.status, -1);
  EXPECT_EQ(r.printed,
            "Error in zipfile: version for file V.BIN too new.\n"
            "Version: $2d must be $14 or less\n"
            "Error in zipfile: compression method for file V.BIN unsupported.\n"
            "Method: $0001  must be $0000 (Stored) or $0008 (Deflated)\n"
            "Error in zipfile: version for file V.BIN too new.\n"
            "Version: $15 must be $14 or less\n"
            "Error in zipfile: OS for file V.BIN not supported.\n"
            "OS: $03 must be $00\n"
            "Error in zipfile: zipfile cannot span disks\n");
}

TEST_F(ZipReader, DataDescriptorMembersUseTheCentralDirectorySizes) {
  std::string path =
      archive(buildZip({{.name = "d.bin", .data = romB, .method = 8, .dataDescriptor = true},
                        {.name = "s.bin", .data = romA, .dataDescriptor = true}}));
  EXPECT_TRUE(readMember(path, "d.bin").data == romB);
  EXPECT_TRUE(readMember(path, "s.bin").data == romA);
}

TEST_F(ZipReader, ZeroSizeMembersAndBadChecksums) {
  Bytes zip = buildZip({{.name = "empty.bin"},
                        {.name = "empty8.bin", .method = 8},
                        {.name = "crc.bin", .data = romA}});
  // Spoil the CRC of crc.bin in its local header (third member).
  put32(zip, 30 + 9 + 30 + 10 + 2 + 14, 0x12345678);
  std::string path = archive(zip);
  for (const char* name : {"empty.bin", "empty8.bin"}) {
    Read r = readMember(path, name);
    EXPECT_EQ(r.status, 0) << name;
    EXPECT_EQ(r.size, 0u);
    EXPECT_TRUE(r.delivered);
  }
  EXPECT_TRUE(readMember(path, "crc.bin").data == romA);
}

// Offsets of the built archive's single member.
struct OneMember {
  Bytes zip;
  size_t directory;  // offset of the central directory
  size_t end;        // offset of the end record
};
OneMember oneMember(uint16_t method, const Bytes& data) {
  OneMember m{buildZip({{.name = "m.bin", .data = data, .method = method}}), 0, 0};
  m.end = m.zip.size() - 22;
  m.directory = m.end - 46 - 5;
  return m;
}

TEST_F(ZipReader, OffsetsAndLengthsOutsideTheArchive) {
  OneMember m = oneMember(0, romA);
  Bytes zip = m.zip;
  put32(zip, m.end + 16, static_cast<uint32_t>(zip.size() + 1));
  EXPECT_EQ(readMember(archive(zip, "1.zip"), "m.bin").printed,
            "Error in zipfile: couldn't fseek to start of central directory\n");
  zip = m.zip;
  put32(zip, m.end + 12, 0xFFFFFF00);
  EXPECT_EQ(readMember(archive(zip, "2.zip"), "m.bin").printed,
            "Error in zipfile: couldn't read 4294967040 bytes from central directory\n");
  zip = m.zip;
  put32(zip, m.end + 12, 46 + 4);  // cuts the entry's name
  EXPECT_EQ(readMember(archive(zip, "3.zip"), "m.bin").printed,
            "Error in zipfile: central directory ends inside entry 1\nCorrupted zip file\n");
  zip = m.zip;
  put32(zip, m.directory + 42, 0x7FFFFFF0);
  EXPECT_EQ(readMember(archive(zip, "4.zip"), "m.bin").printed,
            "Error in zipfile: couldn't fseek to local file header\nCorrupted zip file\n");
  zip = m.zip;
  put32(zip, m.directory + 42, static_cast<uint32_t>(zip.size() - 10));
  EXPECT_EQ(readMember(archive(zip, "5.zip"), "m.bin").printed,
            "Error in zipfile: couldn't read 30 bytes from local file headerCorrupted zip file\n");
  zip = m.zip;
  put32(zip, 18, 0x10000000);
  put32(zip, 22, 0x10000000);
  EXPECT_EQ(readMember(archive(zip, "6.zip"), "m.bin").printed,
            "Error in zipfile: couldn't read 268435456 bytes of compressed data\n"
            "Couldn't extract uncompressed file\n");
  zip = m.zip;
  put16(zip, 28, 0xFFFF);  // local extra field past the end
  EXPECT_EQ(readMember(archive(zip, "7.zip"), "m.bin").printed,
            "Error reading zipfile: fseek to compressed data failed\n"
            "Couldn't extract uncompressed file\n");

  OneMember d = oneMember(8, romB);
  zip = d.zip;
  put32(zip, 18, 0x10000000);
  EXPECT_EQ(readMember(archive(zip, "8.zip"), "m.bin").printed,
            "Error in zipfile: couldn't read 268435456 bytes of compressed data\n"
            "Not enough memory\n");
}

TEST_F(ZipReader, SizesThatCannotBeTrue) {
  OneMember m = oneMember(0, romA);
  Bytes zip = m.zip;
  put32(zip, 22, 6000);
  Read r = readMember(archive(zip, "1.zip"), "m.bin");
  EXPECT_EQ(r.status, -1);
  EXPECT_EQ(r.printed, "Error in zipfile: stored file M.BIN has 5000 bytes but claims 6000\n");

  OneMember d = oneMember(8, Bytes(100, 0));
  zip = d.zip;
  put32(zip, 22, 0xFFFFFFF0);
  r = readMember(archive(zip, "2.zip"), "m.bin");
  EXPECT_EQ(r.status, -1);
  const uint32_t packed = static_cast<uint32_t>(zip.size() - 22 - 46 - 5 - 30 - 5);
  EXPECT_EQ(r.printed, "Error in zipfile: file M.BIN claims 4294967280 bytes from " +
                           std::to_string(packed) + " compressed bytes\n");
}

TEST_F(ZipReader, DecoderResultsAreReported) {
  OneMember d = oneMember(8, romB);
  const size_t data = 30 + 5;
  const uint32_t packed = static_cast<uint32_t>(d.directory - data);

  Bytes zip = d.zip;
  zip[data] = 0x07;  // block type 3
  Read r = readMember(archive(zip, "1.zip"), "m.bin");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.printed, "Error inflating compressed file: 2");
  EXPECT_FALSE(r.delivered);

  zip = d.zip;
  put32(zip, 18, packed - 20);  // the stream runs past its data
  r = readMember(archive(zip, "2.zip"), "m.bin");
  EXPECT_EQ(r.status, inflateInputOverrun);
  EXPECT_EQ(r.printed, "Error inflating compressed file: 4");

  zip = d.zip;
  put32(zip, 22, 69999);  // more output than the member claims
  r = readMember(archive(zip, "3.zip"), "m.bin");
  EXPECT_EQ(r.status, inflateOutputOverflow);
  EXPECT_EQ(r.printed, "Error inflating compressed file: 5");

  zip = d.zip;
  put32(zip, 22, 70001);  // less output than the member claims
  r = readMember(archive(zip, "4.zip"), "m.bin");
  EXPECT_EQ(r.status, -1);
  EXPECT_EQ(r.printed, "Error in zipfile: file M.BIN inflates to 70000 bytes but claims 70001\n");
}

TEST_F(ZipReader, LocalMethodOtherThanStoredOrDeflated) {
  OneMember m = oneMember(0, romA);
  Bytes zip = m.zip;
  put16(zip, 8, 14);
  EXPECT_EQ(readMember(archive(zip), "m.bin").printed,
            "Error in zipfile: compression method for file M.BIN unsupported.\n"
            "Method: $000e  must be $0000 (Stored) or $0008 (Deflated)\n");
}

// ---- Archives made by real tools -----------------------------------------

Bytes fixtureRomA() {
  Bytes b(8192);
  for (size_t i = 0; i < b.size(); ++i) b[i] = static_cast<uint8_t>(i * 7 + i / 256);
  return b;
}
Bytes fixtureRomB() {
  std::string line = "stonebreaker fixture line\n", text;
  for (int i = 0; i < 200; ++i) text += line;
  return Bytes(text.begin(), text.end());
}
Bytes fixtureRomC() {
  Bytes b(300);
  for (size_t i = 0; i < b.size(); ++i) b[i] = static_cast<uint8_t>(i);
  return b;
}

class Fixture : public testing::TestWithParam<const char*> {};

TEST_P(Fixture, EveryMemberReadsBack) {
  std::string path = std::string(SB_SOURCE_DIR) + "/tests/romfs/fixtures/" + GetParam();
  Read a = readMember(path, "ROM_A.BIN");
  EXPECT_EQ(a.status, 0);
  EXPECT_TRUE(a.data == fixtureRomA());
  Read b = readMember(path, "rom_b.txt");
  EXPECT_EQ(b.status, 0);
  EXPECT_TRUE(b.data == fixtureRomB());
  EXPECT_EQ(a.printed + b.printed, "");
  if (std::string(GetParam()).find("stream") == std::string::npos ||
      std::string(GetParam()).find("infozip") == 0) {
    Read c = readMember(path, "rom_c.bin");
    EXPECT_EQ(c.status, 0);
    EXPECT_TRUE(c.data == fixtureRomC());
    EXPECT_EQ(readMember(path, "folder").status, -1);  // the folder entry is no member
  }
}

INSTANTIATE_TEST_SUITE_P(RealTools, Fixture,
                         testing::Values("python.zip", "python_stream.zip", "infozip.zip",
                                         "infozip_stream.zip"),
                         [](const testing::TestParamInfo<const char*>& info) {
                           std::string n = info.param;
                           return n.substr(0, n.find('.'));
                         });

}  // namespace
