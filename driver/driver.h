// ROM-set loading: a driver file's region sections turned into the game's
// images, every ROM image fetched through the ROM lookup.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The images of one game as its driver file describes them. 68000 images hold
// 16-bit words in host order: the 68000 byte at offset A is at offset A ^ 1.
struct GameRom {
  std::string gameName;
  // 256-byte tiles of the graphics region, decoded from its four planes.
  std::vector<uint8_t> graphicsData;
  uint32_t graphicsBlockCount = 0;
  std::vector<uint8_t> masterCodeRom;
  std::vector<uint8_t> slaveCodeRom;
  std::vector<uint8_t> collisionRom;
};

enum class RegionKind { master, slave, collision };

// Reads the driver file (in the driver directory) and loads all four regions
// into rom; the driver file is closed again before it returns. 1 loaded, 0
// not (the log says why). A collision region that cannot be loaded has been
// reported and does not stop the game.
int loadGame(const char* driverFileName, GameRom& rom);

// The steps of loadGame, over the current driver file.
int loadGraphicsRegion(GameRom& rom);
int loadCodeRegion(RegionKind kind, GameRom& rom);
// Tiles from a graphics image of four equal planes (byte 4k + m of the tiles
// is byte k of plane m).
void decodeGraphics(const uint8_t* image, uint32_t imageSize, GameRom& rom);
