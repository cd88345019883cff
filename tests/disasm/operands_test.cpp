// Operand texts: every addressing mode with its extension bytes, and MOVEM
// register lists in both orders.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "m68k/disasm/disasm.h"

namespace {

struct EaCase {
  int field;
  std::vector<uint16_t> ext;
  int size;
  const char* text;
  int extensionBytes;
};

TEST(EffectiveAddress, EveryMode) {
  const EaCase cases[] = {
      {000 | 3, {}, 2, "D3", 0},
      {010 | 7, {}, 2, "A7", 0},
      {020 | 0, {}, 2, "(A0)", 0},
      {030 | 5, {}, 2, "(A5)+", 0},
      {040 | 6, {}, 2, "-(A6)", 0},
      {050 | 1, {0x0000}, 2, "($0,A1)", 2},
      {050 | 1, {0x7FFF}, 2, "($7FFF,A1)", 2},
      {050 | 1, {0x8000}, 2, "(-$8000,A1)", 2},
      {050 | 1, {0xFFFF}, 2, "(-$1,A1)", 2},
      {060 | 2, {0x007F}, 2, "($7F,A2,D0.W)", 2},
      {060 | 2, {0x7880}, 2, "(-$80,A2,D7.L)", 2},
      {060 | 2, {0xC7FF}, 2, "(-$1,A2,A4.W)", 2},  // bits 10-8 are ignored
      {070 | 0, {0x8000}, 2, "$8000", 2},          // not sign-extended
      {070 | 1, {0x00FF, 0xFFFE}, 2, "$FFFFFE", 4},
      {070 | 1, {0x0000, 0x0000}, 2, "$0", 4},
      {070 | 2, {0x0010}, 2, "($10,PC)", 2},
      {070 | 2, {0xFFF0}, 2, "(-$10,PC)", 2},
      {070 | 3, {0x1804}, 2, "($4,PC,D1.L)", 2},
      {070 | 3, {0xF0FE}, 2, "(-$2,PC,A7.W)", 2},
      {070 | 4, {0x12AB}, 1, "#$AB", 2},  // low byte
      {070 | 4, {0x12AB}, 2, "#$12AB", 2},
      {070 | 4, {0x12AB, 0xCDEF}, 4, "#$12ABCDEF", 4},
      {070 | 4, {0x0000, 0x0001}, 0, "#$1", 4},  // any other size is long
      {070 | 5, {}, 2, "???", 0},
      {070 | 6, {}, 2, "???", 0},
      {070 | 7, {}, 4, "???", 0},
  };
  for (const EaCase& c : cases) {
    int bytes = -1;
    const OperandText text = formatEffectiveAddress(c.field, c.ext.data(), c.size, &bytes);
    EXPECT_STREQ(text.text, c.text) << "field " << c.field;
    EXPECT_EQ(bytes, c.extensionBytes) << "field " << c.field;
  }
}

struct ListCase {
  uint16_t mask;
  const char* normal;
  const char* predecrement;
};

TEST(RegisterList, BothOrders) {
  const ListCase cases[] = {
      {0x0000, "", ""},
      {0x0001, "D0", "A7"},
      {0x8000, "A7", "D0"},
      {0x00FF, "D0-D7", "A0-A7"},
      {0xFF00, "A0-A7", "D0-D7"},
      {0x0180, "D7/A0", "D7/A0"},  // runs never join D7 to A0
      {0xFFFF, "D0-D7/A0-A7", "D0-D7/A0-A7"},
      {0x7FFE, "D1-D7/A0-A6", "D1-D7/A0-A6"},
      {0x5555, "D0/D2/D4/D6/A0/A2/A4/A6", "D1/D3/D5/D7/A1/A3/A5/A7"},
      {0x8C31, "D0/D4-D5/A2-A3/A7", "D0/D4-D5/A2-A3/A7"},
      {0x00E0, "D5-D7", "A0-A2"},
      {0x4000, "A6", "D1"},
  };
  for (const ListCase& c : cases) {
    char out[32];
    memset(out, 'x', sizeof out);
    char* end = formatRegisterList(out, c.mask);
    EXPECT_STREQ(out, c.normal) << std::hex << c.mask;
    EXPECT_EQ(end, out + strlen(c.normal));
    end = formatRegisterListPredecrement(out, c.mask);
    EXPECT_STREQ(out, c.predecrement) << std::hex << c.mask;
    EXPECT_EQ(end, out + strlen(c.predecrement));
  }
}

// Reads a list back into a mask (bit 0 = D0 ... bit 15 = A7); -1 when it is
// not a canonical list: runs of one kind in ascending order, never adjacent,
// a run of one written alone.
int parseRegisterList(const std::string& text) {
  if (text.empty()) return 0;
  auto reg = [](const std::string& name) {
    if (name.size() != 2 || (name[0] != 'D' && name[0] != 'A') || name[1] < '0' || name[1] > '7')
      return -1;
    return (name[0] == 'A' ? 8 : 0) + (name[1] - '0');
  };
  int mask = 0, previousEnd = -2;
  size_t pos = 0;
  while (true) {
    size_t slash = text.find('/', pos);
    std::string run =
        text.substr(pos, slash == std::string::npos ? std::string::npos : slash - pos);
    size_t dash = run.find('-');
    int first = reg(run.substr(0, dash));
    int last = dash == std::string::npos ? first : reg(run.substr(dash + 1));
    if (first < 0 || last < 0 || last < first || (dash != std::string::npos && last == first))
      return -1;
    if (first / 8 != last / 8) return -1;  // D7 never runs into A0
    if (first <= previousEnd + 1 && first / 8 == previousEnd / 8)
      return -1;  // adjacent or unordered
    if (first < previousEnd) return -1;
    for (int r = first; r <= last; r++) mask |= 1 << r;
    previousEnd = last;
    if (slash == std::string::npos) return mask;
    pos = slash + 1;
  }
}

TEST(RegisterList, EveryMaskReadsBack) {
  for (uint32_t mask = 0; mask < 65536; mask++) {
    char out[registerListSize + 8];
    memset(out, 'x', sizeof out);
    char* end = formatRegisterList(out, static_cast<uint16_t>(mask));
    ASSERT_LT(static_cast<size_t>(end - out), registerListSize) << mask;
    ASSERT_EQ(parseRegisterList(out), static_cast<int>(mask)) << out;
    formatRegisterListPredecrement(out, static_cast<uint16_t>(mask));
    int reversed = 0;
    for (int bit = 0; bit < 16; bit++) {
      if (mask & 1u << bit) reversed |= 0x8000 >> bit;
    }
    ASSERT_EQ(parseRegisterList(out), reversed) << out;
  }
}

// With the longest operand, no MOVEM line is cut short, whatever the list.
TEST(RegisterList, MovemLinesAreWhole) {
  const std::string toMemory = ",(-$80,A0,A7.L)";
  const std::string toRegisters = "MOVEM.L  (-$80,PC,A7.L),";
  size_t longest = 0;
  for (uint32_t mask = 0; mask < 65536; mask++) {
    const uint16_t store[] = {0x48F0, static_cast<uint16_t>(mask), 0xF880};
    const uint16_t load[] = {0x4CFB, static_cast<uint16_t>(mask), 0xF880};
    char line[disasmLineSize];
    ASSERT_EQ(disassemble68k(store, line, 0), 6);
    std::string text = line;
    longest = std::max(longest, text.size());
    ASSERT_EQ(text.rfind("MOVEM.L  ", 0), 0u) << text;
    ASSERT_GE(text.size(), 9 + toMemory.size()) << text;
    ASSERT_EQ(text.substr(text.size() - toMemory.size()), toMemory) << text;
    ASSERT_EQ(parseRegisterList(text.substr(9, text.size() - 9 - toMemory.size())),
              static_cast<int>(mask))
        << text;
    ASSERT_EQ(disassemble68k(load, line, 0), 6);
    text = line;
    ASSERT_EQ(text.rfind(toRegisters, 0), 0u) << text;
    ASSERT_EQ(parseRegisterList(text.substr(toRegisters.size())), static_cast<int>(mask)) << text;
  }
  EXPECT_EQ(longest, disasmLineSize - 1);
}

// The list is appended where the caller points.
TEST(RegisterList, AppendsAtPosition) {
  char out[32] = "MOVEM.L  ";
  char* end = formatRegisterList(out + strlen(out), 0x0003);
  EXPECT_STREQ(out, "MOVEM.L  D0-D1");
  EXPECT_EQ(*end, '\0');
}

}  // namespace
