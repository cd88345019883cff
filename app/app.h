// The top of the program: the command line and the entry's launcher/play
// cycle over the launcher and the machine.
#pragma once

#include <cstdint>
#include <string>

#include "launcher/launcher.h"
#include "system21/system21.h"

// ---- Command line -------------------------------------------------------
struct CommandLine {
  bool help = false;
  bool version = false;
  bool headless = false;
  std::string play;                    // --play DRIVER: run that driver once
  int64_t frames = -1;                 // --frames N: end a run after N frames
  std::string screenshot;              // --screenshot FILE.png
  int64_t logLimit = defaultLogLimit;  // --log-limit N: unknown-access lines a run
  std::string saveState;               // --save-state FILE
  std::string loadState;               // --load-state FILE
  std::string record;                  // --record DIR
  int64_t recordEvery = 1;             // --record-every N
  int64_t gdbPort = 0;                 // --gdb PORT: each run serves GDB there (0: no)
  int64_t historyMb = 256;             // --history-mb N: the debugger's history budget
  std::string script;                  // --script FILE.lua: run alongside each game run
  bool noFastForward = false;          // --no-fast-forward: every pass of a polling loop runs
};
// 1 parsed; 0 with a one-line message in error (a script that cannot be
// read is one).
int parseCommandLine(int argc, char** argv, CommandLine& line, std::string& error);
const char* usageText();

// ---- Entry --------------------------------------------------------------
constexpr const char* programName = "Stonebreaker 0.0.1";

// What the cycle calls; tests script these instead of a dialog and a game.
struct EntryHooks {
  LauncherResult (*runLauncher)();
  // As the machine's runGame: 1 ran, 0 not loaded, runRefused, runOutputLost.
  int (*runGame)(const char* driverFileName, const RunOptions& options, std::string* lostOutputs);
};

// How each run goes, from the command line (headless when no display is
// there either).
RunOptions runOptionsFrom(const CommandLine& line);

// Start-up, the launcher/play cycle and shutdown in the working directory.
// With line.play set, plays that driver once instead of the cycle. Returns
// the process's exit status.
int runEntry(const EntryHooks& hooks, const CommandLine& line);
