// Line 4 status-register and system instructions: MOVE from/to SR and CCR,
// MOVE USP, RESET, NOP, STOP, RTE, TRAP, TRAPV, LINK, UNLK, SWAP, EXT, and
// EXG and MOVEQ.
#include "m68k/costs.h"

namespace m68k {
namespace {

constexpr uint32_t kVectorPrivilege = 8;
constexpr uint32_t kVectorTrapv = 7;
constexpr uint32_t kVectorTrap = 32;
constexpr uint8_t kStoppedBit = 1;

// Privileged instructions test S before reading any extension word.
#define SB_PRIVILEGED(s)                                             \
  do {                                                               \
    if (!(g.ctx.sr & kSrSuper)) {                                    \
      (s) = raiseException((s), kVectorPrivilege, pcOf((s).pc) - 2); \
      SB_NEXT((s), kExceptionCost);                                  \
    }                                                                \
  } while (0)

template <int M>
SB_HANDLER(moveFromSr) {
  Step s{pc_, rem_};
  eaWrite<M, 2>(s, lowReg(op), composeSr());
  SB_NEXT(s, formCost(kMoveFromSr, M, 2));
}

template <int M>
SB_HANDLER(moveToCcr) {
  Step s{pc_, rem_};
  unpackFlags(eaRead<M, 2>(s, lowReg(op)));
  SB_NEXT(s, formCost(kMoveToStatus, M, 2));
}

template <int M>
SB_HANDLER(moveToSr) {
  Step s{pc_, rem_};
  SB_PRIVILEGED(s);
  writeSr(eaRead<M, 2>(s, lowReg(op)));
  SB_RECHECK(s, formCost(kMoveToStatus, M, 2));
}

template <bool ToUsp>
SB_HANDLER(moveUsp) {
  Step s{pc_, rem_};
  SB_PRIVILEGED(s);
  if (ToUsp)
    g.ctx.otherSp = areg(lowReg(op));
  else
    areg(lowReg(op)) = g.ctx.otherSp;
  SB_NEXT(s, kMoveUsp);
}

SB_HANDLER(reset) {
  (void)op;
  Step s{pc_, rem_};
  SB_PRIVILEGED(s);
  if (!g.ctx.resetHandler) {
    s.pc -= 2;  // the PC stays on the RESET; it runs again next time
    SB_STOP(s, pcOf(s.pc) & 0xFFFFFF);
  }
  g.savedPc = s.pc;
  g.savedRem = s.rem;
  g.ctx.resetHandler();
  s.rem = g.savedRem;
  SB_NEXT(s, kReset);
}

SB_HANDLER(nop) {
  (void)op;
  Step s{pc_, rem_};
  SB_NEXT(s, kNop);
}

SB_HANDLER(stop) {
  (void)op;
  Step s{pc_, rem_};
  SB_PRIVILEGED(s);
  writeSr(fetch16(s));
  g.ctx.interrupts[0] |= kStoppedBit;
  s.rem -= kStop;
  if (s.rem >= 0) s.rem = -1;  // the slice ends now
  return endChain(s.pc, s.rem, 0);
}

SB_HANDLER(rte) {
  (void)op;
  Step s{pc_, rem_};
  SB_PRIVILEGED(s);
  const uint32_t frame = areg(7);
  writeSr(readWord(s, frame));
  if (g.ctx.sr & kSrSuper)
    areg(7) += 6;
  else
    g.ctx.otherSp += 6;
  jumpTo(s, readLong(s, frame + 2));  // through the maps of the new mode
  SB_RECHECK(s, kRte);
}

SB_HANDLER(trap) {
  Step s{pc_, rem_};
  s = raiseException(s, kVectorTrap + (op & 15), pcOf(s.pc));
  SB_NEXT(s, kExceptionCost);
}

SB_HANDLER(trapv) {
  (void)op;
  Step s{pc_, rem_};
  if (flagV) {
    s = raiseException(s, kVectorTrapv, pcOf(s.pc));
    SB_NEXT(s, kTrapvTrap);
  }
  SB_NEXT(s, kTrapv);
}

SB_HANDLER(link) {
  Step s{pc_, rem_};
  const uint32_t r = lowReg(op);
  const uint32_t displacement = uint32_t(int32_t(int16_t(fetch16(s))));
  const uint32_t pushed = areg(r);  // LINK A7 pushes A7 as it was
  areg(7) -= 4;
  writeLong(s, areg(7), pushed);
  areg(r) = areg(7);
  areg(7) += displacement;
  SB_NEXT(s, kLink);
}

SB_HANDLER(unlk) {
  Step s{pc_, rem_};
  const uint32_t r = lowReg(op);
  areg(7) = areg(r);
  const uint32_t v = readLong(s, areg(7));
  areg(7) += 4;
  areg(r) = v;
  SB_NEXT(s, kUnlk);
}

SB_HANDLER(swap) {
  Step s{pc_, rem_};
  uint32_t& d = dreg(lowReg(op));
  d = (d << 16) | (d >> 16);
  setLogic<4>(d);
  SB_NEXT(s, kSwap);
}

template <int Sz>
SB_HANDLER(ext) {
  Step s{pc_, rem_};
  const uint32_t r = lowReg(op);
  if constexpr (Sz == 2) {
    const uint32_t v = signExtend<1>(dreg(r));
    setDreg<2>(r, v);
    setLogic<2>(v);
  } else {
    dreg(r) = signExtend<2>(dreg(r));
    setLogic<4>(dreg(r));
  }
  SB_NEXT(s, kExt);
}

// EXG: register numbers in D0-D7/A0-A7 order.
template <uint32_t X, uint32_t Y>
SB_HANDLER(exg) {
  Step s{pc_, rem_};
  const uint32_t a = X + highReg(op), b = Y + lowReg(op);
  const uint32_t t = reg16(a);
  setReg16(a, reg16(b));
  setReg16(b, t);
  SB_NEXT(s, kExg);
}

SB_HANDLER(moveq) {
  Step s{pc_, rem_};
  const uint32_t v = signExtend<1>(op);
  dreg(highReg(op)) = v;
  setLogic<4>(v);
  SB_NEXT(s, kMoveq);
}

constexpr PatternRow kRows[] = {
    {"0100 1110 0110 0---", &moveUsp<true>, 2},   // MOVE An,USP
    {"0100 1110 0110 1---", &moveUsp<false>, 2},  // MOVE USP,An
    {"0100 1110 0111 0000", &reset, 2},          {"0100 1110 0111 0001", &nop, 2},
    {"0100 1110 0111 0010", &stop, 4},           {"0100 1110 0111 0011", &rte, 2},
    {"0100 1110 0100 ----", &trap, 2},           {"0100 1110 0111 0110", &trapv, 2},
    {"0100 1110 0101 0---", &link, 4},           {"0100 1110 0101 1---", &unlk, 2},
    {"0100 1000 0100 0---", &swap, 2},           {"0100 1000 1000 0---", &ext<2>, 2},  // EXT.W
    {"0100 1000 1100 0---", &ext<4>, 2},                                               // EXT.L
    {"1100 ---1 0100 0---", &exg<0, 0>, 2},                                            // EXG Dx,Dy
    {"1100 ---1 0100 1---", &exg<8, 8>, 2},                                            // EXG Ax,Ay
    {"1100 ---1 1000 1---", &exg<0, 8>, 2},                                            // EXG Dx,Ay
    {"0111 ---0 ---- ----", &moveq, 2},
};

}  // namespace

void bindSystem() {
  forModes([&](auto mode) {
    constexpr int M = decltype(mode)::value;
    if constexpr (isDataAlterable(M)) {
      bind(withModes("0100 0000 11 eeeeee", 0, M).text, &moveFromSr<M>, 2 + extensionBytes(M, 2));
    }
    if constexpr (isData(M)) {
      bind(withModes("0100 0100 11 eeeeee", 0, M).text, &moveToCcr<M>, 2 + extensionBytes(M, 2));
      bind(withModes("0100 0110 11 eeeeee", 0, M).text, &moveToSr<M>, 2 + extensionBytes(M, 2));
    }
  });
  for (const PatternRow& r : kRows) bind(r.pattern, r.handler, r.length);
}

}  // namespace m68k
