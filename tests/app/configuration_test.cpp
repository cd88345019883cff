// The configuration file: its written layout, the reading rules, damaged
// files and places it cannot be written to.
#include <gtest/gtest.h>

#include <regex>
#include <sstream>

#include "base/base.h"
#include "tests/support/boxes.h"
#include "tests/support/table.h"
#include "tests/support/workdir.h"

namespace {

using namespace support;

// The file as written with the default settings (a fuzzer seed as well).
const std::string defaultFile = readText(SB_SOURCE_DIR "/tests/app/corpus/default.ini");

// The default file with each of `lines` in place of the line of its key.
std::string defaultsWith(const std::string& lines) {
  std::string text = defaultFile;
  std::istringstream in(lines);
  for (std::string line; std::getline(in, line);)
    text = std::regex_replace(
        text, std::regex(std::string("\n").append(line, 0, line.find(' ')).append(" [^\n]*")),
        "\n" + line);
  return text;
}

// What saving writes after loading a file of `text` (which stays as it was).
std::string loadAndSave(const std::string& text) {
  writeFile("in.ini", text);
  loadConfiguration("in.ini");
  saveConfiguration("out.ini");
  EXPECT_EQ(readText("in.ini"), text);
  return readText("out.ini");
}

TEST(Configuration, ReadingRules) {
  WorkingDir dir;
  for (const auto& [file, lines] : readTable(SB_SOURCE_DIR "/tests/app/configuration.table")) {
    const std::string written = defaultsWith(lines);
    EXPECT_EQ(loadAndSave(file), written) << file;
    EXPECT_EQ(loadAndSave(written), written) << file;  // and read back as it was
  }
  // Levels as the program holds them, and one without a name.
  const std::pair<int32_t, const char*> levels[] = {
      {-15, "idle"},      {-2, "lowest"}, {-1, "belowNormal"},  {0, "normal"},
      {1, "aboveNormal"}, {2, "highest"}, {15, "timeCritical"}, {3, "normal"}};
  for (const auto& [level, name] : levels) {
    settings.threadPriority = level;
    saveConfiguration("out.ini");
    EXPECT_EQ(readText("out.ini"), defaultsWith(std::string("threadPriority  ") + name + "\n"));
  }
}

TEST(Configuration, MissingFilesAreWrittenAtOnceUnwritablePlacesWarn) {
  WorkingDir dir;
  BoxRecord boxes;
  settings.debugMode = true;
  loadConfiguration("a.ini");
  EXPECT_EQ(readText("a.ini"), defaultFile);
  fs::create_directory("taken.ini");
  settings.debugMode = true;
  loadConfiguration("taken.ini");  // read as an empty file
  EXPECT_EQ(settings, defaultSettings());
  std::string warnings;
  const std::string notAFile = " (not a regular file)\n",
                    noDirectory = " (No such file or directory)\n";
  for (const char* path : {"taken.ini", "no/such/dir/a.ini", "/dev/full"}) {
    if (path[0] == '/' && !fs::exists(path)) continue;
    saveConfiguration(path);
    warnings +=
        "Warning: Current options cannot be saved" + (path[0] == 'n' ? noDirectory : notAFile);
  }
  loadConfiguration("no/such/dir/a.ini");  // a missing file is written at once
  EXPECT_EQ(boxes.lines, warnings + "Warning: Current options cannot be saved" + noDirectory);
}

}  // namespace
