// The sprite renderer: one sprite per row, drawn over a frame of a sentinel
// value, and the pixels it must (or must not) set.
#include <gtest/gtest.h>

#include <cstring>
#include <numeric>

#include "system21/system21.h"

namespace {

constexpr uint32_t sentinel = 0xabcdef;

void word(uint32_t address, uint16_t value) {
  std::memcpy(machine.videoRam.data() + (address - 0x700000), &value, 2);
}

// Tile t is bytes t + 1, but tile 0's left column is 0x40 and byte 3 of tile 1 0xff (black).
// Palette entry i is 0x10000 + i (red: high byte of A, green: low of B, blue: low of A).
void setUp(std::vector<uint32_t>& frame) {
  machine.videoRam.assign(0x60002, 0);
  std::vector<uint8_t>& tiles = machine.game.graphicsData;
  tiles.resize(8 * 256);
  for (size_t i = 0; i < tiles.size(); i++) tiles[i] = i % 16 == 0 && i < 256 ? 0x40 : i / 256 + 1;
  tiles[256 + 3] = 0xff;
  machine.game.graphicsBlockCount = 8;
  for (uint16_t i = 0; i < 32768; i++)
    word(0x740000 + 2 * i, 0x100 | (i & 0xff)), word(0x750000 + 2 * i, 0xff00 | i >> 8);
  convertPalette();
  frame.assign(screenWidth * screenHeight, sentinel);
}

struct Probe {
  int x, y, byte;  // the tile byte drawn there; 0 black, -1 untouched
};
struct Scene {
  uint16_t shape[4];  // first code, grid (columns << 4 | rows), x and y origin
  uint16_t codes[4];  // tile code i is codes[i % 4]
  int x, y;           // on screen, before the origin correction
  uint16_t width, height;
  std::vector<Probe> probes;
  uint16_t base = 0, paletteSelect = 0;
};

TEST(Renderer, SpriteGeometry) {
  const Scene scenes[] = {
      // zoom 1: tiles side by side; zoom 1/2: tiles overlap, each drawn whole
      {{0, 0x21}, {0, 1}, 0, 0, 32, 16, {{15, 0, 1}, {16, 0, 2}, {31, 0, 2}, {32, 0, -1}}},
      {{0, 0x21}, {0, 1}, 0, 0, 16, 16, {{7, 0, 1}, {8, 0, 2}, {11, 0, 0}, {24, 0, -1}}},
      // the origin is zoomed: 8 at zoom 1/2 and 4 at zoom 2
      {{0, 0x11, 8, 4}, {0}, 100, 100, 8, 32, {{96, 92, 0x40}, {95, 92, -1}, {96, 91, -1}}},
      // flips reverse the tiles' order, not their pixels
      {{0, 0x22}, {0, 1, 2, 3}, 64, 64, 0x8020, 0x8020, {{48, 48, 0x40}, {49, 49, 1}, {33, 49, 2}}},
      {{0, 0x22}, {0, 1, 2, 3}, 64, 64, 0x8020, 0x8020, {{49, 33, 3}, {33, 33, 4}, {64, 64, -1}}},
      {{0, 0x21}, {0x8000, 2}, 0, 0, 32, 16, {{0, 0, -1}, {16, 0, 3}}},
      // no width or no height: nothing drawn, whatever the flips
      {{0, 0x11}, {0}, 40, 40, 0, 16, {{40, 40, -1}, {55, 55, -1}}},
      {{0, 0x11}, {0}, 40, 40, 0x8000, 16, {{40, 40, -1}, {55, 55, -1}}},
      {{0, 0x11}, {0}, 40, 40, 16, 0x7e00, {{40, 40, -1}, {55, 55, -1}}},
      // grid 0 is 16 x 16 tiles
      {{0, 0}, {0, 1, 0, 1}, 0, 0, 256, 256, {{229, 245, 1}, {247, 247, 2}, {256, 0, -1}}},
      // tile number 0x7fff + 0xffff wraps to block 6; palette select 3 is bank 28
      {{0, 0x11}, {0x7fff}, 100, 0, 16, 16, {{101, 1, 7}}, 0xffff, 3},
      // tiles are pushed inside the frame, not cut
      {{0, 0x11}, {1}, -5, 470, 16, 16, {{0, 464, 2}, {15, 479, 2}, {3, 464, 0}, {16, 464, -1}}},
      {{0, 0x11}, {0}, 1000, -1000, 16, 16, {{480, 0, 0x40}, {495, 15, 1}, {479, 0, -1}}},
  };
  std::vector<uint32_t> frame;
  for (const Scene& s : scenes) {
    setUp(frame);
    for (int i = 0; i < 4; i++) word(0x704008 + 2 * i, s.shape[i]);
    for (int i = 0; i < 256; i++) word(0x708000 + 2 * i, s.codes[i % 4]);
    const uint16_t sprite[] = {1,       s.base,   uint16_t(s.x + 2), uint16_t(s.y + 34),
                               s.width, s.height, s.paletteSelect};
    for (int i = 0; i < 7; i++) word(0x700000 + 2 * i, sprite[i]);
    drawSprite(frame.data(), 0x700000);
    for (const Probe& p : s.probes) {
      const uint32_t colour = p.byte < 0    ? sentinel
                              : p.byte == 0 ? 0
                                            : 0x10000 + (31 - s.paletteSelect) * 256 + p.byte;
      EXPECT_EQ(frame[p.y * screenWidth + p.x], colour)
          << s.x << "," << s.y << " at " << p.x << "," << p.y;
    }
  }
}

// A list ends at its first word with bit 8 (drawn), or after 256 words; bank
// 1 (tile 1 here) is drawn after bank 0 (tile 0).
TEST(Renderer, Lists) {
  std::vector<uint32_t> frame;
  setUp(frame);
  word(0x70400a, 0x11);
  for (uint16_t n = 0; n < 256; n++) {
    const uint16_t sprite[] = {1, 0, uint16_t(n % 31 * 16 + 2), uint16_t(n / 31 * 16 + 34), 16, 16};
    for (int i = 0; i < 6; i++) word(0x700000 + 16 * n + 2 * i, sprite[i]);
    for (int i = 0; i < 6; i++) word(0x710000 + 16 * n + 2 * i, sprite[i] + (i == 1));
    word(0x702000 + 2 * n, n);
  }
  word(0x714000, 0x100 | 7), word(0x714002, 8);  // sprite 8 is past the end
  drawSprites(frame.data());
  const uint32_t tile0 = 0x10000 + 31 * 256 + 1, tile1 = tile0 + 1;
  EXPECT_EQ(frame[(8 * 16 + 15) * screenWidth + 7 * 16 + 14], tile0);  // sprite 255
  EXPECT_EQ(frame[8 * screenWidth + 7 * 16 + 8], tile1);
  EXPECT_EQ(frame[8 * screenWidth + 8 * 16 + 8], tile0);
}

// The palette follows its RAM whatever changed it between two conversions:
// a word written {address, value} or, address 0, the saved state loaded. Tile
// byte v is at row v / 16, column v % 16; 0xff stays black whatever its entry.
TEST(Renderer, PaletteFollowsItsRam) {
  std::vector<uint8_t> tile(256);
  std::iota(tile.begin(), tile.end(), 0);
  buildMachine(GameRom{"palette", tile, 1, {}, {}, {}});
  std::vector<uint32_t> frame(screenWidth * screenHeight);
  word(0x742468, 0x0abc);
  convertPalette();
  const std::vector<uint8_t> saved = stateBytes("palette.drv", frame.data());
  std::string error;
  // address, value, entry, colour
  const uint32_t rows[][4] = {{0x742468, 0x1234, 0x1234, 0x120034},
                              {0x752468, 0xff56, 0x1234, 0x125634},
                              {0x743ffe, 0x1234, 0x1fff, 0x120034},
                              {0x75fffe, 0x0077, 0x7fff, 0x7700},
                              {0, 0, 0x1234, 0x0a00bc}};
  for (const auto& [address, value, entry, colour] : rows) {
    if (address != 0) word(address, uint16_t(value));
    if (address == 0) applyState(saved, "palette.drv", frame.data(), error);  // or the colour fails
    convertPalette();
    drawTile(frame.data(), 0, entry >> 8, 0, 0);
    const uint32_t v = entry & 0xff;
    EXPECT_EQ(palette[entry], colour) << entry;
    EXPECT_EQ(frame[v / 16 * screenWidth + v % 16], v == 0xff ? 0 : colour) << entry;
  }
}

}  // namespace
