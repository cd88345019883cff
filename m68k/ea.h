// Effective addresses: the twelve addressing modes of a 6-bit mode/register
// field, resolved at compile time per handler; only register numbers are
// taken from the opcode word at run time.
#pragma once

#include <utility>

#include "m68k/core.h"

namespace m68k {

enum Mode : int {
  kDn,       // 000 rrr
  kAn,       // 001 rrr
  kInd,      // 010 rrr  (An)
  kPostInc,  // 011 rrr  (An)+
  kPreDec,   // 100 rrr  -(An)
  kDisp,     // 101 rrr  d16(An)
  kIndex,    // 110 rrr  d8(An,Xn)
  kAbsW,     // 111 000
  kAbsL,     // 111 001
  kPcDisp,   // 111 010  d16(PC)
  kPcIndex,  // 111 011  d8(PC,Xn)
  kImm,      // 111 100
};
constexpr int kModeCount = 12;

// The 6 bits of the field as the manual draws them, register bits free.
constexpr const char* kModeBits[kModeCount] = {"000---", "001---", "010---", "011---",
                                               "100---", "101---", "110---", "111000",
                                               "111001", "111010", "111011", "111100"};

// Mode classes of the manual.
constexpr bool isData(int m) {
  return m != kAn;
}
constexpr bool isMemory(int m) {
  return m >= kInd;
}
constexpr bool isAlterable(int m) {
  return m <= kAbsL;
}
constexpr bool isDataAlterable(int m) {
  return m != kAn && m <= kAbsL;
}
constexpr bool isMemoryAlterable(int m) {
  return m >= kInd && m <= kAbsL;
}
constexpr bool isControl(int m) {
  return m == kInd || (m >= kDisp && m <= kPcIndex);
}

// Extension bytes the mode reads at a size.
constexpr int extensionBytes(int m, int sz) {
  switch (m) {
    case kDisp:
    case kIndex:
    case kAbsW:
    case kPcDisp:
    case kPcIndex:
      return 2;
    case kAbsL:
      return 4;
    case kImm:
      return sz == 4 ? 4 : 2;
    default:
      return 0;
  }
}

// Calls f(std::integral_constant<int, M>) for every mode.
template <class F, int... M>
SB_INLINE void forModesImpl(F&& f, std::integer_sequence<int, M...>) {
  (f(std::integral_constant<int, M>{}), ...);
}
template <class F>
SB_INLINE void forModes(F&& f) {
  forModesImpl(f, std::make_integer_sequence<int, kModeCount>{});
}

// (An)+ and -(An) step: A7 keeps word alignment for bytes.
template <int Sz>
SB_INLINE uint32_t addressStep(uint32_t r) {
  if constexpr (Sz == 1)
    return r == 7 ? 2 : 1;
  else
    return Sz;
}

// Brief extension word: index register (D0-D7, A0-A7), word or long, 8-bit
// displacement.
SB_INLINE uint32_t indexed(uint32_t base, uint32_t ext) {
  uint32_t x = reg16(ext >> 12);
  if (!(ext & 0x800)) x = uint32_t(int32_t(int16_t(x)));
  return base + x + uint32_t(int32_t(int8_t(ext)));
}

// Address of a memory operand; (An)+ and -(An) update An.
template <int M, int Sz>
SB_INLINE uint32_t eaAddress(Step& s, uint32_t r) {
  if constexpr (M == kInd) {
    return areg(r);
  } else if constexpr (M == kPostInc) {
    uint32_t a = areg(r);
    areg(r) = a + addressStep<Sz>(r);
    return a;
  } else if constexpr (M == kPreDec) {
    return areg(r) -= addressStep<Sz>(r);
  } else if constexpr (M == kDisp) {
    return areg(r) + uint32_t(int32_t(int16_t(fetch16(s))));
  } else if constexpr (M == kIndex) {
    return indexed(areg(r), fetch16(s));
  } else if constexpr (M == kAbsW) {
    return uint32_t(int32_t(int16_t(fetch16(s))));
  } else if constexpr (M == kAbsL) {
    return fetch32(s);
  } else if constexpr (M == kPcDisp) {
    uint32_t base = pcOf(s.pc);
    return base + uint32_t(int32_t(int16_t(fetch16(s))));
  } else if constexpr (M == kPcIndex) {
    uint32_t base = pcOf(s.pc);
    return indexed(base, fetch16(s));
  } else {
    static_assert(M == kInd, "no address for this mode");
    return 0;
  }
}

// Source operand, zero-extended from its size.
template <int M, int Sz>
SB_INLINE uint32_t eaRead(Step& s, uint32_t r) {
  if constexpr (M == kDn) {
    return dreg(r) & kMask<Sz>;
  } else if constexpr (M == kAn) {
    return areg(r) & kMask<Sz>;
  } else if constexpr (M == kImm) {
    if constexpr (Sz == 4)
      return fetch32(s);
    else
      return fetch16(s) & kMask<Sz>;
  } else {
    return readMem<Sz>(s, eaAddress<M, Sz>(s, r));
  }
}

// Destination of a write-only operand (MOVE, CLR, Scc).
template <int M, int Sz>
SB_INLINE void eaWrite(Step& s, uint32_t r, uint32_t v) {
  if constexpr (M == kDn) {
    setDreg<Sz>(r, v);
  } else if constexpr (M == kAn) {
    areg(r) = v;
  } else {
    writeMem<Sz>(s, eaAddress<M, Sz>(s, r), v);
  }
}

// Read-modify-write operand: resolve once, then read and write it.
template <int M, int Sz>
SB_INLINE uint32_t rmwLocate(Step& s, uint32_t r) {
  if constexpr (M == kDn || M == kAn)
    return r;
  else
    return eaAddress<M, Sz>(s, r);
}
template <int M, int Sz>
SB_INLINE uint32_t rmwRead(Step& s, uint32_t where) {
  if constexpr (M == kDn)
    return dreg(where) & kMask<Sz>;
  else if constexpr (M == kAn)
    return areg(where);
  else
    return readMem<Sz>(s, where);
}
template <int M, int Sz>
SB_INLINE void rmwWrite(Step& s, uint32_t where, uint32_t v) {
  if constexpr (M == kDn)
    setDreg<Sz>(where, v);
  else if constexpr (M == kAn)
    areg(where) = v;
  else
    writeMem<Sz>(s, where, v);
}

// Register fields of the opcode word.
SB_INLINE uint32_t lowReg(uint32_t op) {
  return op & 7;
}
SB_INLINE uint32_t highReg(uint32_t op) {
  return (op >> 9) & 7;
}

// The pattern with its "ss" size field set for sz (00 byte, 01 word, 10
// long), its "eeeeee" effective-address field (mode then register) filled in
// for mode `source`, and its "EEEEEE" field (drawn register first, mode
// second, as MOVE's destination) for mode `destination`.
struct PatternText {
  char text[40];
};
PatternText withModes(const char* pattern, int sz, int source, int destination = -1);

// Calls f(std::integral_constant<int, Sz>) for byte, word and long.
template <class F>
SB_INLINE void forSizes(F&& f) {
  f(std::integral_constant<int, 1>{});
  f(std::integral_constant<int, 2>{});
  f(std::integral_constant<int, 4>{});
}

}  // namespace m68k
