#include "test_support.h"

#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>

#include "romfs/romfs.h"

Bytes zlibDeflate(const Bytes& data, int level, int strategy) {
  z_stream z{};
  if (deflateInit2(&z, level, Z_DEFLATED, -15, 8, strategy) != Z_OK) return {};
  Bytes out(deflateBound(&z, data.size()) + 64);
  z.next_in = const_cast<Bytef*>(data.data());
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  int r = deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  if (r != Z_STREAM_END) return {};
  return out;
}

bool zlibInflate(const Bytes& stream, Bytes& out, size_t size) {
  z_stream z{};
  if (inflateInit2(&z, -15) != Z_OK) return false;
  out.resize(size);
  z.next_in = const_cast<Bytef*>(stream.data());
  z.avail_in = static_cast<uInt>(stream.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  int r = ::inflate(&z, Z_FINISH);
  out.resize(z.total_out);
  inflateEnd(&z);
  return r == Z_STREAM_END;
}

Bytes textData(size_t size, uint32_t seed) {
  static const char* words[] = {"the ",    "sprite ",  "board ", "68000 ",     "master ", "slave ",
                                "video ",  "ram ",     "rom ",   "of ",        "and ",    "a ",
                                "tile ",   "palette ", "frame ", "interrupt ", "\n",      ", ",
                                "System ", "21 ",      "loads ", "decodes "};
  std::mt19937 rng(seed);
  Bytes out;
  out.reserve(size + 16);
  while (out.size() < size) {
    const char* w = words[rng() % (sizeof words / sizeof *words)];
    out.insert(out.end(), w, w + std::strlen(w));
  }
  out.resize(size);
  return out;
}

Bytes randomData(size_t size, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes out(size);
  for (auto& b : out) b = static_cast<uint8_t>(rng());
  return out;
}

Bytes runData(size_t size, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes out;
  out.reserve(size);
  while (out.size() < size) {
    size_t run = 1 + rng() % 2000;
    uint8_t value = static_cast<uint8_t>(rng() % 4);
    for (size_t i = 0; i < run && out.size() < size; ++i) out.push_back(value);
  }
  return out;
}

Bytes mixedData(size_t size, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes out;
  out.reserve(size);
  uint32_t part = 0;
  while (out.size() < size) {
    size_t chunk = std::min<size_t>(size - out.size(), 4096 + rng() % 60000);
    Bytes piece = part % 3 == 0   ? textData(chunk, rng())
                  : part % 3 == 1 ? randomData(chunk, rng())
                                  : runData(chunk, rng());
    out.insert(out.end(), piece.begin(), piece.end());
    ++part;
  }
  return out;
}

Decoded decode(const Bytes& stream, size_t outputSize) {
  Decoded d;
  d.output.assign(outputSize, 0);
  Bytes window(inflateWindowSize);
  InflateState& s = inflateState;
  s.input = stream.data();
  s.inputEnd = stream.data() + stream.size();
  s.output = d.output.data();
  s.outputEnd = d.output.data() + outputSize;
  s.window = window.data();
  d.result = inflate();
  d.output.resize(static_cast<size_t>(s.output - d.output.data()));
  d.consumed = static_cast<size_t>(s.input - stream.data());
  return d;
}

void BitWriter::bits(uint32_t value, uint32_t count) {
  for (uint32_t i = 0; i < count; ++i) {
    if (bitCount % 8 == 0) bytes.push_back(0);
    if (i < 32 && ((value >> i) & 1)) bytes.back() |= static_cast<uint8_t>(1u << (bitCount % 8));
    ++bitCount;
  }
}

void BitWriter::code(uint32_t c, uint32_t length) {
  for (uint32_t i = length; i-- > 0;) bits((c >> i) & 1, 1);
}

void BitWriter::alignToByte() {
  bitCount = (bitCount + 7) / 8 * 8;
}

std::vector<uint32_t> canonicalCodes(const std::vector<uint8_t>& lengths) {
  uint32_t count[16] = {}, next[16] = {};
  for (uint8_t l : lengths) ++count[l];
  count[0] = 0;
  for (uint32_t l = 1, c = 0; l < 16; ++l) {
    c = (c + count[l - 1]) << 1;
    next[l] = c;
  }
  std::vector<uint32_t> codes(lengths.size());
  for (size_t s = 0; s < lengths.size(); ++s)
    if (lengths[s]) codes[s] = next[lengths[s]]++;
  return codes;
}

void writeDynamicHeader(BitWriter& w, bool last, const std::vector<uint8_t>& literalLengths,
                        const std::vector<uint8_t>& distanceLengths) {
  w.bits(last ? 1 : 0, 1);
  w.bits(2, 2);
  w.bits(static_cast<uint32_t>(literalLengths.size() - 257), 5);
  w.bits(static_cast<uint32_t>(distanceLengths.size() - 1), 5);
  // Code-length code: symbols 0-15 get 4 bits, 16-18 unused... a complete
  // code needs 16 codes of length 4: lengths 0 to 15, all of length 4.
  static const uint8_t order[19] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                    11, 4,  12, 3, 13, 2, 14, 1, 15};
  std::vector<uint8_t> clLengths(19, 0);
  for (int s = 0; s < 16; ++s) clLengths[s] = 4;
  w.bits(19 - 4, 4);
  for (int i = 0; i < 19; ++i) w.bits(clLengths[order[i]], 3);
  std::vector<uint32_t> clCodes = canonicalCodes(clLengths);
  for (uint8_t l : literalLengths) w.code(clCodes[l], 4);
  for (uint8_t l : distanceLengths) w.code(clCodes[l], 4);
}

