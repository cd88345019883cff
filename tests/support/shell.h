// Shell commands run from tests, with their exit status and output.
#pragma once

#include <string>

#include "tests/support/files.h"

namespace support {

struct ShellRun {
  int status;  // exit status, -1 when the command did not exit normally
  std::string out, err;
};

// Runs `command` with `dir` as its working directory, capturing standard
// output and error through files "out" and "err" there.
ShellRun runShell(const std::string& command, const ScratchDir& dir);

// Assembles a 68000 source file with GNU as into a plain big-endian image
// (file "image" in dir); empty when the assembler or objcopy is missing.
std::string assemble68000(const std::string& source, const ScratchDir& dir);

}  // namespace support
