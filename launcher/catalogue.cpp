// The game catalogue: one entry per driver file of the driver directory,
// read from the files' header keys each time the launcher opens.
#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <new>
#include <string>
#include <system_error>
#include <vector>

#include "base/base.h"
#include "launcher/launcher.h"

std::vector<GameEntry> catalogue;

namespace {

namespace fs = std::filesystem;

constexpr const char* driverExtension = ".drv";

// Matches the "*.drv" pattern the way the original file system does: the
// extension without regard to case.
bool isDriverFileName(const std::string& name) {
  const std::string extension = driverExtension;
  return name.size() >= extension.size() &&
         sameTextIgnoringCase(name.substr(name.size() - extension.size()), driverExtension);
}

// The driver files of the working directory, in name order so that every
// run lists (and, past the limit, drops) the same files.
std::vector<std::string> listDriverFiles() {
  std::vector<std::string> names;
  std::error_code error;
  for (fs::directory_iterator it(".", error), end; !error && it != end; it.increment(error)) {
    std::error_code typeError;
    if (!it->is_regular_file(typeError)) continue;  // a directory named x.drv is no driver
    std::string name = it->path().filename().string();
    if (isDriverFileName(name)) names.push_back(std::move(name));
  }
  std::sort(names.begin(), names.end());
  return names;
}

// The Type column: the board's usual spelling, anything else as written.
std::string typeText(const std::string& system) {
  return sameTextIgnoringCase(system, "System21") ? std::string("System 21") : system;
}

std::string readHeaderValue(const char* key) {
  findKey(key);
  return readValue();
}

}  // namespace

int addCatalogueEntry(const std::string& directory, const std::string& gameName,
                      const std::string& system) {
  if (catalogue.size() >= static_cast<size_t>(maxCatalogueEntries)) return -1;
  // The texts are the entry's own copies; an allocation failure leaves the
  // entry out rather than half made.
  try {
    catalogue.push_back(GameEntry{directory + driverExtension, gameName, system});
  } catch (const std::bad_alloc&) {
    showMessageBox("Out of memory", "Info", nullptr);
    return -1;
  }
  return static_cast<int>(catalogue.size()) - 1;
}

int findCatalogueEntry(const std::string& gameName) {
  for (size_t i = 0; i < catalogue.size(); ++i) {
    if (sameTextIgnoringCase(catalogue[i].gameName, gameName.c_str())) return static_cast<int>(i);
  }
  return -1;
}

void clearCatalogue() {
  catalogue.clear();
  catalogue.shrink_to_fit();
}

void readDriverHeader(QTreeWidget* list, const char* fileName) {
  if (!openDriverFile(fileName)) {
    logLine("Driver file %s cannot be read: %s\n", fileName, openFailureReason(errno));
    return;
  }
  const std::string directory = readHeaderValue("DIRECTORY");
  const std::string gameName = readHeaderValue("GAMENAME");
  const std::string system = readHeaderValue("SYSTEM");
  const std::string date = readHeaderValue("DATE");
  closeDriverFile();

  const int entry = addCatalogueEntry(directory, gameName, system);
  if (entry < 0) return;
  // A driver that names no directory is played by its own file name.
  if (directory.empty()) catalogue[entry].driverFileName = fileName;
  addGameRow(list, typeText(system), date, gameName, directory, entry);
}

void scanDrivers(QTreeWidget* list) {
  clearGameRows(list);
  clearCatalogue();

  std::error_code error;
  const fs::path remembered = fs::current_path(error);
  const std::string& driverDirectory = settings.Drvdir;
  bool entered = !error;
  if (entered) {
    fs::current_path(driverDirectory.empty() ? fs::path(".") : fs::path(driverDirectory), error);
    entered = !error;
  }
  // A driver directory that cannot be entered has no drivers; the scan must
  // not list those of whatever directory the program happens to run in.
  const std::vector<std::string> names = entered ? listDriverFiles() : std::vector<std::string>();
  for (const std::string& name : names) {
    if (catalogue.size() >= static_cast<size_t>(maxCatalogueEntries)) break;
    readDriverHeader(list, name.c_str());
  }
  if (entered) fs::current_path(remembered, error);

  if (names.empty()) showMessageBox("No game drivers found", "Error", nullptr);
}
