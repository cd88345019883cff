// The opcode map of the 68000 and the binder that expands its rows.
#include "m68k/opcodes.h"

#include <cstdio>

namespace m68k {

namespace {

constexpr int kSizes[3] = {1, 2, 4};
constexpr const char* kSizeBits[3] = {"00", "01", "10"};

struct Expansion {
  bool validModesOnly;
  void (*visit)(const OpcodeForm&, void*);
  void* context;
};

// The row's letters filled in for one choice of condition, size and modes;
// returns false when the pattern is not 16 bits.
bool fixBits(const char* pattern, int condition, int sizeIndex, int mode, int destination,
             OpcodeForm& form) {
  // A destination field is drawn register then mode: rrr mmm.
  char destinationBits[7] = "------";
  if (destination != kNoMode) {
    for (int i = 0; i < 3; ++i) {
      destinationBits[i] = kModeBits[destination][3 + i];
      destinationBits[3 + i] = kModeBits[destination][i];
    }
  }
  uint32_t mask = 0, bits = 0;
  int bit = 15, c = 0, s = 0, e = 0, d = 0;
  for (const char* p = pattern; *p; ++p) {
    char b = *p;
    if (b == ' ') continue;
    if (b == 'c') b = (condition >> (3 - c++)) & 1 ? '1' : '0';
    if (b == 's') b = kSizeBits[sizeIndex][s++];
    if (b == 'e') b = mode == kNoMode ? '-' : kModeBits[mode][e++];
    if (b == 'E') b = destinationBits[d++];
    if (bit >= 0 && (b == '0' || b == '1')) {
      mask |= 1u << bit;
      bits |= uint32_t(b == '1') << bit;
    }
    --bit;
  }
  form.fixedMask = uint16_t(mask);
  form.fixedBits = uint16_t(bits);
  return bit == -1;
}

void expandModes(const Expansion& x, const OpcodeRow& row, OpcodeForm& form, int condition,
                 int sizeIndex) {
  const bool ea = hasField(row, 'e') && x.validModesOnly;
  const bool destination = hasField(row, 'E');
  for (int m = ea ? 0 : kNoMode; m < (ea ? kModeCount : 0); ++m) {
    if (m != kNoMode && !allowsMode(row, form.size, m)) continue;
    for (int dst = destination ? 0 : kNoMode; dst < (destination ? kModeCount : 0); ++dst) {
      if (dst != kNoMode && !allowsDestination(row, dst)) continue;
      form.mode = m;
      form.destination = dst;
      const int operand =
          row.extension == kImmediateData ? (form.size == 4 ? 4 : 2) : row.extension;
      form.length = 2 + operand + extensionBytes(m, form.size) + extensionBytes(dst, form.size);
      if (!fixBits(row.pattern, condition, sizeIndex, m, dst, form)) {
        std::fprintf(stderr, "m68k: opcode pattern \"%s\" is not 16 bits\n", row.pattern);
        return;
      }
      x.visit(form, x.context);
    }
  }
}

}  // namespace

void forEachOpcodeForm(bool validModesOnly, int family, void (*visit)(const OpcodeForm&, void*),
                       void* context) {
  const Expansion x{validModesOnly, visit, context};
  for (int r = 0; r < kOpcodeRowCount; ++r) {
    const OpcodeRow& row = kOpcodeRows[r];
    if (family != kAnyFamily && int(row.family) != family) continue;
    const bool conditions = hasField(row, 'c');
    const bool sized = hasField(row, 's');
    for (int c = 0; c < (conditions ? 16 : 1); ++c) {
      for (int z = 0; z < (sized ? 3 : 1); ++z) {
        OpcodeForm form{};
        form.row = r;
        form.variant = conditions ? c : row.variant;
        form.size = sized ? kSizes[z] : row.size;
        expandModes(x, row, form, c, z);
      }
    }
  }
}

}  // namespace m68k
