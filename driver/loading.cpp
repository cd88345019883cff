// ROM-set loading: turns a driver file's region sections into the graphics
// data and the three 68000 images, fetching every ROM image through the ROM
// lookup.
//
// A section is its header token, SIZE and a hexadecimal size, then load
// commands up to the next token that begins with "[". The load fails, with a
// log line that says why, when a section or its SIZE is missing, a size or
// offset is not a 32-bit hexadecimal number, the file ends before the next
// header, or a command would write past the region's SIZE.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "base/base.h"
#include "driver/driver.h"
#include "romfs/romfs.h"

namespace {

constexpr uint32_t tileBytes = 256;
constexpr uint32_t planeCount = 4;

struct CodeSection {
  const char* token;
  const char* sizeLine;
  std::vector<uint8_t> GameRom::*buffer;
};
// Indexed by RegionKind.
const CodeSection codeSections[] = {
    {"[masterCpu]", "system21: code rom for master 68k cpu sizes 0x%.8x bytes\n",
     &GameRom::masterCodeRom},
    {"[slaveCpu]", "system21: code rom for slave 68k cpu sizes 0x%.8x bytes\n",
     &GameRom::slaveCodeRom},
    {"[collisionData]", "system21: collisionData rom sizes 0x%.8x bytes\n", &GameRom::collisionRom},
};
bool isSectionHeader(const std::string& token) {
  return !token.empty() && token[0] == '[';
}

// A whole token of hexadecimal digits, with or without "0x", that fits 32 bits.
bool parseHex(const std::string& text, uint32_t& value) {
  size_t i = (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) ? 2 : 0;
  if (i == text.size()) return false;
  uint64_t v = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    const int digit = (c >= '0' && c <= '9')   ? c - '0'
                      : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                      : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                               : -1;
    if (digit < 0) return false;
    v = v * 16 + static_cast<uint64_t>(digit);
    if (v > 0xFFFFFFFF) return false;
  }
  value = static_cast<uint32_t>(v);
  return true;
}

// The next token of a section; false at the end of the file.
bool nextToken(const char* section, std::string& token) {
  token = readValue();
  if (token.empty() && driverFileAtEnd()) {
    logLine("End of driver file in section %s before the next section header\n", section);
    return false;
  }
  return true;
}

bool readNumber(const char* section, const std::string& command, const char* what,
                uint32_t& value) {
  std::string text;
  if (!nextToken(section, text)) return false;
  if (parseHex(text, value)) return true;
  logLine("%s '%s' of %s in section %s is not a hexadecimal number\n", what, text.c_str(),
          command.c_str(), section);
  return false;
}

// Finds the section and its SIZE (before the next section header).
bool openSection(const char* section, std::string& sizeText, uint32_t& size) {
  findKey(section);
  if (driverFileAtEnd()) {
    logLine("Section %s not found in driver file\n", section);
    return false;
  }
  std::string token;
  do {
    token = readValue();
    if ((token.empty() && driverFileAtEnd()) || isSectionHeader(token)) {
      logLine("Section %s has no SIZE\n", section);
      return false;
    }
  } while (!sameTextIgnoringCase(token, "SIZE"));
  if (!nextToken(section, sizeText)) return false;
  if (!parseHex(sizeText, size)) {
    logLine("SIZE '%s' of section %s is not a hexadecimal number\n", sizeText.c_str(), section);
    return false;
  }
  if (size > largestRegion) {
    logLine("SIZE 0x%.8x of section %s is larger than 0x%.8x\n", size, section, largestRegion);
    return false;
  }
  return true;
}

// Whether bytes at offset stay inside the region; logs the command if not.
// A region of SIZE 0 holds nothing, not even an empty load.
bool fitsRegion(const char* section, const std::string& command, uint32_t offset, uint64_t bytes,
                uint32_t regionSize) {
  if (regionSize != 0 && uint64_t{offset} + bytes <= regionSize) return true;
  logLine("%s passes the end of section %s (SIZE 0x%.8x)\n", command.c_str(), section, regionSize);
  return false;
}

void romNotLoaded(const std::string& names) {
  logLine("ROM image %s could not be loaded\n", names.c_str());
}

std::string describe(const char* word, const std::string& first, const std::string& second,
                     uint32_t size, uint32_t offset) {
  char numbers[32];
  std::snprintf(numbers, sizeof numbers, " 0x%.8x 0x%.8x", size, offset);
  return std::string(word) + " " + first + (second.empty() ? "" : " " + second) + numbers;
}

}  // namespace

void decodeGraphics(const uint8_t* image, uint32_t imageSize, GameRom& rom) {
  const uint32_t quarter = imageSize / planeCount;
  rom.graphicsBlockCount = imageSize / tileBytes;
  rom.graphicsData.assign(size_t{rom.graphicsBlockCount} * tileBytes, 0);
  const uint32_t bytesPerPlane = rom.graphicsBlockCount * (tileBytes / planeCount);
  for (uint32_t k = 0; k < bytesPerPlane; ++k)
    for (uint32_t m = 0; m < planeCount; ++m)
      rom.graphicsData[planeCount * k + m] = image[m * quarter + k];
}

