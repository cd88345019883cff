// Lines and lengths of single instructions, written out by hand from the
// instruction set's encodings.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "m68k/disasm/disasm.h"

namespace {

struct Case {
  std::vector<uint16_t> words;
  const char* text;
  int length;
};

// Disassembles exactly the words given at address 0x1000.
void expectCases(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    char line[disasmLineSize];
    int length = disassemble68kBounded(c.words.data(), c.words.size(), line, 0x1000);
    char first[8];
    snprintf(first, sizeof first, "%04X", c.words[0]);
    EXPECT_EQ(std::string(line), c.text) << "opcode " << first;
    EXPECT_EQ(length, c.length) << "opcode " << first;
    int unbounded = disassemble68k(c.words.data(), line, 0x1000);
    EXPECT_EQ(std::string(line), c.text) << "opcode " << first << " (unbounded)";
    EXPECT_EQ(unbounded, c.length) << "opcode " << first << " (unbounded)";
  }
}

TEST(DisassemblerExamples, ReferenceTable) {
  expectCases({
      {{0x4E71}, "NOP", 2},
      {{0x0000, 0x0012}, "ORI.B    #$12,D0", 4},
      {{0x003C, 0x0012}, "ORI      #$12,CCR", 4},
      {{0x0680, 0x1234, 0x5678}, "ADDI.L   #$12345678,D0", 6},
      {{0x48E7, 0xFFFE}, "MOVEM.L  D0-D7/A0-A6,-(A7)", 4},
      {{0x4CDF, 0x7FFF}, "MOVEM.L  (A7)+,D0-D7/A0-A6", 4},
      {{0x4890, 0x0000}, "MOVEM.W  ,(A0)", 4},
      {{0x6000, 0x0006}, "BRA      *+$8 [1008]", 4},
      {{0x60FE}, "BRA.S    *-$0 [1000]", 2},
      {{0x6700, 0xFFF0}, "BEQ      *-$E [FF2]", 4},
      {{0x51C8, 0x0006}, "DBF      D0,*+$8 [1008]", 4},
      {{0x51C8, 0xFFFA}, "DBF      D0,*-$4 [FFC]", 4},
      {{0x7001}, "MOVEQ    #$1,D0", 2},
      {{0x70FF}, "MOVEQ    #$-1,D0", 2},
      {{0x50C0}, "ST .B    D0", 2},
      {{0xD0B0, 0x1002}, "ADD.L    ($2,A0,D1.W),D0", 4},
      {{0xD0B0, 0x9882}, "ADD.L    (-$7E,A0,A1.L),D0", 4},
      {{0x4E4F}, "TRAP     #$F", 2},
      {{0x4E60}, "MOVE     A0,USP", 2},
      {{0x4E72, 0x2700}, "STOP", 4},
      {{0x4E7A, 0x0801}, "MOVEC    VBR,D0", 4},
      {{0x4E7A, 0x0002}, "MOVEC    ???,D0", 4},
      {{0x4AFC, 0x0000}, "TAS.B    #$0", 4},
      {{0x4E74}, "DC.W     $4E74", 2},
      {{0xA000}, "DC.W     $A000", 2},
      {{0x4E80}, "JSR      D0", 2},
      {{0xE188}, "LSL.L    #8,D0", 2},
      {{0xE3D0}, "LSL.W    #1,(A0)", 2},
  });
}

