/* The C demo's slave 68000: turns a trefoil knot of balls in three
   dimensions, flies through a field of stars and waves the title, and leaves
   where each tile is to be drawn in shared RAM for the master. */
#include "graphics.h"
#include "shared.h"
#include "system21.h"
#include "text.h"

IN_SHARED_RAM_A volatile struct Scene scene;

#define CENTRE_X (SCREEN_WIDTH / 2)
#define CENTRE_Y (SCREEN_HEIGHT / 2)
#define TILE_HALF 8 /* a spot is a tile's corner; motion is of its centre */

/* sin(2 pi i / 256) * 256 for i = 0..319, in the data ROM's first window. */
#define SINE_TABLE ((const int16_t*)DATA_ROM_LOW)
static int16_t sine(unsigned angle) {
  return SINE_TABLE[angle & 255];
}
static int16_t cosine(unsigned angle) {
  return SINE_TABLE[(angle & 255) + 64];
}

static uint32_t randomState = 0x2a6d365b;

static unsigned randomBelow(unsigned bound) {
  randomState = randomState * 1103515245u + 12345u;
  return (randomState >> 16) % bound;
}

/* ---- Stars: flying towards the viewer ------------------------------------ */

#define STAR_FAR 512
#define STAR_NEAR 128
#define STAR_FOCAL 128
#define STAR_SPEED 2

struct Star {
  int16_t x, y, z;  /* z: the distance */
  uint16_t leaving; /* blanked where it was last drawn; next frame it starts again */
};
static struct Star stars[STAR_COUNT];

static void placeStar(struct Star* star, int z) {
  star->x = randomBelow(512) - 256;
  star->y = randomBelow(512) - 256;
  star->z = z;
  star->leaving = 0;
}

static void moveStars(void) {
  for (unsigned i = 0; i < STAR_COUNT; i++) {
    struct Star* star = &stars[i];
    volatile struct Spot* spot = &scene.stars[i];
    if (star->leaving) placeStar(star, STAR_FAR);
    star->z -= STAR_SPEED;
    const int16_t scale = divs16(STAR_FOCAL << 8, star->z);
    const int x = CENTRE_X + ((star->x * scale) >> 8) - TILE_HALF;
    const int y = CENTRE_Y + ((star->y * scale) >> 8) - TILE_HALF;
    if (star->z < STAR_NEAR || x < 0 || x > SCREEN_WIDTH - 16 || y < 0 || y > SCREEN_HEIGHT - 16) {
      /* Drawn blank where it was: the screen keeps what no tile covers. */
      star->leaving = 1;
      spot->tile = TILE_BLANK;
      continue;
    }
    spot->x = x;
    spot->y = y;
    spot->tile = TILE_STAR + (star->z < 384) + (star->z < 256); /* nearer, brighter */
    spot->palette = PALETTE_STARS;
  }
}

/* ---- The knot ----------------------------------------------------------- */

#define KNOT_FOCAL 400
#define KNOT_DISTANCE 3072
#define KNOT_CENTRE_Y 205
#define KNOT_NEAREST 768 /* balls nearer are the largest; each size 256 deep */
#define TILT_SPEED 24    /* about the horizontal axis, 1/256 turn per 256 frames */

struct Point {
  int16_t x, y, z;
};
static struct Point knot[BALL_COUNT];

/* Where each ball is this frame: on the screen, and how far (the depths
   apart, as the sort reads nothing else). */
static struct Point turned[BALL_COUNT];
static int16_t depths[BALL_COUNT];
/* The balls far to near; last frame's order is nearly this frame's. */
static uint8_t order[BALL_COUNT];

/* Spin about the vertical axis per frame for each gear the master sets. */
static const int16_t gears[4] = {48, 32, -40, 64};
static uint16_t spin, tilt; /* 1/256 turns, 8 fraction bits */

/* A trefoil: (sin t + 2 sin 2t, cos t - 2 cos 2t, -2 sin 3t) * 256. */
static void makeKnot(void) {
  for (unsigned k = 0; k < BALL_COUNT; k++) {
    const unsigned t = k * (256 / BALL_COUNT);
    knot[k].x = sine(t) + 2 * sine(2 * t);
    knot[k].y = cosine(t) - 2 * cosine(2 * t);
    knot[k].z = -2 * sine(3 * t);
    order[k] = k;
  }
}

/* Insertion sort: quick on a list that is nearly in order. */
static void sortFarToNear(void) {
  for (unsigned i = 1; i < BALL_COUNT; i++) {
    const uint8_t ball = order[i];
    const int16_t depth = depths[ball];
    unsigned j = i;
    for (; j > 0 && depths[order[j - 1]] < depth; j--) order[j] = order[j - 1];
    order[j] = ball;
  }
}

