// The configuration file: its written layout, the reading rules, damaged
// files and places it cannot be written to.
#include <gtest/gtest.h>

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
  for (size_t at = 0, end; at < lines.size(); at = end + 1) {
    end = lines.find('\n', at);
    const std::string line = lines.substr(at, end + 1 - at);
    std::string key = "\n";
    key.append(line, 0, line.find_first_of(" \t")).push_back(' ');
    const size_t from = text.find(key) + 1;
    EXPECT_NE(from, 0u) << line;
    text.replace(from, text.find('\n', from) + 1 - from, line);
  }
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

TEST(Configuration, MissingFileIsWrittenAtOnce) {
  WorkingDir dir;
  settings.Romdir = "stale";
  loadConfiguration("a.ini");
  EXPECT_EQ(settings, defaultSettings());
  EXPECT_EQ(readText("a.ini"), defaultFile);
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

TEST(Configuration, UnwritablePlacesWarnAndUnreadableOnesLoadTheDefaults) {
  WorkingDir dir;
  BoxRecord boxes;
  fs::create_directory("taken.ini");
  std::string warnings;
  for (const char* path : {"no/such/dir/a.ini", "taken.ini", "/dev/full"}) {
    if (path[0] == '/' && !fs::exists(path)) continue;
    saveConfiguration(path);
    warnings += "Warning: Current options cannot be saved\n";
    if (path[0] == '/') continue;
    settings.debugMode = true;
    loadConfiguration(path);  // a missing file is written at once, and fails again
    EXPECT_EQ(settings, defaultSettings()) << path;
    if (path[0] == 'n') warnings += "Warning: Current options cannot be saved\n";
  }
  EXPECT_EQ(boxes.lines, warnings);
}

}  // namespace
