#include "tests/support/shell.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

namespace support {

ShellRun runShell(const std::string& command, const ScratchDir& dir) {
  const std::string line = "cd '" + dir.path.string() + "' && " + command + " >out 2>err";
  const int status = std::system(line.c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readText(dir / "out"),
          readText(dir / "err")};
}

std::string assemble68000(const std::string& source, const ScratchDir& dir) {
  if (access(SB_M68K_AS, X_OK) != 0 || access(SB_M68K_OBJCOPY, X_OK) != 0) return {};
  const ShellRun run = runShell(std::string(SB_M68K_AS) + " -m68000 -o image.o '" + source +
                                    "' && " + SB_M68K_OBJCOPY + " -O binary image.o image",
                                dir);
  return run.status == 0 ? readText(dir / "image") : std::string();
}

}  // namespace support
