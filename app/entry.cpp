// The entry: start-up, the launcher/play cycle and shutdown, all in the
// working directory and on the one main thread.
#include <cstdio>

#include "app/app.h"

int32_t launcherChoice = 1;
std::string selectedDriver;

namespace {

constexpr const char* configurationPath = "stoneBreaker.ini";
constexpr const char* logPath = "s000.log";

enum LauncherOutcome : int32_t { leaveProgram = 1, launcherAgain = 2, playGame = 3 };

// Plays one driver; 1 when it was loaded and run, 0 after the error box.
int playDriver(const EntryHooks& hooks, const std::string& driverFileName) {
  if (hooks.runGame != nullptr && hooks.runGame(driverFileName.c_str())) return 1;
  showMessageBox(driverFileName.c_str(), "Error while loading", nullptr);
  return 0;
}

void runLauncherCycle(const EntryHooks& hooks) {
  for (;;) {
    // Each pass starts from "leave", so a launcher that sets nothing ends it.
    launcherChoice = leaveProgram;
    selectedDriver.clear();
    if (hooks.runLauncher != nullptr) hooks.runLauncher();
    if (launcherChoice == playGame) {
      // A copy: the next launcher pass replaces the launcher's own text.
      playDriver(hooks, std::string(selectedDriver));
    } else if (launcherChoice != launcherAgain) {
      return;
    }
  }
}

}  // namespace

int runEntry(const EntryHooks& hooks, const CommandLine& line) {
  loadConfiguration(configurationPath);
  if (!openLog(logPath)) {
    showMessageBox("Cannot open log file", "Fatal error", nullptr);
    return 0;
  }
  fprintf(logFile(), "%s (%s %s)\n", programName, __DATE__, __TIME__);
  resetAllocationAccounting();

  int status = 0;
  if (!line.play.empty()) {
    if (!playDriver(hooks, line.play)) status = 1;
  } else {
    runLauncherCycle(hooks);
  }

  writeMemoryReport(logFile());
  closeLog();
  saveConfiguration(configurationPath);
  return status;
}
