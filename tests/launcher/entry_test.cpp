// The entry's launcher/play cycle with real launcher passes: the program
// started in a scratch directory, a stand-in for the game run.
#include <gtest/gtest.h>

#include <deque>
#include <fstream>
#include <functional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "app/app.h"
#include "driver/driver.h"
#include "launcher/launcher.h"
#include "support.h"

namespace {

using namespace launchertest;

// What each dialog pass does, in order; a pass beyond the list leaves.
std::deque<LauncherScript> passScripts;
std::vector<std::string> gamesRun;

void scriptedLauncherPass() {
  LauncherScript script = [](QDialog& dialog) { clickButton(dialog, exitId); };
  if (!passScripts.empty()) {
    script = passScripts.front();
    passScripts.pop_front();
  }
  runLauncherDialog(script);
}

// Stands in for the game run: a game loads when its driver file opens
// under the driver directory, as the game load opens it.
int fakeRunGame(const char* driverFileName) {
  gamesRun.push_back(driverFileName);
  const std::string path = settings.Drvdir + driverFileName;
  if (!openDriverFile(path.c_str())) return 0;
  closeDriverFile();
  return 1;
}

class EntryCycleTest : public LauncherTest {
 protected:
  void SetUp() override {
    LauncherTest::SetUp();
    passScripts.clear();
    gamesRun.clear();
    fs::current_path(root);  // the program's working directory; drivers in ./drv/
  }

  std::vector<std::string> logLines() {
    std::ifstream in(root / "s000.log");
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  void expectBannerAndEmptyMemoryReport() {
    const std::vector<std::string> lines = logLines();
    ASSERT_FALSE(lines.empty());
    EXPECT_TRUE(std::regex_match(
        lines[0], std::regex(R"(Stonebreaker 0\.0\.1 \([A-Z][a-z]{2} [ 0-9][0-9] [0-9]{4} )"
                             R"([0-9]{2}:[0-9]{2}:[0-9]{2}\))")))
        << lines[0];
    std::ostringstream all;
    for (const std::string& line : lines) all << line << "\n";
    const std::string text = all.str();
    EXPECT_NE(text.find("Memory usage:\n"), std::string::npos) << text;
    EXPECT_TRUE(std::regex_search(text, std::regex(R"(\s0 bytes total\(0 Mb\))"))) << text;
    EXPECT_TRUE(std::regex_search(text, std::regex(R"(\s0 bytes memory peak\(0 Mb\))"))) << text;
    EXPECT_TRUE(fs::exists(root / "stoneBreaker.ini"));
  }
};

TEST_F(EntryCycleTest, LeavingWithoutPlayingWritesTheBannerAndAnEmptyReport) {
  writeDriver("a.drv", "Alpha", "a", "1990", "System21");
  // Headless, as the tests run: the pass scans and leaves.
  EXPECT_EQ(runEntry(EntryHooks{runLauncher, fakeRunGame}, CommandLine{}), 0);
  EXPECT_TRUE(gamesRun.empty());
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(fs::current_path(), root);
  expectBannerAndEmptyMemoryReport();
}

TEST_F(EntryCycleTest, TheDialogsExitAndCloseBoxEndTheProgram) {
  writeDriver("a.drv", "Alpha", "a", "1990", "System21");
  int passes = 0;
  passScripts.push_back([&](QDialog& dialog) {
    ++passes;
    QTreeWidget* list = gameList(dialog);
    clickCell(list, rowNamed(list, "Alpha"), 0);
    QCloseEvent event;  // the close box
    QApplication::sendEvent(dialog.windowHandle(), &event);
  });
  EXPECT_EQ(runEntry(EntryHooks{scriptedLauncherPass, fakeRunGame}, CommandLine{}), 0);
  EXPECT_EQ(passes, 1);
  EXPECT_TRUE(gamesRun.empty());
  expectBannerAndEmptyMemoryReport();
}

TEST_F(EntryCycleTest, ARenamedDriverFailsToLoadUnderItsDirectoryName) {
  writeDriver("renamed.drv", "Renamed Game", "original", "1990", "System21");
  writeDriver("good.drv", "Good Game", "good", "1991", "System21");
  std::vector<std::string> shownPerPass;
  auto choose = [&](const char* game) {
    return [&, game](QDialog& dialog) {
      QTreeWidget* list = gameList(dialog);
      shownPerPass.push_back(std::to_string(list->topLevelItemCount()));
      doubleClickCell(list, rowNamed(list, game), 0);
    };
  };
  passScripts.push_back(choose("Renamed Game"));
  passScripts.push_back(choose("Good Game"));
  EXPECT_EQ(runEntry(EntryHooks{scriptedLauncherPass, fakeRunGame}, CommandLine{}), 0);

  EXPECT_EQ(gamesRun, (std::vector<std::string>{"original.drv", "good.drv"}));
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "original.drv");
  EXPECT_EQ(boxes[0].caption, "Error while loading");
  EXPECT_EQ(boxes[0].owner, nullptr);
  EXPECT_FALSE(boxes[0].launcherVisible);  // the dialog is gone while a game runs
  EXPECT_EQ(shownPerPass, (std::vector<std::string>{"2", "2"}));
  EXPECT_EQ(loadGame("original.drv"), 0);  // the real game load cannot open it either
  EXPECT_TRUE(passScripts.empty());        // both chosen passes ran, then one that left
  expectBannerAndEmptyMemoryReport();
}

}  // namespace