void put16(Bytes& b, size_t at, uint16_t v) {
  b[at] = static_cast<uint8_t>(v);
  b[at + 1] = static_cast<uint8_t>(v >> 8);
}

void put32(Bytes& b, size_t at, uint32_t v) {
  put16(b, at, static_cast<uint16_t>(v));
  put16(b, at + 2, static_cast<uint16_t>(v >> 16));
}

namespace {
void append16(Bytes& b, uint16_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}
void append32(Bytes& b, uint32_t v) {
  append16(b, static_cast<uint16_t>(v));
  append16(b, static_cast<uint16_t>(v >> 16));
}
void appendText(Bytes& b, const std::string& s) {
  b.insert(b.end(), s.begin(), s.end());
}
}  // namespace

Bytes buildZip(const std::vector<ZipMember>& members, const ZipEnd& end, uint32_t base) {
  Bytes file, directory;
  for (const ZipMember& m : members) {
    Bytes stored = m.method == 8 ? zlibDeflate(m.data, m.level, Z_DEFAULT_STRATEGY) : m.data;
    uint32_t crc = static_cast<uint32_t>(crc32(0, m.data.data(), static_cast<uInt>(m.data.size())));
    uint32_t offset = base + static_cast<uint32_t>(file.size());
    uint16_t flags = m.dataDescriptor ? 8 : 0;
    append32(file, 0x04034B50);
    append16(file, m.versionNeeded);
    append16(file, flags);
    append16(file, m.method);
    append32(file, 0);  // time, date
    append32(file, m.dataDescriptor ? 0 : crc);
    append32(file, m.dataDescriptor ? 0 : static_cast<uint32_t>(stored.size()));
    append32(file, m.dataDescriptor ? 0 : static_cast<uint32_t>(m.data.size()));
    append16(file, static_cast<uint16_t>(m.name.size()));
    append16(file, static_cast<uint16_t>(m.extra.size()));
    appendText(file, m.name);
    file.insert(file.end(), m.extra.begin(), m.extra.end());
    file.insert(file.end(), stored.begin(), stored.end());
    if (m.dataDescriptor) {
      append32(file, 0x08074B50);
      append32(file, crc);
      append32(file, static_cast<uint32_t>(stored.size()));
      append32(file, static_cast<uint32_t>(m.data.size()));
    }
    append32(directory, 0x02014B50);
    directory.push_back(20);
    directory.push_back(3);
    directory.push_back(m.versionNeeded);
    directory.push_back(m.osByte);
    append16(directory, flags);
    append16(directory, m.method);
    append32(directory, 0);
    append32(directory, crc);
    append32(directory, static_cast<uint32_t>(stored.size()));
    append32(directory, static_cast<uint32_t>(m.data.size()));
    append16(directory, static_cast<uint16_t>(m.name.size()));
    append16(directory, static_cast<uint16_t>(m.extra.size()));
    append16(directory, static_cast<uint16_t>(m.comment.size()));
    append16(directory, m.startDisk);
    append16(directory, 0);
    append32(directory, 0);
    append32(directory, offset);
    appendText(directory, m.name);
    directory.insert(directory.end(), m.extra.begin(), m.extra.end());
    appendText(directory, m.comment);
  }
  uint32_t directoryOffset = base + static_cast<uint32_t>(file.size());
  file.insert(file.end(), directory.begin(), directory.end());
  append32(file, 0x06054B50);
  append16(file, end.diskNumber);
  append16(file, end.directoryDisk);
  append16(file, static_cast<uint16_t>(static_cast<int>(members.size()) + end.entriesOnDiskDelta));
  append16(file, static_cast<uint16_t>(members.size()));
  append32(file, static_cast<uint32_t>(directory.size()));
  append32(file, directoryOffset);
  append16(file, static_cast<uint16_t>(end.comment.size()));
  appendText(file, end.comment);
  return file;
}

namespace {
std::filesystem::path testRoot() {
  return std::filesystem::temp_directory_path() / ("sb_romfs_" + std::to_string(::getpid()));
}
void removeTestRoot() {
  std::error_code ignored;
  std::filesystem::remove_all(testRoot(), ignored);
}
}  // namespace

std::string freshDirectory(const std::string& name) {
  namespace fs = std::filesystem;
  static const bool removedAtExit = std::atexit(removeTestRoot) == 0;
  (void)removedAtExit;
  fs::path dir = testRoot() / name;
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir.string() + "/";
}

void writeFile(const std::string& path, const Bytes& data) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return;
  std::fwrite(data.data(), 1, data.size(), f);
  std::fclose(f);
}

Bytes readFile(const std::string& path) {
  Bytes out;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return out;
  int c;
  while ((c = std::fgetc(f)) != EOF) out.push_back(static_cast<uint8_t>(c));
  std::fclose(f);
  return out;
}
