/* The System 21 board as a program for one of its two 68000s sees it.

   Two processors, the master and the slave, each with its own code ROM
   (mapped at 0) and work RAM, share three RAM areas, the video RAM, a data
   ROM and a bank of control registers. Each runs 204800 cycles a frame, the
   master first, then the slave; after its share each one is given the
   level-1 interrupt, which it takes at the start of its next share. What one
   processor writes to a shared area the other sees from then on.

   Programs are built with add_board_program (cmake/BoardProgram.cmake):
   start.s sets up the stack, .data and .bss and calls main; master.ld and
   slave.ld place the code and data. Words are big-endian, as on the 68000;
   int is 32 bits, short 16. */
#ifndef SYSTEM21_BOARD_H
#define SYSTEM21_BOARD_H

#include <stdint.h>

/* ---- Memory areas ----------------------------------------------------------
   Addresses as both processors see them unless marked. An access that no
   area answers reads as all ones and is written to the game log with the
   program counter: a quick way to see where a program went wrong. */
#define CODE_ROM 0x000000 /* each processor's own program, 1 MB */
#define WORK_RAM 0x100000 /* each processor's own: .data, .bss, the stack */
#define MASTER_WORK_RAM_SIZE 0x10000
#define SLAVE_WORK_RAM_SIZE 0x40000
#define MASTER_LOCAL_RAM 0x180000 /* master only, 16 KB */
#define SHARED_RAM_A 0x200000     /* 64 KB; its first 256 bytes end the game log as text */
#define SHARED_RAM_B 0x900000     /* 64 KB */
#define SHARED_RAM_C 0xa00000     /* 4 KB, zero at power-on */
#define WRITE_ONLY_RAM_A 0x400000 /* master only, 64 KB; reads are not answered */
#define WRITE_ONLY_RAM_B 0x440000 /* master only, 256 KB; reads are not answered... */
#define STATUS_WORD (*(volatile const uint16_t*)0x440000) /* ...but here: it reads 1 */
#define MASTER_STATIC_RAM_A 0x480000 /* master only, 2 KB, kept from game to game */
#define MASTER_STATIC_RAM_B 0xb00000 /* master only, 16 KB, kept from game to game */
#define DATA_ROM_LOW 0x800000        /* the data ROM's first MB, read only */
#define DATA_ROM_HIGH 0xd00000       /* its second MB */

/* A variable placed in a shared area: IN_SHARED_RAM_A struct Motion motion;
   start.s neither loads nor clears these areas, so a program sets what it
   puts there. Both programs must see one record at the same address: keep
   one record per area, declared in a header that both include. */
#define IN_SHARED_RAM_A __attribute__((section(".shared_a")))
#define IN_SHARED_RAM_B __attribute__((section(".shared_b")))
#define IN_SHARED_RAM_C __attribute__((section(".shared_c")))
/* The master's own areas. */
#define IN_LOCAL_RAM __attribute__((section(".local")))
#define IN_STATIC_RAM_A __attribute__((section(".static_a")))
#define IN_STATIC_RAM_B __attribute__((section(".static_b")))

/* ---- Control registers -----------------------------------------------------
   32 registers of 3 bits, one bank for both processors, each answering a
   window of 8 KB from 0x1c0000: a write keeps the value's low 3 bits, a
   read gives them back. Register 16 (0x1e0000) always reads 0xffff. A
   processor tells the other something small here without a shared area. */
#define CONTROL_REGISTER_COUNT 32
#define CONTROL_REGISTER(n) (*(volatile uint16_t*)(0x1c0000 + (n)*0x2000))
#define CONTROL_VALUE_MASK 7

/* ---- Video RAM -------------------------------------------------------------
   The picture is made of sprites only. After each frame both sprite lists
   are drawn, bank 0 first, each in list order; a later sprite covers an
   earlier one, and the screen is not cleared between frames: what no sprite
   covers keeps its last colour. */
#define SCREEN_WIDTH 496
#define SCREEN_HEIGHT 480
/* Sprite coordinates of the screen's top left corner. */
#define SCREEN_X 2
#define SCREEN_Y 34

/* A sprite: a shape drawn at (x, y), its tiles spaced to fill width × height
   pixels. Each tile is always drawn 16 × 16, never mirrored: zooming moves
   the tiles apart or together, flipping reverses their order. */
