// Line 5: ADDQ, SUBQ, Scc, DBcc.
#include "m68k/alu.h"
#include "m68k/conditions.h"
#include "m68k/costs.h"

namespace m68k {
namespace {

// Quick data 1-8 (0 stands for 8); to An the whole register, no flags.
template <bool Add, int Sz, int M>
SB_HANDLER(quick) {
  Step s{pc_, rem_};
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
  Step s{pc_, rem_};
  const bool holds = condition<Cc>();
  eaWrite<M, 1>(s, lowReg(op), holds ? 0xFF : 0x00);  // only writes
  SB_NEXT(s, holds ? formCost(kSccTrue, M, 1) : formCost(kSccFalse, M, 1));
}

template <int Cc>
SB_HANDLER(dbcc) {
  Step s{pc_, rem_};
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

template <bool Add>
void bindQuickOp(const char* pattern) {
  forSizes([&](auto size) {
    constexpr int Sz = decltype(size)::value;
    forModes([&](auto mode) {
      constexpr int M = decltype(mode)::value;
      constexpr bool legal = isAlterable(M) && !(M == kAn && Sz == 1);
      if constexpr (legal) {
        bind(withModes(pattern, Sz, M).text, &quick<Add, Sz, M>, 2 + extensionBytes(M, Sz));
      }
    });
  });
}

}  // namespace

void bindQuick() {
  bindQuickOp<true>("0101 ---0 ss eeeeee");
  bindQuickOp<false>("0101 ---1 ss eeeeee");
  forConditions([&](auto cond) {
    constexpr int Cc = decltype(cond)::value;
    char pattern[] = "0101 cccc 11 eeeeee";
    for (int i = 0; i < 4; ++i) pattern[5 + i] = (Cc >> (3 - i)) & 1 ? '1' : '0';
    forModes([&](auto mode) {
      constexpr int M = decltype(mode)::value;
      if constexpr (isDataAlterable(M)) {
        bind(withModes(pattern, 0, M).text, &scc<Cc, M>, 2 + extensionBytes(M, 1));
      }
    });
    bind(withModes(pattern, 0, kAn).text, &dbcc<Cc>, 4);
  });
}

}  // namespace m68k
