// Single-operand line 4 instructions: NEGX, CLR, NEG, NOT, TST, TAS.
#include "m68k/alu.h"
#include "m68k/bind.h"
#include "m68k/costs.h"

namespace m68k {
namespace {

template <int Op, int Sz, int M>
SB_HANDLER(unary) {
  Step s{pc_, budget_};
  const uint32_t r = lowReg(op);
  if constexpr (Op == kClr) {
    setCVZN(0, 0, 1, 0);
    eaWrite<M, Sz>(s, r, 0);  // only writes
    SB_NEXT(s, formCost(kClear, M, Sz));
  } else if constexpr (Op == kTst) {
    setLogic<Sz>(eaRead<M, Sz>(s, r));
    SB_NEXT(s, formCost(kTest, M, Sz));
  } else {
    const uint32_t where = rmwLocate<M, Sz>(s, r);
    const uint32_t d = rmwRead<M, Sz>(s, where);
    uint32_t result;
    if constexpr (Op == kNegx) {
      result = subFlags<Sz, true>(0, d, flagX);
    } else if constexpr (Op == kNeg) {
      result = subFlags<Sz>(0, d);
    } else {
      result = ~d & kMask<Sz>;
      setLogic<Sz>(result);
    }
    rmwWrite<M, Sz>(s, where, result);
    SB_NEXT(s, formCost(kNegate, M, Sz));
  }
}

// TAS: flags from the byte as read, then bit 7 set; no indivisible cycle.
template <int M>
SB_HANDLER(tas) {
  Step s{pc_, budget_};
  const uint32_t where = rmwLocate<M, 1>(s, lowReg(op));
  const uint32_t d = rmwRead<M, 1>(s, where);
  setLogic<1>(d);
  rmwWrite<M, 1>(s, where, d | 0x80);
  SB_NEXT(s, formCost(kTas, M, 1));
}

}  // namespace

void bindUnary() {
  bindFamily<Family::kUnary>([](auto f) { return &unary<f.variant, f.size, f.mode>; });
  bindFamily<Family::kTas>([](auto f) { return &tas<f.mode>; });
}

}  // namespace m68k
