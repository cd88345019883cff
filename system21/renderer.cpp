// The sprite renderer: palette and both sprite lists of video RAM drawn into
// the frame buffer from the game's 16 x 16 tiles.
#include <cstring>

#include "system21/system21.h"

uint32_t palette[32768];

namespace {

// Video RAM layout (68000 addresses).
constexpr uint32_t videoBase = 0x700000;
constexpr uint32_t spriteBank0 = 0x700000;
constexpr uint32_t spriteList0 = 0x702000;
constexpr uint32_t shapeTable = 0x704000;
constexpr uint32_t tileCodeTable = 0x708000;
constexpr uint32_t spriteBank1 = 0x710000;
constexpr uint32_t spriteList1 = 0x714000;
constexpr uint32_t paletteA = 0x740000;
constexpr uint32_t paletteB = 0x750000;

constexpr int listLength = 256;
constexpr uint16_t listEnd = 0x100;
constexpr uint16_t flipBit = 0x8000;
constexpr uint16_t sizeMask = 0x1ff;
constexpr uint16_t noTile = 0x8000;
constexpr int tileSize = 16;
constexpr int maxTileX = screenWidth - tileSize;   // 480
constexpr int maxTileY = screenHeight - tileSize;  // 464
constexpr uint8_t blackPixel = 0xff;
// The screen's origin within the sprites' coordinates.
constexpr int originX = 2;
constexpr int originY = 34;

// Grid size of a shape field: 0 stands for 16.
int gridCount(int field) {
  return field ? field : 16;
}

// One axis of a sprite: first tile position and the signed step between tiles.
struct Axis {
  int first;
  int step;
};

Axis placeAxis(uint16_t position, uint16_t sizeWord, int tiles, uint16_t origin, int screenOrigin) {
  uint32_t zoom = (static_cast<uint32_t>(sizeWord & sizeMask) << 16) / (16 * tiles);
  int step = static_cast<int>((zoom + 2048) >> 12);
  uint32_t offset = (zoom * origin + 0x8000) >> 16;
  int base = position - screenOrigin;
  if (!(sizeWord & flipBit)) return {static_cast<int16_t>(base - static_cast<int>(offset)), step};
  return {static_cast<int16_t>(base + static_cast<int>(offset) - step), -step};
}

void drawList(uint32_t* frame, uint32_t list, uint32_t sprites) {
  for (int k = 0; k < listLength; k++) {
    uint16_t entry = videoWord(list + 2 * k);
    drawSprite(frame, sprites + 16 * (entry & 0xff));
    if (entry & listEnd) break;
  }
}

}  // namespace

uint16_t videoWord(uint32_t address) {
  uint32_t offset = address - videoBase;
  const std::vector<uint8_t>& ram = machine.videoRam;
  if (address < videoBase || offset + 1 >= ram.size()) return 0;
  uint16_t word;
  std::memcpy(&word, ram.data() + offset, 2);
  return word;
}

void convertPalette() {
  const std::vector<uint8_t>& ram = machine.videoRam;
  if (ram.size() < paletteB - videoBase + 2 * 32768) return;
  const uint8_t* a = ram.data() + (paletteA - videoBase);
  const uint8_t* b = ram.data() + (paletteB - videoBase);
  for (int i = 0; i < 32768; i++) {
    // host order: the low byte of each word first
    uint32_t aLow = a[2 * i], aHigh = a[2 * i + 1], bLow = b[2 * i];
    palette[i] = aHigh << 16 | bLow << 8 | aLow;
  }
}

void drawSprites(uint32_t* frame) {
  drawList(frame, spriteList0, spriteBank0);
  drawList(frame, spriteList1, spriteBank1);
}

void drawSprite(uint32_t* frame, uint32_t spriteAddress) {
  uint16_t word[8];
  for (int i = 0; i < 8; i++) word[i] = videoWord(spriteAddress + 2 * i);
  if (!(word[4] & sizeMask) || !(word[5] & sizeMask)) return;
  uint32_t shape = shapeTable + 8 * static_cast<uint32_t>(word[0]);
  uint16_t firstCode = videoWord(shape);
  uint16_t grid = videoWord(shape + 2);
  int nx = gridCount((grid >> 4) & 15);
  int ny = gridCount(grid & 15);
  Axis x = placeAxis(word[2], word[4], nx, videoWord(shape + 4), originX);
  Axis y = placeAxis(word[3], word[5], ny, videoWord(shape + 6), originY);
  uint32_t bank = 31 - (word[6] & 15);
  for (int row = 0; row < ny; row++) {
    for (int column = 0; column < nx; column++) {
      uint32_t index = firstCode + static_cast<uint32_t>(row * nx + column);
      uint16_t code = videoWord(tileCodeTable + 2 * index);
      if (code & noTile) continue;
      drawTile(frame, code + static_cast<uint32_t>(word[1]), bank, x.first + column * x.step,
               y.first + row * y.step);
    }
  }
}

void drawTile(uint32_t* frame, uint32_t tileNumber, uint32_t paletteBank, int x, int y) {
  const GameRom& game = machine.game;
  if (game.graphicsBlockCount == 0 || game.graphicsData.empty()) return;
  x = x < 0 ? 0 : x > maxTileX ? maxTileX : x;
  y = y < 0 ? 0 : y > maxTileY ? maxTileY : y;
  const uint8_t* pixel =
      game.graphicsData.data() + static_cast<size_t>(tileNumber % game.graphicsBlockCount) * 256;
  const uint32_t* colours = palette + (paletteBank & 127) * 256;
  uint32_t* out = frame + y * screenWidth + x;
  for (int row = 0; row < tileSize; row++, out += screenWidth, pixel += tileSize) {
    for (int i = 0; i < tileSize; i++) {
      uint8_t v = pixel[i];
      out[i] = v == blackPixel ? 0 : colours[v];
    }
  }
}
