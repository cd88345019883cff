// Helpers of the shell's tests: a scratch working directory, whole-file
// reads and writes, and a recorder of message boxes.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/app.h"

namespace shelltest {

namespace fs = std::filesystem;

inline std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeFile(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  ASSERT_TRUE(out.good()) << path;
}

struct Box {
  std::string text;
  std::string caption;
  void* owner;
  bool operator==(const Box&) const = default;
};

// Every box shown while the hook is installed.
inline std::vector<Box> shownBoxes;
inline void recordBox(const char* text, const char* caption, void* owner) {
  shownBoxes.push_back({text, caption, owner});
}

// Runs each case in a fresh empty directory and comes back afterwards; boxes
// are recorded instead of shown.
class ScratchDirectory : public ::testing::Test {
 protected:
  void SetUp() override {
    home = fs::current_path();
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir = fs::temp_directory_path() / ("sb_shell_" + std::to_string(getpid()) + "_" +
                                       info->test_suite_name() + "_" + info->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
    fs::current_path(dir);
    shownBoxes.clear();
    setMessageBoxHook(recordBox);
    settings = defaultSettings();
  }
  void TearDown() override {
    setMessageBoxHook(nullptr);
    closeLog();
    fs::current_path(home);
    std::error_code ignored;
    fs::remove_all(dir, ignored);
  }
  fs::path home;
  fs::path dir;
};

// The configuration file as written with the default settings.
inline const char* defaultConfigurationText() {
  return "#                                 #\n"
         "# Stonebreaker configuration file #\n"
         "#                                 #\n"
         "\n"
         "Romdir       \t\" ./roms/\"\n"
         "AlternateRomdir1       \t\" ./roms/\"\n"
         "AlternateRomdir2       \t\" ./roms/\"\n"
         "AlternateRomdir3       \t\" ./roms/\"\n"
         "Logdir       \t\" ./log/\"\n"
         "Drvdir       \t\" ./drv/\"\n"
         "Epmdir       \t\" ./epm/\"\n"
         "Stadir       \t\" ./sta/\"\n"
         "\n"
         "Frameskip    \t0\n"
         "VerifyRoms   \tyes\n"
         "debugMode    \tno\n"
         "firstTimeRun \tyes\n"
         "threadPriority  aboveNormal\n"
         "hardwareStretch \tno\n"
         "surfacesInSystemMemory yes\n";
}

}  // namespace shelltest
