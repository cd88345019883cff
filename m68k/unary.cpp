// Single-operand line 4 instructions: NEGX, CLR, NEG, NOT, TST, TAS.
#include "m68k/alu.h"
#include "m68k/costs.h"

namespace m68k {
namespace {

enum UnaryOp { kNegx, kClr, kNeg, kNot, kTst };

template <int Op, int Sz, int M>
SB_HANDLER(unary) {
  Step s{pc_, rem_};
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
  Step s{pc_, rem_};
  const uint32_t where = rmwLocate<M, 1>(s, lowReg(op));
  const uint32_t d = rmwRead<M, 1>(s, where);
  setLogic<1>(d);
  rmwWrite<M, 1>(s, where, d | 0x80);
  SB_NEXT(s, formCost(kTas, M, 1));
}

template <int Op>
void bindUnaryOp(const char* pattern) {
  forSizes([&](auto size) {
    constexpr int Sz = decltype(size)::value;
    forModes([&](auto mode) {
      constexpr int M = decltype(mode)::value;
      if constexpr (isDataAlterable(M)) {
        bind(withModes(pattern, Sz, M).text, &unary<Op, Sz, M>, 2 + extensionBytes(M, Sz));
      }
    });
  });
}

void bindTas(const char* pattern) {
  forModes([&](auto mode) {
    constexpr int M = decltype(mode)::value;
    if constexpr (isDataAlterable(M)) {
      bind(withModes(pattern, 0, M).text, &tas<M>, 2 + extensionBytes(M, 1));
    }
  });
}

constexpr FamilyRow kFamilies[] = {
    {"0100 0000 ss eeeeee", &bindUnaryOp<kNegx>},  // NEGX
    {"0100 0010 ss eeeeee", &bindUnaryOp<kClr>},   // CLR
    {"0100 0100 ss eeeeee", &bindUnaryOp<kNeg>},   // NEG
    {"0100 0110 ss eeeeee", &bindUnaryOp<kNot>},   // NOT
    {"0100 1010 ss eeeeee", &bindUnaryOp<kTst>},   // TST
    {"0100 1010 11 eeeeee", &bindTas},             // TAS
};

}  // namespace

void bindUnary() {
  for (const FamilyRow& f : kFamilies) f.bindAll(f.pattern);
}

}  // namespace m68k
