// The instruction table: every opcode word bound, through the first row of
// its pattern, to the handler that composes its line.
#include <array>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "m68k/disasm/disasm.h"
#include "m68k/disasm/operands.h"

namespace {

struct Row;

// One instruction being decoded.
struct Decoding {
  uint16_t opcode;
  WordReader words;  // the extension words after the opcode
  uint32_t address;
  const Row& row;
  char* out;
};

using Handler = void (*)(Decoding&);

constexpr int unsized = -1;

// A row of the table: an opcode pattern drawn from bit 15 down ('0' and '1'
// fixed, any other letter a field bit, blanks ignored), its handler, the
// mnemonic, the operand size (0: taken from the size field in bits 7-6, whose
// suffix is then appended; `unsized` for operations without one) and, for
// some handlers, a fixed operand text or operand format.
struct Row {
  const char* pattern;
  Handler handler;
  const char* name = nullptr;
  int size = 0;
  const char* text = nullptr;
};

// ---- Fields of the opcode word ------------------------------------------------
int eaField(uint16_t op) {
  return op & 0x3F;
}
int eaMode(uint16_t op) {
  return op >> 3 & 7;
}
int regX(uint16_t op) {
  return op >> 9 & 7;
}
int regY(uint16_t op) {
  return op & 7;
}
int sizeField(uint16_t op) {
  return op >> 6 & 3;
}
int condition(uint16_t op) {
  return op >> 8 & 15;
}

constexpr int sizeBytes[4] = {byteSize, wordSize, longSize, 0};
constexpr const char* sizeSuffix[4] = {".B", ".W", ".L", ""};

constexpr const char* conditionNames[16] = {"T ", "F ", "HI", "LS", "CC", "CS", "NE", "EQ",
                                            "VC", "VS", "PL", "MI", "GE", "LT", "GT", "LE"};

// MOVEC control registers, by the low 12 bits of the extension word.
struct ControlRegister {
  uint16_t code;
  const char* name;
};
constexpr ControlRegister controlRegisters[] = {
    {0x000, "SFC"}, {0x001, "DFC"}, {0x800, "USP"}, {0x801, "VBR"}};

const char* controlRegisterName(uint16_t extension) {
  for (const ControlRegister& reg : controlRegisters) {
    if (reg.code == (extension & 0xFFF)) return reg.name;
  }
  return "???";
}

// Register named by bits 15-12 of an extension word (MOVES, MOVEC).
struct ExtensionRegister {
  char kind;
  int number;
};
ExtensionRegister extensionRegister(uint16_t extension) {
  return {extension & 0x8000 ? 'A' : 'D', extension >> 12 & 7};
}

int rowSize(const Decoding& d) {
  return d.row.size ? d.row.size : sizeBytes[sizeField(d.opcode)];
}
const char* rowSuffix(const Decoding& d) {
  return d.row.size ? "" : sizeSuffix[sizeField(d.opcode)];
}

// ---- Composing the line -------------------------------------------------------
// Mnemonic and suffix padded to 9 characters, then the operands.
void emitList(Decoding& d, const char* mnemonic, const char* suffix, const char* operands,
              va_list args) {
  char head[16];
  snprintf(head, sizeof head, "%s%s", mnemonic, suffix);
  int used = snprintf(d.out, disasmLineSize, "%-9s", head);
  vsnprintf(d.out + used, disasmLineSize - used, operands, args);
}

__attribute__((format(printf, 4, 5))) void emit(Decoding& d, const char* mnemonic,
                                                const char* suffix, const char* operands, ...) {
  va_list args;
  va_start(args, operands);
  emitList(d, mnemonic, suffix, operands, args);
  va_end(args);
}

// The row's mnemonic, with the size suffix when the row takes its size from
// the size field.
__attribute__((format(printf, 2, 3))) void emitRow(Decoding& d, const char* operands, ...) {
  va_list args;
  va_start(args, operands);
  emitList(d, d.row.name, rowSuffix(d), operands, args);
  va_end(args);
}

void dataWord(Decoding& d) {
  snprintf(d.out, disasmLineSize, "DC.W     $%X", d.opcode);
}

void bare(Decoding& d) {
  snprintf(d.out, disasmLineSize, "%s", d.row.name);
}

// STOP's immediate word is consumed, not shown.
void stop(Decoding& d) {
  d.words.next();
  bare(d);
}

// ---- Line 0 -------------------------------------------------------------------
void immediateToEa(Decoding& d) {
  uint32_t value = readImmediate(d.words, rowSize(d));
  emitRow(d, "#$%X,%s", value, formatOperand(eaField(d.opcode), d.words, rowSize(d)));
}

void immediateToStatus(Decoding& d) {
  emitRow(d, "#$%X,%s", readImmediate(d.words, d.row.size), d.row.text);
}

void bitNumberToEa(Decoding& d) {
  unsigned bit = d.words.next() & 0xFF;
  emitRow(d, "#$%X,%s", bit, formatOperand(eaField(d.opcode), d.words, wordSize));
}

void bitRegisterToEa(Decoding& d) {
  emitRow(d, "D%d,%s", regX(d.opcode), formatOperand(eaField(d.opcode), d.words, wordSize));
}

// MOVEP: bit 7 direction (1 register to memory), bit 6 size (1 long).
void movep(Decoding& d) {
  unsigned displacement = d.words.next();
  const char* suffix = d.opcode & 0x40 ? ".L" : ".W";
  if (d.opcode & 0x80) {
    emit(d, d.row.name, suffix, "D%d,($%X,A%d)", regX(d.opcode), displacement, regY(d.opcode));
  } else {
    emit(d, d.row.name, suffix, "($%X,A%d),D%d", displacement, regY(d.opcode), regX(d.opcode));
  }
}

// MOVES: extension bit 11 set = register to memory.
void moves(Decoding& d) {
  uint16_t extension = d.words.next();
  ExtensionRegister reg = extensionRegister(extension);
  const char* ea = formatOperand(eaField(d.opcode), d.words, rowSize(d));
  if (extension & 0x0800) {
    emitRow(d, "%c%d,%s", reg.kind, reg.number, ea);
  } else {
    emitRow(d, "%s,%c%d", ea, reg.kind, reg.number);
  }
}

// ---- Lines 1 to 3 -------------------------------------------------------------
// The destination field has its register in bits 11-9 and its mode in 8-6.
void move(Decoding& d) {
  int destination = (d.opcode >> 3 & 0x38) | regX(d.opcode);
  if (destination >> 3 == 7 && (destination & 7) >= 2) return dataWord(d);
  const char* source = formatOperand(eaField(d.opcode), d.words, d.row.size);
  emitRow(d, "%s,%s", source, formatOperand(destination, d.words, d.row.size));
}

// ---- Operand shapes shared by several lines ------------------------------------
void ea(Decoding& d) {
  emitRow(d, "%s", formatOperand(eaField(d.opcode), d.words, rowSize(d)));
}

void eaToDataX(Decoding& d) {
  emitRow(d, "%s,D%d", formatOperand(eaField(d.opcode), d.words, rowSize(d)), regX(d.opcode));
}

void eaToAddressX(Decoding& d) {
  emitRow(d, "%s,A%d", formatOperand(eaField(d.opcode), d.words, rowSize(d)), regX(d.opcode));
}

void dataXToEa(Decoding& d) {
  emitRow(d, "D%d,%s", regX(d.opcode), formatOperand(eaField(d.opcode), d.words, rowSize(d)));
}

void statusToEa(Decoding& d) {
  emitRow(d, "%s,%s", d.row.text, formatOperand(eaField(d.opcode), d.words, d.row.size));
}

void eaToStatus(Decoding& d) {
  emitRow(d, "%s,%s", formatOperand(eaField(d.opcode), d.words, d.row.size), d.row.text);
}

// The row's text is the operand format; y is named first (ABCD, ADDX, CMPM).
void registersYX(Decoding& d) {
  emitRow(d, d.row.text, regY(d.opcode), regX(d.opcode));
}

// x is named first (EXG).
void registersXY(Decoding& d) {
  emitRow(d, d.row.text, regX(d.opcode), regY(d.opcode));
}

// The row's text is the operand format of register y (SWAP, EXT, UNLK, USP).
void registerY(Decoding& d) {
  emitRow(d, d.row.text, regY(d.opcode));
}

// ---- Line 4 -------------------------------------------------------------------
// MOVEM: the mask word comes before the operand's extensions; bit 6 is the
// size (1 long).
int movemSize(uint16_t op) {
  return op & 0x40 ? longSize : wordSize;
}
const char* movemSuffix(uint16_t op) {
  return op & 0x40 ? ".L" : ".W";
}

void movemToMemory(Decoding& d) {
  uint16_t mask = d.words.next();
  char list[registerListSize];
  if (eaMode(d.opcode) == 4) {
    formatRegisterListPredecrement(list, mask);
  } else {
    formatRegisterList(list, mask);
  }
  emit(d, d.row.name, movemSuffix(d.opcode), "%s,%s", list,
       formatOperand(eaField(d.opcode), d.words, movemSize(d.opcode)));
}

void movemToRegisters(Decoding& d) {
  uint16_t mask = d.words.next();
  char list[registerListSize];
  formatRegisterList(list, mask);
  emit(d, d.row.name, movemSuffix(d.opcode), "%s,%s",
       formatOperand(eaField(d.opcode), d.words, movemSize(d.opcode)), list);
}

void trap(Decoding& d) {
  emitRow(d, "#$%X", d.opcode & 15u);
}

void link(Decoding& d) {
  emitRow(d, "A%d,#$%X", regY(d.opcode), d.words.next());
}

void movecToRegister(Decoding& d) {
  uint16_t extension = d.words.next();
  ExtensionRegister reg = extensionRegister(extension);
  emitRow(d, "%s,%c%d", controlRegisterName(extension), reg.kind, reg.number);
}

void movecFromRegister(Decoding& d) {
  uint16_t extension = d.words.next();
  ExtensionRegister reg = extensionRegister(extension);
  emitRow(d, "%c%d,%s", reg.kind, reg.number, controlRegisterName(extension));
}

// ---- Lines 5 to 7 -------------------------------------------------------------
// ADDQ/SUBQ data in bits 11-9, 0 meaning 8.
void quickToEa(Decoding& d) {
  int data = regX(d.opcode) ? regX(d.opcode) : 8;
  emitRow(d, "#%d,%s", data, formatOperand(eaField(d.opcode), d.words, rowSize(d)));
}

void decrementAndBranch(Decoding& d) {
  char mnemonic[8];
  snprintf(mnemonic, sizeof mnemonic, "DB%s", conditionNames[condition(d.opcode)]);
  char target[branchOperandSize];
  formatBranchOperand(target, d.address, static_cast<int16_t>(d.words.next()));
  emit(d, mnemonic, "", "D%d,%s", regY(d.opcode), target);
}

void setOnCondition(Decoding& d) {
  char mnemonic[8];
  snprintf(mnemonic, sizeof mnemonic, "S%s", conditionNames[condition(d.opcode)]);
  emit(d, mnemonic, ".B", "%s", formatOperand(eaField(d.opcode), d.words, byteSize));
}

// Conditions 0 and 1 are BRA and BSR; a zero displacement byte announces a
// displacement word.
constexpr const char* branchNames[2] = {"BRA", "BSR"};

void branch(Decoding& d) {
  char mnemonic[8];
  int cond = condition(d.opcode);
  snprintf(mnemonic, sizeof mnemonic, "%s%s", cond < 2 ? branchNames[cond] : "B",
           cond < 2 ? "" : conditionNames[cond]);
  int32_t displacement = static_cast<int8_t>(d.opcode & 0xFF);
  const char* suffix = ".S";
  if (displacement == 0) {
    displacement = static_cast<int16_t>(d.words.next());
    suffix = "";
  }
  char target[branchOperandSize];
  formatBranchOperand(target, d.address, displacement);
  emit(d, mnemonic, suffix, "%s", target);
}

// The data byte is shown with its sign after the "$".
void moveQuick(Decoding& d) {
  unsigned data = d.opcode & 0xFF;
  if (data & 0x80) {
    emitRow(d, "#$-%X,D%d", 256 - data, regX(d.opcode));
  } else {
    emitRow(d, "#$%X,D%d", data, regX(d.opcode));
  }
}

// ---- Line E -------------------------------------------------------------------
// Register forms: bit 5 set counts by D x, clear by the immediate x (0 = 8).
void shiftRegister(Decoding& d) {
  if (d.opcode & 0x20) {
    emitRow(d, "D%d,D%d", regX(d.opcode), regY(d.opcode));
  } else {
    emitRow(d, "#%d,D%d", regX(d.opcode) ? regX(d.opcode) : 8, regY(d.opcode));
  }
}

// Memory forms shift one word by one bit.
void shiftMemory(Decoding& d) {
  emitRow(d, "#1,%s", formatOperand(eaField(d.opcode), d.words, wordSize));
}

// ---- The table ----------------------------------------------------------------
// The first row whose pattern matches an opcode word decodes it; words that
// no row matches (lines A and F among them) are data.
// Letters: s size, t bit operation / MOVEP form, M R effective address,
// x y registers, c condition, q quick data, d direction, i count kind,
// w MOVEM size, v vector, n MOVEQ data.
constexpr Row rows[] = {
    // Line 0: immediates to CCR and SR, bit operations, MOVEP, MOVES
    {"0000 0000 0011 1100", immediateToStatus, "ORI", byteSize, "CCR"},
    {"0000 0000 0111 1100", immediateToStatus, "ORI", wordSize, "SR"},
    {"0000 0010 0011 1100", immediateToStatus, "ANDI", byteSize, "CCR"},
    {"0000 0010 0111 1100", immediateToStatus, "ANDI", wordSize, "SR"},
    {"0000 1010 0011 1100", immediateToStatus, "EORI", byteSize, "CCR"},
    {"0000 1010 0111 1100", immediateToStatus, "EORI", wordSize, "SR"},
    {"0000 1000 00MM MRRR", bitNumberToEa, "BTST", wordSize},
    {"0000 1000 01MM MRRR", bitNumberToEa, "BCHG", wordSize},
    {"0000 1000 10MM MRRR", bitNumberToEa, "BCLR", wordSize},
    {"0000 1000 11MM MRRR", bitNumberToEa, "BSET", wordSize},
    {"0000 xxx1 tt00 1yyy", movep, "MOVEP"},
    {"0000 xxx1 00MM MRRR", bitRegisterToEa, "BTST", wordSize},
    {"0000 xxx1 01MM MRRR", bitRegisterToEa, "BCHG", wordSize},
    {"0000 xxx1 10MM MRRR", bitRegisterToEa, "BCLR", wordSize},
    {"0000 xxx1 11MM MRRR", bitRegisterToEa, "BSET", wordSize},
    {"0000 xxx0 11MM MRRR", dataWord},
    {"0000 0000 ssMM MRRR", immediateToEa, "ORI"},
    {"0000 0010 ssMM MRRR", immediateToEa, "ANDI"},
    {"0000 0100 ssMM MRRR", immediateToEa, "SUBI"},
    {"0000 0110 ssMM MRRR", immediateToEa, "ADDI"},
    {"0000 1010 ssMM MRRR", immediateToEa, "EORI"},
    {"0000 1100 ssMM MRRR", immediateToEa, "CMPI"},
    {"0000 1110 ssMM MRRR", moves, "MOVES"},

    // Lines 1 to 3: MOVE (1 byte, 3 word, 2 long); no byte MOVEA
    {"0001 xxx0 01MM MRRR", dataWord},
    {"0011 xxx0 01MM MRRR", eaToAddressX, "MOVEA.W", wordSize},
    {"0010 xxx0 01MM MRRR", eaToAddressX, "MOVEA.L", longSize},
    {"0001 xxxm mmMM MRRR", move, "MOVE.B", byteSize},
    {"0011 xxxm mmMM MRRR", move, "MOVE.W", wordSize},
    {"0010 xxxm mmMM MRRR", move, "MOVE.L", longSize},

    // Line 4
    {"0100 0000 11MM MRRR", statusToEa, "MOVE", wordSize, "SR"},
    {"0100 0010 11MM MRRR", statusToEa, "MOVE", wordSize, "CCR"},
    {"0100 0100 11MM MRRR", eaToStatus, "MOVE", wordSize, "CCR"},
    {"0100 0110 11MM MRRR", eaToStatus, "MOVE", wordSize, "SR"},
    {"0100 0000 ssMM MRRR", ea, "NEGX"},
    {"0100 0010 ssMM MRRR", ea, "CLR"},
    {"0100 0100 ssMM MRRR", ea, "NEG"},
    {"0100 0110 ssMM MRRR", ea, "NOT"},
    {"0100 1000 00MM MRRR", ea, "NBCD.B", byteSize},
    {"0100 1000 0100 0yyy", registerY, "SWAP", wordSize, "D%d"},
    {"0100 1000 01MM MRRR", ea, "PEA", longSize},
    {"0100 1000 1000 0yyy", registerY, "EXT.W", wordSize, "D%d"},
    {"0100 1000 1100 0yyy", registerY, "EXT.L", longSize, "D%d"},
    {"0100 1000 1wMM MRRR", movemToMemory, "MOVEM"},
    {"0100 1100 1wMM MRRR", movemToRegisters, "MOVEM"},
    {"0100 1010 11MM MRRR", ea, "TAS.B", byteSize},
    {"0100 1010 ssMM MRRR", ea, "TST"},
    {"0100 xxx1 10MM MRRR", eaToDataX, "CHK.W", wordSize},
    {"0100 xxx1 11MM MRRR", eaToAddressX, "LEA", longSize},
    {"0100 1110 0100 vvvv", trap, "TRAP", unsized},
    {"0100 1110 0101 0yyy", link, "LINK", wordSize},
    {"0100 1110 0101 1yyy", registerY, "UNLK", longSize, "A%d"},
    {"0100 1110 0110 0yyy", registerY, "MOVE", longSize, "A%d,USP"},
    {"0100 1110 0110 1yyy", registerY, "MOVE", longSize, "USP,A%d"},
    {"0100 1110 0111 0000", bare, "RESET"},
    {"0100 1110 0111 0001", bare, "NOP"},
    {"0100 1110 0111 0010", stop, "STOP"},
    {"0100 1110 0111 0011", bare, "RTE"},
    {"0100 1110 0111 0101", bare, "RTS"},
    {"0100 1110 0111 0110", bare, "TRAPV"},
    {"0100 1110 0111 0111", bare, "RTR"},
    {"0100 1110 0111 1010", movecToRegister, "MOVEC", longSize},
    {"0100 1110 0111 1011", movecFromRegister, "MOVEC", longSize},
    {"0100 1110 10MM MRRR", ea, "JSR", longSize},
    {"0100 1110 11MM MRRR", ea, "JMP", longSize},

    // Line 5: DBcc and Scc in the size-11 slot, ADDQ and SUBQ
    {"0101 cccc 1100 1yyy", decrementAndBranch},
    {"0101 cccc 11MM MRRR", setOnCondition},
    {"0101 qqq0 ssMM MRRR", quickToEa, "ADDQ"},
    {"0101 qqq1 ssMM MRRR", quickToEa, "SUBQ"},

    // Lines 6 and 7
    {"0110 cccc nnnn nnnn", branch},
    {"0111 xxx0 nnnn nnnn", moveQuick, "MOVEQ", longSize},

    // Line 8
    {"1000 xxx0 11MM MRRR", eaToDataX, "DIVU.W", wordSize},
    {"1000 xxx1 11MM MRRR", eaToDataX, "DIVS.W", wordSize},
    {"1000 xxx1 0000 0yyy", registersYX, "SBCD.B", byteSize, "D%d,D%d"},
    {"1000 xxx1 0000 1yyy", registersYX, "SBCD.B", byteSize, "-(A%d),-(A%d)"},
    {"1000 xxx0 ssMM MRRR", eaToDataX, "OR"},
    {"1000 xxx1 ssMM MRRR", dataXToEa, "OR"},

    // Line 9
    {"1001 xxx0 11MM MRRR", eaToAddressX, "SUBA.W", wordSize},
    {"1001 xxx1 11MM MRRR", eaToAddressX, "SUBA.L", longSize},
    {"1001 xxx1 ss00 0yyy", registersYX, "SUBX", 0, "D%d,D%d"},
    {"1001 xxx1 ss00 1yyy", registersYX, "SUBX", 0, "-(A%d),-(A%d)"},
    {"1001 xxx0 ssMM MRRR", eaToDataX, "SUB"},
    {"1001 xxx1 ssMM MRRR", dataXToEa, "SUB"},

    // Line B
    {"1011 xxx0 11MM MRRR", eaToAddressX, "CMPA.W", wordSize},
    {"1011 xxx1 11MM MRRR", eaToAddressX, "CMPA.L", longSize},
    {"1011 xxx1 ss00 1yyy", registersYX, "CMPM", 0, "(A%d)+,(A%d)+"},
    {"1011 xxx0 ssMM MRRR", eaToDataX, "CMP"},
    {"1011 xxx1 ssMM MRRR", dataXToEa, "EOR"},

    // Line C
    {"1100 xxx0 11MM MRRR", eaToDataX, "MULU.W", wordSize},
    {"1100 xxx1 11MM MRRR", eaToDataX, "MULS.W", wordSize},
    {"1100 xxx1 0000 0yyy", registersYX, "ABCD.B", byteSize, "D%d,D%d"},
    {"1100 xxx1 0000 1yyy", registersYX, "ABCD.B", byteSize, "-(A%d),-(A%d)"},
    {"1100 xxx1 0100 0yyy", registersXY, "EXG", longSize, "D%d,D%d"},
    {"1100 xxx1 0100 1yyy", registersXY, "EXG", longSize, "A%d,A%d"},
    {"1100 xxx1 1000 1yyy", registersXY, "EXG", longSize, "D%d,A%d"},
    {"1100 xxx0 ssMM MRRR", eaToDataX, "AND"},
    {"1100 xxx1 ssMM MRRR", dataXToEa, "AND"},

    // Line D
    {"1101 xxx0 11MM MRRR", eaToAddressX, "ADDA.W", wordSize},
    {"1101 xxx1 11MM MRRR", eaToAddressX, "ADDA.L", longSize},
    {"1101 xxx1 ss00 0yyy", registersYX, "ADDX", 0, "D%d,D%d"},
    {"1101 xxx1 ss00 1yyy", registersYX, "ADDX", 0, "-(A%d),-(A%d)"},
    {"1101 xxx0 ssMM MRRR", eaToDataX, "ADD"},
    {"1101 xxx1 ssMM MRRR", dataXToEa, "ADD"},

    // Line E: memory forms (one word, one bit), then register forms
    {"1110 1ttd 11MM MRRR", dataWord},
    {"1110 0000 11MM MRRR", shiftMemory, "ASR.W", wordSize},
    {"1110 0001 11MM MRRR", shiftMemory, "ASL.W", wordSize},
    {"1110 0010 11MM MRRR", shiftMemory, "LSR.W", wordSize},
    {"1110 0011 11MM MRRR", shiftMemory, "LSL.W", wordSize},
    {"1110 0100 11MM MRRR", shiftMemory, "ROXR.W", wordSize},
    {"1110 0101 11MM MRRR", shiftMemory, "ROXL.W", wordSize},
    {"1110 0110 11MM MRRR", shiftMemory, "ROR.W", wordSize},
    {"1110 0111 11MM MRRR", shiftMemory, "ROL.W", wordSize},
    {"1110 xxx0 ssi0 0yyy", shiftRegister, "ASR"},
    {"1110 xxx1 ssi0 0yyy", shiftRegister, "ASL"},
    {"1110 xxx0 ssi0 1yyy", shiftRegister, "LSR"},
    {"1110 xxx1 ssi0 1yyy", shiftRegister, "LSL"},
    {"1110 xxx0 ssi1 0yyy", shiftRegister, "ROXR"},
    {"1110 xxx1 ssi1 0yyy", shiftRegister, "ROXL"},
    {"1110 xxx0 ssi1 1yyy", shiftRegister, "ROR"},
    {"1110 xxx1 ssi1 1yyy", shiftRegister, "ROL"},
};
constexpr size_t rowCount = sizeof rows / sizeof rows[0];
constexpr Row dataRow{"---- ---- ---- ----", dataWord};

struct Pattern {
  uint16_t mask;
  uint16_t value;
  bool wellFormed;
};

constexpr Pattern parsePattern(const char* text) {
  Pattern p{0, 0, true};
  int bits = 0;
  for (; *text; text++) {
    if (*text == ' ') continue;
    p.mask = static_cast<uint16_t>(p.mask << 1);
    p.value = static_cast<uint16_t>(p.value << 1);
    if (*text == '0' || *text == '1') p.mask |= 1;
    if (*text == '1') p.value |= 1;
    bits++;
  }
  p.wellFormed = bits == 16;
  return p;
}

constexpr bool allPatternsWellFormed() {
  for (const Row& row : rows) {
    if (!parsePattern(row.pattern).wellFormed) return false;
  }
  return true;
}
static_assert(allPatternsWellFormed(), "every opcode pattern has 16 bits");
static_assert(rowCount < 255, "row indices fit a byte");

constexpr uint8_t dataRowIndex = 255;

// Row index of every opcode word, bound once: rows are laid down from the
// last to the first, each over the words its free bits reach, so that the
// first matching row is the one left.
std::array<uint8_t, 65536> bindRows() {
  std::array<uint8_t, 65536> table;
  table.fill(dataRowIndex);
  for (size_t i = rowCount; i-- > 0;) {
    Pattern p = parsePattern(rows[i].pattern);
    uint16_t free = static_cast<uint16_t>(~p.mask);
    for (uint16_t bits = free;; bits = (bits - 1) & free) {
      table[p.value | bits] = static_cast<uint8_t>(i);
      if (bits == 0) break;
    }
  }
  return table;
}

const Row& rowOf(uint16_t opcode) {
  static const std::array<uint8_t, 65536> table = bindRows();
  uint8_t index = table[opcode];
  return index == dataRowIndex ? dataRow : rows[index];
}

}  // namespace

int disassemble68kBounded(const uint16_t* words, size_t wordCount, char* out, uint32_t address) {
  if (wordCount == 0) {
    snprintf(out, disasmLineSize, "???");
    return 2;
  }
  Decoding d{words[0], WordReader{words + 1, wordCount - 1}, address, rowOf(words[0]), out};
  d.row.handler(d);
  if (d.words.overrun) {
    dataWord(d);
    return 2;
  }
  return static_cast<int>(2 + 2 * d.words.used);
}

int disassemble68k(const uint16_t* words, char* out, uint32_t address) {
  return disassemble68kBounded(words, SIZE_MAX, out, address);
}
