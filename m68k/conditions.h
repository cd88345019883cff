// The sixteen condition tests of Bcc, DBcc and Scc.
#pragma once

#include <utility>

#include "m68k/core.h"

namespace m68k {

template <int Cc>
SB_INLINE bool condition() {
  if constexpr (Cc == 0x0)
    return true;  // T
  else if constexpr (Cc == 0x1)
    return false;  // F
  else if constexpr (Cc == 0x2)
    return !g.c && !g.z;  // HI
  else if constexpr (Cc == 0x3)
    return g.c || g.z;  // LS
  else if constexpr (Cc == 0x4)
    return !g.c;  // CC
  else if constexpr (Cc == 0x5)
    return g.c;  // CS
  else if constexpr (Cc == 0x6)
    return !g.z;  // NE
  else if constexpr (Cc == 0x7)
    return g.z;  // EQ
  else if constexpr (Cc == 0x8)
    return !g.v;  // VC
  else if constexpr (Cc == 0x9)
    return g.v;  // VS
  else if constexpr (Cc == 0xA)
    return !g.n;  // PL
  else if constexpr (Cc == 0xB)
    return g.n;  // MI
  else if constexpr (Cc == 0xC)
    return g.n == g.v;  // GE
  else if constexpr (Cc == 0xD)
    return g.n != g.v;  // LT
  else if constexpr (Cc == 0xE)
    return !g.z && g.n == g.v;  // GT
  else
    return g.z || g.n != g.v;  // LE
}

// Calls f(std::integral_constant<int, Cc>) for the sixteen conditions.
template <class F, int... C>
SB_INLINE void forConditionsImpl(F&& f, std::integer_sequence<int, C...>) {
  (f(std::integral_constant<int, C>{}), ...);
}
template <class F>
SB_INLINE void forConditions(F&& f) {
  forConditionsImpl(f, std::make_integer_sequence<int, 16>{});
}

}  // namespace m68k
