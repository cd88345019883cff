// The sprite renderer: palette and both sprite lists of video RAM drawn into
// the frame buffer from the game's 16 x 16 tiles.
#include <algorithm>
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
constexpr int paletteEntries = 32768;
constexpr int bankEntries = 256;
constexpr uint32_t bankMask = paletteEntries / bankEntries - 1;
// Palette RAM is compared with its last converted copy, and converted, in
// chunks of this many entries: a game that cycles a few colours a frame
// converts little, and a chunk compares in a few vector instructions.
constexpr int chunkEntries = 64;
constexpr size_t chunkBytes = 2 * chunkEntries;
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

// What the renderer keeps between frames. All zero at start, as the palette,
// which is what palette RAM of zeros converts to.
struct Renderer {
  // Palette words A and B as last converted (68000 words in host order).
  uint8_t convertedA[2 * paletteEntries], convertedB[2 * paletteEntries];
  // The palette as tiles read it: each bank's entry 0xff black, so that a
  // pixel is one lookup.
  uint32_t tileColours[paletteEntries];
  // Grows whenever a bank's colours are converted anew.
  uint32_t bankVersion[paletteEntries / bankEntries];
};
Renderer renderer;

// Tiles as last drawn, in a bank's colours: a tile drawn again while neither
// its bank's colours nor the machine changed is copied row by row rather
// than looked up pixel by pixel. Slots are found by tile and bank; a tile
// that lands on a taken slot takes it over.
struct CachedTile {
  uint64_t build;  // the machine it was drawn for (0: none)
  uint32_t tile, bank, version;
  uint32_t pixels[tileSize * tileSize];
};
constexpr uint32_t cachedTiles = 2048;
CachedTile tileCache[cachedTiles];

// Whether chunkBytes bytes at p and q differ; no early exit, so that the
// compiler runs the loop in vector registers.
bool chunkDiffers(const uint8_t* p, const uint8_t* q) {
  uint8_t difference = 0;
  for (size_t i = 0; i < chunkBytes; i++) difference |= p[i] ^ q[i];
  return difference != 0;
}

void convertChunk(int first, const uint8_t* a, const uint8_t* b) {
  for (int i = first; i < first + chunkEntries; i++) {
    // host order: the low byte of each word first
    uint32_t aLow = a[2 * i], aHigh = a[2 * i + 1], bLow = b[2 * i];
    palette[i] = aHigh << 16 | bLow << 8 | aLow;
    renderer.tileColours[i] = (i & (bankEntries - 1)) == blackPixel ? 0 : palette[i];
  }
  ++renderer.bankVersion[first / bankEntries];
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

// Only the chunks whose words differ from the copy are converted: the copy,
// not the writers, says what changed, so a write of any kind (the 68000, a
// loaded state, a debugger, another game) is seen.
void convertPalette() {
  const std::vector<uint8_t>& ram = machine.videoRam;
  if (ram.size() < paletteB - videoBase + 2 * paletteEntries) return;
  const uint8_t* a = ram.data() + (paletteA - videoBase);
  const uint8_t* b = ram.data() + (paletteB - videoBase);
  for (int first = 0; first < paletteEntries; first += chunkEntries) {
    const size_t at = 2 * static_cast<size_t>(first);
    if (!chunkDiffers(a + at, renderer.convertedA + at) &&
        !chunkDiffers(b + at, renderer.convertedB + at))
      continue;
    convertChunk(first, a, b);
    std::memcpy(renderer.convertedA + at, a + at, chunkBytes);
    std::memcpy(renderer.convertedB + at, b + at, chunkBytes);
  }
}

void drawSprites(uint32_t* frame) {
  drawList(frame, spriteList0, spriteBank0);
  drawList(frame, spriteList1, spriteBank1);
}

namespace {

// count words of video RAM from address; zeros for any outside it.
void videoWords(uint32_t address, uint16_t* words, uint32_t count) {
  const std::vector<uint8_t>& ram = machine.videoRam;
  const uint32_t offset = address - videoBase;
  if (address >= videoBase && uint64_t{offset} + 2 * count <= ram.size()) {
    std::memcpy(words, ram.data() + offset, 2 * count);
    return;
  }
  for (uint32_t i = 0; i < count; i++) words[i] = videoWord(address + 2 * i);
}

}  // namespace

void drawSprite(uint32_t* frame, uint32_t spriteAddress) {
  uint16_t word[8];
  videoWords(spriteAddress, word, 8);
  if (!(word[4] & sizeMask) || !(word[5] & sizeMask)) return;
  uint16_t shape[4];  // first tile code, grid, origin x, origin y
  videoWords(shapeTable + 8 * static_cast<uint32_t>(word[0]), shape, 4);
  uint16_t firstCode = shape[0];
  uint16_t grid = shape[1];
  int nx = gridCount((grid >> 4) & 15);
  int ny = gridCount(grid & 15);
  Axis x = placeAxis(word[2], word[4], nx, shape[2], originX);
  Axis y = placeAxis(word[3], word[5], ny, shape[3], originY);
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
  // The whole tile lands inside the frame, pushed against the edge, never cut.
  x = std::clamp(x, 0, maxTileX);
  y = std::clamp(y, 0, maxTileY);
  const uint32_t tile = tileNumber % game.graphicsBlockCount, bank = paletteBank & bankMask;
  CachedTile& cached = tileCache[(tile * 0x9E3779B1u ^ bank) % cachedTiles];
  if (cached.build != machine.builds || cached.tile != tile || cached.bank != bank ||
      cached.version != renderer.bankVersion[bank]) {
    cached.build = machine.builds;
    cached.tile = tile;
    cached.bank = bank;
    cached.version = renderer.bankVersion[bank];
    const uint8_t* pixel = game.graphicsData.data() + size_t{tile} * 256;
    const uint32_t* colours = renderer.tileColours + bank * bankEntries;
    for (uint32_t i = 0; i < tileSize * tileSize; i++) cached.pixels[i] = colours[pixel[i]];
  }
  uint32_t* out = frame + y * screenWidth + x;
  for (int row = 0; row < tileSize; row++, out += screenWidth) {
    std::memcpy(out, cached.pixels + row * tileSize, tileSize * sizeof(uint32_t));
  }
}