struct Sprite {
  uint16_t shape;    /* index into SHAPES */
  uint16_t tileBase; /* added to every tile code of the shape */
  int16_t x, y;      /* screen position + SCREEN_X, SCREEN_Y, less the shape's origin */
  uint16_t width;    /* pixels on screen (0: not drawn), | SPRITE_FLIP to mirror */
  uint16_t height;   /* pixels on screen (0: not drawn), | SPRITE_FLIP to mirror */
  uint16_t palette;  /* palette select p, 0-15: the tiles use palette bank 31 - p */
  uint16_t unused;
};
#define SPRITE_FLIP 0x8000
#define SPRITE_COUNT 256 /* per bank */

/* A shape: a grid of tile positions, the codes read row by row from
   TILE_CODES[firstCode]. */
struct Shape {
  uint16_t firstCode;
  uint16_t grid;             /* SHAPE_GRID(columns, rows) */
  uint16_t originX, originY; /* the point of the shape placed at the sprite's x, y */
};
#define SHAPE_GRID(columns, rows) ((((columns)&15) << 4) | ((rows)&15)) /* 0 means 16 */

/* Sprite list word: the sprite number, LIST_END on the last one drawn (a
   list without it draws all 256). */
#define LIST_END 0x100

#define SPRITES0 ((volatile struct Sprite*)0x700000)
#define SPRITE_LIST0 ((volatile uint16_t*)0x702000)
#define SHAPES ((volatile struct Shape*)0x704000)
#define TILE_CODES ((volatile uint16_t*)0x708000) /* tile number - tileBase, or TILE_NONE */
#define SPRITES1 ((volatile struct Sprite*)0x710000)
#define SPRITE_LIST1 ((volatile uint16_t*)0x714000)
#define TILE_NONE 0x8000 /* a position of the grid left empty */

/* Tiles come from the graphics ROM: 16 × 16 pixel bytes each. A pixel byte
   v draws colour v of the sprite's palette bank; 0xff always draws black.
   Tile numbers past the last tile wrap around. */
#define PIXEL_BLACK 0xff

/* The palette: 32768 colours, 128 banks of 256, in two halves. Colour i is
   red, green, blue = PALETTE_A[i] >> 8, PALETTE_B[i] & 0xff, PALETTE_A[i]
   & 0xff. Sprites use banks 16-31 (bank 31 - p for palette select p). */
#define PALETTE_A ((volatile uint16_t*)0x740000)
#define PALETTE_B ((volatile uint16_t*)0x750000)
#define PALETTE_BANK(select) (31 - (select))

static inline void setColour(unsigned entry, uint8_t red, uint8_t green, uint8_t blue) {
  PALETTE_A[entry] = (uint16_t)(red << 8 | blue);
  PALETTE_B[entry] = green;
}

/* ---- Arithmetic ------------------------------------------------------------
   The 68000 multiplies 16 by 16 bits and divides 32 by 16 bits; gcc uses
   muls.w when both factors are 16-bit values, and calls the SDK's
   __mulsi3, __divsi3 and the like (runtime.s) for 32-bit operands. 64-bit
   arithmetic is not provided. divs16 is the chip's own signed division,
   about 160 cycles against some 400 for C's / on 32-bit values: the
   quotient must fit in 16 bits. */
static inline int16_t divs16(int32_t dividend, int16_t divisor) {
  __asm__("divs.w %1,%0" : "+d"(dividend) : "dmi"(divisor) : "cc");
  return (int16_t)dividend;
}

/* ---- The frame interrupt ---------------------------------------------------
   Level 1, autovectored (vector 25): start.s counts it in frameCount and
   then calls frameInterruptHandler when it is set. The handler runs with
   interrupts masked, at the start of the processor's share of the frame:
   the master's handler is the place to fill video RAM for the frame drawn at
   its end. Interrupts are masked until the program enables them. */
#define CYCLES_PER_FRAME 204800
extern volatile uint32_t frameCount;
extern void (*volatile frameInterruptHandler)(void);

static inline void enableInterrupts(void) {
  __asm__ volatile("move.w #0x2000,%%sr" ::: "memory");
}

static inline void disableInterrupts(void) {
  __asm__ volatile("move.w #0x2700,%%sr" ::: "memory");
}

/* Polls until the next frame interrupt has been taken. Waiting this way
   keeps the processor busy for its whole share, as the board's games do. */
static inline void waitFrame(void) {
  const uint32_t now = frameCount;
  while (frameCount == now) {
  }
}

#endif
