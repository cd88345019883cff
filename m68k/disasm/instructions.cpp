// Line composers for the rows of the 68000 opcode map: every opcode word is
// bound, through the first row that claims it, to the composer of its family.
#include <array>
#include <cstdarg>
#include <cstdint>
#include <cstdio>

#include "m68k/disasm/disasm.h"
#include "m68k/disasm/operands.h"
#include "m68k/opcodes.h"

namespace {

using m68k::Family;
using m68k::OpcodeRow;

struct Composer;

// One instruction being decoded.
struct Decoding {
  uint16_t opcode;
  WordReader words;  // the extension words after the opcode
  uint32_t address;
  const OpcodeRow& row;
  const Composer& composer;
  char* out;
};

using Handler = void (*)(Decoding&);

// A family's composer, with a fixed operand text or operand format for some.
struct Composer {
  Family family;
  Handler handler;
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

// Rows with a size field take their size, and the suffix, from it.
bool sized(const Decoding& d) {
  return m68k::hasField(d.row, 's');
}
int rowSize(const Decoding& d) {
  return sized(d) ? sizeBytes[sizeField(d.opcode)] : d.row.size;
}
const char* rowSuffix(const Decoding& d) {
  return sized(d) ? sizeSuffix[sizeField(d.opcode)] : "";
}

// The instruction's effective-address operand, its extensions read in turn.
OperandText operand(Decoding& d, int size) {
  return formatOperand(eaField(d.opcode), d.words, size);
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
  emitList(d, d.row.mnemonic, rowSuffix(d), operands, args);
  va_end(args);
}

void dataWord(Decoding& d) {
  snprintf(d.out, disasmLineSize, "DC.W     $%X", d.opcode);
}

void bare(Decoding& d) {
  snprintf(d.out, disasmLineSize, "%s", d.row.mnemonic);
}

// STOP's immediate word is consumed, not shown.
void stop(Decoding& d) {
  d.words.next();
  bare(d);
}

// ---- Line 0 -------------------------------------------------------------------
void immediateToEa(Decoding& d) {
  uint32_t value = readImmediate(d.words, rowSize(d));
  emitRow(d, "#$%X,%s", value, operand(d, rowSize(d)).text);
}

void immediateToStatus(Decoding& d) {
  emitRow(d, "#$%X,%s", readImmediate(d.words, d.row.size), d.composer.text);
}

void bitNumberToEa(Decoding& d) {
  unsigned bit = d.words.next() & 0xFF;
  emitRow(d, "#$%X,%s", bit, operand(d, wordSize).text);
}

void bitRegisterToEa(Decoding& d) {
  emitRow(d, "D%d,%s", regX(d.opcode), operand(d, wordSize).text);
}

// MOVEP: bit 7 direction (1 register to memory), bit 6 size (1 long).
void movep(Decoding& d) {
  unsigned displacement = d.words.next();
  const char* suffix = d.opcode & 0x40 ? ".L" : ".W";
  if (d.opcode & 0x80) {
    emit(d, d.row.mnemonic, suffix, "D%d,($%X,A%d)", regX(d.opcode), displacement, regY(d.opcode));
  } else {
    emit(d, d.row.mnemonic, suffix, "($%X,A%d),D%d", displacement, regY(d.opcode), regX(d.opcode));
  }
}

// MOVES: extension bit 11 set = register to memory.
void moves(Decoding& d) {
  uint16_t extension = d.words.next();
  ExtensionRegister reg = extensionRegister(extension);
  const OperandText ea = operand(d, rowSize(d));
  if (extension & 0x0800) {
    emitRow(d, "%c%d,%s", reg.kind, reg.number, ea.text);
  } else {
    emitRow(d, "%s,%c%d", ea.text, reg.kind, reg.number);
  }
}

// ---- Lines 1 to 3 -------------------------------------------------------------
// The destination field has its register in bits 11-9 and its mode in 8-6.
void move(Decoding& d) {
  int destination = (d.opcode >> 3 & 0x38) | regX(d.opcode);
  const OperandText source = operand(d, d.row.size);
  emitRow(d, "%s,%s", source.text, formatOperand(destination, d.words, d.row.size).text);
}

// ---- Operand shapes shared by several lines ------------------------------------
void ea(Decoding& d) {
  emitRow(d, "%s", operand(d, rowSize(d)).text);
}

void eaToDataX(Decoding& d) {
  emitRow(d, "%s,D%d", operand(d, rowSize(d)).text, regX(d.opcode));
}

void eaToAddressX(Decoding& d) {
  emitRow(d, "%s,A%d", operand(d, rowSize(d)).text, regX(d.opcode));
}

void dataXToEa(Decoding& d) {
  emitRow(d, "D%d,%s", regX(d.opcode), operand(d, rowSize(d)).text);
}

void statusToEa(Decoding& d) {
  emitRow(d, "%s,%s", d.composer.text, operand(d, d.row.size).text);
}

void eaToStatus(Decoding& d) {
  emitRow(d, "%s,%s", operand(d, d.row.size).text, d.composer.text);
}

// The row's text is the operand format; y is named first (ABCD, ADDX, CMPM).
void registersYX(Decoding& d) {
  emitRow(d, d.composer.text, regY(d.opcode), regX(d.opcode));
}

// x is named first (EXG).
void registersXY(Decoding& d) {
  emitRow(d, d.composer.text, regX(d.opcode), regY(d.opcode));
}

// The row's text is the operand format of register y (SWAP, EXT, UNLK, USP).
void registerY(Decoding& d) {
  emitRow(d, d.composer.text, regY(d.opcode));
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
  emit(d, d.row.mnemonic, movemSuffix(d.opcode), "%s,%s", list,
       operand(d, movemSize(d.opcode)).text);
}

void movemToRegisters(Decoding& d) {
  uint16_t mask = d.words.next();
  char list[registerListSize];
  formatRegisterList(list, mask);
  emit(d, d.row.mnemonic, movemSuffix(d.opcode), "%s,%s", operand(d, movemSize(d.opcode)).text,
       list);
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
  emitRow(d, "#%d,%s", data, operand(d, rowSize(d)).text);
}

void decrementAndBranch(Decoding& d) {
  char mnemonic[8];
  snprintf(mnemonic, sizeof mnemonic, "%s%s", d.row.mnemonic, conditionNames[condition(d.opcode)]);
  char target[branchOperandSize];
  formatBranchOperand(target, d.address, static_cast<int16_t>(d.words.next()));
  emit(d, mnemonic, "", "D%d,%s", regY(d.opcode), target);
}

void setOnCondition(Decoding& d) {
  char mnemonic[8];
  snprintf(mnemonic, sizeof mnemonic, "%s%s", d.row.mnemonic, conditionNames[condition(d.opcode)]);
  emit(d, mnemonic, ".B", "%s", operand(d, byteSize).text);
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
  emitRow(d, "#1,%s", operand(d, wordSize).text);
}

// ---- The composers, by family --------------------------------------------------
constexpr Composer composers[] = {
    {Family::kImmediateToCcr, immediateToStatus, "CCR"},
    {Family::kImmediateToSr, immediateToStatus, "SR"},
    {Family::kBitStatic, bitNumberToEa},
    {Family::kBitDynamic, bitRegisterToEa},
    {Family::kMovepToRegister, movep},
    {Family::kMovepToMemory, movep},
    {Family::kImmediateToEa, immediateToEa},
    {Family::kMoveAddress, eaToAddressX},
    {Family::kMove, move},
    {Family::kMoveFromSr, statusToEa, "SR"},
    {Family::kMoveToCcr, eaToStatus, "CCR"},
    {Family::kMoveToSr, eaToStatus, "SR"},
    {Family::kUnary, ea},
    {Family::kNbcd, ea},
    {Family::kSwap, registerY, "D%d"},
    {Family::kPea, ea},
    {Family::kExt, registerY, "D%d"},
    {Family::kMovemToMemory, movemToMemory},
    {Family::kMovemToRegisters, movemToRegisters},
    {Family::kTas, ea},
    {Family::kChk, eaToDataX},
    {Family::kLea, eaToAddressX},
    {Family::kTrap, trap},
    {Family::kLink, link},
    {Family::kUnlk, registerY, "A%d"},
    {Family::kMoveToUsp, registerY, "A%d,USP"},
    {Family::kMoveFromUsp, registerY, "USP,A%d"},
    {Family::kReset, bare},
    {Family::kNop, bare},
    {Family::kStop, stop},
    {Family::kRte, bare},
    {Family::kRts, bare},
    {Family::kTrapv, bare},
    {Family::kRtr, bare},
    {Family::kJsr, ea},
    {Family::kJmp, ea},
    {Family::kDbcc, decrementAndBranch},
    {Family::kScc, setOnCondition},
    {Family::kQuick, quickToEa},
    {Family::kBsr, branch},
    {Family::kBcc, branch},
    {Family::kMoveq, moveQuick},
    {Family::kDivide, eaToDataX},
    {Family::kMultiply, eaToDataX},
    {Family::kBcdRegister, registersYX, "D%d,D%d"},
    {Family::kBcdMemory, registersYX, "-(A%d),-(A%d)"},
    {Family::kLogicToRegister, eaToDataX},
    {Family::kLogicToEa, dataXToEa},
    {Family::kArithAddress, eaToAddressX},
    {Family::kExtendedRegister, registersYX, "D%d,D%d"},
    {Family::kExtendedMemory, registersYX, "-(A%d),-(A%d)"},
    {Family::kArithToRegister, eaToDataX},
    {Family::kArithToMemory, dataXToEa},
    {Family::kCmpm, registersYX, "(A%d)+,(A%d)+"},
    {Family::kExgData, registersXY, "D%d,D%d"},
    {Family::kExgAddress, registersXY, "A%d,A%d"},
    {Family::kExgDataAddress, registersXY, "D%d,A%d"},
    {Family::kShiftMemory, shiftMemory},
    {Family::kShiftByCount, shiftRegister},
    {Family::kShiftByRegister, shiftRegister},
    {Family::kIllegal, dataWord},
    {Family::kException, dataWord},
    {Family::kMoves, moves},
    {Family::kMoveFromCcr, statusToEa, "CCR"},
    {Family::kMovecToRegister, movecToRegister},
    {Family::kMovecFromRegister, movecFromRegister},
};
constexpr bool inFamilyOrder() {
  for (size_t i = 0; i < sizeof composers / sizeof composers[0]; i++) {
    if (size_t(composers[i].family) != i) return false;
  }
  return sizeof composers / sizeof composers[0] == size_t(Family::kMovecFromRegister) + 1;
}
static_assert(inFamilyOrder(), "one composer for every family, in the families' order");

// Row of every opcode word, bound once through the opcode map's binder; the
// disassembler shows any addressing mode, so it takes every mode field.
std::array<uint8_t, 65536> bindRows() {
  std::array<uint8_t, 65536> table;
  table.fill(0xFF);
  m68k::forEachOpcodeForm(false, m68k::kAnyFamily, [&](const m68k::OpcodeForm& form) {
    m68k::claimOpcodeWords(form, table.data(), [](uint32_t) {});
  });
  return table;
}

const OpcodeRow& rowOf(uint16_t opcode) {
  static const std::array<uint8_t, 65536> table = bindRows();
  return m68k::kOpcodeRows[table[opcode]];
}

}  // namespace

int disassemble68kBounded(const uint16_t* words, size_t wordCount, char* out, uint32_t address) {
  if (wordCount == 0) {
    snprintf(out, disasmLineSize, "???");
    return 2;
  }
  const OpcodeRow& row = rowOf(words[0]);
  const Composer& composer = composers[size_t(row.family)];
  Decoding d{words[0], WordReader{words + 1, wordCount - 1}, address, row, composer, out};
  composer.handler(d);
  if (d.words.overrun) {
    dataWord(d);
    return 2;
  }
  return static_cast<int>(2 + 2 * d.words.used);
}

int disassemble68k(const uint16_t* words, char* out, uint32_t address) {
  return disassemble68kBounded(words, SIZE_MAX, out, address);
}
