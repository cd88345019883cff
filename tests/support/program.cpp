#include "tests/support/program.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>

namespace support {

ProgramRun runProgram(const fs::path& directory, const std::string& arguments,
                      const std::string& environment) {
  const std::string program = SB_BINARY_DIR "/stonebreaker";
  if (!fs::exists(program)) ADD_FAILURE() << "not built: " << program;
  ScratchDir streams("streams");
  const std::string command = "cd '" + directory.string() + "' && " + environment + " '" + program +
                              "' " + arguments + " >'" + streams / "out" + "' 2>'" +
                              streams / "err" + "' </dev/null";
  const int raw = std::system(command.c_str());
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, readText(streams.path / "out"),
          readText(streams.path / "err")};
}

}  // namespace support
