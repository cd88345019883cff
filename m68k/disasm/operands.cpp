// Operand texts: effective addresses, MOVEM register lists, branch operands.
#include "m68k/disasm/operands.h"

#include <cstdint>
#include <cstdio>

#include "m68k/disasm/disasm.h"

namespace {

constexpr size_t operandBufferSize = sizeof(OperandText::text);

// A signed displacement as "$%X" or "-$%X" with its magnitude, followed by
// the rest of the parenthesised operand.
void formatDisplaced(char* text, int32_t displacement, const char* base) {
  if (displacement >= 0) {
    snprintf(text, operandBufferSize, "($%X,%s)", static_cast<unsigned>(displacement), base);
  } else {
    snprintf(text, operandBufferSize, "(-$%X,%s)", static_cast<unsigned>(-displacement), base);
  }
}

// Brief extension word of the indexed modes:
//   bit 15 index kind (0 D, 1 A), bits 14-12 index register,
//   bit 11 index width (0 W, 1 L), bits 7-0 signed displacement.
// The 68000 ignores bits 10-8.
void formatIndexed(char* text, uint16_t extension, const char* base) {
  char index[16];
  snprintf(index, sizeof index, "%s,%c%d.%c", base, extension & 0x8000 ? 'A' : 'D',
           (extension >> 12) & 7, extension & 0x0800 ? 'L' : 'W');
  formatDisplaced(text, static_cast<int8_t>(extension & 0xFF), index);
}

void formatImmediate(char* text, WordReader& words, int size) {
  snprintf(text, operandBufferSize, "#$%X", readImmediate(words, size));
}

// Mode 7 spends its register field on further modes; registers 5 to 7 name
// none and take no extension word.
void formatMode7(char* text, int reg, WordReader& words, int size) {
  switch (reg) {
    case 0:  // absolute short, shown as stored
      snprintf(text, operandBufferSize, "$%X", words.next());
      return;
    case 1: {  // absolute long
      uint32_t high = words.next();
      snprintf(text, operandBufferSize, "$%X", high << 16 | words.next());
      return;
    }
    case 2:
      formatDisplaced(text, static_cast<int16_t>(words.next()), "PC");
      return;
    case 3:
      formatIndexed(text, words.next(), "PC");
      return;
    case 4:
      formatImmediate(text, words, size);
      return;
    default:
      snprintf(text, operandBufferSize, "???");
      return;
  }
}

// Appends the runs of one register kind (bits 0-7 of `bits` = registers
// 0-7); returns the new end.
char* appendRuns(char* out, unsigned bits, char kind, bool& first) {
  for (int reg = 0; reg < 8; reg++) {
    if (!(bits & 1u << reg)) continue;
    int last = reg;
    while (last < 7 && bits & 1u << (last + 1)) last++;
    if (!first) *out++ = '/';
    first = false;
    *out++ = kind;
    *out++ = static_cast<char>('0' + reg);
    if (last != reg) {
      *out++ = '-';
      *out++ = kind;
      *out++ = static_cast<char>('0' + last);
    }
    reg = last;
  }
  return out;
}

}  // namespace

uint32_t readImmediate(WordReader& words, int size) {
  if (size == byteSize) return words.next() & 0xFF;
  if (size == wordSize) return words.next();
  uint32_t high = words.next();
  return high << 16 | words.next();
}

OperandText formatOperand(int field, WordReader& words, int size) {
  OperandText out;
  char* text = out.text;
  int mode = field >> 3 & 7;
  int reg = field & 7;
  char base[4];
  snprintf(base, sizeof base, "A%d", reg);
  switch (mode) {
    case 0:
      snprintf(text, operandBufferSize, "D%d", reg);
      break;
    case 1:
      snprintf(text, operandBufferSize, "A%d", reg);
      break;
    case 2:
      snprintf(text, operandBufferSize, "(A%d)", reg);
      break;
    case 3:
      snprintf(text, operandBufferSize, "(A%d)+", reg);
      break;
    case 4:
      snprintf(text, operandBufferSize, "-(A%d)", reg);
      break;
    case 5:
      formatDisplaced(text, static_cast<int16_t>(words.next()), base);
      break;
    case 6:
      formatIndexed(text, words.next(), base);
      break;
    default:
      formatMode7(text, reg, words, size);
      break;
  }
  return out;
}

OperandText formatEffectiveAddress(int field, const uint16_t* ext, int size, int* extensionBytes) {
  WordReader words{ext, SIZE_MAX};
  const OperandText text = formatOperand(field, words, size);
  *extensionBytes = static_cast<int>(2 * words.used);
  return text;
}

char* formatRegisterList(char* out, uint16_t mask) {
  bool first = true;
  out = appendRuns(out, mask & 0xFF, 'D', first);
  out = appendRuns(out, mask >> 8, 'A', first);
  *out = '\0';
  return out;
}

char* formatRegisterListPredecrement(char* out, uint16_t mask) {
  uint16_t reversed = 0;
  for (int bit = 0; bit < 16; bit++) {
    if (mask & 1u << bit) reversed |= static_cast<uint16_t>(0x8000u >> bit);
  }
  return formatRegisterList(out, reversed);
}

void formatBranchOperand(char* text, uint32_t address, int32_t displacement) {
  uint32_t target = address + 2 + static_cast<uint32_t>(displacement);
  if (displacement >= 0) {
    snprintf(text, branchOperandSize, "*+$%X [%X]", static_cast<unsigned>(displacement + 2),
             target);
  } else {
    // The distance back, as an unsigned 32-bit number.
    snprintf(text, branchOperandSize, "*-$%X [%X]", 0u - static_cast<uint32_t>(displacement + 2),
             target);
  }
}
