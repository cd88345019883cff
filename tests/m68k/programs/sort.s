| Checksum and sort: builds two pseudo-random arrays, checksums them, sorts
| them (recursive quicksort of signed longs, insertion sort of signed words),
| checks the order itself and leaves a marker and the figures in RAM for the
| host to compare.
|
| Map: ROM 0x000000-0x00ffff, RAM 0x100000-0x10ffff, stack from 0x110000.

        .equ    RAM,      0x100000
        .equ    MARKER,   RAM+0x00      | 0x600DC0DE, or 0xBAD00000 + disorder count
        .equ    CSUML,    RAM+0x04      | checksum of the longs before sorting
        .equ    CSUMLS,   RAM+0x08      | checksum of the longs after sorting
        .equ    CSUMW,    RAM+0x0c      | checksum of the words before sorting
        .equ    CSUMWS,   RAM+0x10      | checksum of the words after sorting
        .equ    SUMHI,    RAM+0x14      | 64-bit signed sum of the longs
        .equ    SUMLO,    RAM+0x18
        .equ    POPCNT,   RAM+0x1c      | set bits in all longs
        .equ    QSUM,     RAM+0x20      | sum of word / 7 (DIVS quotients)
        .equ    RSUM,     RAM+0x24      | sum of word % 7 (DIVS remainders)
        .equ    USUM,     RAM+0x28      | sum of unsigned word % 1000 (DIVU)
        .equ    MSUM,     RAM+0x2c      | sum of word[i] * word[i+1] (MULS)
        .equ    BCDUP,    RAM+0x30      | BCD count of the elements (ABCD)
        .equ    BCDDOWN,  RAM+0x34      | 1000 minus that count in BCD (SBCD)
        .equ    LONGS,    RAM+0x100
        .equ    WORDS,    RAM+0x800
        .equ    NLONG,    200
        .equ    NWORD,    150

        .text
        .long   0x00110000              | initial SSP
        .long   start                   | initial PC
        .rept   254
        .long   fault
        .endr

start:
        | Longs: xorshift32 from 0x2545F491.
        move.l  #0x2545F491,%d0
        lea     LONGS,%a0
        move.w  #NLONG-1,%d7
1:      move.l  %d0,%d1
        lsl.l   #8,%d1
        lsl.l   #5,%d1
        eor.l   %d1,%d0
        move.l  %d0,%d1
        moveq   #17,%d2
        lsr.l   %d2,%d1
        eor.l   %d1,%d0
        move.l  %d0,%d1
        lsl.l   #5,%d1
        eor.l   %d1,%d0
        move.l  %d0,(%a0)+
        dbra    %d7,1b

        | Words: 16-bit LCG s = s * 25173 + 13849 from 0x1234.
        move.w  #0x1234,%d0
        lea     WORDS,%a0
        move.w  #NWORD-1,%d7
2:      mulu.w  #25173,%d0
        add.w   #13849,%d0
        move.w  %d0,(%a0)+
        dbra    %d7,2b

        lea     LONGS,%a0
        move.l  #NLONG,%d1
        jsr     csum_longs
        move.l  %d0,CSUML
        lea     WORDS,%a0
        move.w  #NWORD,%d1
        bsr     csum_words
        move.l  %d0,CSUMW

        | Sort.
        pea     LONGS+4*(NLONG-1)
        pea     LONGS
        bsr     qsort
        addq.l  #8,%sp
        lea     WORDS,%a0
        move.w  #NWORD,%d1
        lea     isort_words,%a1
        jsr     (%a1)

        | Check the order: d6 counts pairs out of order.
        moveq   #0,%d6
        lea     LONGS,%a0
        move.w  #NLONG-2,%d7
3:      move.l  (%a0)+,%d0
        cmp.l   (%a0),%d0
        ble.s   4f
        addq.l  #1,%d6
4:      dbra    %d7,3b
        lea     WORDS,%a0
        move.w  #NWORD-2,%d7
5:      move.w  (%a0)+,%d0
        cmp.w   (%a0),%d0
        sgt     %d1
        neg.b   %d1
        ext.w   %d1
        ext.l   %d1
        add.l   %d1,%d6
        dbra    %d7,5b

        lea     LONGS,%a0
        move.l  #NLONG,%d1
        bsr     csum_longs
        move.l  %d0,CSUMLS
        lea     WORDS,%a0
        move.w  #NWORD,%d1
        bsr     csum_words
        move.l  %d0,CSUMWS

        | 64-bit signed sum of the longs (ADD/ADDX).
        lea     LONGS,%a0
        move.w  #NLONG-1,%d7
        moveq   #0,%d4
        moveq   #0,%d5
6:      move.l  (%a0)+,%d0
        smi     %d1
        ext.w   %d1
        ext.l   %d1
        add.l   %d0,%d5
        addx.l  %d1,%d4
        dbra    %d7,6b
        movem.l %d4-%d5,SUMHI

        | Set bits, shifted out into X and added with ADDX.
        lea     LONGS,%a0
        move.w  #NLONG-1,%d7
        moveq   #0,%d3
        moveq   #0,%d2
7:      move.l  (%a0)+,%d0
        moveq   #31,%d1
8:      lsr.l   #1,%d0
        addx.l  %d2,%d3
        dbra    %d1,8b
        dbra    %d7,7b
        move.l  %d3,POPCNT

        | Signed and unsigned division and signed multiplication of the words.
        lea     WORDS,%a0
        move.w  #NWORD-1,%d7
        moveq   #0,%d4
        moveq   #0,%d5
        moveq   #0,%d3
