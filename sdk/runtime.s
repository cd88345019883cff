| What gcc calls for a plain 68000: 32-bit multiply, divide and remainder
| (the 68000 multiplies and divides 16-bit values only) and the block copies
| and fills it emits for structure assignments and loops. Debian's libgcc
| for m68k-linux-gnu is built for the 68020 (mul.l, div.l, bsr.l), so the
| programs are linked without it. Arguments are longs on the stack; d0-d1
| and a0-a1 may be changed. A division by zero gives an undefined result.

	.text
	.globl	__mulsi3, __udivsi3, __umodsi3, __divsi3, __modsi3
	.globl	memcpy, memmove, memset

| a * b, the low 32 bits: a.lo * b.lo + ((a.hi * b.lo + a.lo * b.hi) << 16).
__mulsi3:
	move.w	4(%sp),%d0			| a.hi
	mulu.w	10(%sp),%d0			| * b.lo
	move.w	6(%sp),%d1			| a.lo
	mulu.w	8(%sp),%d1			| * b.hi
	add.w	%d1,%d0
	swap	%d0
	clr.w	%d0
	move.w	6(%sp),%d1
	mulu.w	10(%sp),%d1			| a.lo * b.lo
	add.l	%d1,%d0
	rts

__udivsi3:
	move.l	4(%sp),%d0
	move.l	8(%sp),%d1
	bra.s	unsignedDivide

__umodsi3:
	move.l	4(%sp),%d0
	move.l	8(%sp),%d1
	bsr.s	unsignedDivide
	move.l	%d1,%d0
	rts

__divsi3:
	move.l	4(%sp),%d0
	move.l	8(%sp),%d1
	bra.s	signedDivide

__modsi3:
	move.l	4(%sp),%d0
	move.l	8(%sp),%d1
	bsr.s	signedDivide
	move.l	%d1,%d0
	rts

| d0 / d1, signed -> d0 quotient (rounded toward zero), d1 remainder (with
| the sign of the dividend).
signedDivide:
	move.l	%d2,-(%sp)
	moveq	#0,%d2				| bit 0: negate the quotient, bit 1: the remainder
	tst.l	%d0
	bpl.s	1f
	neg.l	%d0
	moveq	#3,%d2
1:	tst.l	%d1
	bpl.s	2f
	neg.l	%d1
	eori.w	#1,%d2
2:	bsr.s	unsignedDivide
	btst	#0,%d2
	beq.s	3f
	neg.l	%d0
3:	btst	#1,%d2
	beq.s	4f
	neg.l	%d1
4:	move.l	(%sp)+,%d2
	rts

| d0 / d1, unsigned -> d0 quotient, d1 remainder; keeps d2.
unsignedDivide:
	move.l	%d2,-(%sp)
	cmp.l	#0x10000,%d1
	bcc.s	longDivisor
	| A 16-bit divisor: two divu.w, the high half then the low half with
	| the first remainder above it (both quotients fit in 16 bits).
	swap	%d0				| d0 = lo:hi
	moveq	#0,%d2
	move.w	%d0,%d2
	divu.w	%d1,%d2				| d2 = r1:q1
	move.w	%d2,%d0				| d0 = lo:q1
	swap	%d0				| d0 = q1:lo
	move.w	%d0,%d2				| d2 = r1:lo
	divu.w	%d1,%d2				| d2 = r2:q2
	move.w	%d2,%d0				| d0 = q1:q2
	clr.w	%d2
	swap	%d2
	move.l	%d2,%d1
	move.l	(%sp)+,%d2
	rts
longDivisor:
	| One quotient bit a turn: the dividend shifts into the remainder.
	move.l	%d3,-(%sp)
	moveq	#0,%d2				| remainder
	moveq	#31,%d3
1:	add.l	%d0,%d0
	addx.l	%d2,%d2
	bcs.s	2f				| past 32 bits: more than the divisor
	cmp.l	%d1,%d2
	bcs.s	3f
2:	sub.l	%d1,%d2
	addq.l	#1,%d0
3:	dbra	%d3,1b
	move.l	%d2,%d1
	move.l	(%sp)+,%d3
	move.l	(%sp)+,%d2
	rts

| memcpy(dest, src, n) -> dest
memcpy:
	move.l	4(%sp),%d0
	movea.l	%d0,%a0
	movea.l	8(%sp),%a1
	move.l	12(%sp),%d1
	bra.s	2f
1:	move.b	(%a1)+,(%a0)+
2:	subq.l	#1,%d1
	bcc.s	1b
	rts

| memmove(dest, src, n) -> dest: backwards when dest lies above src.
memmove:
	move.l	4(%sp),%d0
	movea.l	%d0,%a0
	movea.l	8(%sp),%a1
	move.l	12(%sp),%d1
	cmpa.l	%a1,%a0
	bls.s	2f
	adda.l	%d1,%a0
	adda.l	%d1,%a1
	bra.s	4f
1:	move.b	(%a1)+,(%a0)+
2:	subq.l	#1,%d1
	bcc.s	1b
	rts
3:	move.b	-(%a1),-(%a0)
4:	subq.l	#1,%d1
	bcc.s	3b
	rts

| memset(dest, byte, n) -> dest
memset:
	move.l	4(%sp),%d0
	movea.l	%d0,%a0
	move.l	8(%sp),%d1
	move.l	12(%sp),%a1
	bra.s	2f
1:	move.b	%d1,(%a0)+
2:	subq.l	#1,%a1
	cmpa.w	#-1,%a1
	bne.s	1b
	rts

	.section .note.GNU-stack,"",%progbits
