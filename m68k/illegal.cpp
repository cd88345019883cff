// The words no instruction claims (illegal instructions, lines A and F) and
// ILLEGAL itself: each raises the exception its row of the opcode map names.
#include "m68k/bind.h"
#include "m68k/costs.h"

namespace m68k {

namespace {

// ILLEGAL gets an instance of its own, so that the table tells it apart from
// the words no family implements.
template <uint32_t Vector, bool IllegalInstruction>
SB_HANDLER(trapInstruction) {
  (void)op;
  Step s{pc_, budget_};
  s = raiseException(s, Vector, pcOf(s.pc) - 2);
  SB_NEXT(s, kExceptionCost);
}

}  // namespace

void bindExceptions() {
  bindFamily<Family::kException>(
      [](auto f) { return &trapInstruction<uint32_t(f.variant), false>; });
  bindFamily<Family::kIllegal>([](auto f) { return &trapInstruction<uint32_t(f.variant), true>; });
}

}  // namespace m68k
