// The 68000 opcode map, written once: every instruction form as the manual
// draws its opcode word, with its legal addressing modes, handler family and
// mnemonic. The core binds a handler to each word from these rows and the
// disassembler a line composer, through the same binder, so the two always
// agree on which words are instructions and how long they are.
#pragma once

#include <cstdint>

namespace m68k {

// The addressing modes of a 6-bit mode/register field.
enum Mode : int {
  kDn,       // 000 rrr
  kAn,       // 001 rrr
  kInd,      // 010 rrr  (An)
  kPostInc,  // 011 rrr  (An)+
  kPreDec,   // 100 rrr  -(An)
  kDisp,     // 101 rrr  d16(An)
  kIndex,    // 110 rrr  d8(An,Xn)
  kAbsW,     // 111 000
  kAbsL,     // 111 001
  kPcDisp,   // 111 010  d16(PC)
  kPcIndex,  // 111 011  d8(PC,Xn)
  kImm,      // 111 100
};
constexpr int kModeCount = 12;
constexpr int kNoMode = -1;

// The 6 bits of the field as the manual draws them, register bits free.
constexpr const char* kModeBits[kModeCount] = {"000---", "001---", "010---", "011---",
                                               "100---", "101---", "110---", "111000",
                                               "111001", "111010", "111011", "111100"};

// Mode classes of the manual, as masks of modes.
constexpr uint16_t modeBit(int m) {
  return uint16_t(1u << m);
}
constexpr uint16_t kAllModes = 0x0FFF;
constexpr uint16_t kDataModes = kAllModes & ~modeBit(kAn);
constexpr uint16_t kAlterableModes = 0x01FF;  // Dn to abs.L
constexpr uint16_t kDataAlterableModes = kAlterableModes & ~modeBit(kAn);
constexpr uint16_t kMemoryAlterableModes = kDataAlterableModes & ~modeBit(kDn);
constexpr uint16_t kControlModes = modeBit(kInd) | modeBit(kDisp) | modeBit(kIndex) |
                                   modeBit(kAbsW) | modeBit(kAbsL) | modeBit(kPcDisp) |
                                   modeBit(kPcIndex);
constexpr uint16_t kControlAlterableModes = kControlModes & kAlterableModes;

// Extension bytes the mode reads at a size.
constexpr int extensionBytes(int m, int sz) {
  switch (m) {
    case kDisp:
    case kIndex:
    case kAbsW:
    case kPcDisp:
    case kPcIndex:
      return 2;
    case kAbsL:
      return 4;
    case kImm:
      return sz == 4 ? 4 : 2;
    default:
      return 0;
  }
}

// Operations within a family (a row's variant).
enum ImmediateOp { kOri, kAndi, kSubi, kAddi, kEori, kCmpi };
enum BitOp { kBtst, kBchg, kBclr, kBset };
enum UnaryOp { kNegx, kClr, kNeg, kNot, kTst };
enum ArithOp { kAdd, kSub, kCmp };
enum LogicOp { kAnd, kOr, kEor };
// Shift type times two, plus one for the left direction.
enum ShiftOp { kAsr, kAsl, kLsr, kLsl, kRoxr, kRoxl, kRor, kRol };

// Handler families. The last ones are forms only the disassembler lists
// (68010 additions); the core leaves their words to the exception rows.
enum class Family : uint8_t {
  kImmediateToCcr,
  kImmediateToSr,
  kBitStatic,
  kBitDynamic,
  kMovepToRegister,
  kMovepToMemory,
  kImmediateToEa,
  kMoveAddress,
  kMove,
  kMoveFromSr,
  kMoveToCcr,
  kMoveToSr,
  kUnary,
  kNbcd,
  kSwap,
  kPea,
  kExt,
  kMovemToMemory,
  kMovemToRegisters,
  kTas,
  kChk,
  kLea,
  kTrap,
  kLink,
  kUnlk,
  kMoveToUsp,
  kMoveFromUsp,
  kReset,
  kNop,
  kStop,
  kRte,
  kRts,
  kTrapv,
  kRtr,
  kJsr,
  kJmp,
  kDbcc,
  kScc,
  kQuick,
  kBsr,
  kBcc,
  kMoveq,
  kDivide,
  kMultiply,
  kBcdRegister,
  kBcdMemory,
  kLogicToRegister,
  kLogicToEa,
  kArithAddress,
  kExtendedRegister,
  kExtendedMemory,
  kArithToRegister,
  kArithToMemory,
  kCmpm,
  kExgData,
  kExgAddress,
  kExgDataAddress,
  kShiftMemory,
  kShiftByCount,
  kShiftByRegister,
  kIllegal,    // the ILLEGAL instruction
  kException,  // words that raise an exception; the variant is its vector
  kMoves,
  kMoveFromCcr,
  kMovecToRegister,
  kMovecFromRegister,
};
// Every family, for the binder.
constexpr int kAnyFamily = -1;
constexpr bool isDisassemblerOnly(Family f) {
  return f >= Family::kMoves;
}

// Extension bytes of an immediate operand of the operation's size.
constexpr uint8_t kImmediateData = 0xFF;

// One instruction form. Pattern letters, from bit 15 down: 0 and 1 fixed;
// "ss" the size field (00 byte, 01 word, 10 long; a byte size never takes
// An); "eeeeee" the effective address, mode then register, limited to
// `modes`; "EEEEEE" MOVE's destination, drawn register then mode, limited to
// `destinations`; "cccc" the condition, which becomes the variant; anything
// else free. Blanks are ignored. The first row that claims a word decodes it.
struct OpcodeRow {
  const char* pattern;
  Family family;
  uint8_t variant;
  uint8_t size;       // operand size in bytes when no size field gives it (0: none)
  uint8_t extension;  // extension bytes besides the operands', or kImmediateData
  uint16_t modes;
  const char* mnemonic;
  uint16_t destinations = 0;
};

// pattern, family, variant, size, extension bytes, modes, mnemonic
inline constexpr OpcodeRow kOpcodeRows[] = {
    // Line 0: immediates to CCR and SR, bit operations, MOVEP, immediates
    {"0000 0000 0011 1100", Family::kImmediateToCcr, kOri, 1, 2, 0, "ORI"},
    {"0000 0000 0111 1100", Family::kImmediateToSr, kOri, 2, 2, 0, "ORI"},
    {"0000 0010 0011 1100", Family::kImmediateToCcr, kAndi, 1, 2, 0, "ANDI"},
    {"0000 0010 0111 1100", Family::kImmediateToSr, kAndi, 2, 2, 0, "ANDI"},
    {"0000 1010 0011 1100", Family::kImmediateToCcr, kEori, 1, 2, 0, "EORI"},
    {"0000 1010 0111 1100", Family::kImmediateToSr, kEori, 2, 2, 0, "EORI"},
    {"0000 1000 00ee eeee", Family::kBitStatic, kBtst, 1, 2, kDataModes, "BTST"},
    {"0000 1000 01ee eeee", Family::kBitStatic, kBchg, 1, 2, kDataAlterableModes, "BCHG"},
    {"0000 1000 10ee eeee", Family::kBitStatic, kBclr, 1, 2, kDataAlterableModes, "BCLR"},
    {"0000 1000 11ee eeee", Family::kBitStatic, kBset, 1, 2, kDataAlterableModes, "BSET"},
    {"0000 ---1 0000 1---", Family::kMovepToRegister, 0, 2, 2, 0, "MOVEP"},
    {"0000 ---1 0100 1---", Family::kMovepToRegister, 0, 4, 2, 0, "MOVEP"},
    {"0000 ---1 1000 1---", Family::kMovepToMemory, 0, 2, 2, 0, "MOVEP"},
    {"0000 ---1 1100 1---", Family::kMovepToMemory, 0, 4, 2, 0, "MOVEP"},
    {"0000 ---1 00ee eeee", Family::kBitDynamic, kBtst, 1, 0, kDataModes, "BTST"},
    {"0000 ---1 01ee eeee", Family::kBitDynamic, kBchg, 1, 0, kDataAlterableModes, "BCHG"},
    {"0000 ---1 10ee eeee", Family::kBitDynamic, kBclr, 1, 0, kDataAlterableModes, "BCLR"},
    {"0000 ---1 11ee eeee", Family::kBitDynamic, kBset, 1, 0, kDataAlterableModes, "BSET"},
    {"0000 0000 ssee eeee", Family::kImmediateToEa, kOri, 0, kImmediateData, kDataAlterableModes,
     "ORI"},
    {"0000 0010 ssee eeee", Family::kImmediateToEa, kAndi, 0, kImmediateData, kDataAlterableModes,
     "ANDI"},
    {"0000 0100 ssee eeee", Family::kImmediateToEa, kSubi, 0, kImmediateData, kDataAlterableModes,
     "SUBI"},
    {"0000 0110 ssee eeee", Family::kImmediateToEa, kAddi, 0, kImmediateData, kDataAlterableModes,
     "ADDI"},
    {"0000 1010 ssee eeee", Family::kImmediateToEa, kEori, 0, kImmediateData, kDataAlterableModes,
     "EORI"},
    {"0000 1100 ssee eeee", Family::kImmediateToEa, kCmpi, 0, kImmediateData, kDataAlterableModes,
     "CMPI"},
    {"0000 1110 ssee eeee", Family::kMoves, 0, 0, 2, kMemoryAlterableModes, "MOVES"},

    // Lines 1 to 3: MOVE (1 byte, 3 word, 2 long); MOVEA has no byte form
    {"0011 ---0 01ee eeee", Family::kMoveAddress, 0, 2, 0, kAllModes, "MOVEA.W"},
    {"0010 ---0 01ee eeee", Family::kMoveAddress, 0, 4, 0, kAllModes, "MOVEA.L"},
    {"0001 EEEE EEee eeee", Family::kMove, 0, 1, 0, kAllModes, "MOVE.B", kDataAlterableModes},
    {"0011 EEEE EEee eeee", Family::kMove, 0, 2, 0, kAllModes, "MOVE.W", kDataAlterableModes},
    {"0010 EEEE EEee eeee", Family::kMove, 0, 4, 0, kAllModes, "MOVE.L", kDataAlterableModes},

    // Line 4
    {"0100 0000 11ee eeee", Family::kMoveFromSr, 0, 2, 0, kDataAlterableModes, "MOVE"},
    {"0100 0010 11ee eeee", Family::kMoveFromCcr, 0, 2, 0, kDataAlterableModes, "MOVE"},
    {"0100 0100 11ee eeee", Family::kMoveToCcr, 0, 2, 0, kDataModes, "MOVE"},
    {"0100 0110 11ee eeee", Family::kMoveToSr, 0, 2, 0, kDataModes, "MOVE"},
    {"0100 0000 ssee eeee", Family::kUnary, kNegx, 0, 0, kDataAlterableModes, "NEGX"},
    {"0100 0010 ssee eeee", Family::kUnary, kClr, 0, 0, kDataAlterableModes, "CLR"},
    {"0100 0100 ssee eeee", Family::kUnary, kNeg, 0, 0, kDataAlterableModes, "NEG"},
    {"0100 0110 ssee eeee", Family::kUnary, kNot, 0, 0, kDataAlterableModes, "NOT"},
    {"0100 1000 00ee eeee", Family::kNbcd, 0, 1, 0, kDataAlterableModes, "NBCD.B"},
    {"0100 1000 0100 0---", Family::kSwap, 0, 4, 0, 0, "SWAP"},
    {"0100 1000 01ee eeee", Family::kPea, 0, 4, 0, kControlModes, "PEA"},
    {"0100 1000 1000 0---", Family::kExt, 0, 2, 0, 0, "EXT.W"},
    {"0100 1000 1100 0---", Family::kExt, 0, 4, 0, 0, "EXT.L"},
    {"0100 1000 10ee eeee", Family::kMovemToMemory, 0, 2, 2,
     kControlAlterableModes | modeBit(kPreDec), "MOVEM"},
    {"0100 1000 11ee eeee", Family::kMovemToMemory, 0, 4, 2,
     kControlAlterableModes | modeBit(kPreDec), "MOVEM"},
    {"0100 1100 10ee eeee", Family::kMovemToRegisters, 0, 2, 2, kControlModes | modeBit(kPostInc),
     "MOVEM"},
    {"0100 1100 11ee eeee", Family::kMovemToRegisters, 0, 4, 2, kControlModes | modeBit(kPostInc),
     "MOVEM"},
    {"0100 1010 11ee eeee", Family::kTas, 0, 1, 0, kDataAlterableModes, "TAS.B"},
    {"0100 1010 ssee eeee", Family::kUnary, kTst, 0, 0, kDataAlterableModes, "TST"},
    {"0100 ---1 10ee eeee", Family::kChk, 0, 2, 0, kDataModes, "CHK.W"},
    {"0100 ---1 11ee eeee", Family::kLea, 0, 4, 0, kControlModes, "LEA"},
    {"0100 1110 0100 ----", Family::kTrap, 0, 0, 0, 0, "TRAP"},
    {"0100 1110 0101 0---", Family::kLink, 0, 2, 2, 0, "LINK"},
    {"0100 1110 0101 1---", Family::kUnlk, 0, 4, 0, 0, "UNLK"},
    {"0100 1110 0110 0---", Family::kMoveToUsp, 0, 4, 0, 0, "MOVE"},
    {"0100 1110 0110 1---", Family::kMoveFromUsp, 0, 4, 0, 0, "MOVE"},
    {"0100 1110 0111 0000", Family::kReset, 0, 0, 0, 0, "RESET"},
    {"0100 1110 0111 0001", Family::kNop, 0, 0, 0, 0, "NOP"},
    {"0100 1110 0111 0010", Family::kStop, 0, 0, 2, 0, "STOP"},
    {"0100 1110 0111 0011", Family::kRte, 0, 0, 0, 0, "RTE"},
    {"0100 1110 0111 0101", Family::kRts, 0, 0, 0, 0, "RTS"},
    {"0100 1110 0111 0110", Family::kTrapv, 0, 0, 0, 0, "TRAPV"},
    {"0100 1110 0111 0111", Family::kRtr, 0, 0, 0, 0, "RTR"},
    {"0100 1110 0111 1010", Family::kMovecToRegister, 0, 4, 2, 0, "MOVEC"},
    {"0100 1110 0111 1011", Family::kMovecFromRegister, 0, 4, 2, 0, "MOVEC"},
    {"0100 1110 10ee eeee", Family::kJsr, 0, 4, 0, kControlModes, "JSR"},
    {"0100 1110 11ee eeee", Family::kJmp, 0, 4, 0, kControlModes, "JMP"},

    // Line 5: DBcc and Scc in the size-11 slot, ADDQ and SUBQ
    {"0101 cccc 1100 1---", Family::kDbcc, 0, 0, 2, 0, "DB"},
    {"0101 cccc 11ee eeee", Family::kScc, 0, 1, 0, kDataAlterableModes, "S"},
    {"0101 ---0 ssee eeee", Family::kQuick, kAdd, 0, 0, kAlterableModes, "ADDQ"},
    {"0101 ---1 ssee eeee", Family::kQuick, kSub, 0, 0, kAlterableModes, "SUBQ"},

    // Line 6: a zero displacement byte announces a displacement word; BSR
    // takes the place of condition F
    {"0110 0001 0000 0000", Family::kBsr, 0, 2, 2, 0, "BSR"},
    {"0110 0001 ---- ----", Family::kBsr, 0, 1, 0, 0, "BSR"},
    {"0110 cccc 0000 0000", Family::kBcc, 0, 2, 2, 0, "B"},
    {"0110 cccc ---- ----", Family::kBcc, 0, 1, 0, 0, "B"},

    // Line 7
    {"0111 ---0 ---- ----", Family::kMoveq, 0, 4, 0, 0, "MOVEQ"},

    // Line 8
    {"1000 ---0 11ee eeee", Family::kDivide, 0, 2, 0, kDataModes, "DIVU.W"},
    {"1000 ---1 11ee eeee", Family::kDivide, 1, 2, 0, kDataModes, "DIVS.W"},
    {"1000 ---1 0000 0---", Family::kBcdRegister, kSub, 1, 0, 0, "SBCD.B"},
    {"1000 ---1 0000 1---", Family::kBcdMemory, kSub, 1, 0, 0, "SBCD.B"},
    {"1000 ---0 ssee eeee", Family::kLogicToRegister, kOr, 0, 0, kDataModes, "OR"},
    {"1000 ---1 ssee eeee", Family::kLogicToEa, kOr, 0, 0, kMemoryAlterableModes, "OR"},

    // Line 9
    {"1001 ---0 11ee eeee", Family::kArithAddress, kSub, 2, 0, kAllModes, "SUBA.W"},
    {"1001 ---1 11ee eeee", Family::kArithAddress, kSub, 4, 0, kAllModes, "SUBA.L"},
    {"1001 ---1 ss00 0---", Family::kExtendedRegister, kSub, 0, 0, 0, "SUBX"},
    {"1001 ---1 ss00 1---", Family::kExtendedMemory, kSub, 0, 0, 0, "SUBX"},
    {"1001 ---0 ssee eeee", Family::kArithToRegister, kSub, 0, 0, kAllModes, "SUB"},
    {"1001 ---1 ssee eeee", Family::kArithToMemory, kSub, 0, 0, kMemoryAlterableModes, "SUB"},

    // Line B
    {"1011 ---0 11ee eeee", Family::kArithAddress, kCmp, 2, 0, kAllModes, "CMPA.W"},
    {"1011 ---1 11ee eeee", Family::kArithAddress, kCmp, 4, 0, kAllModes, "CMPA.L"},
    {"1011 ---1 ss00 1---", Family::kCmpm, 0, 0, 0, 0, "CMPM"},
    {"1011 ---0 ssee eeee", Family::kArithToRegister, kCmp, 0, 0, kAllModes, "CMP"},
    {"1011 ---1 ssee eeee", Family::kLogicToEa, kEor, 0, 0, kDataAlterableModes, "EOR"},

    // Line C
    {"1100 ---0 11ee eeee", Family::kMultiply, 0, 2, 0, kDataModes, "MULU.W"},
    {"1100 ---1 11ee eeee", Family::kMultiply, 1, 2, 0, kDataModes, "MULS.W"},
    {"1100 ---1 0000 0---", Family::kBcdRegister, kAdd, 1, 0, 0, "ABCD.B"},
    {"1100 ---1 0000 1---", Family::kBcdMemory, kAdd, 1, 0, 0, "ABCD.B"},
    {"1100 ---1 0100 0---", Family::kExgData, 0, 4, 0, 0, "EXG"},
    {"1100 ---1 0100 1---", Family::kExgAddress, 0, 4, 0, 0, "EXG"},
    {"1100 ---1 1000 1---", Family::kExgDataAddress, 0, 4, 0, 0, "EXG"},
    {"1100 ---0 ssee eeee", Family::kLogicToRegister, kAnd, 0, 0, kDataModes, "AND"},
    {"1100 ---1 ssee eeee", Family::kLogicToEa, kAnd, 0, 0, kMemoryAlterableModes, "AND"},

    // Line D
    {"1101 ---0 11ee eeee", Family::kArithAddress, kAdd, 2, 0, kAllModes, "ADDA.W"},
    {"1101 ---1 11ee eeee", Family::kArithAddress, kAdd, 4, 0, kAllModes, "ADDA.L"},
    {"1101 ---1 ss00 0---", Family::kExtendedRegister, kAdd, 0, 0, 0, "ADDX"},
    {"1101 ---1 ss00 1---", Family::kExtendedMemory, kAdd, 0, 0, 0, "ADDX"},
    {"1101 ---0 ssee eeee", Family::kArithToRegister, kAdd, 0, 0, kAllModes, "ADD"},
    {"1101 ---1 ssee eeee", Family::kArithToMemory, kAdd, 0, 0, kMemoryAlterableModes, "ADD"},

    // Line E: memory forms (one word, one bit), then register forms by an
    // immediate count (0 meaning 8) or by a count in Dn
    {"1110 0000 11ee eeee", Family::kShiftMemory, kAsr, 2, 0, kMemoryAlterableModes, "ASR.W"},
    {"1110 0001 11ee eeee", Family::kShiftMemory, kAsl, 2, 0, kMemoryAlterableModes, "ASL.W"},
    {"1110 0010 11ee eeee", Family::kShiftMemory, kLsr, 2, 0, kMemoryAlterableModes, "LSR.W"},
    {"1110 0011 11ee eeee", Family::kShiftMemory, kLsl, 2, 0, kMemoryAlterableModes, "LSL.W"},
    {"1110 0100 11ee eeee", Family::kShiftMemory, kRoxr, 2, 0, kMemoryAlterableModes, "ROXR.W"},
    {"1110 0101 11ee eeee", Family::kShiftMemory, kRoxl, 2, 0, kMemoryAlterableModes, "ROXL.W"},
    {"1110 0110 11ee eeee", Family::kShiftMemory, kRor, 2, 0, kMemoryAlterableModes, "ROR.W"},
    {"1110 0111 11ee eeee", Family::kShiftMemory, kRol, 2, 0, kMemoryAlterableModes, "ROL.W"},
    {"1110 ---0 ss00 0---", Family::kShiftByCount, kAsr, 0, 0, 0, "ASR"},
    {"1110 ---1 ss00 0---", Family::kShiftByCount, kAsl, 0, 0, 0, "ASL"},
    {"1110 ---0 ss00 1---", Family::kShiftByCount, kLsr, 0, 0, 0, "LSR"},
    {"1110 ---1 ss00 1---", Family::kShiftByCount, kLsl, 0, 0, 0, "LSL"},
    {"1110 ---0 ss01 0---", Family::kShiftByCount, kRoxr, 0, 0, 0, "ROXR"},
    {"1110 ---1 ss01 0---", Family::kShiftByCount, kRoxl, 0, 0, 0, "ROXL"},
    {"1110 ---0 ss01 1---", Family::kShiftByCount, kRor, 0, 0, 0, "ROR"},
    {"1110 ---1 ss01 1---", Family::kShiftByCount, kRol, 0, 0, 0, "ROL"},
    {"1110 ---0 ss10 0---", Family::kShiftByRegister, kAsr, 0, 0, 0, "ASR"},
    {"1110 ---1 ss10 0---", Family::kShiftByRegister, kAsl, 0, 0, 0, "ASL"},
    {"1110 ---0 ss10 1---", Family::kShiftByRegister, kLsr, 0, 0, 0, "LSR"},
    {"1110 ---1 ss10 1---", Family::kShiftByRegister, kLsl, 0, 0, 0, "LSL"},
    {"1110 ---0 ss11 0---", Family::kShiftByRegister, kRoxr, 0, 0, 0, "ROXR"},
    {"1110 ---1 ss11 0---", Family::kShiftByRegister, kRoxl, 0, 0, 0, "ROXL"},
    {"1110 ---0 ss11 1---", Family::kShiftByRegister, kRor, 0, 0, 0, "ROR"},
    {"1110 ---1 ss11 1---", Family::kShiftByRegister, kRol, 0, 0, 0, "ROL"},

    // Words no instruction claims: ILLEGAL itself, lines A and F, the rest
    {"0100 1010 1111 1100", Family::kIllegal, 4, 0, 0, 0, "ILLEGAL"},
    {"1010 ---- ---- ----", Family::kException, 10, 0, 0, 0, nullptr},
    {"1111 ---- ---- ----", Family::kException, 11, 0, 0, 0, nullptr},
    {"---- ---- ---- ----", Family::kException, 4, 0, 0, 0, nullptr},
};
inline constexpr int kOpcodeRowCount = sizeof kOpcodeRows / sizeof kOpcodeRows[0];
static_assert(kOpcodeRowCount < 0xFF, "row numbers fit a byte");

// Whether the row's pattern has the field of that letter.
constexpr bool hasField(const OpcodeRow& row, char letter) {
  for (const char* p = row.pattern; *p; ++p) {
    if (*p == letter) return true;
  }
  return false;
}
// Whether a form of the row at size sz takes mode m in its effective-address
// field, and mode d in its destination field.
constexpr bool allowsMode(const OpcodeRow& row, int sz, int m) {
  return (row.modes & modeBit(m)) && !(m == kAn && sz == 1 && hasField(row, 's'));
}
constexpr bool allowsDestination(const OpcodeRow& row, int d) {
  return row.destinations & modeBit(d);
}

// One concrete form of a row: its size, condition and addressing modes
// chosen, with the opcode bits they fix and the instruction's length in bytes
// (opcode word and extensions).
struct OpcodeForm {
  int row;
  int variant;
  int size;
  int mode;         // kNoMode without an effective-address field
  int destination;  // kNoMode without a destination field
  uint16_t fixedMask, fixedBits;
  int length;
};

// Calls visit(form, context) for every form of the rows of `family` (of every
// row when family is kAnyFamily), in table order. With validModesOnly the
// effective-address field takes only the row's legal modes; otherwise it
// takes all 64 values, as mode and register fields (mode is then kNoMode
// and length counts the opcode word only) — the disassembler shows any mode.
void forEachOpcodeForm(bool validModesOnly, int family, void (*visit)(const OpcodeForm&, void*),
                       void* context);

// Hands take(word) every word of the form that no earlier row holds in
// rowOfWord (0xFF: none), and marks it as the form's.
template <class Take>
void claimOpcodeWords(const OpcodeForm& form, uint8_t* rowOfWord, Take&& take) {
  const uint32_t freeMask = ~uint32_t(form.fixedMask) & 0xFFFF;
  uint32_t free = 0;
  do {
    const uint32_t word = form.fixedBits | free;
    if (form.row < rowOfWord[word]) {
      rowOfWord[word] = uint8_t(form.row);
      take(word);
    }
    free = (free - freeMask) & freeMask;
  } while (free != 0);
}

// The same with a lambda.
template <class Visit>
void forEachOpcodeForm(bool validModesOnly, int family, Visit&& visit) {
  forEachOpcodeForm(
      validModesOnly, family, [](const OpcodeForm& f, void* c) { (*static_cast<Visit*>(c))(f); },
      &visit);
}

}  // namespace m68k
