// Small 68000 images for the machine tests, in the board's byte order.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

inline void putWord(std::vector<uint8_t>& image, uint32_t address, uint16_t word) {
  image[address] = static_cast<uint8_t>(word);
  image[address + 1] = static_cast<uint8_t>(word >> 8);
}
inline void putLong(std::vector<uint8_t>& image, uint32_t address, uint32_t value) {
  putWord(image, address, static_cast<uint16_t>(value >> 16));
  putWord(image, address + 2, static_cast<uint16_t>(value));
}
inline void putCode(std::vector<uint8_t>& image, uint32_t address,
                    std::initializer_list<uint16_t> words) {
  for (uint16_t w : words) {
    putWord(image, address, w);
    address += 2;
  }
}

// Opcodes used by the tests.
constexpr uint16_t opNop = 0x4e71;
constexpr uint16_t opBraSelf = 0x60fe;  // BRA.S *
constexpr uint16_t opRte = 0x4e73;
constexpr uint16_t opMoveToSr = 0x46fc;   // MOVE.W #imm,SR
constexpr uint16_t opAddqW1Abs = 0x5279;  // ADDQ.W #1,(xxx).L
