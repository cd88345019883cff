// PNG files read back with zlib, the tests' oracle for written images.
#pragma once

#include <cstdint>
#include <vector>

#include "tests/support/files.h"

namespace support {

// The pixels (0x00RRGGBB) of an 8-bit RGB PNG of unfiltered rows in one
// IDAT chunk. Fails the test and gives no pixels when the file is not one,
// or when a chunk's checksum or the stream's is wrong.
std::vector<uint32_t> readPng(const fs::path& path, int& width, int& height);

}  // namespace support
