| Slave 68000 of the demo: moves the stars, the bouncing balls and the title
| letters, and leaves the results in shared RAM for the master to draw.
	.include "board.inc"
	.include "tables.inc"

	.equ	FRAME_COUNT, 0x100000		| work RAM
	.equ	RANDOM_STATE, 0x100004
	.equ	STAR_STATE, 0x100100		| per star: x, y, speed, leaving
	.equ	BALL_STATE, 0x100400		| per ball: x, y, vx, vy (16.16), palette, launch speed (8.8)
	.equ	BALL_SIZE, 20
	.equ	STACK_TOP, 0x13fff0
	.equ	GRAVITY, 786			| 0.012 pixel per frame per frame
	.equ	FLOOR, 448
	.equ	RIGHT_WALL, 480
	.equ	STAR_RIGHT, 480
	.equ	STAR_ROWS, 464

	.text
	.org	0
	.long	STACK_TOP
	.long	start
	.rept	22
	.long	unexpected
	.endr
	.long	unexpected
	.long	frameInterrupt
	.rept	102
	.long	unexpected
	.endr

	.org	0x68aa
start:
	move.w	#0x2700,%sr
	move.b	0x180000,%d0			| the master's local RAM is not on this bus
	move.w	%d0,0xb00000			| nor its static RAM
	move.b	CONTROL_SCENE,%d0		| control registers are shared
	move.l	#0x2a6d365b,RANDOM_STATE
	| Stars: anywhere, three speeds.
	lea	STAR_STATE,%a0
	moveq	#STAR_COUNT-1,%d7
1:	move.w	#STAR_RIGHT,%d1
	bsr	randomBelow
	move.w	%d0,(%a0)+
	move.w	#STAR_ROWS,%d1
	bsr	randomBelow
	move.w	%d0,(%a0)+
	moveq	#3,%d1
	bsr	randomBelow
	addq.w	#1,%d0
	move.w	%d0,(%a0)+
	clr.w	(%a0)+
	dbra	%d7,1b
	| Balls: spread over the floor, dropped from different heights.
	lea	BALL_STATE,%a0
	lea	ballStart,%a1
	moveq	#BALL_COUNT-1,%d7
2:	moveq	#0,%d0
	move.w	(%a1)+,%d0			| x
	swap	%d0
	move.l	%d0,(%a0)+
	moveq	#0,%d0
	move.w	(%a1)+,%d0			| y
	swap	%d0
	move.l	%d0,(%a0)+
	move.w	(%a1)+,%d0			| vx, 8.8
	ext.l	%d0
	asl.l	#8,%d0
	move.l	%d0,(%a0)+
	clr.l	(%a0)+				| vy
	move.w	(%a1)+,(%a0)+			| palette
	move.w	(%a1)+,(%a0)+			| launch speed, 8.8
	dbra	%d7,2b
	clr.w	FRAME_COUNT
	bsr	moveStars
	bsr	moveBalls
	bsr	moveLetters
	move.w	#1,MOTION_READY
	move.w	#0x2000,%sr
mainLoop:
	move.w	FRAME_COUNT,%d0
waitFrame:
	cmp.w	FRAME_COUNT,%d0
	beq.s	waitFrame
	bsr	moveStars
	bsr	moveBalls
	bsr	moveLetters
	lea	SHARED_CPU2_TEXT,%a1
	lea	cpu2Label,%a0
	bsr	putText
	move.w	FRAME_COUNT,%d0
	bsr	putHex4
	bra.s	mainLoop

frameInterrupt:
	addq.w	#1,FRAME_COUNT
	rte

unexpected:
	rte

| d1: bound (1..65535) -> d0: a number below it. Uses d1.
randomBelow:
	move.l	RANDOM_STATE,%d0
	moveq	#15,%d2
1:	lsr.l	#1,%d0
	bcc.s	2f
	eor.l	#0x80200003,%d0
