// 68000 images for machine tests, in the board's host word order.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

namespace support {

struct ImageWords {
  uint32_t address;
  std::vector<uint16_t> words;
};

// size bytes of zeros with the words put from each address on.
inline std::vector<uint8_t> m68kImage(size_t size, std::initializer_list<ImageWords> parts) {
  std::vector<uint8_t> image(size);
  for (const ImageWords& part : parts) {
    uint32_t at = part.address;
    for (uint16_t w : part.words) image[at++] = uint8_t(w), image[at++] = uint8_t(w >> 8);
  }
  return image;
}

}  // namespace support
