// Zip archives built in memory, and raw Deflate by zlib, for ROM set tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace support {

using Bytes = std::vector<uint8_t>;

// A raw Deflate stream by zlib; empty when zlib fails.
Bytes zlibDeflate(const Bytes& data, int level = 9, int strategy = 0);

// Members deflated by zlib (method 8) or stored as they are; the end record
// takes the comment. put16 and put32 tamper with the result.
struct ZipMember {
  std::string name{};
  Bytes data{};
  uint16_t method = 0;
};
Bytes buildZip(const std::vector<ZipMember>& members, const std::string& comment = "");
void put16(Bytes& bytes, size_t at, uint16_t value);
void put32(Bytes& bytes, size_t at, uint32_t value);

}  // namespace support
