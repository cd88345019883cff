// The program log opened on a scratch file for the life of the record, and
// read back whole.
#pragma once

#include <cstdio>
#include <string>

#include "base/base.h"
#include "tests/support/files.h"

namespace support {

struct LogCapture {
  ScratchDir dir{"log"};
  LogCapture() { openLog((dir / "s000.log").c_str()); }
  ~LogCapture() { closeLog(); }
  std::string text() const {
    if (logFile() != nullptr) std::fflush(logFile());
    return readText(dir.path / "s000.log");
  }
};

}  // namespace support
