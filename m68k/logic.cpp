// Lines 8, B, C: AND, OR to a data register or to memory, EOR.
#include "m68k/costs.h"

namespace m68k {
namespace {

enum LogicOp { kAnd, kOr, kEor };

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
  Step s{pc_, rem_};
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
  Step s{pc_, rem_};
  const uint32_t src = dreg(highReg(op));
  const uint32_t where = rmwLocate<M, Sz>(s, lowReg(op));
  const uint32_t result = logic<Op>(rmwRead<M, Sz>(s, where), src) & kMask<Sz>;
  setLogic<Sz>(result);
  rmwWrite<M, Sz>(s, where, result);
  SB_NEXT(s, formCost(kAluToMemory, M, Sz));
}

template <int Op>
void bindToRegister(const char* pattern) {
  forSizes([&](auto size) {
    constexpr int Sz = decltype(size)::value;
    forModes([&](auto mode) {
      constexpr int M = decltype(mode)::value;
      if constexpr (isData(M)) {
        bind(withModes(pattern, Sz, M).text, &logicToRegister<Op, Sz, M>,
             2 + extensionBytes(M, Sz));
      }
    });
  });
}

// EOR also to a data register; AND and OR to memory only.
template <int Op>
void bindToEa(const char* pattern) {
  forSizes([&](auto size) {
    constexpr int Sz = decltype(size)::value;
    forModes([&](auto mode) {
      constexpr int M = decltype(mode)::value;
      if constexpr (Op == kEor ? isDataAlterable(M) : isMemoryAlterable(M)) {
        bind(withModes(pattern, Sz, M).text, &logicToEa<Op, Sz, M>, 2 + extensionBytes(M, Sz));
      }
    });
  });
}

constexpr FamilyRow kFamilies[] = {
    {"1000 ---0 ss eeeeee", &bindToRegister<kOr>},   // OR <ea>,Dn
    {"1000 ---1 ss eeeeee", &bindToEa<kOr>},         // OR Dn,<ea>
    {"1100 ---0 ss eeeeee", &bindToRegister<kAnd>},  // AND <ea>,Dn
    {"1100 ---1 ss eeeeee", &bindToEa<kAnd>},        // AND Dn,<ea>
    {"1011 ---1 ss eeeeee", &bindToEa<kEor>},        // EOR Dn,<ea>
};

}  // namespace

void bindLogic() {
  for (const FamilyRow& f : kFamilies) f.bindAll(f.pattern);
}

}  // namespace m68k
