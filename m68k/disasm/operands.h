// Inside the disassembler: the bounded word reader and the operand texts the
// instruction table composes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "m68k/disasm/disasm.h"

// The extension words of one instruction, read in order. A read past the
// words given yields 0 and marks the instruction as cut short, so nothing
// outside them is ever touched.
struct WordReader {
  const uint16_t* words;
  size_t count;
  size_t used = 0;
  bool overrun = false;

  uint16_t next() {
    if (used >= count) {
      overrun = true;
      return 0;
    }
    return words[used++];
  }
};

// Operand sizes in bytes, as formatEffectiveAddress takes them.
constexpr int byteSize = 1;
constexpr int wordSize = 2;
constexpr int longSize = 4;

// Operand text of an effective-address field, its extension words taken from
// the reader.
OperandText formatOperand(int field, WordReader& words, int size);

// Immediate value of an instruction of the given size: the low byte of one
// word, one word, or two words high first.
uint32_t readImmediate(WordReader& words, int size);

// Branch operand for a displacement from the instruction at `address`:
// "*+$%lX [%lX]" or "*-$%X [%X]". Writes at most 32 bytes.
void formatBranchOperand(char* text, uint32_t address, int32_t displacement);

constexpr size_t branchOperandSize = 32;
