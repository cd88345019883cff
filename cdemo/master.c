/* The C demo's master 68000: loads the palettes and shapes, then, under the
   frame interrupt, draws the scene the slave leaves in shared RAM: the stars
   in bank 0, the knot of balls and the title in bank 1. Between frames it
   runs the title through the colour ramps of the data ROM. */
#include "graphics.h"
#include "shared.h"
#include "system21.h"
#include "text.h"

IN_SHARED_RAM_A volatile struct Scene scene;

/* Shape 1 is one tile; shape 2 a column of two, for a glyph. */
enum { SHAPE_TILE = 1, SHAPE_GLYPH = 2 };
static const struct Shape shapes[] = {
    {0, SHAPE_GRID(1, 1), 0, 0},
    {0, SHAPE_GRID(1, 1), 0, 0},
    {1, SHAPE_GRID(1, 2), 0, 0},
};
static const uint16_t tileCodes[] = {0, 0, 1};

/* 64 ramps of 16 colours, (A, B) pairs, in the data ROM's second window. */
#define HUE_RAMP_WORDS ((const uint16_t*)DATA_ROM_HIGH)
#define TITLE_RAMP_SHIFT 1 /* the title's ramp changes every other frame */

static const char banner[] =
    "STONEBREAKER C demo - System 21 - the slave turns the knot, the master draws it";

/* Frames whose sprite lists were built. */
uint32_t framesDrawn;

/* Colours 0-15 of palette select p from 16 (A, B) pairs. */
static void loadPalette(unsigned select, const uint16_t* pairs) {
  const unsigned first = PALETTE_BANK(select) * 256;
  for (unsigned i = 0; i < 16; i++) {
    PALETTE_A[first + i] = pairs[2 * i];
    PALETTE_B[first + i] = pairs[2 * i + 1];
  }
}

static void loadVideo(void) {
  for (unsigned p = 0; p < PALETTE_COUNT; p++) loadPalette(p, &paletteWords[p * 32]);
  for (unsigned s = 0; s < sizeof shapes / sizeof shapes[0]; s++) {
    SHAPES[s].firstCode = shapes[s].firstCode;
    SHAPES[s].grid = shapes[s].grid;
    SHAPES[s].originX = shapes[s].originX;
    SHAPES[s].originY = shapes[s].originY;
  }
  for (unsigned c = 0; c < sizeof tileCodes / sizeof tileCodes[0]; c++)
    TILE_CODES[c] = tileCodes[c];
}

/* Sprites first.. of a bank show the spots, each a shape one tile wide and
   rows tiles high. Their shape, size and place in the bank's list never
   change: they are set once, and each frame only moves the sprites and picks
   their tiles and palettes. Returns the next sprite number. */
static unsigned makeSprites(volatile struct Sprite* sprites, volatile uint16_t* list,
                            unsigned first, unsigned count, uint16_t shape, unsigned rows) {
  for (unsigned i = first; i < first + count; i++) {
    sprites[i].shape = shape;
    sprites[i].width = 16;
    sprites[i].height = 16 * rows;
    list[i] = i;
  }
  return first + count;
}

static void moveSprites(volatile struct Sprite* sprites, const volatile struct Spot* spots,
                        unsigned count) {
  for (unsigned i = 0; i < count; i++) {
    sprites[i].tileBase = spots[i].tile;
    sprites[i].x = spots[i].x + SCREEN_X;
    sprites[i].y = spots[i].y + SCREEN_Y;
    sprites[i].palette = spots[i].palette;
  }
}

/* Both lists of sprites, once the slave has filled the scene. */
static void makeLists(void) {
  unsigned next = makeSprites(SPRITES0, SPRITE_LIST0, 0, STAR_COUNT, SHAPE_TILE, 1);
  SPRITE_LIST0[next - 1] |= LIST_END;
  next = makeSprites(SPRITES1, SPRITE_LIST1, 0, BALL_COUNT, SHAPE_TILE, 1);
  next = makeSprites(SPRITES1, SPRITE_LIST1, next, TITLE_LENGTH, SHAPE_GLYPH, 2);
  SPRITE_LIST1[next - 1] |= LIST_END;
}

/* The frame interrupt: the slave's gear, then both sprite lists. */
static void drawFrame(void) {
  static int listsMade;
  CONTROL_REGISTER(GEAR_REGISTER) = (frameCount >> GEAR_FRAMES_SHIFT) & 3;
  if (!scene.ready) {
    /* Nothing to show yet: sprite 255, never set, draws nothing. */
    SPRITE_LIST0[0] = LIST_END | 255;
    SPRITE_LIST1[0] = LIST_END | 255;
    return;
  }
  if (!listsMade) {
    makeLists();
    listsMade = 1;
  }
  moveSprites(SPRITES0, scene.stars, STAR_COUNT);
  moveSprites(SPRITES1, scene.balls, BALL_COUNT);
  moveSprites(SPRITES1 + BALL_COUNT, scene.letters, TITLE_LENGTH);
  framesDrawn++;
}

static void cycleTitle(void) {
  const unsigned ramp = (frameCount >> TITLE_RAMP_SHIFT) % HUE_RAMPS;
  loadPalette(PALETTE_TITLE, HUE_RAMP_WORDS + ramp * 32);
}

int main(void) {
  /* The control registers keep their values from game to game. */
  CONTROL_REGISTER(GEAR_REGISTER) = 0;
  loadVideo();
  putText(scene.text, banner);
  frameInterruptHandler = drawFrame;
  enableInterrupts();
  for (;;) {
    waitFrame();
    cycleTitle();
    volatile char* line = putText(scene.text + CPU1_LINE, "cpu1 frame ");
    putHex4(line, (uint16_t)frameCount);
  }
}
