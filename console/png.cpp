// PNG output without a compressor: the image data goes into stored Deflate
// blocks, so only the two checksums have to be computed.
#include <algorithm>
#include <array>
#include <cstdio>
#include <vector>

#include "console/console.h"

namespace {

constexpr uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
constexpr size_t storedBlockMax = 65535;
constexpr uint32_t adlerModulus = 65521;

std::array<uint32_t, 256> makeCrcTable() {
  std::array<uint32_t, 256> table{};
  for (uint32_t n = 0; n < 256; n++) {
    uint32_t c = n;
    for (int k = 0; k < 8; k++) c = (c & 1) ? 0xedb88320u ^ (c >> 1) : c >> 1;
    table[n] = c;
  }
  return table;
}

uint32_t crc32(const uint8_t* data, size_t length, uint32_t crc = 0) {
  static const std::array<uint32_t, 256> table = makeCrcTable();
  crc = ~crc;
  for (size_t i = 0; i < length; i++) crc = table[(crc ^ data[i]) & 0xff] ^ (crc >> 8);
  return ~crc;
}

uint32_t adler32(const std::vector<uint8_t>& data) {
  uint32_t a = 1, b = 0;
  size_t i = 0;
  while (i < data.size()) {
    // 5552 bytes keep b below 2^32 before the reduction.
    size_t end = std::min(data.size(), i + 5552);
    for (; i < end; i++) {
      a += data[i];
      b += a;
    }
    a %= adlerModulus;
    b %= adlerModulus;
  }
  return b << 16 | a;
}

void putBig32(std::vector<uint8_t>& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

void putChunk(std::vector<uint8_t>& out, const char type[4], const std::vector<uint8_t>& data) {
  putBig32(out, static_cast<uint32_t>(data.size()));
  size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  putBig32(out, crc32(out.data() + start, out.size() - start));
}

// A zlib stream of stored blocks.
std::vector<uint8_t> storeDeflate(const std::vector<uint8_t>& raw) {
  std::vector<uint8_t> out = {0x78, 0x01};
  size_t pos = 0;
  do {
    size_t length = std::min(storedBlockMax, raw.size() - pos);
    bool last = pos + length == raw.size();
    out.push_back(last ? 1 : 0);  // BFINAL, BTYPE 00
    out.push_back(static_cast<uint8_t>(length));
    out.push_back(static_cast<uint8_t>(length >> 8));
    out.push_back(static_cast<uint8_t>(~length));
    out.push_back(static_cast<uint8_t>(~length >> 8));
    out.insert(out.end(), raw.begin() + pos, raw.begin() + pos + length);
    pos += length;
  } while (pos < raw.size());
  putBig32(out, adler32(raw));
  return out;
}

}  // namespace

int writePng(const char* path, const uint32_t* pixels, int width, int height) {
  if (!path || !pixels || width <= 0 || height <= 0) return 0;
  std::vector<uint8_t> header;
  putBig32(header, static_cast<uint32_t>(width));
  putBig32(header, static_cast<uint32_t>(height));
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8-bit RGB, no interlace
  std::vector<uint8_t> raw;
  raw.reserve(static_cast<size_t>(height) * (1 + 3 * static_cast<size_t>(width)));
  for (int y = 0; y < height; y++) {
    raw.push_back(0);  // filter: none
    const uint32_t* row = pixels + static_cast<size_t>(y) * width;
    for (int x = 0; x < width; x++) {
      raw.push_back(static_cast<uint8_t>(row[x] >> 16));
      raw.push_back(static_cast<uint8_t>(row[x] >> 8));
      raw.push_back(static_cast<uint8_t>(row[x]));
    }
  }
  std::vector<uint8_t> file(signature, signature + 8);
  putChunk(file, "IHDR", header);
  putChunk(file, "IDAT", storeDeflate(raw));
  putChunk(file, "IEND", {});
  FILE* out = fopen(path, "wb");
  if (!out) return 0;
  bool written = fwrite(file.data(), 1, file.size(), out) == file.size();
  if (fclose(out) != 0) written = false;
  return written ? 1 : 0;
}
