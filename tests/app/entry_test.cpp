// The entry's start-up, launcher/play cycle and shutdown with the launcher
// and the game scripted through the hooks, and runs of the built program.
#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <sstream>

#include "app/app.h"
#include "base/base.h"
#include "tests/support/boxes.h"
#include "tests/support/memory_report.h"
#include "tests/support/shell.h"
#include "tests/support/table.h"
#include "tests/support/workdir.h"

namespace {

using namespace support;

const std::string banner = R"(Stonebreaker 0\.0\.1 \([A-Z][a-z]{2} [ 1-3]\d \d{4} [\d:]{8}\)\n)";

// The run's script, what each launcher pass returns as CHOICE:DRIVER (past
// the end a pass leaves), and its transcript: passes, games and boxes.
std::istringstream script;
BoxRecord* transcript = nullptr;
std::vector<void*> blocks;

LauncherResult scriptedLauncher() {
  transcript->lines += "launcher " + settings.Drvdir + "\n";
  std::string pass;
  if (!(script >> pass)) return {};
  return {LauncherChoice(std::stoi(pass)), pass.substr(pass.find(':') + 1)};
}

// Drivers named "bad..." do not load, "lost..." cannot write the
// screenshot; a loaded game keeps a tracked block.
int scriptedGame(const char* driver, const RunOptions& options, std::string* lost) {
  transcript->lines += std::string("game ") + driver + " " + std::to_string(options.maxFrames) +
                       " " + options.screenshotPath + (options.headless ? " headless\n" : "\n");
  if (std::string(driver).rfind("bad", 0) == 0) return 0;
  if (std::string(driver).rfind("lost", 0) == 0)
    return *lost = "Cannot write " + options.screenshotPath + ": File too large", runOutputLost;
  blocks.push_back(trackedAlloc(4, "Set directory"));
  return 1;
}

// Runs the entry with a script ("--play DRIVER" or the launcher passes) in a
// fresh directory whose configuration names the driver directory d/ (or
// where a directory stands in the place of one file): the transcript and
// the exit status. The log holds the banner and the report of what the run
// allocated.
std::string run(const std::string& words, const char* directory = "") {
  WorkingDir dir;
  BoxRecord boxes;
  transcript = &boxes;
  setenv("SB_HEADLESS", "1", 1);
  script = std::istringstream(words);
  CommandLine line;
  line.frames = 9;
  line.screenshot = "s.png";
  if (words.rfind("--play ", 0) == 0) script >> line.play >> line.play;
  writeFile("stoneBreaker.ini", "Drvdir \" d/\"");
  if (*directory) fs::remove(directory), fs::create_directory(directory);
  blocks = {trackedAlloc(0, "before the run")};
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

TEST(Entry, ScriptedRuns) {
  for (const auto& [words, transcript] : readTable(SB_SOURCE_DIR "/tests/app/entry.table"))
    EXPECT_EQ(run(words), transcript + "\n") << words;
  // A directory where the log or the configuration file should be written.
  EXPECT_EQ(run("", "s000.log"), "Fatal error: Cannot open log file\nstatus 0\n");
  EXPECT_EQ(run("3:a.drv", "stoneBreaker.ini"),
            "launcher ./drv/\ngame a.drv 9 s.png headless\nlauncher ./drv/\n"
            "Warning: Current options cannot be saved (not a regular file)\nstatus 0\n");
}

TEST(Program, RunsFromAShell) {
  const std::string files =
      banner +
      R"((Driver file [^\n]+\n)?Memory usage:\n(\n\t {15}0 bytes (total|memory peak)\(0 Mb\)\n){2})";
  for (const auto& [arguments, outcome] :
       readTable(SB_SOURCE_DIR "/tests/app/program_runs.table")) {
    ScratchDir dir;
    const ShellRun run = runProgram(dir.path, arguments);
    const std::string seen = std::to_string(run.status) + " | " + run.out + " | " + run.err;
    EXPECT_TRUE(std::regex_match(seen, std::regex(outcome))) << arguments << "\n" << seen;
    const bool started = run.status != 2 && run.out.empty();
    EXPECT_TRUE(
        std::regex_match(readText(dir.path / "s000.log"), std::regex(started ? files : "")));
    EXPECT_EQ(readText(dir.path / "stoneBreaker.ini"),
              started ? readText(SB_SOURCE_DIR "/tests/app/corpus/default.ini") : "");
  }
}

// Runs of the built program over the demo, as rows of shell commands
// (lost_outputs.table): what they print, the files they leave, and whether
// the configuration file stayed whole.
TEST(Program, FilesThatCannotBeWrittenWhole) {
  if (!fs::exists(SB_RUN_DIR "/drv/demo.drv")) GTEST_SKIP() << "no demo ROM set in " SB_RUN_DIR;
  const std::string ini = "# the user's own #\nLogdir \" ./" + std::string(600, 'l') + "/\"\n";
  setenv("SB", SB_BINARY_DIR "/stonebreaker", 1);
  for (const auto& [command, outcome] : readTable(SB_SOURCE_DIR "/tests/app/lost_outputs.table")) {
    ScratchDir dir;
    for (const std::string link : {"drv", "roms"})
      fs::create_directory_symlink(SB_RUN_DIR "/" + link, dir.path / link);
    writeFile(dir.path / "stoneBreaker.ini", ini);
    writeFile(dir.path / "old.sbs", std::string("old state"));
    writeFile(dir.path / "old.png", std::string("old picture"));
    const ShellRun run = runShell("{ " + command + "; }", dir.path);
    std::set<std::string> files;
    for (const auto& file : fs::recursive_directory_iterator(dir.path))
      files.insert(file.path().lexically_relative(dir.path));
    std::string seen = std::to_string(run.status) + " | " + run.out + " | " + run.err + " |";
    for (const std::string& file : files) seen += " " + file;
    seen += readText(dir.path / "stoneBreaker.ini") == ini ? " | kept" : " | rewritten";
    EXPECT_TRUE(std::regex_match(seen, std::regex(outcome))) << command << "\n" << seen;
    EXPECT_EQ(readText(dir.path / "old.sbs") + readText(dir.path / "old.png"),
              "old stateold picture");
  }
}

}  // namespace
