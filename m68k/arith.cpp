// Lines 9, B, D: ADD, SUB, CMP, ADDA, SUBA, CMPA, ADDX, SUBX, CMPM.
#include "m68k/alu.h"
#include "m68k/costs.h"

namespace m68k {
namespace {

enum ArithOp { kAdd, kSub, kCmp };

// <ea>,Dn
template <int Op, int Sz, int M>
SB_HANDLER(arithToRegister) {
  Step s{pc_, rem_};
  const uint32_t src = eaRead<M, Sz>(s, lowReg(op));
  const uint32_t r = highReg(op);
  const uint32_t d = dreg(r) & kMask<Sz>;
  if constexpr (Op == kCmp) {
    cmpFlags<Sz>(d, src);
    SB_NEXT(s, toRegisterCost(kCompareToRegister, M, Sz));
  } else {
    setDreg<Sz>(r, Op == kAdd ? addFlags<Sz>(d, src) : subFlags<Sz>(d, src));
    SB_NEXT(s, toRegisterCost(kAluToRegister, M, Sz));
  }
}

// Dn,<ea>
template <int Op, int Sz, int M>
SB_HANDLER(arithToMemory) {
  Step s{pc_, rem_};
  const uint32_t src = dreg(highReg(op)) & kMask<Sz>;
  const uint32_t where = eaAddress<M, Sz>(s, lowReg(op));
  const uint32_t d = readMem<Sz>(s, where);
  writeMem<Sz>(s, where, Op == kAdd ? addFlags<Sz>(d, src) : subFlags<Sz>(d, src));
  SB_NEXT(s, formCost(kAluToMemory, M, Sz));
}

// ADDA, SUBA, CMPA: word sources sign-extended, whole An.
template <int Op, int Sz, int M>
SB_HANDLER(arithAddress) {
  Step s{pc_, rem_};
  const uint32_t src = signExtend<Sz>(eaRead<M, Sz>(s, lowReg(op)));
  uint32_t& a = areg(highReg(op));
  if constexpr (Op == kCmp) {
    cmpFlags<4>(a, src);
    SB_NEXT(s, toRegisterCost(kCompareAddress, M, Sz));
  } else {
    a = Op == kAdd ? a + src : a - src;
    SB_NEXT(s, toRegisterCost(kAddressArith, M, Sz));
  }
}

// ADDX, SUBX: Dy,Dx or -(Ay),-(Ax).
template <bool Add, int Sz, bool Memory>
SB_HANDLER(arithExtended) {
  Step s{pc_, rem_};
  const uint32_t rx = highReg(op), ry = lowReg(op);
  if constexpr (Memory) {
    const uint32_t src = readMem<Sz>(s, areg(ry) -= addressStep<Sz>(ry));
    const uint32_t where = areg(rx) -= addressStep<Sz>(rx);
    const uint32_t d = readMem<Sz>(s, where);
    writeMem<Sz>(s, where,
                 Add ? addFlags<Sz, true>(d, src, flagX) : subFlags<Sz, true>(d, src, flagX));
    SB_NEXT(s, kExtendedMemory.at(Sz));
  } else {
    const uint32_t src = dreg(ry) & kMask<Sz>, d = dreg(rx) & kMask<Sz>;
    setDreg<Sz>(rx, Add ? addFlags<Sz, true>(d, src, flagX) : subFlags<Sz, true>(d, src, flagX));
    SB_NEXT(s, kExtendedRegister.at(Sz));
  }
}

// CMPM (Ay)+,(Ax)+
template <int Sz>
SB_HANDLER(cmpm) {
  Step s{pc_, rem_};
  const uint32_t src = eaRead<kPostInc, Sz>(s, lowReg(op));
  const uint32_t d = eaRead<kPostInc, Sz>(s, highReg(op));
  cmpFlags<Sz>(d, src);
  SB_NEXT(s, kCompareMemory.at(Sz));
}

template <int Op>
void bindToRegister(const char* pattern) {
  forSizes([&](auto size) {
    constexpr int Sz = decltype(size)::value;
    forModes([&](auto mode) {
      constexpr int M = decltype(mode)::value;
      if constexpr (!(M == kAn && Sz == 1)) {
        bind(withModes(pattern, Sz, M).text, &arithToRegister<Op, Sz, M>,
             2 + extensionBytes(M, Sz));
      }
    });
  });
}

template <int Op>
void bindToMemory(const char* pattern) {
  forSizes([&](auto size) {
    constexpr int Sz = decltype(size)::value;
    forModes([&](auto mode) {
      constexpr int M = decltype(mode)::value;
      if constexpr (isMemoryAlterable(M)) {
        bind(withModes(pattern, Sz, M).text, &arithToMemory<Op, Sz, M>, 2 + extensionBytes(M, Sz));
      }
    });
  });
}

template <int Op, int Sz>
void bindToAddress(const char* pattern) {
  forModes([&](auto mode) {
    constexpr int M = decltype(mode)::value;
    bind(withModes(pattern, 0, M).text, &arithAddress<Op, Sz, M>, 2 + extensionBytes(M, Sz));
  });
}

template <bool Add, bool Memory>
void bindExtended(const char* pattern) {
  forSizes([&](auto size) {
    constexpr int Sz = decltype(size)::value;
    bind(withModes(pattern, Sz, -1).text, &arithExtended<Add, Sz, Memory>, 2);
  });
}

void bindCmpm(const char* pattern) {
  forSizes([&](auto size) {
    constexpr int Sz = decltype(size)::value;
    bind(withModes(pattern, Sz, -1).text, &cmpm<Sz>, 2);
  });
}

constexpr FamilyRow kFamilies[] = {
    {"1101 ---0 ss eeeeee", &bindToRegister<kAdd>},        // ADD <ea>,Dn
    {"1101 ---1 ss eeeeee", &bindToMemory<kAdd>},          // ADD Dn,<ea>
    {"1101 ---0 11 eeeeee", &bindToAddress<kAdd, 2>},      // ADDA.W
    {"1101 ---1 11 eeeeee", &bindToAddress<kAdd, 4>},      // ADDA.L
    {"1101 ---1 ss00 0---", &bindExtended<true, false>},   // ADDX Dy,Dx
    {"1101 ---1 ss00 1---", &bindExtended<true, true>},    // ADDX -(Ay),-(Ax)
    {"1001 ---0 ss eeeeee", &bindToRegister<kSub>},        // SUB <ea>,Dn
    {"1001 ---1 ss eeeeee", &bindToMemory<kSub>},          // SUB Dn,<ea>
    {"1001 ---0 11 eeeeee", &bindToAddress<kSub, 2>},      // SUBA.W
    {"1001 ---1 11 eeeeee", &bindToAddress<kSub, 4>},      // SUBA.L
    {"1001 ---1 ss00 0---", &bindExtended<false, false>},  // SUBX Dy,Dx
    {"1001 ---1 ss00 1---", &bindExtended<false, true>},   // SUBX -(Ay),-(Ax)
    {"1011 ---0 ss eeeeee", &bindToRegister<kCmp>},        // CMP <ea>,Dn
    {"1011 ---0 11 eeeeee", &bindToAddress<kCmp, 2>},      // CMPA.W
    {"1011 ---1 11 eeeeee", &bindToAddress<kCmp, 4>},      // CMPA.L
    {"1011 ---1 ss00 1---", &bindCmpm},                    // CMPM (Ay)+,(Ax)+
};

}  // namespace

void bindArith() {
  for (const FamilyRow& f : kFamilies) f.bindAll(f.pattern);
}

}  // namespace m68k
