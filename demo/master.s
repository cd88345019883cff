| Master 68000 of the demo: sets up palettes and shapes, then under the
| frame interrupt builds both sprite lists from the slave's motion tables.
	.include "board.inc"
	.include "tables.inc"

	.equ	FRAME_COUNT, 0x100000		| work RAM
	.equ	STACK_TOP, 0x10fff0

	.text
	.org	0
	.long	STACK_TOP
	.long	start
	.rept	22
	.long	unexpected
	.endr
	.long	unexpected			| 24: spurious interrupt
	.long	frameInterrupt			| 25: level 1, the frame
	.rept	102
	.long	unexpected
	.endr

	.org	0x1000
start:
	move.w	#0x2700,%sr
	| What the board does not decode: each access is logged once.
	move.w	0x400000,%d0			| write-only RAM read back
	move.b	%d0,0x000100			| a write to the program ROM
	move.w	#0x00ab,0x600000		| nothing decodes 0x600000
	move.l	0xc00000,%d1			| nor 0xc00000 (two word reads)
	move.w	STATUS,%d0			| the status word reads 1
	| Control registers: all cleared, the last one read back.
	lea	CONTROL,%a0
	moveq	#7,%d1
1:	clr.w	(%a0)
	lea	0x2000(%a0),%a0
	dbra	%d1,1b
	move.w	-0x2000(%a0),%d0
	| Palettes: select p lives in bank 31 - p.
	lea	paletteWords,%a0
	lea	VIDEO_PALETTE_A+31*512,%a1
	lea	VIDEO_PALETTE_B+31*512,%a2
	moveq	#PALETTE_COUNT-1,%d1
2:	moveq	#15,%d2
3:	move.w	(%a0)+,(%a1)+
	move.w	(%a0)+,(%a2)+
	dbra	%d2,3b
	lea	-512-32(%a1),%a1
	lea	-512-32(%a2),%a2
	dbra	%d1,2b
	| Shapes and tile codes.
	lea	shapeWords,%a0
	lea	VIDEO_SHAPES,%a1
	move.w	#SHAPE_COUNT*4-1,%d1
4:	move.w	(%a0)+,(%a1)+
	dbra	%d1,4b
	lea	tileCodes,%a0
	lea	VIDEO_CODES,%a1
	move.w	#CODE_COUNT-1,%d1
5:	move.w	(%a0)+,(%a1)+
	dbra	%d1,5b
	| A line of text at the head of shared RAM.
	lea	banner,%a0
	lea	SHARED_TEXT,%a1
6:	move.b	(%a0)+,(%a1)+
	bne.s	6b
	clr.w	FRAME_COUNT
	move.w	#0x2000,%sr			| frame interrupt on
mainLoop:
	move.w	FRAME_COUNT,%d0
waitFrame:
	cmp.w	FRAME_COUNT,%d0
	beq.s	waitFrame
	bsr	cyclePalettes
	lea	SHARED_CPU1_TEXT,%a1
	lea	cpu1Label,%a0
	bsr	putText
	move.w	FRAME_COUNT,%d0
	bsr	putHex4
	bra.s	mainLoop

| Both title lines run through the colour ramps of the data ROM.
cyclePalettes:
	move.w	FRAME_COUNT,%d0
	lsr.w	#1,%d0
	moveq	#1,%d1
	bsr.s	loadRamp
	add.w	#32,%d0
	moveq	#2,%d1
	bsr.s	loadRamp
	rts

| d0: ramp number (taken modulo 64), d1: palette select.
loadRamp:
	move.w	%d0,%d2
	and.w	#63,%d2
	lsl.w	#6,%d2
	lea	COLOUR_RAMPS,%a0
	adda.w	%d2,%a0
	moveq	#31,%d3
	sub.w	%d1,%d3
	lsl.w	#8,%d3
	add.w	%d3,%d3
	lea	VIDEO_PALETTE_A,%a1
	adda.w	%d3,%a1
	lea	VIDEO_PALETTE_B,%a2
	adda.w	%d3,%a2
	moveq	#15,%d3
1:	move.w	(%a0)+,(%a1)+
	move.w	(%a0)+,(%a2)+
	dbra	%d3,1b
	rts

	.include "text.inc"

