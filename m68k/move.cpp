// MOVE and MOVEA.
#include "m68k/bind.h"
#include "m68k/costs.h"

namespace m68k {
namespace {

template <int Sz, int Src, int Dst>
SB_HANDLER(move) {
  Step s{pc_, budget_};
  const uint32_t v = eaRead<Src, Sz>(s, lowReg(op));
  if constexpr (Dst == kAn) {
    areg(highReg(op)) = signExtend<Sz>(v);  // MOVEA: whole register, no flags
  } else {
    setLogic<Sz>(v);
    eaWrite<Dst, Sz>(s, highReg(op), v);
  }
  SB_NEXT(s, moveCost(Src, Dst, Sz));
}

}  // namespace

void bindMove() {
  bindFamily<Family::kMove>([](auto f) { return &move<f.size, f.mode, f.destination>; });
  bindFamily<Family::kMoveAddress>([](auto f) { return &move<f.size, f.mode, kAn>; });
}

}  // namespace m68k