2:	dbra	%d2,1b
	move.l	%d0,RANDOM_STATE
	and.l	#0xffff,%d0
	divu.w	%d1,%d0
	swap	%d0
	rts

| Stars drift left; one that leaves is blanked where it was pushed against
| the edge, then comes back on the right at a new height.
moveStars:
	lea	STAR_STATE,%a0
	lea	MOTION_STARS,%a1
	moveq	#STAR_COUNT-1,%d7
1:	tst.w	6(%a0)
	beq.s	2f
	clr.w	6(%a0)
	move.w	#STAR_RIGHT,(%a0)
	move.w	#STAR_ROWS,%d1
	bsr	randomBelow
	move.w	%d0,2(%a0)
	bra.s	3f
2:	move.w	(%a0),%d0
	sub.w	4(%a0),%d0
	bpl.s	4f
	moveq	#0,%d0
	move.w	#1,6(%a0)
4:	move.w	%d0,(%a0)
3:	move.w	(%a0),(%a1)+
	move.w	2(%a0),(%a1)+
	move.w	4(%a0),%d0			| tiles 1 to 3 by speed
	tst.w	6(%a0)
	beq.s	5f
	moveq	#TILE_BLANK,%d0
5:	move.w	%d0,(%a1)+
	clr.w	(%a1)+
	addq.l	#8,%a0
	dbra	%d7,1b
	rts

| Balls fall, bounce off the floor at their launch speed and off the walls.
moveBalls:
	lea	BALL_STATE,%a0
	lea	MOTION_BALLS,%a1
	moveq	#BALL_COUNT-1,%d7
1:	move.l	12(%a0),%d1
	add.l	#GRAVITY,%d1
	move.l	4(%a0),%d0
	add.l	%d1,%d0
	cmp.l	#FLOOR<<16,%d0
	blt.s	2f
	move.l	#FLOOR<<16,%d0
	moveq	#0,%d1
	move.w	18(%a0),%d1
	asl.l	#8,%d1
	neg.l	%d1
2:	move.l	%d0,4(%a0)
	move.l	%d1,12(%a0)
	move.l	8(%a0),%d1
	move.l	(%a0),%d0
	add.l	%d1,%d0
	bpl.s	3f
	moveq	#0,%d0
	neg.l	%d1
	bra.s	4f
3:	cmp.l	#RIGHT_WALL<<16,%d0
	blt.s	4f
	move.l	#RIGHT_WALL<<16,%d0
	neg.l	%d1
4:	move.l	%d0,(%a0)
	move.l	%d1,8(%a0)
	move.w	(%a0),(%a1)+			| whole pixels: the high words
	move.w	4(%a0),(%a1)+
	move.w	16(%a0),(%a1)+
	clr.w	(%a1)+
	lea	BALL_SIZE(%a0),%a0
	dbra	%d7,1b
	rts

| The title: the master's scene register picks how the letters move; each
| scene starts and ends with the letters at rest.
|   0 wave, 1 spin about the vertical axis, 2 about the horizontal axis,
|   3 breathe (zoom).
moveLetters:
	move.w	CONTROL_SCENE,%d6
	and.w	#3,%d6
	move.w	FRAME_COUNT,%d5
	and.w	#255,%d5
	lea	letterBase,%a0
	lea	MOTION_LETTERS,%a1
	lea	SINE_TABLE,%a2
	moveq	#0,%d7
1:	move.w	(%a0)+,%d3			| x
	move.w	(%a0)+,%d4			| y
	move.w	#LETTER_WIDTH,%d2
	move.w	#LETTER_HEIGHT,%d1
	tst.w	%d6
	beq.s	wave
	cmp.w	#2,%d6
	blt.s	spinX
	beq.s	spinY
breathe:
	move.w	%d5,%d0
	add.w	%d0,%d0
	move.w	0(%a2,%d0.w),%d0		| sin(2 pi t / 256)
	move.w	%d0,%d2
	asr.w	#5,%d2
	add.w	#LETTER_WIDTH,%d2
	muls.w	#13,%d0
	asr.l	#8,%d0
	add.w	#LETTER_HEIGHT,%d0
	move.w	%d0,%d1
	bra.s	store
