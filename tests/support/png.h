// PNG files read back through Qt's image reader, for written images.
#pragma once

#include <cstdint>
#include <vector>

#include "tests/support/files.h"

namespace support {

// The pixels (0x00RRGGBB) of an 8-bit RGB PNG; fails the test and gives no
// pixels when the file is missing, damaged or of another kind.
std::vector<uint32_t> readPng(const fs::path& path, int& width, int& height);

}  // namespace support
