// The services every part of the program uses: the log and the accounting of
// labelled allocations, the settings and their configuration file, message
// boxes, and the token reader shared by every text file.
#pragma once

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

// ---- Log ---------------------------------------------------------------
// One text stream for the life of the process; writers format their own
// lines. logFile() is null before openLog succeeds and after closeLog.
int openLog(const char* path);  // 1 opened (created or truncated), 0 not
FILE* logFile();
void closeLog();
// Formats one piece of the log; nothing when the log is not open.
__attribute__((format(printf, 1, 2))) void logLine(const char* format, ...);
// Lines completed through logLine since the program started, and the last
// count of them (at most 32 are kept), oldest first, without newlines.
uint64_t logLinesWritten();
std::vector<std::string> recentLogLines(size_t count);
// Where the log stands, to cut it back there later: a run that goes back
// in time takes its log back with it.
struct LogMark {
  long offset = 0;
  uint64_t linesWritten = 0;
  std::string pendingLine;
  std::vector<std::string> recentLines;
};
LogMark markLog();
void rewindLog(const LogMark& mark);

// ---- Allocation accounting ----------------------------------------------
// Labelled allocations listed in the memory report at exit. Labels are not
// copied (pass string literals); records are never removed. Blocks come
// from malloc and belong to the caller, who may free() them (the report
// then still lists the record).
void resetAllocationAccounting();
void* trackedAlloc(uint32_t size, const char* label);
void writeMemoryReport(FILE* stream);

// ---- Settings and the configuration file -----------------------------------
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
// The log lines the last loadConfiguration had to say, for the log that is
// opened after it.
const std::vector<std::string>& configurationNotes();
void saveConfiguration(const char* path);

// ---- Message boxes ------------------------------------------------------
// Modal box with one OK button and, when informative is not empty, a second
// text that says more. Headless (setHeadless(true), or neither DISPLAY nor
// WAYLAND_DISPLAY set) it writes "caption: text" (and " (informative)") to
// stderr and returns at once. owner is the owning window (a QWidget*) or
// null (the box is then centred on the screen).
void showMessageBox(const char* text, const char* caption, void* owner,
                    const char* informative = nullptr);
// Gives a widget (a QWidget*) the dialogs' 8-point font.
void setDialogFont(void* widget);
void setHeadless(bool headless);
bool isHeadless();
// Creates the process's QApplication on first use (with a display only);
// the launcher and the message boxes share it.
void ensureGuiApplication();
// Tests observe every box shown; null restores the normal behaviour.
using MessageBoxHook = void (*)(const char* text, const char* caption, void* owner,
                                const char* informative);
void setMessageBoxHook(MessageBoxHook hook);

// ---- Files ------------------------------------------------------------------
// Opens a file for reading, or creates or truncates it for writing, only when
// it is a regular file; a FIFO, a device or a directory gives null, as a
// missing file does, without blocking, and errno notRegularFile.
FILE* openRegularFile(const char* path, bool forWriting);
constexpr int notRegularFile = EINVAL;
// Why a file could not be opened, from errno after openRegularFile.
const char* openFailureReason(int error);
// Replaces the file at path whole, or leaves it as it was: write puts the
// new contents into a temporary file of the same directory (false when one
// of its writes failed), which is flushed to the disk and renamed over path
// only when every step succeeded. On failure the temporary file is removed
// and reason says why (strerror's text). A link is followed and kept; a
// path that is there but no regular file is refused.
bool replaceFile(const char* path, const std::function<bool(FILE*)>& write, std::string& reason);
// A name that stays in its directory: not empty, no path separator, not "."
// or "..". Names read from driver files and the command line must be plain.
bool isPlainFileName(const std::string& name);
// The CRC-32 of zip archives and saved states; pass the result of one piece
// as crc to go on with the next.
uint32_t crc32(const uint8_t* data, size_t size, uint32_t crc = 0);

// ---- Token reader -------------------------------------------------------
// One current text stream for the whole program; users take turns. Tokens
// and quoted values of any length; "# ... #" comments; keys compared without
// regard to case, and a quoted value is never taken for a key. At the end
// of the stream (or after a read error) every read gives "".
int openDriverFile(const char* path);  // 1 opened as the current stream, 0 not
void closeDriverFile();
bool driverFileAtEnd();
std::string readToken();
std::string readValue();            // next token outside comments; "" at end of file
void findKey(const char* key);      // from the start of the stream
void findNextKey(const char* key);  // from the current position
// Every value of the stream from its start, in the order readValue gives
// them, each with whether it was quoted, whether the stream ended with it
// and the log line written about it (text glued to its opening quote): a
// file of many keys is read once rather than once per key.
struct StreamValue {
  std::string text;
  bool quoted;
  bool atEnd;
  std::string note;
};
std::vector<StreamValue> readAllValues();
// Keys, keywords, command words and names are compared with ASCII case
// folding; the program's one such comparison.
bool sameTextIgnoringCase(const std::string& text, const char* other);
