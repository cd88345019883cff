// Lua scripts that watch and drive a game run: each run gets a fresh Lua
// state, the script runs once before the first frame, and the callbacks it
// registers through the table `sb` are called as the run goes.
#pragma once

#include <string>

#include "system21/system21.h"

// The owner of the machine's breakpoints and watchpoints that scripts set.
constexpr int scriptOwner = 2;

// Hooks that run the Lua script at path alongside each game run. They go
// before the debugger's, so that a script's callbacks run before a stop
// halts the run for a client.
RunHooks scriptRunHooks(const std::string& path);

// What the last run's script asks the process to exit with, cleared by
// reading it: -1 nothing (no script, or sb.stop without a status), 1 after
// a Lua error, else the status given to sb.stop.
int takeScriptStatus();
