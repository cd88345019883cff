// The entry's start-up, launcher/play cycle and shutdown, with the launcher
// and the game scripted through the hooks.
#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

#include "app/app.h"
#include "support.h"

namespace {

using namespace shelltest;

// One launcher pass as the script plays it: the choice and the row picked
// (nullptr leaves both as the pass found them).
struct Pass {
  int32_t choice;
  const char* driver;
};

std::vector<Pass> script;
size_t passesRun = 0;
std::vector<std::string> gamesRun;
std::vector<int> gameResults;  // what runGame returns, call by call (1 when missing)
std::vector<void*> setBlocks;
std::string drvdirSeenByLauncher;
bool launcherSawFreshPass = true;

void scriptedLauncher() {
  if (launcherChoice != 1 || !selectedDriver.empty()) launcherSawFreshPass = false;
  drvdirSeenByLauncher = settings.Drvdir;
  // A script that runs out leaves as "&Exit" does.
  if (passesRun < script.size() && script[passesRun].driver != nullptr) {
    launcherChoice = script[passesRun].choice;
    selectedDriver = script[passesRun].driver;
  }
  ++passesRun;
}

int scriptedGame(const char* driverFileName) {
  size_t call = gamesRun.size();
  gamesRun.push_back(driverFileName);
  // A loaded game keeps its set name in a tracked block, as the ROM lookup does.
  std::string set = std::string(driverFileName).substr(0, std::string(driverFileName).find('.'));
  int result = call < gameResults.size() ? gameResults[call] : 1;
  if (result) {
    void* block = trackedAlloc(static_cast<uint32_t>(set.size() + 1), "Set directory");
    setBlocks.push_back(block);
  }
  return result;
}

const EntryHooks hooks{scriptedLauncher, scriptedGame};

class EntryTest : public ScratchDirectory {
 protected:
  void SetUp() override {
    ScratchDirectory::SetUp();
    script.clear();
    passesRun = 0;
    gamesRun.clear();
    gameResults.clear();
    setBlocks.clear();
    drvdirSeenByLauncher.clear();
    launcherSawFreshPass = true;
  }
  void TearDown() override {
    for (void* block : setBlocks) free(block);
    resetAllocationAccounting();
    ScratchDirectory::TearDown();
  }
  int run(const CommandLine& line = CommandLine()) { return runEntry(hooks, line); }
};

const std::regex bannerPattern(
    "Stonebreaker 0\\.0\\.1 \\((Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) [ 1-3][0-9] "
    "[0-9]{4} [0-2][0-9]:[0-5][0-9]:[0-6][0-9]\\)\n");

const char* zeroReport =
    "Memory usage:\n"
    "\n\t               0 bytes total(0 Mb)\n"
    "\n\t               0 bytes memory peak(0 Mb)\n";

// The log without its banner line, which must come first.
std::string logAfterBanner() {
  std::string log = readFile("s000.log");
  size_t end = log.find('\n');
  EXPECT_NE(end, std::string::npos);
  if (end == std::string::npos) return log;
  EXPECT_TRUE(std::regex_match(log.substr(0, end + 1), bannerPattern)) << log.substr(0, end);
  return log.substr(end + 1);
}

TEST_F(EntryTest, LeavingWithoutPlayingWritesBannerZeroReportAndConfiguration) {
  EXPECT_EQ(run(), 0);
  EXPECT_EQ(passesRun, 1u);
  EXPECT_TRUE(gamesRun.empty());
  EXPECT_EQ(logAfterBanner(), zeroReport);
  EXPECT_EQ(readFile("stoneBreaker.ini"), defaultConfigurationText());
  EXPECT_TRUE(shownBoxes.empty());
}

TEST_F(EntryTest, ExitChoiceOrCloseBoxOrAnyOtherValueLeaves) {
  for (int32_t choice : {1, 0, 4, -1, 7}) {
    script = {{choice, "game.drv"}};
    passesRun = 0;
    EXPECT_EQ(run(), 0) << choice;
    EXPECT_EQ(passesRun, 1u) << choice;
    EXPECT_TRUE(gamesRun.empty()) << choice;
    EXPECT_EQ(logAfterBanner(), zeroReport);
  }
}

TEST_F(EntryTest, FailedLoadShowsTheBoxNamingTheDriverThenTheLauncherAgain) {
  script = {{3, "sample.drv"}, {1, ""}};
  gameResults = {0};
  EXPECT_EQ(run(), 0);
  EXPECT_EQ(gamesRun, (std::vector<std::string>{"sample.drv"}));
  EXPECT_EQ(passesRun, 2u);
  ASSERT_EQ(shownBoxes.size(), 1u);
  EXPECT_EQ(shownBoxes[0], (Box{"sample.drv", "Error while loading", nullptr}));
  EXPECT_EQ(logAfterBanner(), zeroReport);
}

TEST_F(EntryTest, PlayTwoGamesThenExitReportsTheWholeRun) {
  script = {{3, "abc.drv"}, {2, ""}, {3, "de.drv"}, {1, ""}};
  EXPECT_EQ(run(), 0);
  EXPECT_EQ(gamesRun, (std::vector<std::string>{"abc.drv", "de.drv"}));
  EXPECT_EQ(passesRun, 4u);
  EXPECT_TRUE(shownBoxes.empty());
  std::string report = logAfterBanner();
  std::regex pattern(
      "Memory usage:\n"
      "\t               4 bytes : Set directory \\(@ 0x[0-9a-f]{8,}\\)\n"
      "\t               3 bytes : Set directory \\(@ 0x[0-9a-f]{8,}\\)\n"
      "\n\t               7 bytes total\\(0 Mb\\)\n"
      "\n\t               7 bytes memory peak\\(0 Mb\\)\n");
  EXPECT_TRUE(std::regex_match(report, pattern)) << report;
}

TEST_F(EntryTest, EachPassStartsWithLeaveAndNoSelection) {
  script = {{3, "abc.drv"}, {2, "ignored.drv"}};
  // The third pass sets nothing and so leaves.
  EXPECT_EQ(run(), 0);
  EXPECT_EQ(passesRun, 3u);
  EXPECT_TRUE(launcherSawFreshPass);
  EXPECT_EQ(gamesRun, (std::vector<std::string>{"abc.drv"}));
}

TEST_F(EntryTest, PlayWithoutSelectionFailsToLoadAndGoesOn) {
  script = {{3, ""}};
  gameResults = {0};
  EXPECT_EQ(run(), 0);
  ASSERT_EQ(shownBoxes.size(), 1u);
  EXPECT_EQ(shownBoxes[0], (Box{"", "Error while loading", nullptr}));
  EXPECT_EQ(passesRun, 2u);
}

TEST_F(EntryTest, ConfigurationIsLoadedBeforeTheLauncherAndSavedAtExit) {
  writeFile("stoneBreaker.ini", "Drvdir \" my drivers/\"\nFrameskip 300\n");
  EXPECT_EQ(run(), 0);
  EXPECT_EQ(drvdirSeenByLauncher, "my drivers/");
  std::string saved = readFile("stoneBreaker.ini");
  EXPECT_NE(saved.find("Drvdir       \t\" my drivers/\"\n"), std::string::npos);
  EXPECT_NE(saved.find("Frameskip    \t44\n"), std::string::npos);
}

TEST_F(EntryTest, LogThatCannotBeOpenedIsFatalWithStatusZero) {
  fs::create_directory("s000.log");
  EXPECT_EQ(run(), 0);
  EXPECT_EQ(passesRun, 0u);
  ASSERT_EQ(shownBoxes.size(), 1u);
  EXPECT_EQ(shownBoxes[0], (Box{"Cannot open log file", "Fatal error", nullptr}));
  // The first run's configuration was written before the log was tried.
  EXPECT_EQ(readFile("stoneBreaker.ini"), defaultConfigurationText());
}

TEST_F(EntryTest, FatalLogFailureDoesNotRewriteTheConfiguration) {
  fs::create_directory("s000.log");
  std::string text = "# mine # VerifyRoms YES\n";
  writeFile("stoneBreaker.ini", text);
  EXPECT_EQ(run(), 0);
  EXPECT_EQ(readFile("stoneBreaker.ini"), text);
}

TEST_F(EntryTest, UnwritableConfigurationWarnsAndTheProgramGoesOn) {
  fs::create_directory("stoneBreaker.ini");
  script = {{3, "abc.drv"}, {1, ""}};
  EXPECT_EQ(run(), 0);
  EXPECT_EQ(passesRun, 2u);
  ASSERT_EQ(shownBoxes.size(), 1u);
  EXPECT_EQ(shownBoxes[0], (Box{"Current options cannot be saved", "Warning", nullptr}));
  std::string report = logAfterBanner();
  EXPECT_NE(report.find("\t               4 bytes total(0 Mb)\n"), std::string::npos) << report;
}

TEST_F(EntryTest, UnwritableMissingConfigurationWarnsAtStartAndAtExit) {
  // The file cannot be created where it should be: a dangling link to a
  // missing directory stands in its place.
  fs::create_symlink("missing/dir/stoneBreaker.ini", "stoneBreaker.ini");
  EXPECT_EQ(run(), 0);
  ASSERT_EQ(shownBoxes.size(), 2u);
  EXPECT_EQ(shownBoxes[0].text, "Current options cannot be saved");
  EXPECT_EQ(shownBoxes[1].text, "Current options cannot be saved");
  EXPECT_EQ(logAfterBanner(), zeroReport);
}

TEST_F(EntryTest, PlayOptionRunsTheDriverOnceWithoutTheLauncher) {
  CommandLine line;
  line.play = "abc.drv";
  EXPECT_EQ(run(line), 0);
  EXPECT_EQ(passesRun, 0u);
  EXPECT_EQ(gamesRun, (std::vector<std::string>{"abc.drv"}));
  EXPECT_TRUE(shownBoxes.empty());
  EXPECT_NE(logAfterBanner().find("4 bytes : Set directory"), std::string::npos);
  EXPECT_EQ(readFile("stoneBreaker.ini"), defaultConfigurationText());
}

TEST_F(EntryTest, PlayOptionWithAFailedLoadExitsWithOne) {
  CommandLine line;
  line.play = "missing.drv";
  gameResults = {0};
  EXPECT_EQ(run(line), 1);
  EXPECT_EQ(passesRun, 0u);
  ASSERT_EQ(shownBoxes.size(), 1u);
  EXPECT_EQ(shownBoxes[0], (Box{"missing.drv", "Error while loading", nullptr}));
  EXPECT_EQ(logAfterBanner(), zeroReport);
  EXPECT_EQ(readFile("stoneBreaker.ini"), defaultConfigurationText());
}

TEST_F(EntryTest, LogIsClosedWhenTheEntryReturns) {
  run();
  EXPECT_EQ(logFile(), nullptr);
}

}  // namespace