TEST(DisassemblerExamples, Line0) {
  expectCases({
      {{0x007C, 0x2700}, "ORI      #$2700,SR", 4},
      {{0x023C, 0x00FE}, "ANDI     #$FE,CCR", 4},
      {{0x027C, 0xF8FF}, "ANDI     #$F8FF,SR", 4},
      {{0x0A3C, 0x0001}, "EORI     #$1,CCR", 4},
      {{0x0A7C, 0x8000}, "EORI     #$8000,SR", 4},
      // The immediate byte is the low byte of its word.
      {{0x0439, 0xAB12, 0x00FF, 0x0000}, "SUBI.B   #$12,$FF0000", 8},
      {{0x0668, 0x8000, 0x0010}, "ADDI.W   #$8000,($10,A0)", 6},
      {{0x0CB9, 0x0001, 0x0002, 0x0003, 0x0004}, "CMPI.L   #$10002,$30004", 10},
      // No CCR or SR form for SUBI, and none at long size for ORI.
      {{0x043C, 0x0012, 0x0012}, "SUBI.B   #$12,#$12", 6},
      {{0x00BC, 0x0000, 0x0001, 0x0002, 0x0003}, "ORI.L    #$1,#$20003", 10},
      {{0x00C0}, "DC.W     $C0", 2},
      {{0x0CC0}, "DC.W     $CC0", 2},
      {{0x0800, 0x0107}, "BTST     #$7,D0", 4},
      {{0x0850, 0x001F}, "BCHG     #$1F,(A0)", 4},
      {{0x08A8, 0x0003, 0xFFFE}, "BCLR     #$3,(-$2,A0)", 6},
      {{0x08FC, 0x0001, 0x1234}, "BSET     #$1,#$1234", 6},
      {{0x0300}, "BTST     D1,D0", 2},
      {{0x0F58}, "BCHG     D7,(A0)+", 2},
      {{0x0BA0}, "BCLR     D5,-(A0)", 2},
      {{0x01FC, 0x00FF}, "BSET     D0,#$FF", 4},
      {{0x0109, 0x0010}, "MOVEP.W  ($10,A1),D0", 4},
      {{0x0349, 0xFFFE}, "MOVEP.L  ($FFFE,A1),D1", 4},
      {{0x0589, 0x0000}, "MOVEP.W  D2,($0,A1)", 4},
      {{0x07CF, 0x7FFF}, "MOVEP.L  D3,($7FFF,A7)", 4},
      {{0x0E10, 0x1000}, "MOVES.B  (A0),D1", 4},
      {{0x0E50, 0xA000}, "MOVES.W  (A0),A2", 4},
      {{0x0E90, 0x3800}, "MOVES.L  D3,(A0)", 4},
      {{0x0EB9, 0xC800, 0x0012, 0x3456}, "MOVES.L  A4,$123456", 8},
      {{0x0EC0}, "DC.W     $EC0", 2},
  });
}

TEST(DisassemblerExamples, Move) {
  expectCases({
      {{0x1200}, "MOVE.B   D0,D1", 2},
      {{0x3E3C, 0x1234}, "MOVE.W   #$1234,D7", 4},
      {{0x21FC, 0x1234, 0x5678, 0x8000}, "MOVE.L   #$12345678,$8000", 8},
      {{0x23F9, 0x0001, 0x0002, 0x0003, 0x0004}, "MOVE.L   $10002,$30004", 10},
      {{0x1D7A, 0xFFFC, 0x0002}, "MOVE.B   (-$4,PC),($2,A6)", 6},
      {{0x3AFB, 0xA8FF}, "MOVE.W   (-$1,PC,A2.L),(A5)+", 4},
      {{0x3040}, "MOVEA.W  D0,A0", 2},
      {{0x2C79, 0x00FF, 0x0000}, "MOVEA.L  $FF0000,A6", 6},
      {{0x1040}, "DC.W     $1040", 2},
      // Destination mode 7 register 2 to 7: no destination text exists.
      {{0x35C0}, "DC.W     $35C0", 2},
      {{0x2FC0}, "DC.W     $2FC0", 2},
      // The source is not validated.
      {{0x303D}, "MOVE.W   ???,D0", 2},
  });
}

