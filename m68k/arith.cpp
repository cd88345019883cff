// Lines 9, B, D: ADD, SUB, CMP, ADDA, SUBA, CMPA, ADDX, SUBX, CMPM.
#include "m68k/alu.h"
#include "m68k/bind.h"
#include "m68k/costs.h"

namespace m68k {
namespace {

// <ea>,Dn
template <int Op, int Sz, int M>
SB_HANDLER(arithToRegister) {
  Step s{pc_, budget_};
  const uint32_t src = eaRead<M, Sz>(s, lowReg(op));
  const uint32_t r = highReg(op);
  const uint32_t d = dreg(r) & kMask<Sz>;
  if constexpr (Op == kCmp) {
    cmpFlags<Sz>(d, src);
    SB_NEXT(s, toRegisterCost(kCompareToRegister, M, Sz));
  } else {
    setDreg<Sz>(r, Op == kAdd ? addFlags<Sz>(d, src) : subFlags<Sz>(d, src));
    SB_NEXT(s, toRegisterCost(kAluToRegister, M, Sz));
  }
}

// Dn,<ea>
template <int Op, int Sz, int M>
SB_HANDLER(arithToMemory) {
  Step s{pc_, budget_};
  const uint32_t src = dreg(highReg(op)) & kMask<Sz>;
  const uint32_t where = eaAddress<M, Sz>(s, lowReg(op));
  const uint32_t d = readMem<Sz>(s, where);
  writeMem<Sz>(s, where, Op == kAdd ? addFlags<Sz>(d, src) : subFlags<Sz>(d, src));
  SB_NEXT(s, formCost(kAluToMemory, M, Sz));
}

// ADDA, SUBA, CMPA: word sources sign-extended, whole An.
template <int Op, int Sz, int M>
SB_HANDLER(arithAddress) {
  Step s{pc_, budget_};
  const uint32_t src = signExtend<Sz>(eaRead<M, Sz>(s, lowReg(op)));
  uint32_t& a = areg(highReg(op));
  if constexpr (Op == kCmp) {
    cmpFlags<4>(a, src);
    SB_NEXT(s, toRegisterCost(kCompareAddress, M, Sz));
  } else {
    a = Op == kAdd ? a + src : a - src;
    SB_NEXT(s, toRegisterCost(kAddressArith, M, Sz));
  }
}

// ADDX, SUBX: Dy,Dx or -(Ay),-(Ax).
template <bool Add, int Sz, bool Memory>
SB_HANDLER(arithExtended) {
  Step s{pc_, budget_};
  const uint32_t rx = highReg(op), ry = lowReg(op);
  if constexpr (Memory) {
    const uint32_t src = readMem<Sz>(s, areg(ry) -= addressStep<Sz>(ry));
    const uint32_t where = areg(rx) -= addressStep<Sz>(rx);
    const uint32_t d = readMem<Sz>(s, where);
    writeMem<Sz>(s, where,
                 Add ? addFlags<Sz, true>(d, src, flagX) : subFlags<Sz, true>(d, src, flagX));
    SB_NEXT(s, kExtendedMemory.at(Sz));
  } else {
    const uint32_t src = dreg(ry) & kMask<Sz>, d = dreg(rx) & kMask<Sz>;
    setDreg<Sz>(rx, Add ? addFlags<Sz, true>(d, src, flagX) : subFlags<Sz, true>(d, src, flagX));
    SB_NEXT(s, kExtendedRegister.at(Sz));
  }
}

// CMPM (Ay)+,(Ax)+
template <int Sz>
SB_HANDLER(cmpm) {
  Step s{pc_, budget_};
  const uint32_t src = eaRead<kPostInc, Sz>(s, lowReg(op));
  const uint32_t d = eaRead<kPostInc, Sz>(s, highReg(op));
  cmpFlags<Sz>(d, src);
  SB_NEXT(s, kCompareMemory.at(Sz));
}

}  // namespace

void bindArith() {
  bindFamily<Family::kArithToRegister>(
      [](auto f) { return &arithToRegister<f.variant, f.size, f.mode>; });
  bindFamily<Family::kArithToMemory>(
      [](auto f) { return &arithToMemory<f.variant, f.size, f.mode>; });
  bindFamily<Family::kArithAddress>(
      [](auto f) { return &arithAddress<f.variant, f.size, f.mode>; });
  bindFamily<Family::kExtendedRegister>(
      [](auto f) { return &arithExtended<f.variant == kAdd, f.size, false>; });
  bindFamily<Family::kExtendedMemory>(
      [](auto f) { return &arithExtended<f.variant == kAdd, f.size, true>; });
  bindFamily<Family::kCmpm>([](auto f) { return &cmpm<f.size>; });
}

}  // namespace m68k
