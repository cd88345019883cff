// ROM file access: the Deflate decoder against zlib and on hand-made streams,
// the zip reader on tampered and real archives, and the ROM lookup.
#include "romfs/romfs.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <zlib.h>

#include <numeric>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <tuple>

#include "base/base.h"
#include "tests/support/files.h"
#include "tests/support/zip.h"

namespace {

using support::buildZip;
using support::Bytes;

// ---- Deflate decoder --------------------------------------------------------
struct Decoded {
  int result;
  Bytes output;
  size_t used;  // bytes of input
  bool operator==(const Decoded&) const = default;
};

// Our decoder with room bytes of output; the stream is passed as an
// exact-size copy, so the sanitizers see any access past its end.
Decoded decode(const Bytes& stream, size_t room) {
  Bytes output(room), window(inflateWindowSize);
  InflateState& s = inflateState;
  s.input = stream.data();
  s.inputEnd = stream.data() + stream.size();
  s.output = output.data();
  s.outputEnd = output.data() + room;
  s.window = window.data();
  const int result = inflate();
  output.resize(static_cast<size_t>(s.output - output.data()));
  return {result, output, static_cast<size_t>(s.input - stream.data())};
}

// Words, random bytes, runs of a few values, a two-byte period (its matches
// of 258 end exactly at the window's end) and chunks of all four.
Bytes makeData(int kind, size_t size, uint32_t seed) {
  static const std::string words[] = {"the ", "sprite ", "board ", "68000 ", "\n", "interrupt "};
  std::mt19937 rng(seed);
  Bytes out;
  while (out.size() < size) {
    const std::string word = words[rng() % 6];
    const Bytes part = kind == 0   ? Bytes(word.begin(), word.end())
                       : kind == 1 ? Bytes{static_cast<uint8_t>(rng())}
                       : kind == 2 ? Bytes(1 + rng() % 2000, static_cast<uint8_t>(rng() % 4))
                       : kind == 3 ? Bytes{'a', 'b'}
                                   : makeData(rng() % 4, 4096 + rng() % 60000, rng());
    out.insert(out.end(), part.begin(), part.end());
  }
  out.resize(size);
  return out;
}

TEST(Inflate, DecodesZlibStreamsExactlyAndStopsAtTheirBounds) {
  const int strategies[] = {Z_DEFAULT_STRATEGY, Z_FILTERED, Z_HUFFMAN_ONLY, Z_RLE, Z_FIXED};
  for (int kind = 0; kind < 5; ++kind)
    for (int strategy : strategies)
      for (size_t size : {0, 1, 257, 32768, 40000, 200000}) {
        const Bytes data = makeData(kind, size, static_cast<uint32_t>(size) * 7 + 1);
        for (int level = 0; level <= 9; ++level) {
          SCOPED_TRACE(testing::Message()
                       << kind << '/' << strategy << '/' << size << '/' << level);
          const Bytes stream = support::zlibDeflate(data, level, strategy);
          // Bytes after the stream stay unread: the cursor ends on its last byte.
          Bytes followed = stream;
          followed.insert(followed.end(), {0xA5, 0x5A, 0xFF, 0x00, 0x13, 0x37, 0x42, 0x99, 0x01});
          ASSERT_TRUE(decode(followed, size) == (Decoded{inflateOk, data, stream.size()}));
          // One byte less of room: every byte that fits, then an overflow.
          const Decoded cramped = decode(stream, size - (size > 0));
          ASSERT_EQ(cramped.result, size > 0 ? inflateOutputOverflow : inflateOk);
          ASSERT_TRUE(cramped.output == Bytes(data.begin(), data.end() - (size > 0)));
          // Cut short anywhere (at level 6 of 40000 bytes) or by its last byte.
          for (size_t keep = level == 6 && size == 40000 ? 0 : stream.size() - 1;
               keep < stream.size(); keep += 1 + keep / 20) {
            const Bytes cut(stream.begin(), stream.begin() + static_cast<long>(keep));
            ASSERT_EQ(decode(cut, size).result, inflateInputOverrun) << "kept " << keep;
          }
        }
      }
}

// Each stream of streams.txt decoded; its "=" lines are the expected results.
TEST(Inflate, HandMadeStreams) {
  const support::ScratchDir dir;
  const std::string expected = support::readText(SB_SOURCE_DIR "/tests/romfs/streams.txt");
  std::istringstream lines(expected);
  std::string results;
  for (std::string line; std::getline(lines, line);) {
    if (line.starts_with("=")) continue;
    results += line + "\n";
    if (line.starts_with("#")) continue;
    Bytes stream;
    for (size_t i = 0; i + 1 < line.size(); i += 2)
      stream.push_back(static_cast<uint8_t>(std::stoi(line.substr(i, 2), nullptr, 16)));
    ASSERT_EQ(openLog((dir / "s000.log").c_str()), 1);
    const Decoded d = decode(stream, 1 << 16);
    closeLog();
    results += "= " + std::to_string(d.result);
    const std::string output(d.output.begin(), d.output.end());
    const uint32_t crc = crc32(0, d.output.data(), d.output.size());
    if (d.result == inflateOk)
      results += ", used " + std::to_string(d.used) + " of " + std::to_string(stream.size()) +
                 ", output " + (output.size() > 300 ? "of CRC " + std::to_string(crc) : output);
    results += ", log \"" + support::readText(dir / "s000.log") + "\"\n";
  }
  EXPECT_EQ(results, expected);
}

// Ours against zlib's over the lengths and alignments of the folded path, its
// tail and the table alone, whole and in two pieces.
TEST(Crc32, MatchesZlib) {
  const Bytes data = makeData(1, 1 << 16, 5);
  for (size_t at = 0; at < 16; ++at)
    for (size_t size = 0; at + size <= data.size(); size += size < 300 ? 1 : 4093) {
      const uint8_t* p = data.data() + at;
      const uint32_t expected = static_cast<uint32_t>(::crc32(0x5EEDul, p, uInt(size)));
      ASSERT_EQ(crc32(p, size, 0x5EED), expected) << at << '/' << size;
      ASSERT_EQ(crc32(p + size / 3, size - size / 3, crc32(p, size / 3, 0x5EED)), expected);
    }
}

// ---- Zip reader -------------------------------------------------------------
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
const auto stored = [] { return buildZip({{"m.bin", romA}}); };
const auto deflated = [] { return buildZip({{"m.bin", romB, 8}}); };

// An archive built here, the longs set at offsets (from the end when
// negative), and the name sought.
struct ZipCase {
  const char* what;
  Bytes (*archive)();
  std::vector<std::pair<long, uint32_t>> longs{};
  std::string member = "M.bin";
  uint32_t wanted = largestRegion;
};
// clang-format off
const ZipCase zipCases[] = {
  {"stored", stored},
  {"deflated", deflated},
  {"last part of a path", [] { return buildZip({{"a/"}, {"a//b/m.BIN", romA}}); }},
  {"folders never", [] { return buildZip({{"x/m.bin/"}, {"m.bin/"}}); }},
  {"missing member", stored, {}, "n.bin"},
  {"directory over 4096 bytes",
   [] { return buildZip(std::vector<support::ZipMember>(99, {"m.bin", romA})); }},
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
  {"stored, asked for less", stored, {}, "m.bin", 100},
  {"deflated, asked for less", deflated, {}, "m.bin", 100},
  {"asked for less, damaged, unchecked", deflated, {{entryAt + 16, 0}}, "m.bin", 100},
  {"damaged stored member", stored, {{entryAt + 16, 0}}},
  {"damaged deflated member", deflated, {{entryAt + 16, 1}}},
  {"ends before what was asked", deflated, {{22, 80000}}, "m.bin", 75000},
  {"entry points at another member",
   [] { return buildZip({{"x.bin", romB, 8}, {"m.bin", romA}}); }, {{entryAt + 42, 0}}},
};
// clang-format on

// What one read returns and prints: the status, the size (left as it was,
// 57005, when nothing is delivered), the CRC of the data, the lines.
std::string readMember(const std::string& path, const std::string& name,
                       uint32_t wanted = largestRegion) {
  RomBuffer data;
  uint32_t size = 0xDEAD;
  testing::internal::CaptureStdout();
  const int status = readZipMember(path.c_str(), name.c_str(), data, size, wanted);
  const std::string printed = testing::internal::GetCapturedStdout();
  std::string line = "status " + std::to_string(status) + ", size " + std::to_string(size);
  if (data) line += ", crc32 " + std::to_string(crc32(0, data.get(), size));
  return line + "\n" + printed + "~\n";
}

// Each case's read, and every member of the fixtures (see fixtures/README.md).
TEST(ZipReader, BuiltTamperedAndRealArchives) {
  const support::ScratchDir dir;
  std::string reads;
  for (const ZipCase& row : zipCases) {
    Bytes zip = row.archive();
    for (auto [at, value] : row.longs) support::put32(zip, at < 0 ? zip.size() + at : at, value);
    support::writeFile(dir / "set.zip", zip);
    const std::string read = readMember(dir / "set.zip", row.member, row.wanted);
    reads += std::string("== ") + row.what + "\n" +
             std::regex_replace(read, std::regex(dir.path.string()), "<dir>");
  }
  for (const std::string archive : {"python", "python_stream", "infozip", "infozip_stream"})
    for (const std::string name : {"ROM_A.BIN", "rom_b.txt", "rom_c.bin", "folder"})
      reads += "== " + archive + ".zip " + name + "\n" +
               readMember(SB_SOURCE_DIR "/tests/romfs/fixtures/" + archive + ".zip", name);
  EXPECT_EQ(reads, support::readText(SB_SOURCE_DIR "/tests/romfs/zip_reads.txt"));
}

// ---- ROM lookup -------------------------------------------------------------
// The text, caption and owner of each box shown, and apart its informative text.
std::string boxes, informatives;
void recordBox(const char* text, const char* caption, void* owner, const char* informative) {
  boxes.append(text).append(" | ").append(caption).append(owner ? " | owner\n" : "\n");
  informatives.append(informative ? informative : "").append("\n");
}

// ROM directories r0/ to r3/ under root with the files put there, each plain
// or (member set) an archive of that one member, or (other set) a "fifo", a
// "folder" or a symbolic link to the path given; the set "set".
struct Put {
  int dir;
  const char* file;
  Bytes data;
  const char* member = nullptr;
  std::string other = "";
};
void romDirs(const support::ScratchDir& root, const std::vector<Put>& files, const char* parent) {
  std::string* dirs[] = {&settings.Romdir, &settings.AlternateRomdir1, &settings.AlternateRomdir2,
                         &settings.AlternateRomdir3};
  for (char i = '0'; i < '4'; ++i)
    support::fs::create_directories(*dirs[i - '0'] = root / std::string{'r', i, '/'});
  for (const Put& put : files) {
    const std::string path = *dirs[put.dir] + put.file;
    if (put.other == "fifo")
      ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    else if (put.other == "folder")
      support::fs::create_directory(path);
    else if (!put.other.empty())
      support::fs::create_symlink(put.other, path);
    else
      support::writeFile(path, put.member ? support::buildZip({{put.member, put.data}}) : put.data);
  }
  setRomSetDirectory("set");
  setParentSetDirectory(parent);
  setMessageBoxHook(recordBox);
  boxes.clear();
  informatives.clear();
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
const LookupCase lookupCases[] = {
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
  {"FIFOs, devices and folders are not files",
   {{0, "f.bin", {}, nullptr, "fifo"}, {0, "set.zip", {}, nullptr, "/dev/zero"},
    {1, "f.bin", {}, nullptr, "/dev/zero"}, {1, "set.zip", {}, nullptr, "fifo"},
    {2, "f.bin", {}, nullptr, "folder"}, {2, "set.zip", {}, nullptr, "folder"},
    {3, "f.bin", one}}, "f.bin", 8},
  {"a name that leaves its directory", {{1, "a.bin", one}}, "../r1/a.bin", 8, "p"},
};
// clang-format on

TEST(RomLookup, SearchOrder) {
  std::string lookups;
  for (const LookupCase& row : lookupCases) {
    const support::ScratchDir root;
    romDirs(root, row.files, row.parent);
    ASSERT_EQ(openLog((root / "log").c_str()), 1);
    testing::internal::CaptureStdout();
    const RomBuffer image = loadRomFile(row.name, row.length);
    std::string printed = testing::internal::GetCapturedStdout(), found;
    closeLog();
    for (uint32_t i = 0; image && i < row.length; ++i)
      found.append(" ").append(std::to_string(image[i]));
    const std::string text = std::string("== ") + row.what + "\n" + printed + "found:" + found +
                             "\n" + boxes + informatives + support::readText(root / "log");
    lookups += std::regex_replace(text, std::regex(root.path.string()), "<roms>");
  }
  EXPECT_EQ(lookups, support::readText(SB_SOURCE_DIR "/tests/romfs/lookups.txt"));
}

// Each set name is a tracked block of its length and a zero, listed to the end.
TEST(RomLookup, SetNamesAreTrackedBlocks) {
  setRomSetDirectory("abc");
  setRomSetDirectory("de");
  EXPECT_STREQ(romSetDirectory(), "de");
  testing::internal::CaptureStdout();
  writeMemoryReport(stdout);
  const std::regex lastTwo(
      "\t {15}4 bytes : Set directory \\(@ 0x[0-9a-f]+\\)\n"
      "\t {15}3 bytes : Set directory \\(@ 0x[0-9a-f]+\\)\n\n\t");
  EXPECT_TRUE(std::regex_search(testing::internal::GetCapturedStdout(), lastTwo));
}

// Within a game load an archive is opened once: its members are still found
// after it is gone, until the load ends.
TEST(RomLookup, ArchivesStayOpenForAGameLoad) {
  const support::ScratchDir root;
  romDirs(root, {{0, "set.zip", one, "a.bin"}}, "");
  testing::internal::CaptureStdout();
  beginArchiveCache();
  const bool first = loadRomFile("a.bin", 8) != nullptr;
  support::fs::remove(settings.Romdir + "set.zip");
  const bool kept = loadRomFile("a.bin", 8) != nullptr;
  endArchiveCache();
  const bool after = loadRomFile("a.bin", 8) != nullptr;
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(std::tuple(first, kept, after), std::tuple(true, true, false));
}

// Images copied whole, and two interleaved: the second's bytes first.
TEST(RomLookup, RegionCopies) {
  const support::ScratchDir root;
  romDirs(root, {{0, "even.bin", {1, 2, 3, 4, 5, 6}}, {2, "set.zip", {0xA1, 0xA2}, "odd.bin"}}, "");
  Bytes region(8, 0xEE);
  testing::internal::CaptureStdout();
  EXPECT_EQ(loadRom("even.bin", 5, region.data()), 1);
  EXPECT_EQ(loadRom("gone1.bin", 2, region.data()), 0);
  EXPECT_EQ(loadRomEvenOdd("even.bin", "odd.bin", 2, region.data() + 1), 1);
  EXPECT_EQ(loadRomEvenOdd("gone2.bin", "gone3.bin", 2, region.data()), 0);
  EXPECT_EQ(loadRomEvenOdd("even.bin", "gone4.bin", 2, region.data()), 0);
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(region, (Bytes{1, 0xA1, 1, 0xA2, 2, 0xEE, 0xEE, 0xEE}));
  const std::string box = " | The following rom cannot be loaded\n";
  EXPECT_EQ(boxes, "gone1.bin" + box + "gone2.bin" + box + "gone4.bin" + box);
}

}  // namespace
