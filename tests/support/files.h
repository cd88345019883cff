// Scratch directories and whole-file reads and writes for tests.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace support {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

// A fresh empty directory named after the running test (and the process),
// removed again when the record goes.
struct ScratchDir {
  fs::path path;
  explicit ScratchDir(const std::string& tag = "");
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  // path / name as a string.
  std::string operator/(const std::string& name) const { return (path / name).string(); }
};

void writeFile(const fs::path& path, const std::string& text);
void writeFile(const fs::path& path, const Bytes& data);
std::string readText(const fs::path& path);
Bytes readBytes(const fs::path& path);

}  // namespace support
