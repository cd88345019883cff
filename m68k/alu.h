// Arithmetic with the condition codes of the manual.
#pragma once

#include <type_traits>

#include "m68k/core.h"

namespace m68k {

template <int Sz>
SB_INLINE uint32_t msbOf(uint32_t v) {
  return (v >> (kBits<Sz> - 1)) & 1;
}

template <int Sz>
using Unsigned =
    std::conditional_t<Sz == 1, uint8_t, std::conditional_t<Sz == 2, uint16_t, uint32_t>>;
template <int Sz>
using Signed = std::make_signed_t<Unsigned<Sz>>;

// d + s: all five flags, from the host's carry and overflow.
template <int Sz>
SB_INLINE uint32_t addFlags(uint32_t d, uint32_t s) {
  Unsigned<Sz> r;
  Signed<Sz> rs;
  const bool c = __builtin_add_overflow(Unsigned<Sz>(d), Unsigned<Sz>(s), &r);
  const bool v = __builtin_add_overflow(Signed<Sz>(d), Signed<Sz>(s), &rs);
  setCVZN(c, v, r == 0, rs < 0);
  flagX = c;
  return r;
}

// d - s: all five flags.
template <int Sz>
SB_INLINE uint32_t subFlags(uint32_t d, uint32_t s) {
  Unsigned<Sz> r;
  Signed<Sz> rs;
  const bool c = __builtin_sub_overflow(Unsigned<Sz>(d), Unsigned<Sz>(s), &r);
  const bool v = __builtin_sub_overflow(Signed<Sz>(d), Signed<Sz>(s), &rs);
  setCVZN(c, v, r == 0, rs < 0);
  flagX = c;
  return r;
}

// d - s: N Z V C, X unchanged.
template <int Sz>
SB_INLINE void cmpFlags(uint32_t d, uint32_t s) {
  Unsigned<Sz> r;
  Signed<Sz> rs;
  const bool c = __builtin_sub_overflow(Unsigned<Sz>(d), Unsigned<Sz>(s), &r);
  const bool v = __builtin_sub_overflow(Signed<Sz>(d), Signed<Sz>(s), &rs);
  setCVZN(c, v, r == 0, rs < 0);
}

// d + s + carry: all five flags (Z cleared only, when `extend`).
template <int Sz, bool Extend>
SB_INLINE uint32_t addFlags(uint32_t d, uint32_t s, uint32_t carry) {
  const uint32_t r = (d + s + carry) & kMask<Sz>;
  const uint32_t c = msbOf<Sz>((s & d) | (~r & (s | d)));
  const uint32_t v = msbOf<Sz>((s ^ r) & (d ^ r));
  const uint32_t z = Extend ? (r == 0 ? flagZ : 0u) : (r == 0);
  setCVZN(c, v, z, msbOf<Sz>(r));
  flagX = uint8_t(c);
  return r;
}

// d - s - borrow: all five flags (Z cleared only, when `extend`).
template <int Sz, bool Extend>
SB_INLINE uint32_t subFlags(uint32_t d, uint32_t s, uint32_t borrow) {
  const uint32_t r = (d - s - borrow) & kMask<Sz>;
  const uint32_t c = msbOf<Sz>((s & ~d) | (r & (s | ~d)));
  const uint32_t v = msbOf<Sz>((s ^ d) & (r ^ d));
  const uint32_t z = Extend ? (r == 0 ? flagZ : 0u) : (r == 0);
  setCVZN(c, v, z, msbOf<Sz>(r));
  flagX = uint8_t(c);
  return r;
}

}  // namespace m68k
