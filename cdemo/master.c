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
   rows tiles high; their numbers go into the bank's list. Returns the next
   sprite number. */
static unsigned drawSpots(volatile struct Sprite* sprites, volatile uint16_t* list, unsigned first,
                          const volatile struct Spot* spots, unsigned count, uint16_t shape,
                          unsigned rows) {
  for (unsigned i = 0; i < count; i++) {
    volatile struct Sprite* sprite = &sprites[first + i];
    sprite->shape = shape;
    sprite->tileBase = spots[i].tile;
    sprite->x = spots[i].x + SCREEN_X;
    sprite->y = spots[i].y + SCREEN_Y;
    sprite->width = 16;
    sprite->height = 16 * rows;
    sprite->palette = spots[i].palette;
    list[first + i] = first + i;
  }
  return first + count;
}

/* The frame interrupt: the slave's gear, then both sprite lists. */
static void drawFrame(void) {
  CONTROL_REGISTER(GEAR_REGISTER) = (frameCount >> GEAR_FRAMES_SHIFT) & 3;
  if (!scene.ready) {
    /* Nothing to show yet: sprite 255, never set, draws nothing. */
    SPRITE_LIST0[0] = LIST_END | 255;
    SPRITE_LIST1[0] = LIST_END | 255;
    return;
  }
  unsigned next = drawSpots(SPRITES0, SPRITE_LIST0, 0, scene.stars, STAR_COUNT, SHAPE_TILE, 1);
  SPRITE_LIST0[next - 1] |= LIST_END;
  next = drawSpots(SPRITES1, SPRITE_LIST1, 0, scene.balls, BALL_COUNT, SHAPE_TILE, 1);
  next = drawSpots(SPRITES1, SPRITE_LIST1, next, scene.letters, TITLE_LENGTH, SHAPE_GLYPH, 2);
  SPRITE_LIST1[next - 1] |= LIST_END;
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
