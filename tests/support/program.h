// Runs of the built program, as a user starts it from a shell.
#pragma once

#include <string>

#include "tests/support/files.h"

namespace support {

struct ProgramRun {
  int status;  // exit status, -1 when it did not exit
  std::string out;
  std::string err;
};

// Runs the program in directory with arguments (already quoted for the
// shell) and nothing on standard input; environment is a command prefix such
// as "env -u DISPLAY".
ProgramRun runProgram(const fs::path& directory, const std::string& arguments,
                      const std::string& environment = "");

}  // namespace support
