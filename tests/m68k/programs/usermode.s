| User mode, traps and interrupts.
|
| The supervisor sets the USP, drops to user mode with RTE and the user
| program loops, calling TRAP #0 (a running sum kept by the supervisor) and
| TRAP #1 (the supervisor's view of the USP), trying privileged instructions
| (counted and skipped by the privilege-violation handler) and reading a
| supervisor-only RAM area that the user map does not hold. The host raises
| interrupts between slices; every handler counts its level. Once enough
| interrupts have come, TRAP #15 returns to supervisor mode for good.
|
| Then, with the mask at 7, the program waits for a level-7 interrupt while
| the host also leaves a level-3 request pending, lowers the mask to 2 to
| take the level-3 request, and finally waits in STOP #0x2000 for a level-5
| interrupt.
|
| Map: ROM 0x000000-0x00ffff; RAM 0x100000-0x10ffff in both modes;
| supervisor-only RAM 0x200000-0x2003ff.

        .equ    RAM,      0x100000
        .equ    MARKER,   RAM+0x00      | 0xC0DEC0DE at the end, 0xDEADDEAD on a stray exception
        .equ    PHASE,    RAM+0x04      | 0 user loop, 1 waiting for level 7, 2 about to stop
        .equ    IRQCNT,   RAM+0x08      | 8 longs: [0] spurious, [n] autovector level n
        .equ    VEC64,    RAM+0x28      | interrupts through vector 64
        .equ    IRQTOTAL, RAM+0x2c      | all interrupts
        .equ    IRQUSER,  RAM+0x30      | interrupts that came in user mode
        .equ    TRAPSUM,  RAM+0x34      | TRAP #0 running sum
        .equ    PRIVCNT,  RAM+0x38      | privilege violations
        .equ    ITER,     RAM+0x3c      | user loop iterations
        .equ    BADCNT,   RAM+0x40      | checks the user program failed
        .equ    USPEND,   RAM+0x44      | USP read back in supervisor mode at the end
        .equ    SNAP3,    RAM+0x48      | level-3 count while the mask was 7
        .equ    AFTER3,   RAM+0x4c      | level-3 count right after lowering the mask
        .equ    AFTER5,   RAM+0x50      | level-5 count after the STOP
        .equ    SUPVAL,   RAM+0x54      | supervisor-only word seen through TRAP #1
        .equ    SUPRAM,   0x200000
        .equ    USTACK,   0x10c000
        .equ    TARGET,   40            | interrupts to wait for in user mode

        .text
        .long   0x00110000              | 0: initial SSP
        .long   start                   | 1: initial PC
        .rept   6
        .long   fault                   | 2-7
        .endr
        .long   privilege               | 8
        .rept   15
        .long   fault                   | 9-23
        .endr
        .long   irq0                    | 24: spurious
        .long   irq1, irq2, irq3, irq4, irq5, irq6, irq7
        .long   syscall                 | 32: TRAP #0
        .long   uspview                 | 33: TRAP #1
        .rept   13
        .long   fault                   | 34-46
        .endr
        .long   tosuper                 | 47: TRAP #15
        .rept   16
        .long   fault                   | 48-63
        .endr
        .long   vec64                   | 64
        .rept   191
        .long   fault
        .endr

start:
        move.w  #0x5A5A,SUPRAM
        move.l  #USTACK,%a0
        move.l  %a0,%usp
        move.l  %usp,%a1
        cmpa.l  %a0,%a1
        bne     fault
        pea     user_main
        move.w  #0x0000,-(%sp)          | user mode, mask 0
        rte

user_main:
        moveq   #0,%d6                  | iterations
        moveq   #0,%d5                  | our own running sum
1:      addq.l  #1,%d6
        add.l   %d6,%d5
        move.l  %d6,%d1
        trap    #0
        cmp.l   %d5,%d0
        beq.s   2f
        addq.l  #1,BADCNT
2:      move.w  %sr,%d2                 | MOVE from SR is allowed in user mode
        btst    #13,%d2
        beq.s   3f
        addq.l  #1,BADCNT
