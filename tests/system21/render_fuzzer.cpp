// Fuzzes the sprite renderer with arbitrary video RAM: sprite lists, sprites,
// shapes and tile codes come from the input, so that every read the renderer
// makes from them is checked by the sanitizers.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "system21/system21.h"

namespace {
// Where the input goes (address, length): the first sprites of both banks
// with their lists, the start of the shape table and of the tile codes.
constexpr uint32_t windows[][2] = {{0x700000, 0x100}, {0x702000, 0x10},  {0x704000, 0x100},
                                   {0x708000, 0x400}, {0x710000, 0x100}, {0x714000, 0x10}};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::vector<uint32_t> frame(screenWidth * screenHeight);
  machine.videoRam.assign(0x60002, 0);
  size_t at = 0;
  const uint32_t blocks = size > 0 ? data[at++] % 5 : 0;  // 0 to 4 tiles, 0 meaning none
  machine.game.graphicsData.assign(blocks * 256, 0x11);
  if (blocks != 0) machine.game.graphicsData[0] = 0xff;
  machine.game.graphicsBlockCount = blocks;
  for (const auto& [address, length] : windows) {
    const size_t n = std::min<size_t>(length, size - at);
    std::memcpy(machine.videoRam.data() + (address - 0x700000), data + at, n);
    at += n;
  }
  // At most eight sprites a list keep each input quick to draw.
  for (uint32_t list : {0x2000u + 14, 0x14000u + 14}) machine.videoRam[list + 1] |= 1;
  convertPalette();
  drawSprites(frame.data());
  return 0;
}
