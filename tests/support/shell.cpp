#include "tests/support/shell.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>

namespace support {

ShellRun runShell(const std::string& command, const fs::path& directory) {
  ScratchDir streams("streams");
  const std::string line = "cd '" + directory.string() + "' && " + command + " >'" +
                           streams / "out" + "' 2>'" + streams / "err" + "' </dev/null";
  const int status = std::system(line.c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readText(streams.path / "out"),
          readText(streams.path / "err")};
}

ShellRun runProgram(const fs::path& directory, const std::string& arguments,
                    const std::string& environment) {
  const std::string program = SB_BINARY_DIR "/stonebreaker";
  if (!fs::exists(program)) ADD_FAILURE() << "not built: " << program;
  return runShell(environment + " '" + program + "' " + arguments, directory);
}

}  // namespace support