TEST(DisassemblerExamples, Line4) {
  expectCases({
      {{0x40C0}, "MOVE     SR,D0", 2},
      {{0x42D0}, "MOVE     CCR,(A0)", 2},
      {{0x44FC, 0x001F}, "MOVE     #$1F,CCR", 4},
      {{0x46FC, 0x2700}, "MOVE     #$2700,SR", 4},
      {{0x4001}, "NEGX.B   D1", 2},
      {{0x4279, 0x00FF, 0xF000}, "CLR.W    $FFF000", 6},
      {{0x4498}, "NEG.L    (A0)+", 2},
      {{0x4657}, "NOT.W    (A7)", 2},
      {{0x4800}, "NBCD.B   D0", 2},
      {{0x4847}, "SWAP     D7", 2},
      {{0x487A, 0x0010}, "PEA      ($10,PC)", 4},
      {{0x4881}, "EXT.W    D1", 2},
      {{0x48C2}, "EXT.L    D2", 2},
      {{0x48A7, 0xC000}, "MOVEM.W  D0-D1,-(A7)", 4},
      {{0x48D0, 0x0300}, "MOVEM.L  A0-A1,(A0)", 4},
      {{0x48F9, 0x8181, 0x0000, 0x1000}, "MOVEM.L  D0/D7/A0/A7,$1000", 8},
      {{0x4C98, 0x00FF}, "MOVEM.W  (A0)+,D0-D7", 4},
      {{0x4CFA, 0x5555, 0xFFF0}, "MOVEM.L  (-$10,PC),D0/D2/D4/D6/A0/A2/A4/A6", 6},
      {{0x4CBC, 0x0001, 0x1234}, "MOVEM.W  #$1234,D0", 6},
      {{0x4CC0, 0x0001}, "MOVEM.L  D0,D0", 4},  // the mode is not validated
      {{0x4C00}, "DC.W     $4C00", 2},
      {{0x4A00}, "TST.B    D0", 2},
      {{0x4AB9, 0x0000, 0x1000}, "TST.L    $1000", 6},
      {{0x4AD0}, "TAS.B    (A0)", 2},
      {{0x4390}, "CHK.W    (A0),D1", 2},
      {{0x4FBC, 0x1234}, "CHK.W    #$1234,D7", 4},
      {{0x41F9, 0x0012, 0x3456}, "LEA      $123456,A0", 6},
      {{0x4FEF, 0x0004}, "LEA      ($4,A7),A7", 4},
      {{0x4E40}, "TRAP     #$0", 2},
      {{0x4E56, 0xFFF8}, "LINK     A6,#$FFF8", 4},
      {{0x4E5E}, "UNLK     A6", 2},
      {{0x4E6F}, "MOVE     USP,A7", 2},
      {{0x4E70}, "RESET", 2},
      {{0x4E73}, "RTE", 2},
      {{0x4E75}, "RTS", 2},
      {{0x4E76}, "TRAPV", 2},
      {{0x4E77}, "RTR", 2},
      {{0x4E7A, 0x9000}, "MOVEC    SFC,A1", 4},
      {{0x4E7B, 0x2001}, "MOVEC    D2,DFC", 4},
      {{0x4E7B, 0xF800}, "MOVEC    A7,USP", 4},
      {{0x4E78}, "DC.W     $4E78", 2},
      {{0x4E00}, "DC.W     $4E00", 2},
      {{0x4EB9, 0x0000, 0x1234}, "JSR      $1234", 6},
      {{0x4ED0}, "JMP      (A0)", 2},
      {{0x4EFB, 0x0006}, "JMP      ($6,PC,D0.W)", 4},
  });
}

