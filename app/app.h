// The application shell: log, allocation accounting, configuration, message
// boxes, the command line and the launcher/play cycle of the entry.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

// ---- Log ---------------------------------------------------------------
// One text stream for the life of the process; writers format their own
// lines. logFile() is null before openLog succeeds and after closeLog.
int openLog(const char* path);  // 1 opened (created or truncated), 0 not
FILE* logFile();
void closeLog();

// ---- Allocation accounting ----------------------------------------------
// Labelled allocations listed in the memory report at exit. Labels are not
// copied (pass string literals); records are never removed. Blocks come
// from malloc and belong to the caller, who may free() them (the report
// then still lists the record).
void resetAllocationAccounting();
void* trackedAlloc(uint32_t size, const char* label);
void writeMemoryReport(FILE* stream);

// ---- Configuration ------------------------------------------------------
struct Settings {
  std::string Romdir;
  std::string AlternateRomdir1;
  std::string AlternateRomdir2;
  std::string AlternateRomdir3;
  std::string Logdir;
  std::string Drvdir;
  std::string Epmdir;
  std::string Stadir;
  uint8_t Frameskip;
  bool VerifyRoms;
  bool debugMode;
  bool firstTimeRun;
  int32_t threadPriority;
  bool hardwareStretch;
  bool surfacesInSystemMemory;
  bool operator==(const Settings&) const = default;
};
extern Settings settings;

Settings defaultSettings();
void loadConfiguration(const char* path);
void saveConfiguration(const char* path);

// ---- Message boxes ------------------------------------------------------
// Modal box with one OK button. Headless (setHeadless(true), or neither
// DISPLAY nor WAYLAND_DISPLAY set) it writes "caption: text" to stderr and
// returns at once. owner is the owning window (a QWidget*) or null.
void showMessageBox(const char* text, const char* caption, void* owner);
void setHeadless(bool headless);
bool isHeadless();
// Creates the process's QApplication on first use (with a display only);
// the launcher and the message boxes share it.
void ensureGuiApplication();
// Tests observe every box shown; null restores the normal behaviour.
using MessageBoxHook = void (*)(const char* text, const char* caption, void* owner);
void setMessageBoxHook(MessageBoxHook hook);

// ---- Launcher protocol --------------------------------------------------
// Set by the launcher, read by the entry: 1 leave, 2 launcher again, 3 play.
extern int32_t launcherChoice;
// The chosen driver file ("<DIRECTORY>.drv"); empty when nothing is chosen.
extern std::string selectedDriver;

// ---- Command line -------------------------------------------------------
struct CommandLine {
  bool help = false;
  bool version = false;
  bool headless = false;
  std::string play;        // --play DRIVER: run that driver once
  int64_t frames = -1;     // --frames N: end a run after N frames
  std::string screenshot;  // --screenshot FILE.png
};
// 1 parsed; 0 with a one-line message in error.
int parseCommandLine(int argc, char** argv, CommandLine& line, std::string& error);
const char* usageText();

// ---- Entry --------------------------------------------------------------
constexpr const char* programName = "Stonebreaker 0.0.1";

// What the cycle calls; tests script these instead of a dialog and a game.
struct EntryHooks {
  void (*runLauncher)();                       // leaves launcherChoice, selectedDriver
  int (*runGame)(const char* driverFileName);  // 1 ran, 0 could not load
};

// Start-up, the launcher/play cycle and shutdown in the working directory.
// With line.play set, plays that driver once instead of the cycle. Returns
// the process's exit status.
int runEntry(const EntryHooks& hooks, const CommandLine& line);
