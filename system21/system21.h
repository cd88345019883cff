// The System 21 machine: memory maps, start-up, run loop, diagnostics and
// sprite renderer.
#pragma once

#include <cstdint>
#include <string>

// How a run ends and what it leaves behind, from the command line.
struct RunOptions {
  bool headless = false;       // no window; frames still rendered
  int64_t maxFrames = -1;      // end the run after this many frames (-1: never)
  std::string screenshotPath;  // PNG of the last frame, written when the run ends
};
extern RunOptions runOptions;

// Loads the game of the driver file, runs it until a key (or the frame
// limit) stops it and releases it. 1 ran, 0 could not be loaded.
int runGame(const char* driverFileName);
