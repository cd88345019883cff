// The entry's start-up, launcher/play cycle and shutdown with the launcher
// and the game scripted through the hooks, and runs of the built program.
#include <gtest/gtest.h>

#include <regex>

#include "app/app.h"
#include "base/base.h"
#include "tests/support/boxes.h"
#include "tests/support/memory_report.h"
#include "tests/support/program.h"
#include "tests/support/workdir.h"

namespace {

using namespace support;

const std::string banner = R"(Stonebreaker 0\.0\.1 \([A-Z][a-z]{2} [ 1-3]\d \d{4} [\d:]{8}\)\n)";

// What each launcher pass returns (beyond the list it leaves), and the run's
// transcript: passes, game runs and boxes in order.
std::vector<LauncherResult> passes;
BoxRecord* transcript = nullptr;
std::vector<void*> blocks;

LauncherResult scriptedLauncher() {
  transcript->lines += "launcher " + settings.Drvdir + "\n";
  const LauncherResult pass = passes.empty() ? LauncherResult{} : passes.front();
  if (!passes.empty()) passes.erase(passes.begin());
  return pass;
}

// Drivers named "bad..." do not load; a loaded game keeps a tracked block.
int scriptedGame(const char* driver, const RunOptions& options) {
  transcript->lines += std::string("game ") + driver + " " + std::to_string(options.maxFrames) +
                       " " + options.screenshotPath + (options.headless ? " headless\n" : "\n");
  if (std::string(driver).rfind("bad", 0) == 0) return 0;
  blocks.push_back(trackedAlloc(4, "Set directory"));
  return 1;
}

// Runs the entry in a fresh directory whose configuration names the driver
// directory d/ (or where a directory stands in the place of one file): the
// transcript and the exit status. The log holds the banner and the report
// of what the run allocated.
std::string run(std::vector<LauncherResult> script, const char* play, const char* directory = "") {
  WorkingDir dir;
  BoxRecord boxes;
  transcript = &boxes;
  passes = std::move(script);
  writeFile("stoneBreaker.ini", "Drvdir \" d/\"");
  if (*directory) fs::remove(directory), fs::create_directory(directory);
  blocks = {trackedAlloc(0, "before the run")};
  CommandLine line{false, false, false, play, 9, "s.png"};
  boxes.lines +=
      "status " + std::to_string(runEntry({scriptedLauncher, scriptedGame}, line)) + "\n";
  EXPECT_EQ(logFile(), nullptr);
  if (fs::is_regular_file("s000.log")) {
    const std::string report = memoryReportText();
    EXPECT_EQ(report.find("before the run"), std::string::npos);
    EXPECT_EQ(std::regex_replace(readText("s000.log"), std::regex("^" + banner), ""), report);
  }
  for (void* block : blocks) free(block);
  return boxes.lines;
}

TEST(Entry, CycleOfLauncherAndGames) {
  const std::pair<std::vector<LauncherResult>, const char*> rows[] = {
      {{}, "launcher d/\n"},
      {{{playGame, "a.drv"}, {launcherAgain, "x"}, {playGame, "b.drv"}, {leaveProgram, "y"}},
       "launcher d/\ngame a.drv 9 s.png headless\nlauncher d/\nlauncher d/\n"
       "game b.drv 9 s.png headless\nlauncher d/\n"},
      {{{playGame, "bad.drv"}, {LauncherChoice(7), "x"}},
       "launcher d/\ngame bad.drv 9 s.png headless\nError while loading: bad.drv\nlauncher d/\n"},
  };
  for (const auto& [script, expected] : rows)
    EXPECT_EQ(run(script, ""), expected + std::string("status 0\n"));
}

TEST(Entry, PlayOptionAndFilesThatCannotBeWritten) {
  EXPECT_EQ(run({}, "a.drv"), "game a.drv 9 s.png headless\nstatus 0\n");
  EXPECT_EQ(run({}, "bad.drv"),
            "game bad.drv 9 s.png headless\nError while loading: bad.drv\nstatus 1\n");
  EXPECT_EQ(run({}, "", "s000.log"), "Fatal error: Cannot open log file\nstatus 0\n");
  EXPECT_EQ(run({{playGame, "a.drv"}}, "", "stoneBreaker.ini"),
            "launcher ./drv/\ngame a.drv 9 s.png headless\nlauncher ./drv/\n"
            "Warning: Current options cannot be saved\nstatus 0\n");
}

TEST(Program, RunsFromAShell) {
  const std::string usage = "Usage: stonebreaker \\[OPTION\\]\\.\\.\\.\n(.|\n)*";
  const std::string files =
      banner + R"(Memory usage:\n(\n\t {15}0 bytes (total|memory peak)\(0 Mb\)\n){2})";
  // Arguments; exit status, standard output, standard error, the log; the
  // configuration file is the default one when there is a log.
  const std::tuple<const char*, int, std::string, std::string, std::string> rows[] = {
      {"--headless", 0, "", "Error: No game drivers found\n", files},
      {"--headless --play missing.drv --frames 1", 1, "", "Error while loading: missing\\.drv\n",
       files},
      {"--bogus", 2, "", "stonebreaker: unknown option '--bogus'\n" + usage, ""},
      {"--help", 0, usage, "", ""},
      {"--version", 0, R"(Stonebreaker 0\.0\.1 \(built [^\n]+\)\n)", "", ""},
  };
  for (const auto& [arguments, status, out, err, log] : rows) {
    ScratchDir dir;
    const ProgramRun run = runProgram(dir.path, arguments);
    EXPECT_EQ(run.status, status) << arguments;
    EXPECT_TRUE(std::regex_match(run.out, std::regex(out))) << arguments << run.out;
    EXPECT_TRUE(std::regex_match(run.err, std::regex(err))) << arguments << run.err;
    EXPECT_TRUE(std::regex_match(readText(dir.path / "s000.log"), std::regex(log))) << arguments;
    EXPECT_EQ(readText(dir.path / "stoneBreaker.ini"),
              log.empty() ? "" : readText(SB_SOURCE_DIR "/tests/app/corpus/default.ini"));
  }
}

}  // namespace