wave:
	move.w	%d7,%d1
	mulu.w	#20,%d1
	move.w	%d5,%d2
	lsl.w	#2,%d2
	add.w	%d2,%d1
	and.w	#255,%d1
	add.w	%d1,%d1
	move.w	0(%a2,%d1.w),%d1		| the wave
	move.w	%d5,%d2
	lsr.w	#1,%d2
	add.w	%d2,%d2
	move.w	0(%a2,%d2.w),%d2		| its envelope, 0 at both ends
	muls.w	%d2,%d1
	asr.l	#8,%d1
	asr.l	#5,%d1
	add.w	%d1,%d4
	move.w	#LETTER_WIDTH,%d2
	move.w	#LETTER_HEIGHT,%d1
	bra.s	store
spinX:
	move.w	%d5,%d0
	add.w	%d0,%d0
	move.w	%d7,%d1
	mulu.w	#12,%d1
	sub.w	%d1,%d0
	sub.w	#16,%d0
	bsr.s	turnCosine
	move.w	#LETTER_WIDTH,%d2
	bsr.s	scaleByCosine
	move.w	%d0,%d2
	move.w	#LETTER_HEIGHT,%d1
	bra.s	store
spinY:
	move.w	%d5,%d0
	mulu.w	#5,%d0
	lsr.w	#2,%d0
	move.w	%d7,%d1
	mulu.w	#5,%d1
	sub.w	%d1,%d0
	subq.w	#4,%d0
	bsr.s	turnCosine
	move.w	#LETTER_HEIGHT,%d2
	bsr.s	scaleByCosine
	move.w	%d0,%d1
	move.w	#LETTER_WIDTH,%d2
store:
	move.w	%d3,(%a1)+
	move.w	%d4,(%a1)+
	move.w	%d2,(%a1)+
	move.w	%d1,(%a1)+
	addq.w	#1,%d7
	cmp.w	#LETTER_COUNT,%d7
	blt	1b
	rts

| d0: angle in 1/256 turns, one turn at most (outside it: at rest)
| -> d0: its cosine * 256.
turnCosine:
	tst.w	%d0
	bmi.s	1f
	cmp.w	#256,%d0
	blt.s	2f
1:	moveq	#0,%d0
2:	add.w	#64,%d0
	add.w	%d0,%d0
	move.w	0(%a2,%d0.w),%d0
	rts

| d0: cosine * 256, d2: full size -> d0: size word, |cosine| * size (at
| least 1), bit 15 set (flipped) when the cosine is negative.
scaleByCosine:
	move.w	%d0,%d1
	bpl.s	1f
	neg.w	%d1
1:	mulu.w	%d2,%d1
	lsr.l	#8,%d1
	bne.s	2f
	moveq	#1,%d1
2:	tst.w	%d0
	bpl.s	3f
	or.w	#0x8000,%d1
3:	move.w	%d1,%d0
	rts

	.include "text.inc"

cpu2Label:
	.asciz	"cpu2 frame "
	.even
| Centre of each title letter: STONE, then BREAKER.
letterBase:
	.word	120,80, 184,80, 248,80, 312,80, 376,80
	.word	56,180, 120,180, 184,180, 248,180, 312,180, 376,180, 440,180
| Per ball: x, y, vx (8.8), palette, launch speed (8.8).
ballStart:
	.word	20,440,0x0098,3,0x0230
	.word	80,400,0xff70,4,0x01c0
	.word	140,360,0x00b0,5,0x0200
	.word	200,330,0xff50,6,0x01a0
	.word	260,300,0x0120,7,0x0220
	.word	320,380,0xff30,3,0x01e0
	.word	380,420,0x00c8,4,0x0190
	.word	440,350,0xff88,5,0x0210
