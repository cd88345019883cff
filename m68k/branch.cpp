// Line 6: BRA, BSR, Bcc with 8-bit or 16-bit displacements.
#include "m68k/bind.h"
#include "m68k/conditions.h"
#include "m68k/costs.h"

namespace m68k {
namespace {

// The target is the address of the word after the opcode plus the
// displacement; the host PC moves without a window check (the next fetch
// checks it).
SB_INLINE void branch(Step& s, int32_t displacement) {
  s.pc += uintptr_t(intptr_t(displacement));
}

template <int Cc, bool Word>
SB_HANDLER(bcc) {
  Step s{pc_, budget_};
  if (condition<Cc>()) {
    branch(s, Word ? int16_t(load16(s.pc)) : int8_t(op));
    SB_NEXT(s, kBranchTaken);
  }
  if constexpr (Word) s.pc += 2;
  SB_NEXT(s, Word ? kBranchNotTakenWord : kBranchNotTakenShort);
}

template <bool Word>
SB_HANDLER(bsr) {
  Step s{pc_, budget_};
  const int32_t displacement = Word ? int16_t(load16(s.pc)) : int8_t(op);
  areg(7) -= 4;
  writeLong(s, areg(7), pcOf(s.pc) + (Word ? 2 : 0));
  branch(s, displacement);
  SB_NEXT(s, kBsr);
}

}  // namespace

void bindBranch() {
  bindFamily<Family::kBcc>([](auto f) { return &bcc<f.variant, f.size == 2>; });
  bindFamily<Family::kBsr>([](auto f) { return &bsr<f.size == 2>; });
}

}  // namespace m68k
