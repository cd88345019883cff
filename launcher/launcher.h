// The launcher: the catalogue of driver files and the dialog in which a game
// is chosen.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QDialog;
class QTreeWidget;

// ---- Game catalogue -----------------------------------------------------
// One driver file read by the scan. driverFileName is the DIRECTORY value
// followed by ".drv": the file the game load opens.
struct GameEntry {
  std::string driverFileName;
  std::string gameName;
  std::string system;  // as written, not the display form
};

constexpr int maxCatalogueEntries = 1024;
// Scan order; lives while the launcher dialog is open.
extern std::vector<GameEntry> catalogue;

// Empties the list and the catalogue, then reads every "*.drv" file of the
// Drvdir directory (in name order, at most maxCatalogueEntries). The working
// directory is the driver directory only during the scan. list may be null
// (no dialog): the catalogue is filled all the same.
void scanDrivers(QTreeWidget* list);
// Reads one driver file's header keys (a name relative to the working
// directory) and adds its catalogue entry and its row; a file that cannot be
// opened is skipped. A missing key gives an empty text.
void readDriverHeader(QTreeWidget* list, const char* fileName);
// Appends an entry; returns its index, or -1 when the catalogue is full or
// out of memory (nothing is added).
int addCatalogueEntry(const std::string& directory, const std::string& gameName,
                      const std::string& system);
// Index of the first entry whose game name equals gameName ignoring case;
// -1 when none does.
int findCatalogueEntry(const std::string& gameName);
void clearCatalogue();

// ---- Launcher dialog ----------------------------------------------------
// The record behind each list row: the four column texts in column order
// (game name, directory, date, type) and the row's own catalogue entry.
enum GameColumn { gameNameColumn = 0, zipColumn = 1, yearColumn = 2, typeColumn = 3 };
struct GameRow {
  std::array<std::string, 4> columns;
  int entry = -1;
};

// The sort direction of the next header click: starts ascending, flips on
// every click and is kept for the life of the process.
extern bool sortAscending;

// Deletes every row of the list (the list may be null).
void clearGameRows(QTreeWidget* list);
// Inserts one row for catalogue entry `entry`, placed by ascending game name
// (nothing when list is null).
void addGameRow(QTreeWidget* list, const std::string& type, const std::string& date,
                const std::string& gameName, const std::string& directory, int entry);
// Locale-aware case-insensitive comparison of the rows' texts in `column`,
// ties broken by game name, negated when sorting descending.
int compareGameRows(const GameRow& a, const GameRow& b, int column);

// What a launcher pass leaves: the user's choice and, to play, the chosen
// driver file ("<DIRECTORY>.drv").
enum LauncherChoice : int32_t { leaveProgram = 1, launcherAgain = 2, playGame = 3 };
struct LauncherResult {
  LauncherChoice choice = leaveProgram;
  std::string driverFileName;
  bool showFps = false;  // the "Show FPS" box was ticked
};

// One launcher pass: scans the driver directory, shows the dialog and runs
// its loop until it closes. Headless, the pass scans and leaves with no
// dialog.
LauncherResult runLauncher();

// The same pass with the dialog shown even when headless (a QApplication
// must exist); script, when set, is called once with the shown dialog from
// inside the dialog's loop. Tests drive the dialog this way.
using LauncherScript = std::function<void(QDialog& dialog)>;
LauncherResult runLauncherDialog(const LauncherScript& script);
