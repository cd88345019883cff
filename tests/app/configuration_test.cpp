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

TEST(Configuration, MissingFileIsWrittenAtOnceAndEveryFieldRoundTrips) {
  WorkingDir dir;
  BoxRecord boxes;
  settings.Romdir = "stale";
  loadConfiguration("a.ini");
  EXPECT_EQ(settings, defaultSettings());
  EXPECT_EQ(readText("a.ini"), defaultFile);
  // Directories that spell keys or comments, or hold spaces, stay values.
  const std::string text = defaultsWith(
      "Romdir       \t\" C:\\Program Files\\S B\\roms\\\"\nAlternateRomdir1       \t\" \"\n"
      "AlternateRomdir2       \t\" x\ty/\"\nLogdir       \t\" #\"\n"
      "Drvdir       \t\" # not a comment #\"\nEpmdir       \t\" Frameskip\"\n"
      "Frameskip    \t255\nVerifyRoms   \tno\ndebugMode    \tyes\nfirstTimeRun \tno\n"
      "threadPriority  idle\nhardwareStretch \tyes\nsurfacesInSystemMemory no\n");
  EXPECT_EQ(loadAndSave(text), text);
  EXPECT_EQ(settings.Drvdir, "# not a comment #");
  EXPECT_EQ(boxes.lines, "");
}

TEST(Configuration, ReadingRules) {
  WorkingDir dir;
  for (const auto& [file, written] : readTable(SB_SOURCE_DIR "/tests/app/configuration.table"))
    EXPECT_EQ(loadAndSave(file), defaultsWith(written)) << file;
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
  const std::string warning = "Warning: Current options cannot be saved\n";
  for (const char* path : {"no/such/dir/a.ini", "taken.ini", "/dev/full"}) {
    if (path[0] == '/' && !fs::exists(path)) continue;
    boxes.lines.clear();
    saveConfiguration(path);
    EXPECT_EQ(boxes.lines, warning) << path;
  }
  for (const char* path : {"no/such/dir/a.ini", "taken.ini"}) {
    boxes.lines.clear();
    settings.debugMode = true;
    loadConfiguration(path);
    EXPECT_EQ(settings, defaultSettings()) << path;
    EXPECT_EQ(boxes.lines, path[0] == 'n' ? warning : "") << path;  // a missing file is written
  }
}

}  // namespace
