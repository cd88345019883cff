// Opens the program log on a temporary file and reads back what was written.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "app/app.h"

struct LogCapture {
  std::string path;
  LogCapture() {
    char name[] = "/tmp/sb_system21_logXXXXXX";
    int fd = mkstemp(name);
    if (fd >= 0) close(fd);
    path = name;
    openLog(path.c_str());
  }
  ~LogCapture() {
    closeLog();
    std::remove(path.c_str());
  }
  std::string text() const {
    if (logFile()) fflush(logFile());
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
};
