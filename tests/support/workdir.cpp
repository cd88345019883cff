#include "tests/support/workdir.h"

namespace support {

WorkingDir::WorkingDir(const std::string& tag) : ScratchDir(tag), previous(fs::current_path()) {
  fs::current_path(path);
}

WorkingDir::~WorkingDir() {
  fs::current_path(previous);
}

}  // namespace support
