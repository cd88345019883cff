// What the frame-rate benchmarks start from: the default settings over the
// driver and ROM directories of a run directory, headless, the log thrown
// away; and a game loaded, its processors reset, drawing into a headless
// console's frame.
#pragma once

#include <string>
#include <utility>

#include "base/base.h"
#include "console/console.h"
#include "system21/system21.h"

inline void useRunDirectory(const std::string& runDir) {
  settings = defaultSettings();
  settings.Drvdir = runDir + "/drv/";
  settings.Romdir = settings.AlternateRomdir1 = settings.AlternateRomdir2 =
      settings.AlternateRomdir3 = runDir + "/roms/";
  setHeadless(true);
  openLog("/dev/null");
}

inline bool startHeadlessGame(const char* driver) {
  GameRom rom;
  if (!loadGame(driver, rom)) return false;
  buildMachine(std::move(rom));
  startCpus();
  setConsoleHeadless(true);
  openConsole(machine.game.gameName.c_str(), screenWidth, screenHeight, false);
  machine.driverFileName = driver;
  machine.screen = frameBuffer();
  machine.render = true;
  return true;
}
