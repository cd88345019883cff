// 68000 disassembler: one instruction of a memory image (16-bit words in host
// order) to one line of Motorola-syntax text.
#pragma once

#include <cstddef>
#include <cstdint>

// Longest line written, terminator included: 59 characters, a MOVEM with
// the longest register list ("D0-D1/D3-D4/D6-D7/A0-A1/A3-A4/A6-A7", 35
// characters) and an indexed operand.
constexpr size_t disasmLineSize = 60;

// Longest instruction in bytes: opcode word and two long extensions.
constexpr int disasmMaxLength = 10;

// Writes the line for the instruction at words[0] (68000 address `address`,
// used only for branch targets) and returns its length in bytes (2 to 10).
// Reads no word beyond the instruction. `out` holds disasmLineSize bytes.
int disassemble68k(const uint16_t* words, char* out, uint32_t address);

// The same, reading at most wordCount words: an instruction whose extension
// words lie past them is shown as "DC.W" of its first word, length 2. With no
// word at all the line is "???" and the length 2, so a listing still advances.
int disassemble68kBounded(const uint16_t* words, size_t wordCount, char* out, uint32_t address);

// The text of one operand, held by value.
struct OperandText {
  char text[80];
};

// Operand text of a 6-bit effective-address field (mode in bits 5-3,
// register in bits 2-0); ext points at the next unread extension word; size
// 1 byte, 2 word, else long. Stores the extension bytes used (0, 2 or 4).
OperandText formatEffectiveAddress(int field, const uint16_t* ext, int size, int* extensionBytes);

// Append a MOVEM register list at out and return the position after it (the
// list is terminated there). At most registerListSize bytes are written.
constexpr size_t registerListSize = 36;
char* formatRegisterList(char* out, uint16_t mask);              // bit 0 = D0 ... bit 15 = A7
char* formatRegisterListPredecrement(char* out, uint16_t mask);  // bit 15 = D0 ... bit 0 = A7
