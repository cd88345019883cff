// ROM lookup: finds a ROM image by name in the four ROM directories, as a
// plain file or as a member of the set's archive in each, and puts images
// into region buffers.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "base/base.h"
#include "romfs/romfs.h"

namespace {

// The set's name, in a tracked block that is never released. Every such
// block stays listed here to the end of the process, as the memory report
// lists it.
const char* romSetName = nullptr;
auto* const setNameBlocks = new std::vector<char*>;
std::string parentSetName;

// The archives searched in a directory: the set's, then the parent set's.
std::vector<std::string> archivesIn(const std::string& directory) {
  std::vector<std::string> archives;
  for (const char* set : {romSetName, parentSetName.empty() ? nullptr : parentSetName.c_str()})
    if (set != nullptr) archives.push_back(directory + set + ".zip");
  return archives;
}

// A plain file of the name in the directory decides the matter for it: the
// image when it holds at least length bytes, nothing otherwise. Without one
// (only a regular file counts: a FIFO or a device would block the read or
// never end it) the archives are asked for a member of at least length
// bytes, read no further than that.
RomBuffer tryRomDirectory(const std::string& directory, const char* name, uint32_t length) {
  const std::string path = directory + name;
  if (FILE* f = openRegularFile(path.c_str(), false)) {
    RomBuffer image(static_cast<uint8_t*>(std::malloc(length > 0 ? length : 1)));
    const bool whole = image && std::fread(image.get(), 1, length, f) == length;
    std::fclose(f);
    return whole ? std::move(image) : nullptr;
  }
  for (const std::string& archive : archivesIn(directory)) {
    RomBuffer member;
    uint32_t size = 0;
    // A load of no bytes still needs a member that has some.
    readZipMember(archive.c_str(), name, member, size, std::max(length, 1u));
    if (size != 0 && size >= length) return member;
  }
  return nullptr;
}

const std::string* const romDirectories[] = {&settings.Romdir, &settings.AlternateRomdir1,
                                             &settings.AlternateRomdir2,
                                             &settings.AlternateRomdir3};

// The box's second text: the directories searched and the archives in them.
std::string searchedPlaces() {
  std::vector<std::string> directories, archives;
  for (const std::string* directory : romDirectories) {
    if (std::find(directories.begin(), directories.end(), *directory) != directories.end())
      continue;
    directories.push_back(*directory);
    for (const std::string& archive : archivesIn(*directory)) archives.push_back(archive);
  }
  std::string text = "Searched the directories";
  for (const std::string& d : directories) text += " " + d;
  text += " and the zip archives";
  for (const std::string& a : archives) text += " " + a;
  return text;
}

}  // namespace

void setRomSetDirectory(const char* name) {
  const size_t length = std::strlen(name);
  auto* copy = static_cast<char*>(trackedAlloc(static_cast<uint32_t>(length + 1), "Set directory"));
  if (copy != nullptr) {
    std::memcpy(copy, name, length + 1);
    setNameBlocks->push_back(copy);
  }
  romSetName = copy;
}

const char* romSetDirectory() {
  return romSetName != nullptr ? romSetName : "";
}

void setParentSetDirectory(const char* name) {
  parentSetName = name != nullptr ? name : "";
}

RomBuffer loadRomFile(const char* name, uint32_t length) {
  // A name from a driver file stays in the ROM directories.
  if (!isPlainFileName(name))
    logLine("ROM name '%s' is not a plain file name\n", name);
  else
    for (const std::string* directory : romDirectories)
      if (RomBuffer image = tryRomDirectory(*directory, name, length)) return image;
  showMessageBox(name, "The following rom cannot be loaded", nullptr, searchedPlaces().c_str());
  std::printf("\n%s [Not found]\n", name);
  return nullptr;
}

int loadRom(const char* name, uint32_t length, uint8_t* destination) {
  RomBuffer image = loadRomFile(name, length);
  if (!image) return 0;
  std::memcpy(destination, image.get(), length);
  return 1;
}

int loadRomEvenOdd(const char* first, const char* second, uint32_t length, uint8_t* destination) {
  RomBuffer high = loadRomFile(first, length);
  if (!high) return 0;
  RomBuffer low = loadRomFile(second, length);
  if (!low) return 0;
  for (uint32_t i = 0; i < length; ++i) {
    destination[2 * i] = low[i];
    destination[2 * i + 1] = high[i];
  }
  return 1;
}
