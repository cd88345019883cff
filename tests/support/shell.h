// Commands run from tests as from a shell, the built program among them,
// with their exit status and output.
#pragma once

#include <string>

#include "tests/support/files.h"

namespace support {

struct ShellRun {
  int status;  // exit status, -1 when the command did not exit normally
  std::string out, err;
};

// Runs command in directory with nothing on standard input; its output is
// caught in a scratch directory of its own, so directory gains no files.
ShellRun runShell(const std::string& command, const fs::path& directory);

// The built program with arguments (already quoted for the shell); environment
// is a command prefix such as "env -u DISPLAY".
ShellRun runProgram(const fs::path& directory, const std::string& arguments,
                    const std::string& environment = "");

}  // namespace support