9:      move.w  (%a0)+,%d0
        ext.l   %d0
        divs.w  #7,%d0
        move.w  %d0,%d1
        ext.l   %d1
        add.l   %d1,%d4
        swap    %d0
        ext.l   %d0
        add.l   %d0,%d5
        moveq   #0,%d0
        move.w  -2(%a0),%d0
        move.w  #1000,%d2
        divu.w  %d2,%d0
        clr.w   %d0
        swap    %d0
        add.l   %d0,%d3
        dbra    %d7,9b
        move.l  %d4,QSUM
        move.l  %d5,RSUM
        move.l  %d3,USUM
        lea     WORDS,%a0
        move.w  #NWORD-2,%d7
        moveq   #0,%d5
10:     move.w  (%a0)+,%d0
        muls.w  (%a0),%d0
        add.l   %d0,%d5
        dbra    %d7,10b
        move.l  %d5,MSUM

        | Decimal counting: up with ABCD, down from 1000 with SBCD.
        moveq   #0,%d0
        moveq   #0,%d1
        moveq   #0,%d2
        moveq   #1,%d3
        move.w  #0x0010,%d4             | 1000 as BCD bytes 0x10 0x00
        moveq   #0,%d5
        move.w  #NLONG+NWORD-1,%d7
11:     move.w  #0,%ccr
        abcd    %d3,%d0
        abcd    %d2,%d1
        move.w  #0,%ccr
        sbcd    %d3,%d5
        sbcd    %d2,%d4
        dbra    %d7,11b
        lsl.w   #8,%d1
        move.b  %d0,%d1
        move.l  %d1,BCDUP
        lsl.w   #8,%d4
        move.b  %d5,%d4
        and.l   #0xffff,%d4
        move.l  %d4,BCDDOWN

        move.l  #0x600DC0DE,%d0
        tst.l   %d6
        beq.s   12f
        move.l  #0xBAD00000,%d0
        add.l   %d6,%d0
12:     move.l  %d0,MARKER
done:   stop    #0x2700
        bra.s   done

fault:  move.l  #0xDEADDEAD,MARKER
        stop    #0x2700
        bra.s   fault

| d0 = checksum of d1 longs at a0: c = (rol(c, 5) ^ v) + i.
csum_longs:
        movem.l %d2-%d3/%a0,-(%sp)
        moveq   #0,%d0
        moveq   #0,%d2
1:      rol.l   #5,%d0
        move.l  (%a0)+,%d3
        eor.l   %d3,%d0
        add.l   %d2,%d0
        addq.l  #1,%d2
        cmp.l   %d1,%d2
        blt.s   1b
        movem.l (%sp)+,%d2-%d3/%a0
        rts

| d0 = checksum of d1.w unsigned words at a0: c = c * 31 + w, from 7.
csum_words:
        movem.l %d1/%d3/%a0,-(%sp)
        moveq   #7,%d0
1:      move.l  %d0,%d3
        lsl.l   #5,%d0
        sub.l   %d3,%d0
        moveq   #0,%d3
        move.w  (%a0)+,%d3
        add.l   %d3,%d0
        subq.w  #1,%d1
        bne.s   1b
        movem.l (%sp)+,%d1/%d3/%a0
        rts

| qsort(long *lo, long *hi): signed ascending, inclusive bounds, Lomuto
| partition around the last element.
qsort:
        link    %a6,#0
        movem.l %d0-%d2/%a0-%a3,-(%sp)
        move.l  8(%a6),%a0
        move.l  12(%a6),%a1
        cmp.l   %a1,%a0
        bcc.s   9f
        move.l  (%a1),%d0
        move.l  %a0,%a2
        move.l  %a0,%a3
1:      cmp.l   %a1,%a3
        bcc.s   3f
        move.l  (%a3),%d1
        cmp.l   %d0,%d1
        bge.s   2f
        move.l  (%a2),%d2
        move.l  %d1,(%a2)+
        move.l  %d2,(%a3)
2:      addq.l  #4,%a3
        bra.s   1b
3:      move.l  (%a2),%d2
        move.l  (%a1),(%a2)
        move.l  %d2,(%a1)
        lea     -4(%a2),%a3
        move.l  %a3,-(%sp)
        move.l  %a0,-(%sp)
        bsr.s   qsort
        addq.l  #8,%sp
        pea     (%a1)
        pea     4(%a2)
        bsr.s   qsort
        addq.l  #8,%sp
9:      movem.l (%sp)+,%d0-%d2/%a0-%a3
        unlk    %a6
        rts

| Insertion sort of d1.w signed words at a0.
isort_words:
        moveq   #1,%d2
1:      cmp.w   %d1,%d2
        bge.s   9f
        move.w  %d2,%d3
        add.w   %d3,%d3
        move.w  0(%a0,%d3.w),%d4
        move.w  %d2,%d5
2:      tst.w   %d5
        beq.s   3f
        move.w  %d5,%d3
        add.w   %d3,%d3
        move.w  -2(%a0,%d3.w),%d6
        cmp.w   %d4,%d6
        ble.s   3f
        move.w  %d6,0(%a0,%d3.w)
        subq.w  #1,%d5
        bra.s   2b
3:      move.w  %d5,%d3
        add.w   %d3,%d3
        move.w  %d4,0(%a0,%d3.w)
        addq.w  #1,%d2
        bra.s   1b
9:      rts
