// Zip archives built in memory, and raw Deflate by zlib, for tests that read
// ROM sets.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace support {

using Bytes = std::vector<uint8_t>;

// data as a raw Deflate stream (no wrapper) by zlib; empty when zlib fails.
Bytes zlibDeflate(const Bytes& data, int level = 9, int strategy = 0);

// A member deflated by zlib (method 8) or stored as it is (any other method).
struct ZipMember {
  std::string name{};
  Bytes data{};
  uint16_t method = 0;
};
// Local headers and data, central directory and end record with a comment.
Bytes buildZip(const std::vector<ZipMember>& members, const std::string& comment = "");

// Little-endian fields, for tampering with a built archive.
void put16(Bytes& bytes, size_t at, uint16_t value);
void put32(Bytes& bytes, size_t at, uint32_t value);

}  // namespace support
