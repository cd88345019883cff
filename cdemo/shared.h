/* What the slave computes and the master draws: one record at the start of
   shared RAM A, the same for both programs. */
#ifndef CDEMO_SHARED_H
#define CDEMO_SHARED_H

#include <stdint.h>

#define STAR_COUNT 48
#define BALL_COUNT 64
#define TITLE "STONEBREAKER IN C"
#define TITLE_LENGTH (sizeof TITLE - 1)

/* The control register in which the master tells the slave how fast to
   spin the knot: 0 to 3, the next value every 256 frames. */
#define GEAR_REGISTER 1
#define GEAR_FRAMES_SHIFT 8

/* A tile to draw: its top left corner on the screen, the tile, the palette. */
struct Spot {
  int16_t x, y;
  uint16_t tile, palette;
};

struct Scene {
  /* Text the game log shows at the end of a run: a banner, then each
     processor's line at CPU1_LINE and CPU2_LINE. */
  char text[256];
  uint16_t ready; /* set by the slave once everything below is filled */
  struct Spot stars[STAR_COUNT];
  struct Spot balls[BALL_COUNT]; /* far to near: the nearer drawn later, on top */
  struct Spot letters[TITLE_LENGTH];
};
#define CPU1_LINE 0x60
#define CPU2_LINE 0x80
#define SLAVE_CHECK_LINE 0xa0

/* Defined in each program, IN_SHARED_RAM_A: both see it at 0x200000. */
extern volatile struct Scene scene;

#endif
