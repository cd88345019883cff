// Binding opcode patterns into the table, and the words no family claims.
#include <cstdio>

#include "m68k/core.h"
#include "m68k/costs.h"

namespace m68k {

void bind(const char* pattern, Handler handler, int length) {
  uint32_t fixedMask = 0, fixedBits = 0;
  int bit = 15;
  for (const char* p = pattern; *p; ++p) {
    if (*p == ' ') continue;
    if (*p == '0' || *p == '1') {
      fixedMask |= 1u << bit;
      if (*p == '1') fixedBits |= 1u << bit;
    }
    --bit;
  }
  if (bit != -1) {
    std::fprintf(stderr, "m68k: opcode pattern \"%s\" is not 16 bits\n", pattern);
    return;
  }
  // Walk the words that match: the free bits take every value.
  const uint32_t freeMask = ~fixedMask & 0xFFFF;
  uint32_t free = 0;
  do {
    const uint32_t op = fixedBits | free;
    opcodeTable[op] = handler;
    opcodeLength[op] = uint8_t(length);
    free = (free - freeMask) & freeMask;
  } while (free != 0);
}

PatternText withModes(const char* pattern, int sz, int source, int destination) {
  PatternText out{};
  size_t n = 0;
  int e = 0, d = 0, z = 0;
  const char* sizeBits = sz == 1 ? "00" : sz == 2 ? "01" : "10";
  // A destination field is drawn register then mode: rrr mmm.
  char destinationBits[7] = "------";
  if (destination >= 0) {
    const char* m = kModeBits[destination];
    for (int i = 0; i < 3; ++i) {
      destinationBits[i] = m[3 + i];
      destinationBits[3 + i] = m[i];
    }
  }
  for (const char* p = pattern; *p && n + 1 < sizeof out.text; ++p) {
    if (*p == 's' && sz > 0 && z < 2)
      out.text[n++] = sizeBits[z++];
    else if (*p == 'e' && source >= 0 && e < 6)
      out.text[n++] = kModeBits[source][e++];
    else if (*p == 'E' && destination >= 0 && d < 6)
      out.text[n++] = destinationBits[d++];
    else
      out.text[n++] = *p;
  }
  out.text[n] = 0;
  return out;
}

namespace {

constexpr uint32_t kVectorIllegal = 4;
constexpr uint32_t kVectorLineA = 10;
constexpr uint32_t kVectorLineF = 11;

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
  bind("---- ---- ---- ----", &trapInstruction<kVectorIllegal>, 2);
  bind("1010 ---- ---- ----", &trapInstruction<kVectorLineA>, 2);
  bind("1111 ---- ---- ----", &trapInstruction<kVectorLineF>, 2);
  bind("0100 1010 1111 1100", &illegalOpcode, 2);
}

}  // namespace m68k
