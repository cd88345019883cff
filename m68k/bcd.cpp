// ABCD, SBCD, NBCD: binary sum or difference with the half carry, then the
// decimal adjustment.
#include "m68k/bind.h"
#include "m68k/costs.h"

namespace m68k {
namespace {

// The adjusted byte with its flags: C and X the decimal carry, Z only
// cleared, V cleared.
SB_INLINE uint32_t bcdFlags(uint32_t a, uint32_t carry) {
  a &= 0xFF;
  flagC = flagX = uint8_t(carry);
  flagN = uint8_t(a >> 7);
  flagV = 0;
  if (a) flagZ = 0;
  return a;
}

SB_INLINE uint32_t bcdAdd(uint32_t dst, uint32_t src) {
  const uint32_t sum = dst + src + flagX;
  const bool half = (dst & 0x0F) + (src & 0x0F) + flagX > 0x0F;
  uint32_t a = sum;
  if ((a & 0x0F) > 9 || half) a += 6;
  uint32_t carry = 0;
  if (sum > 0x99) {  // includes the carry out of bit 7
    a += 0x60;
    carry = 1;
  }
  return bcdFlags(a, carry);
}

SB_INLINE uint32_t bcdSub(uint32_t dst, uint32_t src) {
  const uint32_t difference = (dst - src - flagX) & 0xFF;
  const bool half = (dst & 0x0F) < (src & 0x0F) + flagX;
  const bool borrow = dst < src + flagX;
  uint32_t a = difference;
  uint32_t carry = borrow;
  if ((a & 0x0F) > 9 || half) {
    if (a < 6) carry = 1;
    a -= 6;
  }
  if (difference > 0x99 || borrow) {
    a -= 0x60;
    carry = 1;
  }
  return bcdFlags(a, carry);
}

template <bool Add, bool Memory>
SB_HANDLER(bcd) {
  Step s{pc_, budget_};
  const uint32_t rx = highReg(op), ry = lowReg(op);
  if constexpr (Memory) {
    const uint32_t src = readByte(s, areg(ry) -= addressStep<1>(ry));
    const uint32_t where = areg(rx) -= addressStep<1>(rx);
    const uint32_t d = readByte(s, where);
    writeByte(s, where, Add ? bcdAdd(d, src) : bcdSub(d, src));
    SB_NEXT(s, kBcdMemory);
  } else {
    const uint32_t src = dreg(ry) & 0xFF, d = dreg(rx) & 0xFF;
    setDreg<1>(rx, Add ? bcdAdd(d, src) : bcdSub(d, src));
    SB_NEXT(s, kBcdRegister);
  }
}

template <int M>
SB_HANDLER(nbcd) {
  Step s{pc_, budget_};
  const uint32_t where = rmwLocate<M, 1>(s, lowReg(op));
  const uint32_t d = rmwRead<M, 1>(s, where);
  rmwWrite<M, 1>(s, where, bcdSub(0, d));
  SB_NEXT(s, formCost(kNbcd, M, 1));
}

}  // namespace

void bindBcd() {
  bindFamily<Family::kBcdRegister>([](auto f) { return &bcd<f.variant == kAdd, false>; });
  bindFamily<Family::kBcdMemory>([](auto f) { return &bcd<f.variant == kAdd, true>; });
  bindFamily<Family::kNbcd>([](auto f) { return &nbcd<f.mode>; });
}

}  // namespace m68k
