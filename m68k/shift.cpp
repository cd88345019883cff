// Line E: ASd, LSd, ROXd, ROd on a data register (count 1-8 or Dn modulo
// 64) and on a memory word (count 1).
#include "m68k/bind.h"
#include "m68k/costs.h"

namespace m68k {
namespace {

enum ShiftType { kAs, kLs, kRox, kRo };

// Shifts v by n (0-63) and sets the flags; returns the result.
template <int Type, bool Left, int Sz>
SB_INLINE uint32_t shift(uint32_t v, uint32_t n) {
  constexpr uint32_t bits = kBits<Sz>;
  constexpr uint64_t mask = kMask<Sz>;
  v &= kMask<Sz>;
  if (n == 0) {
    setCVZN(Type == kRox ? flagX : 0, 0, v == 0, (v >> (bits - 1)) & 1);
    return v;
  }
  uint64_t r;
  uint32_t c, overflow = 0;
  if constexpr (Type == kAs || Type == kLs) {
    if constexpr (Left) {
      r = n < bits ? (uint64_t(v) << n) & mask : 0;
      c = n <= bits ? (v >> (bits - n)) & 1 : 0;
      if constexpr (Type == kAs) {
        // V: the sign bit changed at some step.
        if (n >= bits) {
          overflow = v != 0;
        } else {
          const uint64_t top = (uint64_t(v) >> (bits - 1 - n));  // the n + 1 top bits
          overflow = top != 0 && top != (uint64_t(1) << (n + 1)) - 1;
        }
      }
    } else {
      const bool negative = Type == kAs && (v >> (bits - 1));
      if (n < bits) {
        r = uint64_t(v) >> n;
        if (negative) r |= (mask << (bits - n)) & mask;
        c = (v >> (n - 1)) & 1;
      } else {
        r = negative ? mask : 0;
        c = Type == kAs ? negative : (n == bits ? (v >> (bits - 1)) & 1 : 0);
      }
    }
    flagX = uint8_t(c);
  } else if constexpr (Type == kRo) {
    const uint32_t k = n % bits;
    r = Left ? ((uint64_t(v) << k) | (uint64_t(v) >> (bits - k))) & mask
             : ((uint64_t(v) >> k) | (uint64_t(v) << (bits - k))) & mask;
    c = Left ? r & 1 : (r >> (bits - 1)) & 1;
  } else {
    // Through X: a rotation of bits + 1 bits with X on top.
    const uint32_t k = n % (bits + 1);
    const uint64_t wideMask = (uint64_t(1) << (bits + 1)) - 1;
    uint64_t w = (uint64_t(flagX) << bits) | v;
    if (k) {
      w = Left ? ((w << k) | (w >> (bits + 1 - k))) & wideMask
               : ((w >> k) | (w << (bits + 1 - k))) & wideMask;
    }
    r = w & mask;
    c = uint32_t(w >> bits) & 1;
    flagX = uint8_t(c);
  }
  setCVZN(c, overflow, r == 0, uint32_t(r >> (bits - 1)) & 1);
  return uint32_t(r);
}

template <int Type, bool Left, int Sz, bool CountInRegister>
SB_HANDLER(shiftRegister) {
  Step s{pc_, budget_};
  const uint32_t field = highReg(op);
  const uint32_t n = CountInRegister ? dreg(field) & 63 : ((field - 1) & 7) + 1;
  const uint32_t r = lowReg(op);
  setDreg<Sz>(r, shift<Type, Left, Sz>(dreg(r), n));
  SB_NEXT(s, kShiftRegister.at(Sz) + kShiftPerBit * int(n));
}

template <int Type, bool Left, int M>
SB_HANDLER(shiftMemory) {
  Step s{pc_, budget_};
  const uint32_t where = eaAddress<M, 2>(s, lowReg(op));
  writeWord(s, where, shift<Type, Left, 2>(readWord(s, where), 1));
  SB_NEXT(s, formCost(kShiftMemory, M, 2));
}

}  // namespace

// A shift variant is its type times two, plus one for the left direction.
void bindShift() {
  bindFamily<Family::kShiftByCount>(
      [](auto f) { return &shiftRegister<f.variant / 2, f.variant % 2 == 1, f.size, false>; });
  bindFamily<Family::kShiftByRegister>(
      [](auto f) { return &shiftRegister<f.variant / 2, f.variant % 2 == 1, f.size, true>; });
  bindFamily<Family::kShiftMemory>(
      [](auto f) { return &shiftMemory<f.variant / 2, f.variant % 2 == 1, f.mode>; });
}

}  // namespace m68k
