// The entry: start-up, the launcher/play cycle and shutdown, all in the
// working directory and on the one main thread.
#include <cstdio>
#include <string>
#include <vector>

#include "app/app.h"
#include "base/base.h"
#include "debugger/debugger.h"
#include "script/script.h"

namespace {

constexpr const char* configurationPath = "stoneBreaker.ini";
constexpr const char* logPath = "s000.log";

// Plays one driver; 1 when it was loaded and run and every file asked for
// was written. Otherwise 0, after the error box for a game that did not
// load; a refused saved state has had its own box, and a file not written
// its line on standard error, and in the launcher cycle a box.
int playDriver(const EntryHooks& hooks, const std::string& driverFileName,
               const RunOptions& options, bool inCycle) {
  const uint64_t linesBefore = logLinesWritten();
  std::string lost;
  const int result =
      hooks.runGame != nullptr ? hooks.runGame(driverFileName.c_str(), options, &lost) : 0;
  if (result == 1) return 1;
  if (result == runRefused) return 0;
  if (result == runOutputLost) {
    if (inCycle) showMessageBox(lost.c_str(), "Output not written", nullptr);
    return 0;
  }
  // The loader's last line says why.
  const std::vector<std::string> reason =
      logLinesWritten() > linesBefore ? recentLogLines(1) : std::vector<std::string>();
  showMessageBox(driverFileName.c_str(), "Error while loading", nullptr,
                 reason.empty() ? nullptr : reason.front().c_str());
  return 0;
}

void runLauncherCycle(const EntryHooks& hooks, const RunOptions& options) {
  for (;;) {
    // Without a launcher the pass leaves, as "Exit" does.
    const LauncherResult pass =
        hooks.runLauncher != nullptr ? hooks.runLauncher() : LauncherResult{};
    if (pass.choice == playGame) {
      RunOptions run = options;
      run.showFps = pass.showFps;
      playDriver(hooks, pass.driverFileName, run, true);
    } else if (pass.choice != launcherAgain) {
      return;
    }
  }
}

}  // namespace

RunOptions runOptionsFrom(const CommandLine& line) {
  RunOptions options;
  options.headless = isHeadless();
  options.maxFrames = line.frames;
  options.screenshotPath = line.screenshot;
  options.logLimit = line.logLimit;
  options.saveStatePath = line.saveState;
  options.loadStatePath = line.loadState;
  options.recordDirectory = line.record;
  options.recordEvery = line.recordEvery;
  // The script's callbacks run before the debugger halts at a stop.
  if (!line.script.empty()) options.hooks.push_back(scriptRunHooks(line.script));
  options.fastForward = !line.noFastForward;
  if (line.gdbPort > 0) {
    options.hooks.push_back(gdbRunHooks(int(line.gdbPort)));
    options.historyBytes = line.historyMb << 20;
  }
  return options;
}

int runEntry(const EntryHooks& hooks, const CommandLine& line) {
  loadConfiguration(configurationPath);
  if (!openLog(logPath)) {
    showMessageBox("Cannot open log file", "Fatal error", nullptr);
    return 0;
  }
  fprintf(logFile(), "%s (%s %s)\n", programName, __DATE__, __TIME__);
  for (const std::string& note : configurationNotes()) logLine("%s\n", note.c_str());
  resetAllocationAccounting();

  const RunOptions options = runOptionsFrom(line);
  int status = 0;
  if (!line.play.empty()) {
    if (!playDriver(hooks, line.play, options, false)) status = 1;
    // A script's error or its sb.stop status; sb.stop(0) hides no failure.
    const int scripted = takeScriptStatus();
    if (scripted > 0) status = scripted;
  } else {
    runLauncherCycle(hooks, options);
  }

  writeMemoryReport(logFile());
  closeLog();
  saveConfiguration(configurationPath);
  return status;
}
