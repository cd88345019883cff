// The pixels of an 8-bit RGB PNG with unfiltered rows, decoded with zlib (the
// tests' oracle, not the program's code). Link ZLIB::ZLIB to use it.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/files.h"

namespace support {

// 0x00RRGGBB pixels, rows one after another; empty when the file is missing
// or not of that kind.
inline std::vector<uint32_t> readPngPixels(const fs::path& path, int& width, int& height) {
  const Bytes d = readBytes(path);
  auto big32 = [&](size_t at) {
    return uint32_t{d[at]} << 24 | uint32_t{d[at + 1]} << 16 | uint32_t{d[at + 2]} << 8 | d[at + 3];
  };
  Bytes packed;
  width = height = 0;
  for (size_t at = 8; at + 12 <= d.size(); at += 12 + big32(at)) {
    const size_t length = big32(at), data = at + 8;
    if (data + length + 4 > d.size()) return {};
    const std::string type(d.begin() + at + 4, d.begin() + data);
    if (type == "IHDR" && length >= 8) width = big32(data), height = big32(data + 4);
    if (type == "IDAT") packed.insert(packed.end(), d.begin() + data, d.begin() + data + length);
  }
  if (width <= 0 || height <= 0 || width > 4096 || height > 4096) return {};
  const size_t row = 1 + 3 * size_t(width);
  Bytes raw(row * height);
  uLongf length = raw.size();
  if (uncompress(raw.data(), &length, packed.data(), packed.size()) != Z_OK || length != raw.size())
    return {};
  std::vector<uint32_t> pixels;
  for (size_t y = 0; y < size_t(height); y++) {
    if (raw[y * row] != 0) return {};
    for (const uint8_t* p = &raw[y * row + 1]; p < raw.data() + (y + 1) * row; p += 3)
      pixels.push_back(uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2]);
  }
  return pixels;
}

}  // namespace support
