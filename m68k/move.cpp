// MOVE and MOVEA.
#include "m68k/costs.h"

namespace m68k {
namespace {

template <int Sz, int Src, int Dst>
SB_HANDLER(move) {
  Step s{pc_, rem_};
  const uint32_t v = eaRead<Src, Sz>(s, lowReg(op));
  if constexpr (Dst == kAn) {
    areg(highReg(op)) = signExtend<Sz>(v);  // MOVEA: whole register, no flags
  } else {
    setLogic<Sz>(v);
    eaWrite<Dst, Sz>(s, highReg(op), v);
  }
  SB_NEXT(s, moveCost(Src, Dst, Sz));
}

template <int Sz>
void bindMoveSize(const char* pattern) {
  forModes([&](auto source) {
    constexpr int Src = decltype(source)::value;
    forModes([&](auto destination) {
      constexpr int Dst = decltype(destination)::value;
      constexpr bool legal = isDataAlterable(Dst) || (Dst == kAn && Sz != 1);
      if constexpr (legal) {
        bind(withModes(pattern, 0, Src, Dst).text, &move<Sz, Src, Dst>,
             2 + extensionBytes(Src, Sz) + extensionBytes(Dst, Sz));
      }
    });
  });
}

}  // namespace

void bindMove() {
  bindMoveSize<1>("0001 EEEEEE eeeeee");
  bindMoveSize<4>("0010 EEEEEE eeeeee");
  bindMoveSize<2>("0011 EEEEEE eeeeee");
}

}  // namespace m68k
