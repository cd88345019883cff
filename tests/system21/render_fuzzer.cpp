// Fuzzes the sprite renderer with arbitrary video RAM: sprite lists, sprites,
// shapes and tile codes come from the input, so that every read the renderer
// makes from them is checked by the sanitizers.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "driver/driver.h"
#include "system21/system21.h"

namespace {
// Where the input goes: the first sprites of both banks with their lists,
// the start of the shape table and of the tile codes.
struct Window {
  uint32_t address, length;
};
constexpr Window windows[] = {{0x700000, 0x100}, {0x702000, 0x10},  {0x704000, 0x100},
                              {0x708000, 0x400}, {0x710000, 0x100}, {0x714000, 0x10}};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::vector<uint32_t> frame(screenWidth * screenHeight);
  static std::vector<uint8_t> tiles;
  machine.videoRam.assign(0x60002, 0);
  size_t at = 0;
  uint32_t blocks = size > 0 ? data[at++] % 5 : 0;  // 0 to 4 tiles, 0 meaning none
  tiles.assign(blocks * 256, 0x11);
  if (!tiles.empty()) tiles[0] = 0xff;
  graphicsData = tiles.empty() ? nullptr : tiles.data();
  graphicsBlockCount = blocks;
  for (const Window& w : windows) {
    size_t n = std::min<size_t>(w.length, size - at);
    std::memcpy(machine.videoRam.data() + (w.address - 0x700000), data + at, n);
    at += n;
  }
  // At most eight sprites a list keep each input quick to draw.
  for (uint32_t list : {0x2000u + 14, 0x14000u + 14}) machine.videoRam[list + 1] |= 1;
  convertPalette();
  drawSprites(frame.data());
  graphicsData = nullptr;
  graphicsBlockCount = 0;
  return 0;
}
