// Arithmetic with the condition codes of the manual.
#pragma once

#include "m68k/core.h"

namespace m68k {

template <int Sz>
SB_INLINE uint32_t msbOf(uint32_t v) {
  return (v >> (kBits<Sz> - 1)) & 1;
}

// d + s + carry: all five flags (Z cleared only, when `extend`).
template <int Sz, bool Extend = false>
SB_INLINE uint32_t addFlags(uint32_t d, uint32_t s, uint32_t carry = 0) {
  const uint32_t r = (d + s + carry) & kMask<Sz>;
  const uint32_t c = msbOf<Sz>((s & d) | (~r & (s | d)));
  const uint32_t v = msbOf<Sz>((s ^ r) & (d ^ r));
  const uint32_t z = Extend ? (r == 0 ? g.z : 0u) : (r == 0);
  setCVZN(c, v, z, msbOf<Sz>(r));
  g.x = uint8_t(c);
  return r;
}

// d - s - borrow: all five flags (Z cleared only, when `extend`).
template <int Sz, bool Extend = false>
SB_INLINE uint32_t subFlags(uint32_t d, uint32_t s, uint32_t borrow = 0) {
  const uint32_t r = (d - s - borrow) & kMask<Sz>;
  const uint32_t c = msbOf<Sz>((s & ~d) | (r & (s | ~d)));
  const uint32_t v = msbOf<Sz>((s ^ d) & (r ^ d));
  const uint32_t z = Extend ? (r == 0 ? g.z : 0u) : (r == 0);
  setCVZN(c, v, z, msbOf<Sz>(r));
  g.x = uint8_t(c);
  return r;
}

// d - s: N Z V C, X unchanged.
template <int Sz>
SB_INLINE void cmpFlags(uint32_t d, uint32_t s) {
  const uint32_t r = (d - s) & kMask<Sz>;
  const uint32_t c = msbOf<Sz>((s & ~d) | (r & (s | ~d)));
  const uint32_t v = msbOf<Sz>((s ^ d) & (r ^ d));
  setCVZN(c, v, r == 0, msbOf<Sz>(r));
}

}  // namespace m68k
