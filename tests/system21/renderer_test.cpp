// Sprite renderer: palette conversion, list ends, zoom, flips, clamps, tiles.
#include <gtest/gtest.h>

#include <vector>

#include "driver/driver.h"
#include "system21/system21.h"

namespace {

constexpr uint32_t sentinel = 0x00abcdef;

class Renderer : public ::testing::Test {
 protected:
  std::vector<uint8_t> tiles;
  std::vector<uint32_t> frame;

  void SetUp() override {
    machine.videoRam.assign(0x60002, 0);
    frame.assign(screenWidth * screenHeight, sentinel);
    // Tile t is filled with pixel byte t + 1 (tile 0: byte 1, ...).
    setTiles(8);
    for (int i = 0; i < 32768; i++) palette[i] = 0x10000 + i;
    // Both lists end at once on a sprite that draws nothing.
    word(0x702000, 0x100);
    word(0x714000, 0x100);
  }
  void TearDown() override {
    graphicsData = nullptr;
    graphicsBlockCount = 0;
    machine.videoRam.clear();
  }
  void setTiles(int count) {
    tiles.assign(count * 256, 0);
    for (int t = 0; t < count; t++) {
      for (int i = 0; i < 256; i++) tiles[t * 256 + i] = static_cast<uint8_t>(t + 1);
    }
    graphicsData = tiles.data();
    graphicsBlockCount = count;
  }
  void word(uint32_t address, uint16_t value) {
    uint32_t offset = address - 0x700000;
    machine.videoRam[offset] = value & 0xff;
    machine.videoRam[offset + 1] = value >> 8;
  }
  // Sprite n of a bank: shape, tile base, x, y, width word, height word, palette select.
  void sprite(int bank, int n, uint16_t shape, uint16_t base, uint16_t x, uint16_t y, uint16_t w,
              uint16_t h, uint16_t paletteSelect = 0) {
    uint32_t a = (bank ? 0x710000 : 0x700000) + 16 * n;
    const uint16_t words[8] = {shape, base, x, y, w, h, paletteSelect, 0};
    for (int i = 0; i < 8; i++) word(a + 2 * i, words[i]);
  }
  void shape(int s, uint16_t firstCode, int columns, int rows, uint16_t ox = 0, uint16_t oy = 0) {
    uint32_t a = 0x704000 + 8 * s;
    word(a, firstCode);
    word(a + 2, static_cast<uint16_t>((columns & 15) << 4 | (rows & 15)));
    word(a + 4, ox);
    word(a + 6, oy);
  }
  void code(int index, uint16_t value) { word(0x708000 + 2 * index, value); }
  uint32_t at(int x, int y) const { return frame[y * screenWidth + x]; }
  // The pixel value that tile t drawn with palette bank b gives.
  static uint32_t tileColour(int t, int bank = 31) { return 0x10000 + bank * 256 + t + 1; }
  // Sprite at screen position (x, y): the hardware adds 2 and 34.
  static uint16_t sx(int x) { return static_cast<uint16_t>(x + 2); }
  static uint16_t sy(int y) { return static_cast<uint16_t>(y + 34); }
};

TEST_F(Renderer, PaletteTakesRedBlueFromWordAAndGreenFromLowByteOfB) {
  word(0x740000 + 2 * 5, 0x1234);
  word(0x750000 + 2 * 5, 0x0056);
  word(0x740000 + 2 * 32767, 0x1234);
  word(0x750000 + 2 * 32767, 0xff56);  // the high byte of B is not used
  convertPalette();
  EXPECT_EQ(palette[5], 0x00125634u);
  EXPECT_EQ(palette[32767], 0x00125634u);
  EXPECT_EQ(palette[0], 0u);
}

TEST_F(Renderer, ListEndsAtFirstWordWithBit8AndThatEntryIsDrawn) {
  shape(1, 0, 1, 1);
  sprite(0, 0, 1, 0, sx(0), sy(0), 16, 16);
  sprite(0, 1, 1, 1, sx(100), sy(0), 16, 16);
  word(0x702000, 0x100);  // sprite 0, last
  word(0x702002, 0x001);
  drawSprites(frame.data());
  EXPECT_EQ(at(0, 0), tileColour(0));
  EXPECT_EQ(at(100, 0), sentinel);

  word(0x702000, 0x000);
  word(0x702002, 0x101);  // now sprite 1 is the last entry
  drawSprites(frame.data());
  EXPECT_EQ(at(100, 0), tileColour(1));
}

TEST_F(Renderer, ListWithoutEndDrawsAll256Words) {
  shape(1, 0, 1, 1);
  for (int n = 0; n < 256; n++) {
    sprite(0, n, 1, 0, sx((n % 30) * 16), sy((n / 30) * 16), 16, 16);
    word(0x702000 + 2 * n, static_cast<uint16_t>(n));
  }
  drawSprites(frame.data());
  for (int n = 0; n < 256; n++) {
    ASSERT_EQ(at((n % 30) * 16 + 15, (n / 30) * 16 + 15), tileColour(0)) << "sprite " << n;
  }
  EXPECT_EQ(at(16 * 16, 8 * 16 + 15), sentinel);  // past the 256th sprite
}

TEST_F(Renderer, BothBanksAreDrawnBank1Last) {
  shape(1, 0, 1, 1);
  sprite(0, 0, 1, 0, sx(10), sy(10), 16, 16);
  sprite(1, 0, 1, 1, sx(18), sy(10), 16, 16);
  drawSprites(frame.data());
  EXPECT_EQ(at(10, 10), tileColour(0));
  EXPECT_EQ(at(18, 10), tileColour(1));  // bank 1 overwrites bank 0
}

TEST_F(Renderer, ZeroWidthOrHeightDrawsNothingWhateverTheFlips) {
  shape(1, 0, 1, 1);
  const uint16_t sizes[][2] = {{0x0000, 16}, {0x8000, 16}, {16, 0x0000},
                               {16, 0x8000}, {0xfe00, 16}, {16, 0x7e00}};
  for (auto& s : sizes) {
    drawSprite(frame.data(), 0x700000);
    sprite(0, 0, 1, 0, sx(40), sy(40), s[0], s[1]);
    drawSprite(frame.data(), 0x700000);
    for (int y = 0; y < 80; y++) {
      for (int x = 0; x < 80; x++) ASSERT_EQ(at(x, y), sentinel) << s[0] << " " << s[1];
    }
  }
}

TEST_F(Renderer, ShapeGridZeroMeans16By16Tiles) {
  shape(1, 0, 0, 0);
  for (int i = 0; i < 256; i++) code(i, static_cast<uint16_t>(i % 2));
  sprite(0, 0, 1, 0, sx(0), sy(0), 256, 256);
  drawSprite(frame.data(), 0x700000);
  for (int row = 0; row < 16; row++) {
    for (int column = 0; column < 16; column++) {
      ASSERT_EQ(at(column * 16 + 7, row * 16 + 7), tileColour((row * 16 + column) % 2));
    }
  }
  EXPECT_EQ(at(256, 0), sentinel);
  EXPECT_EQ(at(0, 256), sentinel);
}

TEST_F(Renderer, ZoomSpacesTilesButDrawsThemWhole) {
  shape(1, 0, 2, 1);
  code(0, 0);
  code(1, 1);
  sprite(0, 0, 1, 0, sx(0), sy(0), 32, 16);  // zoom 1: side by side
  drawSprite(frame.data(), 0x700000);
  EXPECT_EQ(at(15, 0), tileColour(0));
  EXPECT_EQ(at(16, 0), tileColour(1));
  EXPECT_EQ(at(31, 0), tileColour(1));
  EXPECT_EQ(at(32, 0), sentinel);

  frame.assign(frame.size(), sentinel);
  sprite(0, 0, 1, 0, sx(0), sy(0), 16, 16);  // zoom 1/2: step 8, overlapping
  drawSprite(frame.data(), 0x700000);
  EXPECT_EQ(at(7, 0), tileColour(0));
  EXPECT_EQ(at(8, 0), tileColour(1));
  EXPECT_EQ(at(23, 0), tileColour(1));  // the second tile is still 16 pixels wide
  EXPECT_EQ(at(24, 0), sentinel);
}

TEST_F(Renderer, OriginScalesWithZoom) {
  shape(1, 0, 1, 1, 8, 4);
  sprite(0, 0, 1, 0, sx(100), sy(100), 8, 32);  // zoom 1/2 across, 2 down
  drawSprite(frame.data(), 0x700000);
  // x: 100 - (0x8000 * 8 + 0x8000) >> 16 = 96; y: 100 - 8 = 92
  EXPECT_EQ(at(96, 92), tileColour(0));
  EXPECT_EQ(at(95, 92), sentinel);
  EXPECT_EQ(at(96, 91), sentinel);
}

TEST_F(Renderer, FlipsReverseTileOrderNotPixels) {
  // Tile 0: its left column is byte 7, the rest byte 1.
  for (int row = 0; row < 16; row++) tiles[row * 16] = 7;
  shape(1, 0, 2, 2);
  code(0, 0);
  code(1, 1);
  code(2, 2);
  code(3, 3);
  sprite(0, 0, 1, 0, sx(64), sy(64), 0x8000 | 32, 0x8000 | 32);
  drawSprite(frame.data(), 0x700000);
  // Flipped both ways: column 0 ends up right of the position, row 0 below.
  EXPECT_EQ(at(48 + 1, 48 + 1), tileColour(0));
  EXPECT_EQ(at(48, 48), 0x10000u + 31 * 256 + 7);  // the tile itself is not mirrored
  EXPECT_EQ(at(32 + 1, 48 + 1), tileColour(1));
  EXPECT_EQ(at(48 + 1, 32 + 1), tileColour(2));
  EXPECT_EQ(at(32 + 1, 32 + 1), tileColour(3));
  EXPECT_EQ(at(64, 64), sentinel);
}

TEST_F(Renderer, MissingTilePositionsAreSkipped) {
  shape(1, 0, 2, 1);
  code(0, 0x8000);
  code(1, 2);
  sprite(0, 0, 1, 0, sx(0), sy(0), 32, 16);
  drawSprite(frame.data(), 0x700000);
  EXPECT_EQ(at(0, 0), sentinel);
  EXPECT_EQ(at(16, 0), tileColour(2));
}

TEST_F(Renderer, TilesArePushedInsideTheFrame) {
  drawTile(frame.data(), 0, 31, -5, 470);
  EXPECT_EQ(at(0, 464), tileColour(0));
  EXPECT_EQ(at(15, 479), tileColour(0));
  EXPECT_EQ(at(16, 464), sentinel);
  drawTile(frame.data(), 1, 31, 1000, -1000);
  EXPECT_EQ(at(480, 0), tileColour(1));
  EXPECT_EQ(at(495, 15), tileColour(1));
  EXPECT_EQ(at(479, 0), sentinel);
}

TEST_F(Renderer, PixelByteFFIsAlwaysBlack) {
  tiles[3] = 0xff;
  palette[31 * 256 + 0xff] = 0x123456;
  drawTile(frame.data(), 0, 31, 0, 0);
  EXPECT_EQ(at(3, 0), 0u);
  EXPECT_EQ(at(4, 0), tileColour(0));
}

TEST_F(Renderer, TileNumberWrapsModuloBlockCountAndBaseIsAdded) {
  drawTile(frame.data(), 8, 31, 0, 0);  // 8 tiles: tile 8 is block 0
  EXPECT_EQ(at(0, 0), tileColour(0));
  shape(1, 0, 1, 1);
  code(0, 0x7fff);
  sprite(0, 0, 1, 0xffff, sx(100), sy(0), 16, 16, 3);
  drawSprite(frame.data(), 0x700000);
  // 0x7fff + 0xffff = 0x17ffe, block 6; palette select 3 is bank 28
  EXPECT_EQ(at(100, 0), tileColour(6, 28));
}

TEST_F(Renderer, ReadsNothingOutsideVideoRamAndNeedsTiles) {
  // A shape number far past video RAM reads as zeros: a 16 x 16 grid of tile
  // codes read (partly) past the end of video RAM, all tile 0.
  sprite(0, 0, 0xffff, 0, sx(0), sy(0), 16, 16);
  drawSprite(frame.data(), 0x700000);
  EXPECT_EQ(at(0, 0), tileColour(0));
  // A sprite address at the very end of video RAM.
  drawSprite(frame.data(), 0x760000);
  EXPECT_EQ(videoWord(0x760000), 0u);
  EXPECT_EQ(videoWord(0x760002), 0u);
  EXPECT_EQ(videoWord(0x6ffffe), 0u);
  // Without tiles nothing is drawn.
  frame.assign(frame.size(), sentinel);
  graphicsBlockCount = 0;
  drawSprite(frame.data(), 0x700000);
  drawTile(frame.data(), 5, 31, 0, 0);
  EXPECT_EQ(at(0, 0), sentinel);
}

}  // namespace
