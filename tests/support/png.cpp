#include "tests/support/png.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QString>

namespace support {

std::vector<uint32_t> readPng(const fs::path& path, int& width, int& height) {
  const QImage image(QString::fromStdString(path.string()), "PNG");
  width = image.width();
  height = image.height();
  // An 8-bit RGB file (no alpha, no palette, no 16-bit channels) loads as RGB32.
  if (image.format() != QImage::Format_RGB32) {
    ADD_FAILURE() << path << " is no 8-bit RGB PNG (Qt format " << image.format() << ")";
    return {};
  }
  std::vector<uint32_t> pixels;
  for (int y = 0; y < height; ++y) {
    const auto* row = reinterpret_cast<const uint32_t*>(image.constScanLine(y));
    for (int x = 0; x < width; ++x) pixels.push_back(row[x] & 0xffffff);
  }
  return pixels;
}

}  // namespace support
