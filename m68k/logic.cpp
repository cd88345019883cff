// Lines 8, B, C: AND, OR to a data register or to memory, EOR.
#include "m68k/bind.h"
#include "m68k/costs.h"

namespace m68k {
namespace {

template <int Op>
SB_INLINE uint32_t logic(uint32_t a, uint32_t b) {
  if constexpr (Op == kAnd)
    return a & b;
  else if constexpr (Op == kOr)
    return a | b;
  else
    return a ^ b;
}

// <ea>,Dn
template <int Op, int Sz, int M>
SB_HANDLER(logicToRegister) {
  Step s{pc_, budget_};
  const uint32_t src = eaRead<M, Sz>(s, lowReg(op));
  const uint32_t r = highReg(op);
  const uint32_t result = logic<Op>(dreg(r), src) & kMask<Sz>;
  setLogic<Sz>(result);
  setDreg<Sz>(r, result);
  SB_NEXT(s, toRegisterCost(kAluToRegister, M, Sz));
}

// Dn,<ea> (EOR also to a data register)
template <int Op, int Sz, int M>
SB_HANDLER(logicToEa) {
  Step s{pc_, budget_};
  const uint32_t src = dreg(highReg(op));
  const uint32_t where = rmwLocate<M, Sz>(s, lowReg(op));
  const uint32_t result = logic<Op>(rmwRead<M, Sz>(s, where), src) & kMask<Sz>;
  setLogic<Sz>(result);
  rmwWrite<M, Sz>(s, where, result);
  SB_NEXT(s, formCost(kAluToMemory, M, Sz));
}

}  // namespace

void bindLogic() {
  bindFamily<Family::kLogicToRegister>(
      [](auto f) { return &logicToRegister<f.variant, f.size, f.mode>; });
  bindFamily<Family::kLogicToEa>([](auto f) { return &logicToEa<f.variant, f.size, f.mode>; });
}

}  // namespace m68k
