// The words no instruction claims: illegal instructions and lines A and F.
#include "m68k/bind.h"
#include "m68k/costs.h"

namespace m68k {

namespace {

constexpr uint32_t kVectorIllegal = 4;

template <uint32_t Vector>
SB_HANDLER(trapInstruction) {
  (void)op;
  Step s{pc_, rem_};
  s = raiseException(s, Vector, pcOf(s.pc) - 2);
  SB_NEXT(s, kExceptionCost);
}

// A separate function for ILLEGAL itself, so that the table tells it apart
// from the words no family implements.
SB_HANDLER(illegalOpcode) {
  (void)op;
  Step s{pc_, rem_};
  s = raiseException(s, kVectorIllegal, pcOf(s.pc) - 2);
  SB_NEXT(s, kExceptionCost);
}

}  // namespace

Handler unimplementedHandler() {
  return &trapInstruction<kVectorIllegal>;
}

void bindExceptions() {
  bindFamily<Family::kException>([](auto f) { return &trapInstruction<uint32_t(f.variant)>; });
  bindFamily<Family::kIllegal>([](auto) { return &illegalOpcode; });
}

}  // namespace m68k
