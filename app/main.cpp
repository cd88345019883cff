// The program: the command line, then the entry with the real launcher and
// machine.
#include <cstdio>
#include <string>

#include "app/app.h"
#include "base/base.h"

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
  return runEntry(EntryHooks{runLauncher, runGame}, line);
}
