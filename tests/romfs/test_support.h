// Shared helpers of the ROM access tests: zlib as the reference encoder, test
// data, a bit writer for hand-made Deflate streams and a zip archive builder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

// Raw Deflate (no wrapper) of data by zlib at a level and strategy.
Bytes zlibDeflate(const Bytes& data, int level, int strategy);
// zlib's own inflate of a raw stream into size bytes; false on failure.
bool zlibInflate(const Bytes& stream, Bytes& out, size_t size);

// Test data of a given size: English-like text, random bytes, long runs of a
// few values, and a mixture of the three in chunks.
Bytes textData(size_t size, uint32_t seed);
Bytes randomData(size_t size, uint32_t seed);
Bytes runData(size_t size, uint32_t seed);
Bytes mixedData(size_t size, uint32_t seed);

// Our decoder over a whole buffer: result code, output (outputSize bytes of
// room, trimmed to what was produced) and bytes of input consumed.
struct Decoded {
  int result;
  Bytes output;
  size_t consumed;
};
Decoded decode(const Bytes& stream, size_t outputSize);

// Writes Deflate fields least significant bit first, and Huffman codes first
// bit first.
struct BitWriter {
  Bytes bytes;
  uint32_t bitCount = 0;
  void bits(uint32_t value, uint32_t count);
  void code(uint32_t code, uint32_t length);  // code's top bit goes first
  void alignToByte();
};

// Canonical codes for a set of code lengths (index = symbol).
std::vector<uint32_t> canonicalCodes(const std::vector<uint8_t>& lengths);

// Writes a dynamic block header for the given literal/length and distance
// code lengths, coding every length with the 19-symbol code of all-5s
// except as stated: lengths are sent literally (no repeat symbols).
void writeDynamicHeader(BitWriter& w, bool last, const std::vector<uint8_t>& literalLengths,
                        const std::vector<uint8_t>& distanceLengths);

// ---- Zip archives ---------------------------------------------------------
struct ZipMember {
  std::string name{};
  Bytes data{};         // contents as delivered
  uint16_t method = 0;  // 0 stored, 8 deflated (by zlib); others store the bytes as they are
  bool dataDescriptor =
      false;  // flag bit 3: sizes 0 in the local header, descriptor after the data
  uint8_t versionNeeded = 20;
  uint8_t osByte = 0;
  uint16_t startDisk = 0;
  Bytes extra{};
  std::string comment{};
  int level = 9;
};
struct ZipEnd {
  std::string comment{};
  uint16_t diskNumber = 0;
  uint16_t directoryDisk = 0;
  int entriesOnDiskDelta = 0;  // added to the entry count on this disk
};
// The archive's bytes, as if it started at offset base of its file.
Bytes buildZip(const std::vector<ZipMember>& members, const ZipEnd& end = {}, uint32_t base = 0);

// Little-endian field access for tampering with built archives.
void put16(Bytes& b, size_t at, uint16_t v);
void put32(Bytes& b, size_t at, uint32_t v);

// A fresh empty directory under the test's temporary directory, ending in '/'.
std::string freshDirectory(const std::string& name);
void writeFile(const std::string& path, const Bytes& data);
Bytes readFile(const std::string& path);