static void turnKnot(void) {
  spin += gears[CONTROL_REGISTER(GEAR_REGISTER) & 3];
  tilt += TILT_SPEED;
  const int16_t sinSpin = sine(spin >> 8), cosSpin = cosine(spin >> 8);
  const int16_t sinTilt = sine(tilt >> 8), cosTilt = cosine(tilt >> 8);
  for (unsigned k = 0; k < BALL_COUNT; k++) {
    const struct Point* p = &knot[k];
    /* About the vertical axis, then about the horizontal one. */
    const int16_t x = (p->x * cosSpin + p->z * sinSpin) >> 8;
    const int16_t z = (p->z * cosSpin - p->x * sinSpin) >> 8;
    const int16_t y = (p->y * cosTilt - z * sinTilt) >> 8;
    const int16_t depth = (p->y * sinTilt + z * cosTilt) >> 8;
    const int16_t scale = divs16(KNOT_FOCAL << 8, KNOT_DISTANCE + depth);
    turned[k].x = CENTRE_X + ((x * scale) >> 8);
    turned[k].y = KNOT_CENTRE_Y + ((y * scale) >> 8);
    depths[k] = depth;
  }
  sortFarToNear();
  for (unsigned i = 0; i < BALL_COUNT; i++) {
    const unsigned k = order[i];
    int size = (KNOT_NEAREST - depths[k]) >> 8;
    if (size >= BALL_SIZES) size = BALL_SIZES - 1;
    if (size < 0) size = 0;
    volatile struct Spot* spot = &scene.balls[i];
    spot->x = turned[k].x - TILE_HALF;
    spot->y = turned[k].y - TILE_HALF;
    spot->tile = TILE_BALL + size;
    spot->palette = PALETTE_BALLS + k * BALL_PALETTES / BALL_COUNT;
  }
}

/* ---- The title ---------------------------------------------------------- */

#define LETTER_PITCH 20
#define TITLE_Y 410
#define WAVE_SPEED 3
#define WAVE_HEIGHT 10
static uint16_t wave;

static unsigned glyphOf(char c) {
  const char* glyphs = GLYPHS;
  for (unsigned i = 0; glyphs[i] != 0; i++) {
    if (glyphs[i] == c) return i;
  }
  return 0;
}

static void placeTitle(void) {
  for (unsigned i = 0; i < TITLE_LENGTH; i++) {
    volatile struct Spot* spot = &scene.letters[i];
    spot->x = CENTRE_X - TITLE_LENGTH * LETTER_PITCH / 2 + i * LETTER_PITCH;
    spot->tile = TILE_GLYPH + 2 * glyphOf(TITLE[i]);
    spot->palette = PALETTE_TITLE;
  }
}

static void waveTitle(void) {
  wave += WAVE_SPEED;
  for (unsigned i = 0; i < TITLE_LENGTH; i++) {
    scene.letters[i].y = TITLE_Y + ((sine(wave + i * 12) * WAVE_HEIGHT) >> 8);
  }
}

/* ---- Start-up ------------------------------------------------------------ */

/* The SDK's 32-bit multiply and divide (sdk/runtime.s) against known
   results: both divisor paths, every sign. */
static int arithmeticWorks(void) {
  static const struct {
    int32_t a, b, product, quotient, remainder;
  } signedRows[] = {
      {100000, 3, 300000, 33333, 1},
      {-7, 2, -14, -3, -1},
      {7, -2, -14, -3, 1},
      {-2000000000, 65537, -188060672, -30517, -7371},
      {1999999999, -123456, 1375003200, -16200, 12799},
  };
  static const struct {
    uint32_t a, b, quotient, remainder;
  } unsignedRows[] = {
      {0xfffffff0, 0x80000001, 1, 0x7fffffef},
      {0xfffffff0, 7, 0x24924922, 2},
      {0x12345678, 0x1234, 0x10004, 0xda8},
  };
  for (unsigned i = 0; i < sizeof signedRows / sizeof signedRows[0]; i++) {
    volatile int32_t a = signedRows[i].a, b = signedRows[i].b; /* computed here, not by gcc */
    if (a * b != signedRows[i].product || a / b != signedRows[i].quotient ||
        a % b != signedRows[i].remainder) {
      return 0;
    }
  }
  for (unsigned i = 0; i < sizeof unsignedRows / sizeof unsignedRows[0]; i++) {
    volatile uint32_t a = unsignedRows[i].a, b = unsignedRows[i].b;
    if (a / b != unsignedRows[i].quotient || a % b != unsignedRows[i].remainder) return 0;
  }
  return 1;
}

static void computeFrame(void) {
  moveStars();
  turnKnot();
  waveTitle();
}

int main(void) {
  putText(scene.text + SLAVE_CHECK_LINE,
          arithmeticWorks() ? "cpu2 arithmetic ok" : "cpu2 arithmetic FAILED");
  makeKnot();
  placeTitle();
  for (unsigned i = 0; i < STAR_COUNT; i++) {
    placeStar(&stars[i], STAR_NEAR + randomBelow(STAR_FAR - STAR_NEAR));
  }
  computeFrame();
  scene.ready = 1;
  enableInterrupts();
  for (;;) {
    waitFrame();
    computeFrame();
    volatile char* line = putText(scene.text + CPU2_LINE, "cpu2 frame ");
    putHex4(line, (uint16_t)frameCount);
  }
}
