// Binding the opcode map into the core's table: the shared binder expands a
// family's rows into forms, and each form gets the handler its family
// instantiates for that form's variant, size and addressing modes.
#pragma once

#include <array>
#include <utility>

#include "m68k/core.h"
#include "m68k/opcodes.h"

namespace m68k {

// The compile-time choices of one form, handed to a family's pick.
template <int V, int Sz, int M, int D>
struct Form {
  static constexpr int variant = V, size = Sz, mode = M, destination = D;
};

namespace binding {

// The sizes a form can have, in grid slots.
constexpr int kSlotSize[4] = {0, 1, 2, 4};
constexpr int slotOf(int sz) {
  return sz == 4 ? 3 : sz;
}

// The extent of a family's forms: how many variants, and whether they take
// an effective-address and a destination field.
struct Extent {
  int variants = 1;
  bool ea = false, destination = false;
};
constexpr Extent extentOf(Family f) {
  Extent x;
  for (const OpcodeRow& r : kOpcodeRows) {
    if (r.family != f) continue;
    const int variants = hasField(r, 'c') ? 16 : r.variant + 1;
    if (variants > x.variants) x.variants = variants;
    x.ea = x.ea || hasField(r, 'e');
    x.destination = x.destination || hasField(r, 'E');
  }
  return x;
}

// Whether some row of the family has this form (the binder's own rules).
constexpr bool formExists(Family f, int v, int sz, int m, int d) {
  for (const OpcodeRow& r : kOpcodeRows) {
    if (r.family != f) continue;
    if (hasField(r, 'c') ? v >= 16 : v != r.variant) continue;
    if (hasField(r, 's') ? sz == 0 : sz != r.size) continue;
    if (hasField(r, 'e') && !allowsMode(r, sz, m)) continue;
    if (hasField(r, 'E') && !allowsDestination(r, d)) continue;
    return true;
  }
  return false;
}

template <Family F>
struct Grid {
  static constexpr Extent x = extentOf(F);
  static constexpr int modes = x.ea ? kModeCount : 1;
  static constexpr int destinations = x.destination ? kModeCount : 1;
  static constexpr int count = x.variants * 4 * modes * destinations;
  static int index(const OpcodeForm& f) {
    const int m = x.ea ? f.mode : 0, d = x.destination ? f.destination : 0;
    return ((f.variant * 4 + slotOf(f.size)) * modes + m) * destinations + d;
  }
};

template <Family F, class Pick, int I>
constexpr Handler gridEntry() {
  using G = Grid<F>;
  constexpr int V = I / (4 * G::modes * G::destinations);
  constexpr int Sz = kSlotSize[I / (G::modes * G::destinations) % 4];
  constexpr int M = G::x.ea ? I / G::destinations % G::modes : kNoMode;
  constexpr int D = G::x.destination ? I % G::destinations : kNoMode;
  if constexpr (formExists(F, V, Sz, M, D))
    return Pick{}(Form<V, Sz, M, D>{});
  else
    return nullptr;
}

template <Family F, class Pick, int... I>
constexpr std::array<Handler, sizeof...(I)> makeGrid(std::integer_sequence<int, I...>) {
  return {gridEntry<F, Pick, I>()...};
}

}  // namespace binding

// Binds every word of the family's forms that no earlier row holds. `Pick`
// is a captureless lambda taking a Form and returning its handler.
template <Family F, class Pick>
void bindFamily(Pick) {
  using G = binding::Grid<F>;
  static constexpr std::array<Handler, G::count> grid =
      binding::makeGrid<F, Pick>(std::make_integer_sequence<int, G::count>{});
  forEachOpcodeForm(true, int(F), [](const OpcodeForm& f) {
    const Handler h = grid[G::index(f)];
    claimOpcodeWords(f, opcodeRow, [&](uint32_t word) {
      opcodeTable[word] = h;
      opcodeLength[word] = uint8_t(f.length);
    });
  });
}

}  // namespace m68k
