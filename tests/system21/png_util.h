// Golden frames: 8-bit RGB PNG files with filter 0 rows, read and written
// with zlib (the tests' oracle, not the program's writer).
#pragma once

#include <zlib.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace png_util {

inline uint32_t big32(const std::vector<uint8_t>& d, size_t at) {
  return uint32_t(d[at]) << 24 | uint32_t(d[at + 1]) << 16 | uint32_t(d[at + 2]) << 8 | d[at + 3];
}

// Pixels as 0x00RRGGBB; empty when the file is missing or not understood.
inline std::vector<uint32_t> read(const std::string& path, int& width, int& height) {
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> d((std::istreambuf_iterator<char>(in)), {});
  std::vector<uint8_t> idat;
  width = height = 0;
  for (size_t at = 8; at + 12 <= d.size();) {
    uint32_t length = big32(d, at);
    if (at + 12 + length > d.size()) return {};
    std::string type(d.begin() + at + 4, d.begin() + at + 8);
    if (type == "IHDR") {
      width = static_cast<int>(big32(d, at + 8));
      height = static_cast<int>(big32(d, at + 12));
    }
    if (type == "IDAT") idat.insert(idat.end(), d.begin() + at + 8, d.begin() + at + 8 + length);
    at += 12 + length;
  }
  if (width <= 0 || height <= 0 || width > 4096 || height > 4096) return {};
  size_t row = 1 + 3 * static_cast<size_t>(width);
  std::vector<uint8_t> raw(row * height);
  uLongf length = raw.size();
  if (uncompress(raw.data(), &length, idat.data(), idat.size()) != Z_OK || length != raw.size()) {
    return {};
  }
  std::vector<uint32_t> pixels;
  for (int y = 0; y < height; y++) {
    if (raw[y * row] != 0) return {};
    for (int x = 0; x < width; x++) {
      const uint8_t* p = &raw[y * row + 1 + 3 * x];
      pixels.push_back(uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2]);
    }
  }
  return pixels;
}

inline void putBig32(std::vector<uint8_t>& out, uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<uint8_t>(v >> s));
}
inline void chunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data) {
  putBig32(out, static_cast<uint32_t>(data.size()));
  size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  putBig32(out, static_cast<uint32_t>(crc32(0, out.data() + start, out.size() - start)));
}

inline bool write(const std::string& path, const uint32_t* pixels, int width, int height) {
  std::vector<uint8_t> raw;
  for (int y = 0; y < height; y++) {
    raw.push_back(0);
    for (int x = 0; x < width; x++) {
      uint32_t p = pixels[y * width + x];
      raw.insert(raw.end(), {uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p)});
    }
  }
  uLongf length = compressBound(raw.size());
  std::vector<uint8_t> packed(length);
  if (compress2(packed.data(), &length, raw.data(), raw.size(), 9) != Z_OK) return false;
  packed.resize(length);
  std::vector<uint8_t> header, file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  putBig32(header, width);
  putBig32(header, height);
  header.insert(header.end(), {8, 2, 0, 0, 0});
  chunk(file, "IHDR", header);
  chunk(file, "IDAT", packed);
  chunk(file, "IEND", {});
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
  return static_cast<bool>(out);
}

}  // namespace png_util