int loadGraphicsRegion(GameRom& rom) {
  const char* section = "[gfx]";
  std::string sizeText;
  uint32_t graphicsImageSize = 0;
  if (!openSection(section, sizeText, graphicsImageSize)) return 0;
  logLine("compressed graphics size(%s): 0x%.8x\n", sizeText.c_str(), graphicsImageSize);
  // The planes as the driver lays them out; only the decoded tiles are kept.
  const RomBuffer image(static_cast<uint8_t*>(std::calloc(graphicsImageSize + size_t{1}, 1)));
  uint8_t* graphicsImage = image.get();
  if (graphicsImage == nullptr) {
    logLine("Not enough memory for section %s\n", section);
    return 0;
  }
  for (;;) {
    std::string word, first, second;
    uint32_t size = 0, offset = 0;
    if (!nextToken(section, word)) break;
    if (isSectionHeader(word)) {
      decodeGraphics(graphicsImage, graphicsImageSize, rom);
      return 1;
    }
    if (sameTextIgnoringCase(word, "LOAD8")) {
      if (!nextToken(section, first) || !readNumber(section, word, "size", size) ||
          !readNumber(section, word, "offset", offset))
        break;
      if (!fitsRegion(section, describe("LOAD8", first, "", size, offset), offset, size,
                      graphicsImageSize))
        break;
      const RomBuffer file = loadRomFile(first.c_str(), size);
      if (!file) {
        romNotLoaded(first);
        break;
      }
      std::memcpy(graphicsImage + offset, file.get(), size);
    } else if (sameTextIgnoringCase(word, "LOADROMEVENODD")) {
      if (!nextToken(section, first) || !nextToken(section, second) ||
          !readNumber(section, word, "size", size) || !readNumber(section, word, "offset", offset))
        break;
      if (!fitsRegion(section, describe("LOADROMEVENODD", first, second, size, offset), offset,
                      2 * uint64_t{size}, graphicsImageSize))
        break;
      if (!loadRomEvenOdd(first.c_str(), second.c_str(), size, graphicsImage + offset)) {
        romNotLoaded(first + " / " + second);
        break;
      }
    } else {
      logLine("Unknown graphics loading method: '%s'\n", word.c_str());
      break;
    }
  }
  return 0;
}

int loadCodeRegion(RegionKind kind, GameRom& rom) {
  const CodeSection& region = codeSections[static_cast<int>(kind)];
  const char* section = region.token;
  std::string sizeText;
  uint32_t regionSize = 0;
  if (!openSection(section, sizeText, regionSize)) return 0;
  logLine(region.sizeLine, regionSize);
  std::vector<uint8_t>& buffer = rom.*region.buffer;
  buffer.assign(regionSize, 0);  // bytes that no command fills read as zero
  for (;;) {
    std::string word, first, second;
    uint32_t size = 0, offset = 0;
    if (!nextToken(section, word)) return 0;
    if (isSectionHeader(word)) return 1;
    if (sameTextIgnoringCase(word, "LOADROMEVENODD")) {
      if (!nextToken(section, first) || !nextToken(section, second) ||
          !readNumber(section, word, "size", size) || !readNumber(section, word, "offset", offset))
        return 0;
      logLine("system21: LOADROMEVENODD %s %s 0x%.8x 0x%.8x\n", first.c_str(), second.c_str(), size,
              offset);
      if (!fitsRegion(section, describe("LOADROMEVENODD", first, second, size, offset), offset,
                      2 * uint64_t{size}, regionSize))
        return 0;
      if (!loadRomEvenOdd(first.c_str(), second.c_str(), size, buffer.data() + offset)) {
        romNotLoaded(first + " / " + second);
        return 0;
      }
    } else if (sameTextIgnoringCase(word, "LOADROM16SWAP")) {
      if (!nextToken(section, first) || !readNumber(section, word, "size", size) ||
          !readNumber(section, word, "offset", offset))
        return 0;
      if (!fitsRegion(section, describe("LOADROM16SWAP", first, "", size, offset), offset, size,
                      regionSize))
        return 0;
      if (!loadRom(first.c_str(), size, buffer.data() + offset)) {
        romNotLoaded(first);
        return 0;
      }
      logLine("system21: LOADROM16SWAP %s 0x%.8x 0x%.8x\n", first.c_str(), size, offset);
    }
    // Any other token is skipped, arguments of unknown commands included.
  }
}

int loadGame(const char* driverFileName, GameRom& rom) {
  // Names from the command line and from driver files stay in their
  // directories.
  if (!isPlainFileName(driverFileName)) {
    logLine("Driver file name '%s' is not a plain file name\n", driverFileName);
    return 0;
  }
  const std::string path = settings.Drvdir + driverFileName;
  if (!openDriverFile(path.c_str())) {
    logLine("Driver file %s cannot be opened\n", path.c_str());
    return 0;
  }
  findKey("GAMENAME");
  rom.gameName = readValue();
  findKey("DIRECTORY");
  const std::string directory = readValue();
  if (!directory.empty() && !isPlainFileName(directory)) {
    logLine("DIRECTORY '%s' is not a plain file name\n", directory.c_str());
    closeDriverFile();
    return 0;
  }
  setRomSetDirectory(directory.c_str());
  // Each archive of the set is opened once for all the load commands.
  beginArchiveCache();
  const int loaded = loadGraphicsRegion(rom) && loadCodeRegion(RegionKind::master, rom) &&
                     loadCodeRegion(RegionKind::slave, rom);
  // A missing collision image has been reported and does not stop the game.
  if (loaded) loadCodeRegion(RegionKind::collision, rom);
  endArchiveCache();
  closeDriverFile();
  return loaded;
}
