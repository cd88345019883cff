// The catalogue scan: which files become entries, what each entry holds, the
// working directory around the scan and the limits.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "launcher/launcher.h"
#include "support.h"

namespace {

using namespace launchertest;

class CatalogueTest : public LauncherTest {
 protected:
  void TearDown() override {
    clearCatalogue();
    LauncherTest::TearDown();
  }
};

TEST_F(CatalogueTest, EntriesComeFromTheHeaderKeysInNameOrder) {
  writeDriver("b.drv", "Beta Game", "b", "1991", "System21");
  writeDriver("a.drv", "Alpha Game", "a", "1990", "system21");
  writeDriver("c.DRV", "Gamma", "c", "1992", "Other Board");
  std::ofstream(driverDirectory / "notes.txt") << "GAMENAME x DIRECTORY y\n";
  std::ofstream(driverDirectory / "d.drv.bak") << "GAMENAME x DIRECTORY y\n";
  fs::create_directory(driverDirectory / "folder.drv");

  scanDrivers(nullptr);

  ASSERT_EQ(catalogue.size(), 3u);
  EXPECT_EQ(catalogue[0].driverFileName, "a.drv");
  EXPECT_EQ(catalogue[0].gameName, "Alpha Game");
  EXPECT_EQ(catalogue[0].system, "system21");  // as written, not the display form
  EXPECT_EQ(catalogue[1].driverFileName, "b.drv");
  EXPECT_EQ(catalogue[1].gameName, "Beta Game");
  EXPECT_EQ(catalogue[2].driverFileName, "c.drv");
  EXPECT_EQ(catalogue[2].system, "Other Board");
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(fs::current_path(), savedDirectory);
}

TEST_F(CatalogueTest, TheDriverNameComesFromDirectoryNotFromTheFileName) {
  writeDriver("renamed.drv", "Some Game", "original", "1990", "System21");
  scanDrivers(nullptr);
  ASSERT_EQ(catalogue.size(), 1u);
  EXPECT_EQ(catalogue[0].driverFileName, "original.drv");
}

TEST_F(CatalogueTest, MissingKeysGiveEmptyTexts) {
  writeDriver("nodir.drv", "No Directory", "", "1990", "System21");
  writeDriver("bare.drv", "", "", "", "");
  scanDrivers(nullptr);
  ASSERT_EQ(catalogue.size(), 2u);
  EXPECT_EQ(catalogue[0].driverFileName, ".drv");
  EXPECT_EQ(catalogue[0].gameName, "");
  EXPECT_EQ(catalogue[0].system, "");
  EXPECT_EQ(catalogue[1].driverFileName, ".drv");
  EXPECT_EQ(catalogue[1].gameName, "No Directory");
  EXPECT_EQ(catalogue[1].system, "System21");
}

TEST_F(CatalogueTest, NoDriverFilesGivesTheErrorBoxAndKeepsTheWorkingDirectory) {
  struct Case {
    const char* what;
    std::string directory;
  };
  std::ofstream(driverDirectory / "readme.txt") << "nothing here\n";
  const Case cases[] = {
      {"no driver files", driverDirectory.string() + "/"},
      {"missing directory", (root / "absent").string() + "/"},
      {"a file, not a directory", (driverDirectory / "readme.txt").string()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    boxes.clear();
    settings.Drvdir = c.directory;
    scanDrivers(nullptr);
    EXPECT_TRUE(catalogue.empty());
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "No game drivers found");
    EXPECT_EQ(boxes[0].caption, "Error");
    EXPECT_EQ(boxes[0].owner, nullptr);
    EXPECT_EQ(fs::current_path(), savedDirectory);
  }
}

TEST_F(CatalogueTest, ARelativeDriverDirectoryIsTakenFromTheWorkingDirectory) {
  writeDriver("a.drv", "Alpha", "a", "1990", "System21");
  fs::current_path(root);
  settings.Drvdir = "./drv/";
  scanDrivers(nullptr);
  EXPECT_EQ(catalogue.size(), 1u);
  EXPECT_EQ(fs::current_path(), root);
}

TEST_F(CatalogueTest, TheFirst1024DriverFilesAreListedAndTheRestIgnored) {
  for (int i = 0; i < maxCatalogueEntries + 6; ++i) {
    char name[16];
    snprintf(name, sizeof name, "g%04d", i);
    writeDriver(std::string(name) + ".drv", name, name, "1990", "System21");
  }
  scanDrivers(nullptr);
  ASSERT_EQ(catalogue.size(), static_cast<size_t>(maxCatalogueEntries));
  EXPECT_EQ(catalogue.front().driverFileName, "g0000.drv");
  EXPECT_EQ(catalogue.back().driverFileName, "g1023.drv");
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(addCatalogueEntry("more", "More", "System21"), -1);
  EXPECT_EQ(catalogue.size(), static_cast<size_t>(maxCatalogueEntries));
}

TEST_F(CatalogueTest, EntriesAreFoundByGameNameIgnoringCase) {
  EXPECT_EQ(findCatalogueEntry("anything"), -1);  // empty catalogue
  EXPECT_EQ(addCatalogueEntry("first", "Same Name", "System21"), 0);
  EXPECT_EQ(addCatalogueEntry("second", "same name", "System21"), 1);
  EXPECT_EQ(addCatalogueEntry("other", "Other", "Other"), 2);
  EXPECT_EQ(catalogue[1].driverFileName, "second.drv");
  EXPECT_EQ(findCatalogueEntry("SAME NAME"), 0);
  EXPECT_EQ(findCatalogueEntry("other"), 2);
  EXPECT_EQ(findCatalogueEntry("Same"), -1);
  EXPECT_EQ(findCatalogueEntry("Same Name "), -1);
  clearCatalogue();
  EXPECT_TRUE(catalogue.empty());
  EXPECT_EQ(findCatalogueEntry("Other"), -1);
}

TEST_F(CatalogueTest, RescanningReplacesTheCatalogue) {
  writeDriver("a.drv", "Alpha", "a", "1990", "System21");
  scanDrivers(nullptr);
  ASSERT_EQ(catalogue.size(), 1u);
  writeDriver("b.drv", "Beta", "b", "1991", "System21");
  scanDrivers(nullptr);
  ASSERT_EQ(catalogue.size(), 2u);
  EXPECT_EQ(catalogue[1].gameName, "Beta");
}

// Row order: the column's text ignoring case, then the game name, both in
// the current direction.
TEST(CompareGameRows, ComparesTheColumnThenTheGameNameInTheCurrentDirection) {
  const bool saved = sortAscending;
  const GameRow alpha{{"Alpha", "zip1", "1990", "System 21"}, 0};
  const GameRow beta{{"beta", "ZIP1", "1989", "System 21"}, 1};
  const GameRow gamma{{"Gamma", "zip0", "1990", "Other"}, 2};

  sortAscending = true;
  EXPECT_LT(compareGameRows(alpha, beta, gameNameColumn), 0);  // a < b ignoring case
  EXPECT_GT(compareGameRows(beta, alpha, gameNameColumn), 0);
  EXPECT_LT(compareGameRows(alpha, beta, zipColumn), 0);    // zip1 = ZIP1: by name
  EXPECT_GT(compareGameRows(alpha, gamma, zipColumn), 0);   // zip1 > zip0
  EXPECT_GT(compareGameRows(alpha, beta, yearColumn), 0);   // 1990 > 1989
  EXPECT_LT(compareGameRows(alpha, gamma, yearColumn), 0);  // same year: by name
  EXPECT_GT(compareGameRows(alpha, gamma, typeColumn), 0);
  EXPECT_EQ(compareGameRows(alpha, alpha, typeColumn), 0);

  sortAscending = false;
  EXPECT_GT(compareGameRows(alpha, beta, gameNameColumn), 0);
  EXPECT_GT(compareGameRows(alpha, beta, zipColumn), 0);  // the tie is reversed too
  EXPECT_LT(compareGameRows(alpha, beta, yearColumn), 0);
  EXPECT_GT(compareGameRows(alpha, gamma, yearColumn), 0);
  EXPECT_EQ(compareGameRows(alpha, alpha, typeColumn), 0);
  sortAscending = saved;
}

}  // namespace
