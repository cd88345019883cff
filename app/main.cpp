// The program: the command line, then the entry with the real launcher and
// machine.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/app.h"
#include "base/base.h"

namespace {

// Without a display the program runs headless all the same: unless that was
// asked for, it says so and how to play a game that way.
void noteMissingDisplay(const CommandLine& line) {
  const char* forced = getenv("SB_HEADLESS");
  if (line.headless || !isHeadless() || (forced != nullptr && strcmp(forced, "1") == 0)) return;
  fputs(
      "stonebreaker: no display found (neither DISPLAY nor WAYLAND_DISPLAY is set): running\n"
      "headless, without the launcher or a game window. To play a game this way:\n"
      "  stonebreaker --headless --play demo.drv --frames 600 --screenshot shot.png\n",
      stderr);
}

}  // namespace

int main(int argc, char** argv) {
  // What the ROM lookup and the zip reader print shows as it happens.
  setvbuf(stdout, nullptr, _IOLBF, 0);
  CommandLine line;
  std::string error;
  if (!parseCommandLine(argc, argv, line, error)) {
    fprintf(stderr, "stonebreaker: %s\n%s", error.c_str(), usageText());
    return 2;
  }
  if (line.help) {
    fputs(usageText(), stdout);
    return 0;
  }
  if (line.version) {
    printf("%s (built %s %s)\n", programName, __DATE__, __TIME__);
    return 0;
  }
  if (line.headless) setHeadless(true);
  noteMissingDisplay(line);
  return runEntry(EntryHooks{runLauncher, runGame}, line);
}