TEST(DisassemblerExamples, Lines5To7) {
  expectCases({
      {{0x5240}, "ADDQ.W   #1,D0", 2},
      {{0x5088}, "ADDQ.L   #8,A0", 2},
      {{0x5F39, 0x00FF, 0x0000}, "SUBQ.B   #7,$FF0000", 6},
      {{0x5380}, "SUBQ.L   #1,D0", 2},
      {{0x57C9, 0xFFFE}, "DBEQ     D1,*-$0 [1000]", 4},
      {{0x50CF, 0x0000}, "DBT      D7,*+$2 [1002]", 4},
      {{0x56C8, 0x7FFE}, "DBNE     D0,*+$8000 [9000]", 4},
      {{0x5EC0}, "SGT.B    D0", 2},
      {{0x51D0}, "SF .B    (A0)", 2},
      {{0x5FF9, 0x0000, 0x1000}, "SLE.B    $1000", 6},
      {{0x6100, 0x0100}, "BSR      *+$102 [1102]", 4},
      {{0x6104}, "BSR.S    *+$6 [1006]", 2},
      {{0x6206}, "BHI.S    *+$8 [1008]", 2},
      {{0x6380}, "BLS.S    *-$7E [F82]", 2},
      {{0x6D00, 0x8000}, "BLT      *-$7FFE [FFFF9002]", 4},
      {{0x6F00, 0x0000}, "BLE      *+$2 [1002]", 4},
      {{0x7E7F}, "MOVEQ    #$7F,D7", 2},
      {{0x7280}, "MOVEQ    #$-80,D1", 2},
      {{0x7100}, "DC.W     $7100", 2},
  });
}

TEST(DisassemblerExamples, TwoOperandLines) {
  expectCases({
      {{0x8041}, "OR.W     D1,D0", 2},
      {{0x8350}, "OR.W     D1,(A0)", 2},
      {{0x80C1}, "DIVU.W   D1,D0", 2},
      {{0x81FC, 0x0010}, "DIVS.W   #$10,D0", 4},
      {{0x8300}, "SBCD.B   D0,D1", 2},
      {{0x8308}, "SBCD.B   -(A0),-(A1)", 2},
      {{0x8340}, "OR.W     D1,D0", 2},
      {{0x9280}, "SUB.L    D0,D1", 2},
      {{0x93C8}, "SUBA.L   A0,A1", 2},
      {{0x90FC, 0x0002}, "SUBA.W   #$2,A0", 4},
      {{0x9381}, "SUBX.L   D1,D1", 2},
      {{0x9149}, "SUBX.W   -(A1),-(A0)", 2},
      {{0x9310}, "SUB.B    D1,(A0)", 2},
      {{0xB23C, 0x0041}, "CMP.B    #$41,D1", 4},
      {{0xB0C8}, "CMPA.W   A0,A0", 2},
      {{0xB1FC, 0x0001, 0x0000}, "CMPA.L   #$10000,A0", 6},
      {{0xB549}, "CMPM.W   (A1)+,(A2)+", 2},
      {{0xB540}, "EOR.W    D2,D0", 2},
      {{0xB398}, "EOR.L    D1,(A0)+", 2},
      {{0xC240}, "AND.W    D0,D1", 2},
      {{0xC0FC, 0x000A}, "MULU.W   #$A,D0", 4},
      {{0xC3C2}, "MULS.W   D2,D1", 2},
      {{0xC300}, "ABCD.B   D0,D1", 2},
      {{0xC308}, "ABCD.B   -(A0),-(A1)", 2},
      {{0xC141}, "EXG      D0,D1", 2},
      {{0xC34F}, "EXG      A1,A7", 2},
      {{0xC389}, "EXG      D1,A1", 2},
      {{0xC380}, "AND.L    D1,D0", 2},  // no EXG form at long size with mode 0
      {{0xC150}, "AND.W    D0,(A0)", 2},
      {{0xD27C, 0x0100}, "ADD.W    #$100,D1", 4},
      {{0xD1C0}, "ADDA.L   D0,A0", 2},
      {{0xD0C8}, "ADDA.W   A0,A0", 2},
      {{0xD101}, "ADDX.B   D1,D0", 2},
      {{0xD38A}, "ADDX.L   -(A2),-(A1)", 2},
      {{0xD190}, "ADD.L    D0,(A0)", 2},
  });
}

