#include "tests/support/files.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <iterator>

namespace support {

ScratchDir::ScratchDir(const std::string& tag) {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = "sb_" + std::to_string(::getpid()) + "_" + tag;
  if (info != nullptr) name += std::string("_") + info->test_suite_name() + "_" + info->name();
  for (char& c : name)
    if (c == '/') c = '_';
  path = fs::temp_directory_path() / name;
  fs::remove_all(path);
  fs::create_directories(path);
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  fs::remove_all(path, ignored);
}

void writeFile(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  EXPECT_TRUE(out.good()) << path;
}

void writeFile(const fs::path& path, const Bytes& data) {
  writeFile(path, std::string(data.begin(), data.end()));
}

std::string readText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Bytes readBytes(const fs::path& path) {
  const std::string text = readText(path);
  return Bytes(text.begin(), text.end());
}

}  // namespace support
