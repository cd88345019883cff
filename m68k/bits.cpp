// Line 0 bit operations (BTST, BCHG, BCLR, BSET with a static or dynamic
// bit number) and MOVEP.
#include "m68k/bind.h"
#include "m68k/costs.h"

namespace m68k {
namespace {

template <int Op>
SB_INLINE uint32_t changeBit(uint32_t v, uint32_t mask) {
  flagZ = (v & mask) == 0;
  if constexpr (Op == kBchg)
    return v ^ mask;
  else if constexpr (Op == kBclr)
    return v & ~mask;
  else
    return v | mask;
}

// Bit number from the extension word (static) or from Dn (dynamic): modulo
// 32 on a data register, modulo 8 on memory.
template <int Op, bool Static, int M>
SB_HANDLER(bitOperation) {
  Step s{pc_, budget_};
  const uint32_t number = Static ? fetch16(s) : dreg(highReg(op));
  if constexpr (M == kDn) {
    const uint32_t mask = 1u << (number & 31);
    uint32_t& d = dreg(lowReg(op));
    if constexpr (Op == kBtst)
      flagZ = (d & mask) == 0;
    else
      d = changeBit<Op>(d, mask);
    SB_NEXT(s, kBitRegister[Op][Static]);
  } else {
    const uint32_t mask = 1u << (number & 7);
    if constexpr (Op == kBtst) {
      flagZ = (eaRead<M, 1>(s, lowReg(op)) & mask) == 0;
    } else {
      const uint32_t where = eaAddress<M, 1>(s, lowReg(op));
      writeByte(s, where, changeBit<Op>(readByte(s, where), mask));
    }
    SB_NEXT(s, kBitMemory[Op][Static] + eaTime(M, 1));
  }
}

// MOVEP: bytes at every other address, high byte first.
template <bool ToMemory, int Sz>
SB_HANDLER(movep) {
  Step s{pc_, budget_};
  uint32_t a = areg(lowReg(op)) + uint32_t(int32_t(int16_t(fetch16(s))));
  const uint32_t r = highReg(op);
  if constexpr (ToMemory) {
    const uint32_t v = dreg(r);
    for (int shift = Sz * 8 - 8; shift >= 0; shift -= 8, a += 2) writeByte(s, a, v >> shift);
  } else {
    uint32_t v = 0;
    for (int i = 0; i < Sz; ++i, a += 2) v = (v << 8) | readByte(s, a);
    setDreg<Sz>(r, v);
  }
  SB_NEXT(s, kMovep.at(Sz));
}

}  // namespace

void bindBits() {
  bindFamily<Family::kBitStatic>([](auto f) { return &bitOperation<f.variant, true, f.mode>; });
  bindFamily<Family::kBitDynamic>([](auto f) { return &bitOperation<f.variant, false, f.mode>; });
  bindFamily<Family::kMovepToRegister>([](auto f) { return &movep<false, f.size>; });
  bindFamily<Family::kMovepToMemory>([](auto f) { return &movep<true, f.size>; });
}

}  // namespace m68k