TEST(DisassemblerExamples, ShiftsAndRotates) {
  expectCases({
      {{0xE200}, "ASR.B    #1,D0", 2},
      {{0xE541}, "ASL.W    #2,D1", 2},
      {{0xE0A8}, "LSR.L    D0,D0", 2},
      {{0xEF6F}, "LSL.W    D7,D7", 2},
      {{0xE810}, "ROXR.B   #4,D0", 2},
      {{0xE332}, "ROXL.B   D1,D2", 2},
      {{0xE098}, "ROR.L    #8,D0", 2},
      {{0xE5BF}, "ROL.L    D2,D7", 2},
      {{0xE0D0}, "ASR.W    #1,(A0)", 2},
      {{0xE1F9, 0x0000, 0x1000}, "ASL.W    #1,$1000", 6},
      {{0xE2E8, 0x0002}, "LSR.W    #1,($2,A0)", 4},
      {{0xE4D0}, "ROXR.W   #1,(A0)", 2},
      {{0xE5D0}, "ROXL.W   #1,(A0)", 2},
      {{0xE6D0}, "ROR.W    #1,(A0)", 2},
      {{0xE7D0}, "ROL.W    #1,(A0)", 2},
      {{0xE8C0}, "DC.W     $E8C0", 2},
      {{0xFFFF}, "DC.W     $FFFF", 2},
  });
}

// A branch at an address near the top wraps to a 32-bit target.
TEST(DisassemblerExamples, BranchTargetsAre32Bit) {
  const uint16_t back[] = {0x60FC};  // displacement -4
  char line[disasmLineSize];
  EXPECT_EQ(disassemble68k(back, line, 0), 2);
  EXPECT_STREQ(line, "BRA.S    *-$2 [FFFFFFFE]");
  // Displacement -1: the printed distance is -(-1 + 2) as an unsigned number.
  const uint16_t odd[] = {0x66FF};
  EXPECT_EQ(disassemble68k(odd, line, 0x1000), 2);
  EXPECT_STREQ(line, "BNE.S    *-$FFFFFFFF [1001]");
  const uint16_t top[] = {0x6100, 0x7FFE};
  EXPECT_EQ(disassemble68k(top, line, 0xFFFFFE), 4);
  EXPECT_STREQ(line, "BSR      *+$8000 [1007FFE]");
}

// The words past those given are absent: the instruction becomes data.
TEST(DisassemblerBounded, CutShortInstructionIsData) {
  const std::vector<uint16_t> words = {0x23F9, 0x0001, 0x0002, 0x0003, 0x0004};
  char line[disasmLineSize];
  for (size_t count = 1; count < words.size(); count++) {
    std::vector<uint16_t> given(words.begin(), words.begin() + count);
    EXPECT_EQ(disassemble68kBounded(given.data(), given.size(), line, 0), 2) << count;
    EXPECT_STREQ(line, "DC.W     $23F9") << count;
  }
  std::vector<uint16_t> all = words;
  EXPECT_EQ(disassemble68kBounded(all.data(), all.size(), line, 0), 10);
  EXPECT_STREQ(line, "MOVE.L   $10002,$30004");
  // More words than needed change nothing.
  all.push_back(0x4E71);
  EXPECT_EQ(disassemble68kBounded(all.data(), all.size(), line, 0), 10);
  EXPECT_STREQ(line, "MOVE.L   $10002,$30004");
}

TEST(DisassemblerBounded, NoWordsStillAdvances) {
  char line[disasmLineSize];
  EXPECT_EQ(disassemble68kBounded(nullptr, 0, line, 0), 2);
  EXPECT_STREQ(line, "???");
}

// The longest line: a MOVEM with the longest register list and an indexed
// operand fills the buffer exactly.
TEST(DisassemblerBounded, LongestLineFits) {
  const uint16_t words[] = {0x48F0, 0xDBDB, 0xF880};
  char line[disasmLineSize + 8];
  memset(line, 'x', sizeof line);
  EXPECT_EQ(disassemble68k(words, line, 0), 6);
  EXPECT_STREQ(line, "MOVEM.L  D0-D1/D3-D4/D6-D7/A0-A1/A3-A4/A6-A7,(-$80,A0,A7.L)");
  EXPECT_EQ(strlen(line), disasmLineSize - 1);
}

}  // namespace
