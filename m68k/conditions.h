// The sixteen condition tests of Bcc, DBcc and Scc.
#pragma once

#include "m68k/core.h"

namespace m68k {

template <int Cc>
SB_INLINE bool condition() {
  if constexpr (Cc == 0x0)
    return true;  // T
  else if constexpr (Cc == 0x1)
    return false;  // F
  else if constexpr (Cc == 0x2)
    return !flagC && !flagZ;  // HI
  else if constexpr (Cc == 0x3)
    return flagC || flagZ;  // LS
  else if constexpr (Cc == 0x4)
    return !flagC;  // CC
  else if constexpr (Cc == 0x5)
    return flagC;  // CS
  else if constexpr (Cc == 0x6)
    return !flagZ;  // NE
  else if constexpr (Cc == 0x7)
    return flagZ;  // EQ
  else if constexpr (Cc == 0x8)
    return !flagV;  // VC
  else if constexpr (Cc == 0x9)
    return flagV;  // VS
  else if constexpr (Cc == 0xA)
    return !flagN;  // PL
  else if constexpr (Cc == 0xB)
    return flagN;  // MI
  else if constexpr (Cc == 0xC)
    return flagN == flagV;  // GE
  else if constexpr (Cc == 0xD)
    return flagN != flagV;  // LT
  else if constexpr (Cc == 0xE)
    return !flagZ && flagN == flagV;  // GT
  else
    return flagZ || flagN != flagV;  // LE
}

}  // namespace m68k
