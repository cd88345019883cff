// The entry's start-up, launcher/play cycle and shutdown with the launcher
// and the game scripted through the hooks, and runs of the built program.
#include <gtest/gtest.h>

#include <regex>

#include "app/app.h"
#include "base/base.h"
#include "tests/support/boxes.h"
#include "tests/support/program.h"
#include "tests/support/workdir.h"

namespace {

using namespace support;

const std::string defaultFile = readText(SB_SOURCE_DIR "/tests/app/corpus/default.ini");
const std::string banner =
    R"(Stonebreaker 0\.0\.1 \([A-Z][a-z]{2} [ 1-3]\d \d{4} \d\d:\d\d:\d\d\)\n)";
const std::string zeroReport =
    R"(Memory usage:\n\n\t {15}0 bytes total\(0 Mb\)\n\n\t {15}0 bytes memory peak\(0 Mb\)\n)";

// One run's script, what each launcher pass returns (beyond the list it
// leaves), and its transcript: passes, game runs and boxes in order.
BoxRecord* transcript = nullptr;
std::vector<LauncherResult> passes;
std::vector<void*> gameBlocks;

LauncherResult scriptedLauncher() {
  transcript->lines += "launcher " + settings.Drvdir + "\n";
  if (passes.empty()) return LauncherResult{};
  const LauncherResult pass = passes.front();
  passes.erase(passes.begin());
  return pass;
}

// Drivers named "bad..." do not load; a loaded game keeps a tracked block.
int scriptedGame(const char* driver, const RunOptions& options) {
  transcript->lines += std::string("game ") + driver + " " + std::to_string(options.maxFrames) +
                       " " + options.screenshotPath + (options.headless ? " headless\n" : "\n");
  if (std::string(driver).rfind("bad", 0) == 0) return 0;
  gameBlocks.push_back(trackedAlloc(4, "Set directory"));
  return 1;
}

// Runs the entry in a fresh directory whose configuration names the driver
// directory d/ (or where `directory` stands in the place of a file), and
// gives the transcript and the exit status. The log must hold the banner and
// the report of what the run allocated.
std::string runScripted(std::vector<LauncherResult> script, const char* play,
                        const char* directory = "") {
  WorkingDir dir;
  BoxRecord boxes;
  transcript = &boxes;
  passes = std::move(script);
  writeFile("stoneBreaker.ini", "Drvdir \" d/\"");
  if (*directory) fs::remove(directory), fs::create_directory(directory);
  resetAllocationAccounting();
  trackedAlloc(0, "before the run");
  CommandLine line;
  line.play = play;
  line.frames = 9;
  line.screenshot = "s.png";
  boxes.lines +=
      "status " + std::to_string(runEntry({scriptedLauncher, scriptedGame}, line)) + "\n";
  EXPECT_EQ(logFile(), nullptr);
  if (fs::is_regular_file("s000.log")) {
    const std::string log = readText("s000.log");
    std::smatch head;
    EXPECT_TRUE(std::regex_search(log, head, std::regex("^" + banner))) << log;
    FILE* report = fopen("report", "w");
    writeMemoryReport(report);
    fclose(report);
    EXPECT_EQ(head.suffix().str(), readText("report"));
    EXPECT_EQ(log.find("before the run"), std::string::npos);
  }
  for (void* block : gameBlocks) free(block);
  gameBlocks.clear();
  resetAllocationAccounting();
  return boxes.lines;
}

TEST(Entry, LauncherCycle) {
  const std::pair<std::vector<LauncherResult>, const char*> rows[] = {
      {{}, "launcher d/\n"},
      {{{playGame, "a.drv"}, {launcherAgain, "x"}, {playGame, "b.drv"}, {leaveProgram, "y"}},
       "launcher d/\ngame a.drv 9 s.png headless\nlauncher d/\nlauncher d/\n"
       "game b.drv 9 s.png headless\nlauncher d/\n"},
      {{{playGame, "bad.drv"}, {LauncherChoice(7), "x"}},
       "launcher d/\ngame bad.drv 9 s.png headless\nError while loading: bad.drv\nlauncher d/\n"},
  };
  for (const auto& [script, expected] : rows)
    EXPECT_EQ(runScripted(script, ""), expected + std::string("status 0\n"));
}

TEST(Entry, PlayOptionAndFilesThatCannotBeWritten) {
  EXPECT_EQ(runScripted({}, "a.drv"), "game a.drv 9 s.png headless\nstatus 0\n");
  EXPECT_EQ(runScripted({}, "bad.drv"),
            "game bad.drv 9 s.png headless\nError while loading: bad.drv\nstatus 1\n");
  EXPECT_EQ(runScripted({}, "", "s000.log"), "Fatal error: Cannot open log file\nstatus 0\n");
  EXPECT_EQ(runScripted({{playGame, "a.drv"}}, "", "stoneBreaker.ini"),
            "launcher ./drv/\ngame a.drv 9 s.png headless\nlauncher ./drv/\n"
            "Warning: Current options cannot be saved\nstatus 0\n");
}

TEST(Program, RunsFromAShell) {
  struct Row {
    const char *arguments, *environment;
    int status;
    const char *out, *err;  // patterns
    bool writesFiles;
  };
  const Row rows[] = {
      {"--headless", "", 0, "", "Error: No game drivers found\n", true},
      {"", "env -u DISPLAY -u WAYLAND_DISPLAY -u SB_HEADLESS", 0, "",
       "Error: No game drivers found\n", true},
      {"--headless --play missing.drv --frames 1", "", 1, "",
       "Error while loading: missing\\.drv\n", true},
      {"--bogus", "", 2, "", "stonebreaker: unknown option '--bogus'\nUsage: stonebreaker (.|\n)*",
       false},
      {"--frames abc", "", 2, "", "stonebreaker: option '--frames' needs a (.|\n)*", false},
      {"--help", "", 0, "Usage: stonebreaker \\[OPTION\\]\\.\\.\\.\n(.|\n)*", "", false},
      {"--version", "", 0, R"(Stonebreaker 0\.0\.1 \(built [^\n]+\)\n)", "", false},
  };
  for (const Row& row : rows) {
    ScratchDir dir;
    const ProgramRun run = runProgram(dir.path, row.arguments, row.environment);
    EXPECT_EQ(run.status, row.status) << row.arguments;
    EXPECT_TRUE(std::regex_match(run.out, std::regex(row.out))) << row.arguments << run.out;
    EXPECT_TRUE(std::regex_match(run.err, std::regex(row.err))) << row.arguments << run.err;
    EXPECT_EQ(readText(dir.path / "stoneBreaker.ini"), row.writesFiles ? defaultFile : "");
    EXPECT_TRUE(std::regex_match(readText(dir.path / "s000.log"),
                                 std::regex(row.writesFiles ? banner + zeroReport : "")));
  }
}

}  // namespace
