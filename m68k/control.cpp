// Line 4 control and address instructions: JMP, JSR, RTS, RTR, LEA, PEA,
// MOVEM, CHK.
#include "m68k/bind.h"
#include "m68k/costs.h"

namespace m68k {
namespace {

constexpr uint32_t kVectorChk = 6;

template <int M>
SB_HANDLER(jmp) {
  Step s{pc_, budget_};
  jumpTo(s, eaAddress<M, 4>(s, lowReg(op)));
  SB_NEXT(s, controlCost(kJmp, M));
}

template <int M>
SB_HANDLER(jsr) {
  Step s{pc_, budget_};
  const uint32_t target = eaAddress<M, 4>(s, lowReg(op));
  areg(7) -= 4;
  writeLong(s, areg(7), pcOf(s.pc));
  jumpTo(s, target);
  SB_NEXT(s, controlCost(kJsr, M));
}

SB_HANDLER(rts) {
  (void)op;
  Step s{pc_, budget_};
  const uint32_t target = readLong(s, areg(7));
  areg(7) += 4;
  jumpTo(s, target);
  SB_NEXT(s, kRts);
}

SB_HANDLER(rtr) {
  (void)op;
  Step s{pc_, budget_};
  unpackFlags(readWord(s, areg(7)));
  const uint32_t target = readLong(s, areg(7) + 2);
  areg(7) += 6;
  jumpTo(s, target);
  SB_NEXT(s, kRtr);
}

template <int M>
SB_HANDLER(lea) {
  Step s{pc_, budget_};
  areg(highReg(op)) = eaAddress<M, 4>(s, lowReg(op));
  SB_NEXT(s, controlCost(kLea, M));
}

template <int M>
SB_HANDLER(pea) {
  Step s{pc_, budget_};
  const uint32_t a = eaAddress<M, 4>(s, lowReg(op));
  areg(7) -= 4;
  writeLong(s, areg(7), a);
  SB_NEXT(s, controlCost(kPea, M));
}

// Registers to memory. -(An): the mask runs from A7 (bit 0) to D0 (bit 15),
// stored downwards, An written once at the end.
template <int Sz, int M>
SB_HANDLER(movemToMemory) {
  Step s{pc_, budget_};
  const uint32_t mask = fetch16(s);
  const uint32_t r = lowReg(op);
  int cost = movemToMemoryCost(M);
  if constexpr (M == kPreDec) {
    uint32_t a = areg(r);
    for (uint32_t k = 0; k < 16; ++k) {
      if (!(mask & (1u << k))) continue;
      a -= Sz;
      writeMem<Sz>(s, a, reg16(15 - k));
      cost += kMovemPerRegister.at(Sz);
    }
    areg(r) = a;
  } else {
    uint32_t a = eaAddress<M, Sz>(s, r);
    for (uint32_t k = 0; k < 16; ++k) {
      if (!(mask & (1u << k))) continue;
      writeMem<Sz>(s, a, reg16(k));
      a += Sz;
      cost += kMovemPerRegister.at(Sz);
    }
  }
  SB_NEXT(s, cost);
}

// Memory to registers, D0 up to A7; words are sign-extended; (An)+ writes
// An back with the final address after the loads.
template <int Sz, int M>
SB_HANDLER(movemToRegisters) {
  Step s{pc_, budget_};
  const uint32_t mask = fetch16(s);
  const uint32_t r = lowReg(op);
  int cost = movemToRegistersCost(M);
  uint32_t a;
  if constexpr (M == kPostInc)
    a = areg(r);
  else
    a = eaAddress<M, Sz>(s, r);
  for (uint32_t k = 0; k < 16; ++k) {
    if (!(mask & (1u << k))) continue;
    setReg16(k, signExtend<Sz>(readMem<Sz>(s, a)));
    a += Sz;
    cost += kMovemPerRegister.at(Sz);
  }
  if constexpr (M == kPostInc) areg(r) = a;
  SB_NEXT(s, cost);
}

template <int M>
SB_HANDLER(chk) {
  Step s{pc_, budget_};
  const int32_t bound = int16_t(eaRead<M, 2>(s, lowReg(op)));
  const int32_t v = int16_t(dreg(highReg(op)));
  if (v < 0 || v > bound) {
    setCVZN(0, 0, 0, v < 0);
    s = raiseException(s, kVectorChk, pcOf(s.pc));
    SB_NEXT(s, kChkTrap + eaTime(M, 2));
  }
  setCVZN(0, 0, 0, 0);
  SB_NEXT(s, kChk + eaTime(M, 2));
}

}  // namespace

void bindControl() {
  bindFamily<Family::kJmp>([](auto f) { return &jmp<f.mode>; });
  bindFamily<Family::kJsr>([](auto f) { return &jsr<f.mode>; });
  bindFamily<Family::kLea>([](auto f) { return &lea<f.mode>; });
  bindFamily<Family::kPea>([](auto f) { return &pea<f.mode>; });
  bindFamily<Family::kMovemToMemory>([](auto f) { return &movemToMemory<f.size, f.mode>; });
  bindFamily<Family::kMovemToRegisters>([](auto f) { return &movemToRegisters<f.size, f.mode>; });
  bindFamily<Family::kChk>([](auto f) { return &chk<f.mode>; });
  bindFamily<Family::kRts>([](auto) { return &rts; });
  bindFamily<Family::kRtr>([](auto) { return &rtr; });
}

}  // namespace m68k
