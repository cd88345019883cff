// The catalogue and the launcher dialog driven as a user drives it (QTest on
// the offscreen platform): what the list shows, sorting, choosing a game and
// leaving, and the boxes the user is shown.
#include "launcher/launcher.h"

#include <gtest/gtest.h>

#include <QDialog>
#include <regex>

#include "base/base.h"
#include "tests/support/boxes.h"
#include "tests/support/dialog_user.h"
#include "tests/support/table.h"
#include "tests/support/workdir.h"

namespace {

using namespace support;

// A working directory with the driver files of tests/launcher/drv in drv/,
// and a display on which message boxes show.
struct Drivers : WorkingDir {
  Drivers() {
    setenv("SB_HEADLESS", "0", 1);
    setenv("DISPLAY", ":0", 1);
    ensureQtApplication();
    fs::copy(SB_SOURCE_DIR "/tests/launcher/drv", "drv", fs::copy_options::recursive);
    settings.Drvdir = "drv/";
  }
};

// One pass with the dialog shown and `words` acted in it (rows named by Zip):
// what the user saw, boxes included, then the outcome. Words that leave the
// dialog open fail, and the pass is ended.
std::string pass(const std::string& words) {
  std::string seen;
  MessageBoxReader boxes(seen);
  const LauncherResult result = runLauncherDialog([&](QDialog& dialog) {
    actInDialog(dialog, words, zipColumn, seen);
    EXPECT_FALSE(dialog.isVisible()) << words;
    if (dialog.isVisible()) dialog.done(0);
  });
  EXPECT_TRUE(catalogue.empty());
  const char* choices[] = {"", "leave", "again ", "play "};
  return seen + choices[result.choice] +
         (result.choice == leaveProgram ? "" : result.driverFileName) + "\n";
}

TEST(Launcher, UserSessions) {
  Drivers drivers;
  for (const auto& [words, seen] : readTable(SB_SOURCE_DIR "/tests/launcher/sessions.table"))
    EXPECT_EQ(pass(words), seen + "\n") << words;
}

TEST(Launcher, NoDriversFoundIsToldBeforeTheDialogShowsAndHeadlessThePassLeaves) {
  Drivers drivers;
  for (const char* directory : {"drv/folder.drv/", "absent/", "drv/d6.txt"}) {
    settings.Drvdir = directory;
    // An empty list (with the arrow of an earlier pass's sort, if any).
    EXPECT_TRUE(std::regex_match(pass("? exitButton"),
                                 std::regex("Error: No game drivers found \\(over nothing, 1 "
                                            "buttons\\)\n(Game name (up|down):)?\nleave\n")));
    BoxRecord boxes;
    setHeadless(true);
    EXPECT_EQ(runLauncher().choice, leaveProgram);
    setHeadless(false);
    EXPECT_EQ(boxes.lines, "Error: No game drivers found\n");
    EXPECT_EQ(fs::current_path(), drivers.path);
  }
}

TEST(Launcher, TheCatalogueHoldsTheFirst1024DriversAndFindsNamesIgnoringCase) {
  WorkingDir dir;
  settings.Drvdir = "./";
  for (int i = 10000; i < 10000 + maxCatalogueEntries + 2; ++i)
    writeFile(std::to_string(i) + ".drv", "GAMENAME g DIRECTORY " + std::to_string(i));
  scanDrivers(nullptr);
  ASSERT_EQ(catalogue.size(), size_t(maxCatalogueEntries));
  EXPECT_EQ(catalogue.back().driverFileName, "11023.drv");
  EXPECT_EQ(addCatalogueEntry("more", "More", ""), -1);
  clearCatalogue();
  EXPECT_EQ(findCatalogueEntry("Same"), -1);
  for (const char* name : {"Same Name", "same name", "Other"}) addCatalogueEntry("x", name, "");
  const std::pair<const char*, int> finds[] = {
      {"SAME NAME", 0}, {"other", 2}, {"Same", -1}, {"Same Name ", -1}};
  for (const auto& [name, index] : finds) EXPECT_EQ(findCatalogueEntry(name), index) << name;
  clearCatalogue();
}

}  // namespace
