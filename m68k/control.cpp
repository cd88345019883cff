// Line 4 control and address instructions: JMP, JSR, RTS, RTR, LEA, PEA,
// MOVEM, CHK.
#include "m68k/costs.h"

namespace m68k {
namespace {

constexpr uint32_t kVectorChk = 6;

template <int M>
SB_HANDLER(jmp) {
  Step s{pc_, rem_};
  jumpTo(s, eaAddress<M, 4>(s, lowReg(op)));
  SB_NEXT(s, controlCost(kJmp, M));
}

template <int M>
SB_HANDLER(jsr) {
  Step s{pc_, rem_};
  const uint32_t target = eaAddress<M, 4>(s, lowReg(op));
  areg(7) -= 4;
  writeLong(s, areg(7), pcOf(s.pc));
  jumpTo(s, target);
  SB_NEXT(s, controlCost(kJsr, M));
}

SB_HANDLER(rts) {
  (void)op;
  Step s{pc_, rem_};
  const uint32_t target = readLong(s, areg(7));
  areg(7) += 4;
  jumpTo(s, target);
  SB_NEXT(s, kRts);
}

SB_HANDLER(rtr) {
  (void)op;
  Step s{pc_, rem_};
  unpackFlags(readWord(s, areg(7)));
  const uint32_t target = readLong(s, areg(7) + 2);
  areg(7) += 6;
  jumpTo(s, target);
  SB_NEXT(s, kRtr);
}

template <int M>
SB_HANDLER(lea) {
  Step s{pc_, rem_};
  areg(highReg(op)) = eaAddress<M, 4>(s, lowReg(op));
  SB_NEXT(s, controlCost(kLea, M));
}

template <int M>
SB_HANDLER(pea) {
  Step s{pc_, rem_};
  const uint32_t a = eaAddress<M, 4>(s, lowReg(op));
  areg(7) -= 4;
  writeLong(s, areg(7), a);
  SB_NEXT(s, controlCost(kPea, M));
}

// Registers to memory. -(An): the mask runs from A7 (bit 0) to D0 (bit 15),
// stored downwards, An written once at the end.
template <int Sz, int M>
SB_HANDLER(movemToMemory) {
  Step s{pc_, rem_};
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
  Step s{pc_, rem_};
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
  Step s{pc_, rem_};
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
  forModes([&](auto mode) {
    constexpr int M = decltype(mode)::value;
    constexpr int ext = extensionBytes(M, 4);
    if constexpr (isControl(M)) {
      bind(withModes("0100 1110 11 eeeeee", 0, M).text, &jmp<M>, 2 + ext);
      bind(withModes("0100 1110 10 eeeeee", 0, M).text, &jsr<M>, 2 + ext);
      bind(withModes("0100 ---1 11 eeeeee", 0, M).text, &lea<M>, 2 + ext);
      bind(withModes("0100 1000 01 eeeeee", 0, M).text, &pea<M>, 2 + ext);
    }
    if constexpr ((isControl(M) && isAlterable(M)) || M == kPreDec) {
      bind(withModes("0100 1000 10 eeeeee", 0, M).text, &movemToMemory<2, M>, 4 + ext);
      bind(withModes("0100 1000 11 eeeeee", 0, M).text, &movemToMemory<4, M>, 4 + ext);
    }
    if constexpr (isControl(M) || M == kPostInc) {
      bind(withModes("0100 1100 10 eeeeee", 0, M).text, &movemToRegisters<2, M>, 4 + ext);
      bind(withModes("0100 1100 11 eeeeee", 0, M).text, &movemToRegisters<4, M>, 4 + ext);
    }
    if constexpr (isData(M)) {
      bind(withModes("0100 ---1 10 eeeeee", 0, M).text, &chk<M>, 2 + extensionBytes(M, 2));
    }
  });
  bind("0100 1110 0111 0101", &rts, 2);
  bind("0100 1110 0111 0111", &rtr, 2);
}

}  // namespace m68k