3:      move.l  %d6,-(%sp)              | the user stack works
        move.l  %sp,%d3
        trap    #1                      | d0 = USP as the supervisor sees it
        cmp.l   %d3,%d0
        beq.s   4f
        addq.l  #1,BADCNT
4:      cmp.w   #0x5A5A,%d1             | d1 = supervisor-only word, seen by TRAP #1
        beq.s   5f
        addq.l  #1,BADCNT
5:      cmp.w   #-1,SUPRAM              | the user map does not hold it
        beq.s   6f
        addq.l  #1,BADCNT
6:      move.l  (%sp)+,%d3
        cmp.l   %d6,%d3
        beq.s   7f
        addq.l  #1,BADCNT
7:      move.l  %d6,%d0
        and.w   #15,%d0
        bne.s   8f
        move.w  #0x2700,%sr             | privileged: skipped by the handler
        move.l  %usp,%a0                | privileged too
8:      move.l  IRQTOTAL,%d0
        cmp.l   #TARGET,%d0
        blt.s   1b
        move.l  %d6,ITER
        trap    #15

| Supervisor mode again, mask still 0.
sup_main:
        move.l  %usp,%a0
        move.l  %a0,USPEND
        move.w  #0x2700,%sr
        move.l  #1,PHASE
1:      tst.l   IRQCNT+7*4
        beq.s   1b
        move.l  IRQCNT+3*4,SNAP3
        move.w  #0x2200,%sr             | a pending level 3 is taken right here
        move.l  IRQCNT+3*4,AFTER3
        move.l  #2,PHASE
        stop    #0x2000
        move.l  IRQCNT+5*4,AFTER5
        move.l  #0xC0DEC0DE,MARKER
done:   stop    #0x2700
        bra.s   done

fault:  move.l  #0xDEADDEAD,MARKER
        stop    #0x2700
        bra.s   fault

| TRAP #0: TRAPSUM += d1, d0 = TRAPSUM.
syscall:
        add.l   %d1,TRAPSUM
        move.l  TRAPSUM,%d0
        rte

| TRAP #1: d0 = USP, d1 = the supervisor-only word.
uspview:
        move.l  %a0,-(%sp)
        move.l  %usp,%a0
        move.l  %a0,%d0
        move.l  (%sp)+,%a0
        move.w  SUPRAM,%d1
        move.w  %d1,SUPVAL+2
        rte

| TRAP #15: drop the frame and stay in supervisor mode.
tosuper:
        addq.l  #6,%sp
        bra     sup_main

| Privilege violation: skip the instruction (MOVE #imm,SR is 4 bytes,
| MOVE USP 2).
privilege:
        movem.l %d0/%a0,-(%sp)
        move.l  10(%sp),%a0
        move.w  (%a0)+,%d0
        cmp.w   #0x46FC,%d0
        bne.s   1f
        addq.l  #2,%a0
1:      move.l  %a0,10(%sp)
        addq.l  #1,PRIVCNT
        movem.l (%sp)+,%d0/%a0
        rte

irq0:   addq.l  #1,IRQCNT+0*4
        bra.s   irq_common
irq1:   addq.l  #1,IRQCNT+1*4
        bra.s   irq_common
irq2:   addq.l  #1,IRQCNT+2*4
        bra.s   irq_common
irq3:   addq.l  #1,IRQCNT+3*4
        bra.s   irq_common
irq4:   addq.l  #1,IRQCNT+4*4
        bra.s   irq_common
irq5:   addq.l  #1,IRQCNT+5*4
        bra.s   irq_common
irq6:   addq.l  #1,IRQCNT+6*4
        bra.s   irq_common
irq7:   addq.l  #1,IRQCNT+7*4
        bra.s   irq_common
vec64:  addq.l  #1,VEC64
irq_common:
        addq.l  #1,IRQTOTAL
        btst    #5,(%sp)                | S bit of the stacked SR (high byte)
        bne.s   1f
        addq.l  #1,IRQUSER
1:      rte
