| A short program for the disassembler tool's listing; the last word starts a
| JSR whose address lies past the image's end.
start:  move.l  #0x12345678,%d0
        lea     16(%a0),%a1
        movem.l %d0-%d7/%a0-%a6,-(%sp)
loop:   addq.w  #1,%d1
        dbf     %d0,loop
        bra.s   start
        jsr     0x12345
        move.b  (-2,%a0,%d1.w),%d2
        rts
        .word   0xa000
        nop
        .word   0x4eb9
