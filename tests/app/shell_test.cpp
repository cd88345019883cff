// The shell's services: the log and the memory report, headless message
// boxes, and the command line.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <cinttypes>
#include <sstream>

#include "app/app.h"
#include "base/base.h"
#include "tests/support/memory_report.h"
#include "tests/support/table.h"

namespace {

using namespace support;

TEST(Log, ReplacesTheFileTakesLinesWhileOpenAndEndsWithTheMemoryReport) {
  ScratchDir dir;
  writeFile(dir.path / "s.log", "old contents\n");
  EXPECT_EQ(openLog(nullptr) + openLog((dir / "no/s.log").c_str()), 0);
  EXPECT_EQ(openLog((dir / "s.log").c_str()), 1);
  logLine("line %d\n", 1);
  closeLog();
  logLine("after\n");
  EXPECT_EQ(logFile(), nullptr);
  EXPECT_EQ(readText(dir.path / "s.log"), "line 1\n");

  // The memory report lists the blocks since the reset, with total and peak.
  void* dropped = trackedAlloc(9, "dropped");
  resetAllocationAccounting();
  std::string report;
  for (void* block : {trackedAlloc(4, "Set directory"), trackedAlloc(3145722, "big"),
                      trackedAlloc(0, "empty"), trackedAlloc(1, "one"), dropped}) {
    if (report.empty()) report = memoryReportText();
    char address[32];
    snprintf(address, sizeof address, "0x%08" PRIxPTR ")", uintptr_t(block));
    if (block != dropped) report.replace(report.find(address), strlen(address), "0xADDRESS)");
    free(block);
  }
  EXPECT_EQ(report, readText(SB_SOURCE_DIR "/tests/app/memory_report.txt"));
  resetAllocationAccounting();
}

TEST(MessageBox, HeadlessWhenAskedOrWithoutADisplayAndThenOneLineOnStandardError) {
  for (const auto& [environment, expected] : readTable(SB_SOURCE_DIR "/tests/app/headless.table")) {
    for (const char* name : {"SB_HEADLESS", "DISPLAY", "WAYLAND_DISPLAY"}) unsetenv(name);
    std::string word;
    for (std::istringstream in(environment); in >> word;)
      if (word != "asked")
        setenv(word.substr(0, word.find('=')).c_str(), word.substr(word.find('=') + 1).c_str(), 1);
    setHeadless(environment.rfind("asked", 0) == 0);
    EXPECT_EQ(isHeadless() ? "headless" : "shown", expected) << environment;
  }
  setHeadless(true);
  ensureGuiApplication();  // headless: no application
  EXPECT_EQ(QCoreApplication::instance(), nullptr);
  ::testing::internal::CaptureStderr();
  showMessageBox("sample.drv", "Error while loading", nullptr);
  showMessageBox(nullptr, nullptr, nullptr);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Error while loading: sample.drv\n: \n");
}

TEST(CommandLine, ArgumentListsAndWhatTheyGive) {
  for (const auto& [list, expected] : readTable(SB_SOURCE_DIR "/tests/app/command_line.table")) {
    std::vector<std::string> arguments{"stonebreaker"};
    for (size_t at = 0, end = 0; !list.empty() && end != std::string::npos; at = end + 1)
      arguments.push_back(list.substr(at, (end = list.find('|', at)) - at));
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    CommandLine line;  // stale values, all replaced by the parse
    line.help = line.version = line.headless = true;
    line.play = line.screenshot = "stale";
    line.frames = 5;
    std::string error = "stale";
    const int parsed = parseCommandLine(int(argv.size()), argv.data(), line, error);
    EXPECT_EQ(parsed ? std::string(line.help ? "help " : "") + (line.version ? "version " : "") +
                           (line.headless ? "headless " : "") + "play=" + line.play +
                           " frames=" + std::to_string(line.frames) + " shot=" + line.screenshot
                     : error,
              expected);
    EXPECT_EQ(parsed, error.empty()) << expected;
  }
}

}  // namespace
