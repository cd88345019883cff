// The configuration file: read with the driver-file reader at start-up,
// written back in full at exit (and at once when it is missing).
//
// A key absent from an existing file keeps its default; a value that ends
// the file without its key (a truncated file) counts as absent too.
#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include "base/base.h"

Settings settings = defaultSettings();

namespace {
std::vector<std::string> notes;
}  // namespace

const std::vector<std::string>& configurationNotes() {
  return notes;
}

namespace {

struct PriorityName {
  int32_t level;
  const char* readName;  // compared without regard to case
  const char* writtenName;
};

// The platform's thread priority levels as the file names them.
constexpr PriorityName priorityNames[] = {
    {-15, "idle", "idle"},
    {-2, "lowest", "lowest"},
    {-1, "belowNormal", "belowNormal"},
    {0, "normal", "normal"},
    {1, "aboveNormal", "aboveNormal"},
    {2, "HIGHEST", "highest"},
    {15, "timeCritical", "timeCritical"},
};

struct DirectoryKey {
  const char* key;
  std::string Settings::*field;
};

// In the order they are read.
constexpr DirectoryKey directoryKeys[] = {
    {"Romdir", &Settings::Romdir},
    {"AlternateRomdir1", &Settings::AlternateRomdir1},
    {"AlternateRomdir2", &Settings::AlternateRomdir2},
    {"AlternateRomdir3", &Settings::AlternateRomdir3},
    {"Logdir", &Settings::Logdir},
    {"Drvdir", &Settings::Drvdir},
    {"Epmdir", &Settings::Epmdir},
    {"Stadir", &Settings::Stadir},
};

// The value after the first bare token that is the key, as a search from the
// start of the file finds it; false when the key or its value is missing.
bool readSetting(const std::vector<StreamValue>& fileValues, const char* key, std::string& value) {
  for (size_t i = 0; i < fileValues.size(); ++i) {
    const StreamValue& token = fileValues[i];
    if (token.quoted || !sameTextIgnoringCase(token.text, key)) continue;
    if (token.atEnd || i + 1 >= fileValues.size()) return false;
    const StreamValue& next = fileValues[i + 1];
    value = next.text;
    return !(next.text.empty() && next.atEnd);
  }
  return false;
}

int digitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return 99;
}

// An integer as the "%i" conversion reads it (white space, sign, then
// decimal, 0x hexadecimal or 0 octal), kept modulo 256 so that any length
// of digits is safe. False when the text does not start with a number.
bool parseLow8Bits(const std::string& text, uint8_t& result) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int base = 10;
  if (i < text.size() && text[i] == '0') {
    base = 8;
    if (i + 2 < text.size() && (text[i + 1] == 'x' || text[i + 1] == 'X') &&
        digitValue(text[i + 2]) < 16) {
      base = 16;
      i += 2;
    }
  }
  unsigned value = 0;
  size_t digits = 0;
  for (; i < text.size() && digitValue(text[i]) < base; ++i, ++digits)
    value = (value * base + digitValue(text[i])) & 0xFF;
  if (digits == 0) return false;
  result = static_cast<uint8_t>(negative ? (0x100 - value) & 0xFF : value);
  return true;
}

void readYesNo(const std::vector<StreamValue>& fileValues, const char* key, bool& field) {
  std::string value;
  if (readSetting(fileValues, key, value)) field = sameTextIgnoringCase(value, "yes");
}

const char* yesNo(bool value) {
  return value ? "yes" : "no";
}

const char* writtenPriorityName(int32_t level) {
  for (const PriorityName& name : priorityNames)
    if (name.level == level) return name.writtenName;
  return "normal";
}

}  // namespace

