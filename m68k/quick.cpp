// Line 5: ADDQ, SUBQ, Scc, DBcc.
#include "m68k/alu.h"
#include "m68k/bind.h"
#include "m68k/conditions.h"
#include "m68k/costs.h"

namespace m68k {
namespace {

// Quick data 1-8 (0 stands for 8); to An the whole register, no flags.
template <bool Add, int Sz, int M>
SB_HANDLER(quick) {
  Step s{pc_, budget_};
  const uint32_t data = ((highReg(op) - 1) & 7) + 1;
  const uint32_t r = lowReg(op);
  if constexpr (M == kAn) {
    areg(r) = Add ? areg(r) + data : areg(r) - data;
  } else {
    const uint32_t where = rmwLocate<M, Sz>(s, r);
    const uint32_t d = rmwRead<M, Sz>(s, where);
    rmwWrite<M, Sz>(s, where, Add ? addFlags<Sz>(d, data) : subFlags<Sz>(d, data));
  }
  SB_NEXT(s, formCost(kQuick, M, Sz));
}

template <int Cc, int M>
SB_HANDLER(scc) {
  Step s{pc_, budget_};
  const bool holds = condition<Cc>();
  eaWrite<M, 1>(s, lowReg(op), holds ? 0xFF : 0x00);  // only writes
  SB_NEXT(s, holds ? formCost(kSccTrue, M, 1) : formCost(kSccFalse, M, 1));
}

template <int Cc>
SB_HANDLER(dbcc) {
  Step s{pc_, budget_};
  if (condition<Cc>()) {
    s.pc += 2;
    SB_NEXT(s, kDbccConditionTrue);
  }
  const uint32_t r = lowReg(op);
  const uint32_t count = (dreg(r) - 1) & 0xFFFF;
  setDreg<2>(r, count);
  if (count == 0xFFFF) {
    s.pc += 2;
    SB_NEXT(s, kDbccExpired);
  }
  s.pc += uintptr_t(intptr_t(int16_t(load16(s.pc))));
  SB_NEXT(s, kDbccBranch);
}

}  // namespace

void bindQuick() {
  bindFamily<Family::kQuick>([](auto f) { return &quick<f.variant == kAdd, f.size, f.mode>; });
  bindFamily<Family::kScc>([](auto f) { return &scc<f.variant, f.mode>; });
  bindFamily<Family::kDbcc>([](auto f) { return &dbcc<f.variant>; });
}

}  // namespace m68k
