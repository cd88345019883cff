| User mode, traps and interrupts: the supervisor drops to user mode with
| RTE; the user loop keeps a running sum through TRAP #0 while the host raises
| interrupts that each handler counts, until 40 have come. TRAP #1 returns
| to supervisor mode, which waits in STOP #0x2000 for level 5.
        .equ    RAM,      0x100000
        .equ    MARKER,   RAM+0x00      | 0xC0DEC0DE at the end, 0xDEADDEAD on a stray exception
        .equ    IRQCNT,   RAM+0x08      | 8 longs: [0] spurious, [n] autovector level n
        .equ    IRQUSER,  RAM+0x2c      | interrupts taken in user mode
        .equ    IRQTOTAL, RAM+0x30      | all interrupts
        .equ    TRAPSUM,  RAM+0x34      | TRAP #0 running sum
        .long   0x00110000, start   | then 2-23 to fault, interrupts, TRAP #0 and #1
        .rept   22
        .long   fault
        .endr
        .long   irq0, irq1, irq2, irq3, irq4, irq5, irq6, irq7, syscall, tosuper

start:  move.l  #0x10c000,%a0
        move.l  %a0,%usp
        pea     user
        move.w  #0x0000,-(%sp)          | user mode, mask 0
        rte

user:   moveq   #0,%d6                  | iterations
        moveq   #0,%d5                  | the running sum, checked against TRAP #0's
1:      addq.l  #1,%d6
        add.l   %d6,%d5
        move.l  %d6,%d1
        trap    #0
        cmp.l   %d5,%d0
        bne.s   fault
        cmp.l   #40,IRQTOTAL
        blt.s   1b
        trap    #1

tosuper:
        stop    #0x2000
        move.l  #0xC0DEC0DE,MARKER
        bra.s   done
fault:  move.l  #0xDEADDEAD,MARKER
done:   stop    #0x2700
        bra.s   done

syscall:                                | TRAP #0: d0 = TRAPSUM += d1
        add.l   %d1,TRAPSUM
        move.l  TRAPSUM,%d0
        rte

        .irp    n,0,1,2,3,4,5,6,7
irq\n:  addq.l  #1,IRQCNT+\n*4
        bra     1f
        .endr
1:      addq.l  #1,IRQTOTAL
        btst    #5,(%sp)                | S of the stacked SR
        bne.s   2f
        addq.l  #1,IRQUSER
2:      rte