Settings defaultSettings() {
  Settings s;
  s.Romdir = s.AlternateRomdir1 = s.AlternateRomdir2 = s.AlternateRomdir3 = "./roms/";
  s.Logdir = "./log/";
  s.Drvdir = "./drv/";
  s.Epmdir = "./epm/";
  s.Stadir = "./sta/";
  s.Frameskip = 0;
  s.VerifyRoms = true;
  s.debugMode = false;
  s.firstTimeRun = true;
  s.threadPriority = 1;  // aboveNormal
  s.hardwareStretch = false;
  s.surfacesInSystemMemory = true;
  return s;
}

void loadConfiguration(const char* path) {
  settings = defaultSettings();
  notes.clear();
  if (!openDriverFile(path)) {
    // Missing (or unreadable): written with the defaults at once. Something
    // that is not a file is left alone until the exit's save says it failed.
    if (errno != notRegularFile) saveConfiguration(path);
    return;
  }
  // The file is read once, then searched for each key.
  const std::vector<StreamValue> fileValues = readAllValues();
  closeDriverFile();
  for (const StreamValue& v : fileValues)
    if (!v.note.empty()) notes.push_back(v.note);
  std::string value;
  if (readSetting(fileValues, "Frameskip", value)) parseLow8Bits(value, settings.Frameskip);
  readYesNo(fileValues, "VerifyRoms", settings.VerifyRoms);
  readYesNo(fileValues, "debugMode", settings.debugMode);
  readYesNo(fileValues, "firstTimeRun", settings.firstTimeRun);
  for (const DirectoryKey& directory : directoryKeys)
    if (readSetting(fileValues, directory.key, value)) settings.*directory.field = value;
  if (readSetting(fileValues, "threadPriority", value)) {
    for (const PriorityName& name : priorityNames)
      if (sameTextIgnoringCase(value, name.readName)) settings.threadPriority = name.level;
  }
  readYesNo(fileValues, "hardwareStretch", settings.hardwareStretch);
  readYesNo(fileValues, "surfacesInSystemMemory", settings.surfacesInSystemMemory);
}

void saveConfiguration(const char* path) {
  auto write = [](FILE* file) {
    const Settings& s = settings;
    fprintf(file, "#                                 #\n");
    fprintf(file, "# Stonebreaker configuration file #\n");
    fprintf(file, "#                                 #\n");
    fprintf(file, "\n");
    fprintf(file, "Romdir       \t\" %s\"\n", s.Romdir.c_str());
    fprintf(file, "AlternateRomdir1       \t\" %s\"\n", s.AlternateRomdir1.c_str());
    fprintf(file, "AlternateRomdir2       \t\" %s\"\n", s.AlternateRomdir2.c_str());
    fprintf(file, "AlternateRomdir3       \t\" %s\"\n", s.AlternateRomdir3.c_str());
    fprintf(file, "Logdir       \t\" %s\"\n", s.Logdir.c_str());
    fprintf(file, "Drvdir       \t\" %s\"\n", s.Drvdir.c_str());
    fprintf(file, "Epmdir       \t\" %s\"\n", s.Epmdir.c_str());
    fprintf(file, "Stadir       \t\" %s\"\n\n", s.Stadir.c_str());
    fprintf(file, "Frameskip    \t%i\n", s.Frameskip);
    fprintf(file, "VerifyRoms   \t%s\n", yesNo(s.VerifyRoms));
    fprintf(file, "debugMode    \t%s\n", yesNo(s.debugMode));
    fprintf(file, "firstTimeRun \t%s\n", yesNo(s.firstTimeRun));
    fprintf(file, "threadPriority  %s\n", writtenPriorityName(s.threadPriority));
    fprintf(file, "hardwareStretch \t%s\n", yesNo(s.hardwareStretch));
    fprintf(file, "surfacesInSystemMemory %s\n", yesNo(s.surfacesInSystemMemory));
    return ferror(file) == 0;
  };
  // Written whole or not at all: a full disk leaves the user's file as it was.
  std::string reason;
  if (!replaceFile(path, write, reason))
    showMessageBox("Current options cannot be saved", "Warning", nullptr, reason.c_str());
}
