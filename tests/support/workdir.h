// A scratch directory that is the working directory while it lives.
#pragma once

#include "tests/support/files.h"

namespace support {

struct WorkingDir : ScratchDir {
  fs::path previous;
  explicit WorkingDir(const std::string& tag = "");
  ~WorkingDir();
};

}  // namespace support
