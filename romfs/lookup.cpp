// ROM lookup: finds a ROM image by name in the four ROM directories, as a
// plain file or as a member of the set's archive in each, and puts images
// into region buffers.
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

// A plain file of the name in the directory decides the matter for it: the
// image when it holds at least length bytes, nothing otherwise. Without one
// the set's archive, then the parent set's archive, are asked for a member
// of at least length bytes.
RomBuffer tryRomDirectory(const std::string& directory, const char* name, uint32_t length) {
  const std::string path = directory + name;
  if (FILE* f = std::fopen(path.c_str(), "rb")) {
    RomBuffer image(static_cast<uint8_t*>(std::malloc(length > 0 ? length : 1)));
    const bool whole = image && std::fread(image.get(), 1, length, f) == length;
    std::fclose(f);
    return whole ? std::move(image) : nullptr;
  }
  for (const char* set : {romSetName, parentSetName.empty() ? nullptr : parentSetName.c_str()}) {
    if (set == nullptr) continue;
    const std::string archive = directory + set + ".zip";
    RomBuffer member;
    uint32_t size = 0;
    readZipMember(archive.c_str(), name, member, size);
    if (size != 0 && size >= length) return member;
  }
  return nullptr;
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
  for (const std::string* directory : {&settings.Romdir, &settings.AlternateRomdir1,
                                       &settings.AlternateRomdir2, &settings.AlternateRomdir3}) {
    if (RomBuffer image = tryRomDirectory(*directory, name, length)) return image;
  }
  showMessageBox(name, "The following rom cannot be loaded", nullptr);
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
