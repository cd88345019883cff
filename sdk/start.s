| Start-up of a board program, the same for both processors: the vector
| table, the copy of .data from ROM, the clearing of .bss, main, and the
| frame interrupt, which counts frames and calls the handler the program
| sets (system21.h). The linker script places .text.start at the address
| the game log's start-up listing shows.

	.cfi_sections .debug_frame

	.section .vectors,"a"
	.long	__stack_top			| 0: the stack, in work RAM
	.long	_start				| 1: reset
	.rept	22				| 2-23: errors and traps
	.long	unexpected
	.endr
	.long	unexpected			| 24: spurious interrupt
	.long	frameInterrupt			| 25: level 1, the frame
	.rept	102				| 26-127
	.long	unexpected
	.endr

	.section .text.start,"ax"
	.globl	_start
_start:
	move.w	#0x2700,%sr			| no interrupts until the program allows them
	lea	__data_load,%a0
	lea	__data_start,%a1
	lea	__data_end,%a2
	bra.s	2f
1:	move.w	(%a0)+,(%a1)+
2:	cmpa.l	%a2,%a1
	bcs.s	1b
	lea	__bss_end,%a2			| .bss follows .data
	bra.s	4f
3:	clr.w	(%a1)+
4:	cmpa.l	%a2,%a1
	bcs.s	3b
	jsr	main
5:	bra.s	5b				| main does not return; if it does, stay here

| Level 1: frameCount goes up, then frameInterruptHandler runs when set.
| Saves the registers a C function may change (d0-d1/a0-a1). The frame
| information tells a debugger where the interrupted PC and stack are, so
| that it can step over the interrupt.
	.globl	frameInterrupt
frameInterrupt:
	.cfi_startproc
	.cfi_def_cfa %sp, 6			| the status word and PC the interrupt pushed
	.cfi_offset %pc, -4
	movem.l	%d0-%d1/%a0-%a1,-(%sp)
	.cfi_adjust_cfa_offset 16
	addq.l	#1,frameCount
	move.l	frameInterruptHandler,%d0
	beq.s	1f
	movea.l	%d0,%a0
	jsr	(%a0)
1:	movem.l	(%sp)+,%d0-%d1/%a0-%a1
	.cfi_adjust_cfa_offset -16
	rte
	.cfi_endproc

| Any other exception returns at once.
unexpected:
	rte

	.bss
	.even
	.globl	frameCount, frameInterruptHandler
frameCount:
	.long	0
frameInterruptHandler:
	.long	0

	.section .note.GNU-stack,"",%progbits
