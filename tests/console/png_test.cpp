// PNG writer: the file is checked chunk by chunk, with zlib as the oracle
// for the image data and the checksums.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "console/console.h"

namespace {

uint32_t big32(const std::vector<uint8_t>& d, size_t at) {
  return uint32_t(d[at]) << 24 | uint32_t(d[at + 1]) << 16 | uint32_t(d[at + 2]) << 8 | d[at + 3];
}

struct Chunk {
  std::string type;
  std::vector<uint8_t> data;
};

// Splits a PNG into chunks, checking every chunk's CRC with zlib.
std::vector<Chunk> readPng(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> d((std::istreambuf_iterator<char>(in)), {});
  const uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  EXPECT_GE(d.size(), 8u);
  EXPECT_TRUE(std::equal(signature, signature + 8, d.begin()));
  std::vector<Chunk> chunks;
  size_t at = 8;
  while (at + 12 <= d.size()) {
    uint32_t length = big32(d, at);
    if (at + 12 + length > d.size()) break;
    Chunk c{std::string(d.begin() + at + 4, d.begin() + at + 8),
            std::vector<uint8_t>(d.begin() + at + 8, d.begin() + at + 8 + length)};
    uLong crc = crc32(0, d.data() + at + 4, 4 + length);
    EXPECT_EQ(crc, big32(d, at + 8 + length)) << c.type;
    chunks.push_back(std::move(c));
    at += 12 + length;
  }
  EXPECT_EQ(at, d.size());
  return chunks;
}

void checkImage(int width, int height) {
  std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
  for (size_t i = 0; i < pixels.size(); i++)
    pixels[i] = static_cast<uint32_t>(i * 2654435761u) & 0xffffff;
  std::string path = testing::TempDir() + "sb_png_test.png";
  ASSERT_EQ(writePng(path.c_str(), pixels.data(), width, height), 1);
  std::vector<Chunk> chunks = readPng(path);
  std::remove(path.c_str());
  ASSERT_EQ(chunks.size(), 3u);
  EXPECT_EQ(chunks[0].type, "IHDR");
  EXPECT_EQ(chunks[1].type, "IDAT");
  EXPECT_EQ(chunks[2].type, "IEND");
  const std::vector<uint8_t>& h = chunks[0].data;
  ASSERT_EQ(h.size(), 13u);
  EXPECT_EQ(big32(h, 0), static_cast<uint32_t>(width));
  EXPECT_EQ(big32(h, 4), static_cast<uint32_t>(height));
  EXPECT_EQ(h[8], 8);  // bit depth
  EXPECT_EQ(h[9], 2);  // RGB
  // zlib decodes the stream and checks its Adler-32.
  size_t rowBytes = 1 + 3 * static_cast<size_t>(width);
  std::vector<uint8_t> raw(rowBytes * height + 1);
  uLongf rawLength = raw.size();
  ASSERT_EQ(uncompress(raw.data(), &rawLength, chunks[1].data.data(), chunks[1].data.size()), Z_OK);
  ASSERT_EQ(rawLength, rowBytes * height);
  for (int y = 0; y < height; y++) {
    ASSERT_EQ(raw[y * rowBytes], 0) << "filter of row " << y;
    for (int x = 0; x < width; x++) {
      uint32_t p = pixels[static_cast<size_t>(y) * width + x];
      const uint8_t* rgb = &raw[y * rowBytes + 1 + 3 * x];
      ASSERT_EQ(uint32_t(rgb[0]) << 16 | uint32_t(rgb[1]) << 8 | rgb[2], p) << x << "," << y;
    }
  }
}

TEST(Png, GameFrameRoundTripsThroughZlib) {
  checkImage(496, 480);
}

TEST(Png, SmallAndBlockBoundaryImages) {
  checkImage(1, 1);
  // 1 + 3 * 21845 = 65536 bytes a row: one byte past a stored block.
  checkImage(21845, 1);
  checkImage(7, 3121);
}

TEST(Png, RefusesWhatItCannotWrite) {
  uint32_t pixel = 0;
  EXPECT_EQ(writePng("/nonexistent-dir/x.png", &pixel, 1, 1), 0);
  EXPECT_EQ(writePng("/tmp/x.png", nullptr, 1, 1), 0);
  EXPECT_EQ(writePng("/tmp/x.png", &pixel, 0, 1), 0);
}

}  // namespace