| The frame: the scene for the slave, then both sprite lists.
frameInterrupt:
	movem.l	%d0-%d3/%a0-%a3,-(%sp)
	addq.w	#1,FRAME_COUNT
	move.w	FRAME_COUNT,%d0
	lsr.w	#SCENE_FRAMES_SHIFT,%d0
	and.w	#3,%d0
	move.w	%d0,CONTROL_SCENE
	tst.w	MOTION_READY
	bne.s	0f
	| Nothing to show yet: each list holds one sprite that draws nothing.
	move.w	#LIST_END+255,VIDEO_LIST0
	move.w	#LIST_END+255,VIDEO_LIST1
	bra	9f
0:	| Bank 0: the stars.
	lea	MOTION_STARS,%a0
	lea	VIDEO_SPRITES0,%a1
	lea	VIDEO_LIST0,%a2
	moveq	#STAR_COUNT-1,%d1
	moveq	#0,%d2
1:	move.w	#SHAPE_ONE_TILE,(%a1)+
	move.w	4(%a0),(%a1)+
	move.w	(%a0),%d0
	addq.w	#SCREEN_X,%d0
	move.w	%d0,(%a1)+
	move.w	2(%a0),%d0
	add.w	#SCREEN_Y,%d0
	move.w	%d0,(%a1)+
	move.w	#16,(%a1)+
	move.w	#16,(%a1)+
	clr.w	(%a1)+
	clr.w	(%a1)+
	move.w	%d2,(%a2)+
	addq.w	#1,%d2
	addq.l	#8,%a0
	dbra	%d1,1b
	or.w	#LIST_END,-2(%a2)
	| Bank 1: the moon, the balls, the title.
	lea	VIDEO_SPRITES1,%a1
	lea	VIDEO_LIST1,%a2
	moveq	#0,%d2
	move.w	#SHAPE_MOON,(%a1)+
	clr.w	(%a1)+
	move.w	#MOON_X+SCREEN_X,(%a1)+
	move.w	#MOON_Y+SCREEN_Y,(%a1)+
	move.w	#MOON_SIZE,(%a1)+
	move.w	#MOON_SIZE,(%a1)+
	move.w	#8,(%a1)+
	clr.w	(%a1)+
	move.w	%d2,(%a2)+
	addq.w	#1,%d2
	lea	MOTION_BALLS,%a0
	moveq	#BALL_COUNT-1,%d1
2:	move.w	#SHAPE_ONE_TILE,(%a1)+
	move.w	#TILE_ORB,(%a1)+
	move.w	(%a0)+,%d0
	addq.w	#SCREEN_X,%d0
	move.w	%d0,(%a1)+
	move.w	(%a0)+,%d0
	add.w	#SCREEN_Y,%d0
	move.w	%d0,(%a1)+
	move.w	#16,(%a1)+
	move.w	#16,(%a1)+
	move.w	(%a0)+,(%a1)+
	clr.w	(%a1)+
	addq.l	#2,%a0
	move.w	%d2,(%a2)+
	addq.w	#1,%d2
	dbra	%d1,2b
	lea	MOTION_LETTERS,%a0
	lea	titleShapes,%a3
	moveq	#LETTER_COUNT-1,%d1
3:	move.w	(%a3)+,(%a1)+
	clr.w	(%a1)+
	move.w	(%a0)+,%d0
	addq.w	#SCREEN_X,%d0
	move.w	%d0,(%a1)+
	move.w	(%a0)+,%d0
	add.w	#SCREEN_Y,%d0
	move.w	%d0,(%a1)+
	move.w	(%a0)+,(%a1)+			| width, bit 15 the flip
	move.w	(%a0)+,(%a1)+			| height, bit 15 the flip
	moveq	#1,%d0				| first line (STONE)
	cmp.w	#LETTER_COUNT-6,%d1
	bgt.s	4f
	moveq	#2,%d0				| second line (BREAKER)
4:	move.w	%d0,(%a1)+
	clr.w	(%a1)+
	move.w	%d2,(%a2)+
	addq.w	#1,%d2
	dbra	%d1,3b
	or.w	#LIST_END,-2(%a2)
9:	movem.l	(%sp)+,%d0-%d3/%a0-%a3
	rte

unexpected:
	rte

banner:
	.asciz	"STONEBREAKER demo - System 21 - the master 68000 draws, the slave 68000 moves"
cpu1Label:
	.asciz	"cpu1 frame "
	.even
	.include "tables_data.inc"
