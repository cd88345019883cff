| User mode, traps and interrupts. The supervisor drops to user mode with
| RTE; the user loop calls TRAP #0 (a running sum kept by the supervisor),
| tries a privileged instruction (skipped by its handler) and reads RAM the
| user map lacks, while the host raises interrupts that each handler counts.
| TRAP #15 then returns to supervisor mode for good: with the mask at 7 it
| waits for level 7 while the host leaves level 3 pending, lowers the mask to
| take level 3, and waits in STOP #0x2000 for level 5.
        .equ    RAM,      0x100000
        .equ    MARKER,   RAM+0x00      | 0xC0DEC0DE at the end, 0xDEADDEAD on a stray exception
        .equ    PHASE,    RAM+0x04      | 1 waiting for level 7, 2 about to stop
        .equ    IRQCNT,   RAM+0x08      | 8 longs: [0] spurious, [n] autovector level n
        .equ    VEC64,    RAM+0x28      | interrupts through vector 64
        .equ    IRQUSER,  RAM+0x2c      | interrupts taken in user mode
        .equ    TRAPSUM,  RAM+0x30      | TRAP #0 running sum
        .equ    PRIVCNT,  RAM+0x34      | privilege violations
        .equ    ITER,     RAM+0x38      | user loop iterations
        .equ    BADCNT,   RAM+0x3c      | checks the user program failed
        .equ    SNAP3,    RAM+0x40      | level-3 count under mask 7, then after lowering it
        .equ    IRQTOTAL, RAM+0x44      | all interrupts
        .equ    SUPRAM,   0x200000      | supervisor-only RAM
        .equ    USTACK,   0x10c000

        .long   0x00110000, start, fault, fault, fault, fault, fault, fault, privilege
        .rept   15
        .long   fault                   | 9-23
        .endr
        .long   irq0, irq1, irq2, irq3, irq4, irq5, irq6, irq7, syscall
        .rept   14
        .long   fault                   | 33-46
        .endr
        .long   tosuper                 | 47: TRAP #15
        .rept   16
        .long   fault                   | 48-63
        .endr
        .long   vec64

start:  move.w  #0x5A5A,SUPRAM
        move.l  #USTACK,%a0
        move.l  %a0,%usp
        pea     user
        move.w  #0x0000,-(%sp)          | user mode, mask 0
        rte

user:   moveq   #0,%d6                  | iterations
        moveq   #0,%d5                  | the running sum kept here
1:      addq.l  #1,%d6
        add.l   %d6,%d5
        move.l  %d6,%d1
        trap    #0
        cmp.l   %d5,%d0
        bne.s   2f
        cmp.w   #-1,SUPRAM              | all ones: the user map does not hold it
        beq.s   3f
2:      addq.l  #1,BADCNT
3:      moveq   #15,%d0
        and.w   %d6,%d0
        bne.s   4f
        move.w  #0x2700,%sr             | privileged: skipped by the handler
4:      cmp.l   #40,IRQTOTAL
        blt.s   1b
        move.l  %d6,ITER
        trap    #15

tosuper:
        move.w  #0x2700,%sr
        move.l  #1,PHASE
1:      tst.l   IRQCNT+7*4
        beq.s   1b
        move.w  IRQCNT+3*4+2,SNAP3
        move.w  #0x2200,%sr             | the pending level 3 is taken right here
        move.w  IRQCNT+3*4+2,SNAP3+2
        move.l  #2,PHASE
        stop    #0x2000
        move.l  #0xC0DEC0DE,MARKER
done:   stop    #0x2700
        bra.s   done

fault:  move.l  #0xDEADDEAD,MARKER
        bra.s   done

syscall:                                | TRAP #0: d0 = TRAPSUM += d1
        add.l   %d1,TRAPSUM
        move.l  TRAPSUM,%d0
        rte

privilege:                              | skip the 4-byte MOVE #imm,SR
        addq.l  #4,2(%sp)
        addq.l  #1,PRIVCNT
        rte

        .irp    n,0,1,2,3,4,5,6,7
irq\n:  addq.l  #1,IRQCNT+\n*4
        bra.s   1f
        .endr
vec64:  addq.l  #1,VEC64
1:      addq.l  #1,IRQTOTAL
        btst    #5,(%sp)                | S of the stacked SR
        bne.s   2f
        addq.l  #1,IRQUSER
2:      rte
