// Line 4 status-register and system instructions: MOVE from/to SR and CCR,
// MOVE USP, RESET, NOP, STOP, RTE, TRAP, TRAPV, LINK, UNLK, SWAP, EXT, and
// EXG and MOVEQ.
#include "m68k/bind.h"
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
  Step s{pc_, budget_};
  eaWrite<M, 2>(s, lowReg(op), composeSr());
  SB_NEXT(s, formCost(kMoveFromSr, M, 2));
}

template <int M>
SB_HANDLER(moveToCcr) {
  Step s{pc_, budget_};
  unpackFlags(eaRead<M, 2>(s, lowReg(op)));
  SB_NEXT(s, formCost(kMoveToStatus, M, 2));
}

template <int M>
SB_HANDLER(moveToSr) {
  Step s{pc_, budget_};
  SB_PRIVILEGED(s);
  writeSr(eaRead<M, 2>(s, lowReg(op)));
  SB_RECHECK(s, formCost(kMoveToStatus, M, 2));
}

template <bool ToUsp>
SB_HANDLER(moveUsp) {
  Step s{pc_, budget_};
  SB_PRIVILEGED(s);
  if (ToUsp)
    g.ctx.otherSp = areg(lowReg(op));
  else
    areg(lowReg(op)) = g.ctx.otherSp;
  SB_NEXT(s, kMoveUsp);
}

SB_HANDLER(reset) {
  (void)op;
  Step s{pc_, budget_};
  SB_PRIVILEGED(s);
  if (!g.ctx.resetHandler) {
    s.pc -= 2;  // the PC stays on the RESET; it runs again next time
    SB_STOP(s, pcOf(s.pc) & 0xFFFFFF);
  }
  saveSlice(s);
  g.ctx.resetHandler();
  restoreSlice(s, 0);
  SB_NEXT(s, kReset);
}

SB_HANDLER(nop) {
  (void)op;
  Step s{pc_, budget_};
  SB_NEXT(s, kNop);
}

SB_HANDLER(stop) {
  (void)op;
  Step s{pc_, budget_};
  SB_PRIVILEGED(s);
  writeSr(fetch16(s));
  g.ctx.interrupts[0] |= kStoppedBit;
  SB_CHARGE(s, kStop);
  if (s.budget >= 0) {
    setRem(s, -1);  // the slice ends now, with the rest of its budget
    g.stretchRest = 0;
  }
  return endChain(s.pc, s.budget, 0);
}

SB_HANDLER(rte) {
  (void)op;
  Step s{pc_, budget_};
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
  Step s{pc_, budget_};
  s = raiseException(s, kVectorTrap + (op & 15), pcOf(s.pc));
  SB_NEXT(s, kExceptionCost);
}

SB_HANDLER(trapv) {
  (void)op;
  Step s{pc_, budget_};
  if (flagV) {
    s = raiseException(s, kVectorTrapv, pcOf(s.pc));
    SB_NEXT(s, kTrapvTrap);
  }
  SB_NEXT(s, kTrapv);
}

SB_HANDLER(link) {
  Step s{pc_, budget_};
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
  Step s{pc_, budget_};
  const uint32_t r = lowReg(op);
  areg(7) = areg(r);
  const uint32_t v = readLong(s, areg(7));
  areg(7) += 4;
  areg(r) = v;
  SB_NEXT(s, kUnlk);
}

SB_HANDLER(swap) {
  Step s{pc_, budget_};
  uint32_t& d = dreg(lowReg(op));
  d = (d << 16) | (d >> 16);
  setLogic<4>(d);
  SB_NEXT(s, kSwap);
}

template <int Sz>
SB_HANDLER(ext) {
  Step s{pc_, budget_};
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
  Step s{pc_, budget_};
  const uint32_t a = X + highReg(op), b = Y + lowReg(op);
  const uint32_t t = reg16(a);
  setReg16(a, reg16(b));
  setReg16(b, t);
  SB_NEXT(s, kExg);
}

SB_HANDLER(moveq) {
  Step s{pc_, budget_};
  const uint32_t v = signExtend<1>(op);
  dreg(highReg(op)) = v;
  setLogic<4>(v);
  SB_NEXT(s, kMoveq);
}

}  // namespace

void bindSystem() {
  bindFamily<Family::kMoveFromSr>([](auto f) { return &moveFromSr<f.mode>; });
  bindFamily<Family::kMoveToCcr>([](auto f) { return &moveToCcr<f.mode>; });
  bindFamily<Family::kMoveToSr>([](auto f) { return &moveToSr<f.mode>; });
  bindFamily<Family::kMoveToUsp>([](auto) { return &moveUsp<true>; });
  bindFamily<Family::kMoveFromUsp>([](auto) { return &moveUsp<false>; });
  bindFamily<Family::kReset>([](auto) { return &reset; });
  bindFamily<Family::kNop>([](auto) { return &nop; });
  bindFamily<Family::kStop>([](auto) { return &stop; });
  bindFamily<Family::kRte>([](auto) { return &rte; });
  bindFamily<Family::kTrap>([](auto) { return &trap; });
  bindFamily<Family::kTrapv>([](auto) { return &trapv; });
  bindFamily<Family::kLink>([](auto) { return &link; });
  bindFamily<Family::kUnlk>([](auto) { return &unlk; });
  bindFamily<Family::kSwap>([](auto) { return &swap; });
  bindFamily<Family::kExt>([](auto f) { return &ext<f.size>; });
  bindFamily<Family::kExgData>([](auto) { return &exg<0, 0>; });
  bindFamily<Family::kExgAddress>([](auto) { return &exg<8, 8>; });
  bindFamily<Family::kExgDataAddress>([](auto) { return &exg<0, 8>; });
  bindFamily<Family::kMoveq>([](auto) { return &moveq; });
}

}  // namespace m68k
