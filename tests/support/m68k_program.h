// 68000 programs assembled at test time with the GNU cross tools.
#pragma once

#include <string>

#include "tests/support/files.h"

namespace support {

// Assembles a GNU as source for a plain 68000 and links it at address 0;
// returns the flat big-endian image. On failure the image is empty and
// `error` says why (missing cross tools, or their messages).
Bytes assembleM68k(const fs::path& source, std::string& error);

}  // namespace support
