#include "tests/support/png.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <regex>

namespace support {

namespace {

uint32_t big32(const uint8_t* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

}  // namespace

std::vector<uint32_t> readPng(const fs::path& path, int& width, int& height) {
  const Bytes file = readBytes(path);
  const Bytes signature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  EXPECT_TRUE(file.size() > 8 && std::equal(signature.begin(), signature.end(), file.begin()));
  std::string types;
  Bytes header, data;
  for (size_t at = 8; at + 12 <= file.size(); at += 12 + big32(&file[at])) {
    const uint8_t* chunk = &file[at + 4];
    const uint32_t length = big32(&file[at]);
    if (at + 12 + length > file.size()) break;
    EXPECT_EQ(crc32(0, chunk, 4 + length), big32(chunk + 4 + length)) << "chunk at " << at;
    types += std::string(chunk, chunk + 4) + " ";
    if (types == "IHDR ") header.assign(chunk + 4, chunk + 4 + length);
    if (std::string(chunk, chunk + 4) == "IDAT") data.insert(data.end(), chunk + 4, chunk + 4 + length);
    EXPECT_TRUE(!types.ends_with("IEND ") || at + 12 + length == file.size()) << "data after IEND";
  }
  const bool layout = std::regex_match(types, std::regex("IHDR (IDAT )+IEND "));
  EXPECT_TRUE(layout) << types;
  width = height = 0;
  if (header.size() != 13) return {};
  width = int(big32(&header[0]));
  height = int(big32(&header[4]));
  EXPECT_EQ(Bytes(header.begin() + 8, header.end()), (Bytes{8, 2, 0, 0, 0}));  // 8-bit RGB
  const size_t row = 1 + 3 * size_t(width);
  Bytes raw(row * height + 1);
  uLongf size = raw.size();
  if (!layout ||
      uncompress(raw.data(), &size, data.data(), data.size()) != Z_OK || size != raw.size() - 1) {
    ADD_FAILURE() << "bad image data in " << path;
    return {};
  }
  std::vector<uint32_t> pixels;
  for (size_t y = 0; y < size_t(height); ++y) {
    EXPECT_EQ(raw[y * row], 0) << "filter of row " << y;
    for (const uint8_t* p = &raw[y * row + 1]; p < &raw[(y + 1) * row]; p += 3)
      pixels.push_back(uint32_t(p[0]) << 16 | p[1] << 8 | p[2]);
  }
  return pixels;
}

}  // namespace support
