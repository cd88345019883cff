// Line 6: BRA, BSR, Bcc with 8-bit or 16-bit displacements.
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
  Step s{pc_, rem_};
  if (condition<Cc>()) {
    branch(s, Word ? int16_t(load16(s.pc)) : int8_t(op));
    SB_NEXT(s, kBranchTaken);
  }
  if constexpr (Word) s.pc += 2;
  SB_NEXT(s, Word ? kBranchNotTakenWord : kBranchNotTakenShort);
}

template <bool Word>
SB_HANDLER(bsr) {
  Step s{pc_, rem_};
  const int32_t displacement = Word ? int16_t(load16(s.pc)) : int8_t(op);
  areg(7) -= 4;
  writeLong(s, areg(7), pcOf(s.pc) + (Word ? 2 : 0));
  branch(s, displacement);
  SB_NEXT(s, kBsr);
}

}  // namespace

void bindBranch() {
  forConditions([&](auto cond) {
    constexpr int Cc = decltype(cond)::value;
    if constexpr (Cc != 1) {  // condition F stands for BSR here
      char pattern[] = "0110 cccc ---- ----";
      char word[] = "0110 cccc 0000 0000";
      for (int i = 0; i < 4; ++i) pattern[5 + i] = word[5 + i] = (Cc >> (3 - i)) & 1 ? '1' : '0';
      bind(pattern, &bcc<Cc, false>, 2);
      bind(word, &bcc<Cc, true>, 4);
    }
  });
  bind("0110 0001 ---- ----", &bsr<false>, 2);
  bind("0110 0001 0000 0000", &bsr<true>, 4);
}

}  // namespace m68k
