// MULU, MULS, DIVU, DIVS (16-bit operands).
#include "m68k/bind.h"
#include "m68k/costs.h"

namespace m68k {
namespace {

constexpr uint32_t kVectorZeroDivide = 5;

// Ones in a word: the multiply's time grows with them (a plain count, as the
// host may have no instruction for it).
SB_INLINE int onesIn(uint32_t word) {
  word = word - ((word >> 1) & 0x5555);
  word = (word & 0x3333) + ((word >> 2) & 0x3333);
  word = (word + (word >> 4)) & 0x0F0F;
  return int((word + (word >> 8)) & 0x1F);
}

template <bool Signed, int M>
SB_HANDLER(multiply) {
  Step s{pc_, budget_};
  const uint32_t src = eaRead<M, 2>(s, lowReg(op));
  uint32_t& d = dreg(highReg(op));
  int n;
  if constexpr (Signed) {
    d = uint32_t(int32_t(int16_t(src)) * int32_t(int16_t(d)));
    const uint32_t bits = src << 1;  // the source followed by a 0
    n = onesIn((bits ^ (bits >> 1)) & 0xFFFF);
  } else {
    d = src * (d & 0xFFFF);
    n = onesIn(src);
  }
  setLogic<4>(d);
  SB_NEXT(s, kMultiply + kMultiplyPerBit * n + eaTime(M, 2));
}

template <bool Signed, int M>
SB_HANDLER(divide) {
  Step s{pc_, budget_};
  const uint32_t src = eaRead<M, 2>(s, lowReg(op));
  uint32_t& d = dreg(highReg(op));
  if (src == 0) {  // flags unchanged
    s = raiseException(s, kVectorZeroDivide, pcOf(s.pc));
    SB_NEXT(s, kDivideByZero + eaTime(M, 2));
  }
  bool fits;
  if constexpr (Signed) {
    const int64_t dividend = int32_t(d), divisor = int16_t(src);
    const int64_t quotient = dividend / divisor, remainder = dividend % divisor;
    fits = quotient >= -32768 && quotient <= 32767;
    if (fits) d = (uint32_t(remainder) << 16) | (uint32_t(quotient) & 0xFFFF);
  } else {
    const uint32_t quotient = d / src, remainder = d % src;
    fits = quotient <= 0xFFFF;
    if (fits) d = (remainder << 16) | quotient;
  }
  if (fits)
    setLogic<2>(d);
  else
    setCVZN(0, 1, 0, 0);  // overflow: Dn unchanged
  SB_NEXT(s, (Signed ? kDivs : kDivu) + eaTime(M, 2));
}

}  // namespace

void bindMulDiv() {
  bindFamily<Family::kMultiply>([](auto f) { return &multiply<f.variant == 1, f.mode>; });
  bindFamily<Family::kDivide>([](auto f) { return &divide<f.variant == 1, f.mode>; });
}

}  // namespace m68k
