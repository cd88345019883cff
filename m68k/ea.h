// Effective addresses: the twelve addressing modes of a 6-bit mode/register
// field, resolved at compile time per handler; only register numbers are
// taken from the opcode word at run time.
#pragma once

#include "m68k/core.h"
#include "m68k/opcodes.h"

namespace m68k {

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

}  // namespace m68k
