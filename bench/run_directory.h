// What the frame-rate benchmarks start from: the default settings over the
// driver and ROM directories of a run directory, headless, the log thrown
// away.
#pragma once

#include <string>

#include "base/base.h"

inline void useRunDirectory(const std::string& runDir) {
  settings = defaultSettings();
  settings.Drvdir = runDir + "/drv/";
  settings.Romdir = settings.AlternateRomdir1 = settings.AlternateRomdir2 =
      settings.AlternateRomdir3 = runDir + "/roms/";
  setHeadless(true);
  openLog("/dev/null");
}
