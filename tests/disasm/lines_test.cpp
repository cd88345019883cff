// Disassembled lines: the hand-checked rows of lines.txt; every opcode word,
// given only the words it may read, against the core's opcode table.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "m68k/core.h"
#include "m68k/disasm/disasm.h"
#include "m68k/opcodes.h"
#include "tests/support/files.h"

namespace {

struct Line {
  std::string text;
  int length;
};

// Disassembles a copy of exactly the words given into a line buffer of its
// size: the sanitizer build catches any access past either.
Line disassemble(std::vector<uint16_t> words, uint32_t address, bool bounded) {
  char out[disasmLineSize];
  const int length = bounded ? disassemble68kBounded(words.data(), words.size(), out, address)
                             : disassemble68k(words.data(), out, address);
  return {out, length};
}

bool isData(const std::string& text) {
  return text.rfind("DC.W", 0) == 0;
}

TEST(Lines, HandChecked) {
  std::istringstream file(support::readText(SB_DISASM_LINES));
  std::string row;
  int rows = 0;
  while (std::getline(file, row)) {
    const size_t arrow = row.find(" -> ");
    if (row.rfind("#", 0) == 0 || arrow == std::string::npos) continue;
    std::istringstream fields(row.substr(0, arrow));
    std::string field;
    uint32_t address = 0x1000;
    std::vector<uint16_t> words;
    while (fields >> field) {
      if (field[0] == '@')
        address = std::stoul(field.substr(1), nullptr, 16);
      else
        words.push_back(uint16_t(std::stoul(field, nullptr, 16)));
    }
    const std::string text = row.substr(arrow + 4);
    const Line line = disassemble(words, address, true);
    EXPECT_EQ(line.text, text) << row;
    EXPECT_EQ(line.length, isData(text) ? 2 : int(2 * words.size())) << row;
    EXPECT_TRUE(isData(text) || disassemble(words, address, false).text == text) << row;
    rows++;
  }
  EXPECT_GT(rows, 200);
  EXPECT_EQ(disassemble({}, 0, true).text, "???");  // a listing still advances
  const uint16_t ext[] = {0x00FF, 0xFFFE};
  int bytes = 0;
  EXPECT_STREQ(formatEffectiveAddress(071, ext, 2, &bytes).text, "$FFFFFE");
  EXPECT_EQ(bytes, 4);
  char list[registerListSize];
  EXPECT_EQ(formatRegisterListPredecrement(list, 0x8180), list + 8);  // "D0/D7/A0"
}

// Every word, with random extensions: cut short it is data, given exactly its
// words the same line. Every word the core runs is listed from the same row
// with the same length; a word the core traps but the disassembler lists (it
// shows any mode) is a 68010 form or outside the modes its row allows.
TEST(Lines, EveryWordAgreesWithTheCore) {
  cpuInit();
  std::vector<uint8_t> listedRow(65536, 0xFF), validRow(65536, 0xFF);
  for (bool valid : {false, true}) {
    m68k::forEachOpcodeForm(valid, m68k::kAnyFamily, [&](const m68k::OpcodeForm& form) {
      m68k::claimOpcodeWords(form, (valid ? validRow : listedRow).data(), [](uint32_t) {});
    });
  }
  std::mt19937 random(68000);
  int instructions = 0, refused = 0;
  for (uint32_t op = 0; op < 65536; op++) {
    std::vector<uint16_t> words = {uint16_t(op)};
    for (int i = 1; i < disasmMaxLength / 2; i++) words.push_back(uint16_t(random()));
    const Line line = disassemble(words, 0x2000, true);
    const size_t needed = size_t(line.length / 2);
    ASSERT_TRUE(needed >= 1 && needed <= words.size()) << op;
    const uint16_t* w = words.data();
    const Line exact = disassemble({w, w + needed}, 0x2000, false);
    ASSERT_EQ(exact.text + " " + std::to_string(exact.length),
              line.text + " " + std::to_string(line.length));
    ASSERT_TRUE(needed == 1 || isData(disassemble({w, w + needed - 1}, 0, true).text));
    const m68k::OpcodeRow& row = m68k::kOpcodeRows[m68k::opcodeRow[op]];
    const m68k::OpcodeRow& listed = m68k::kOpcodeRows[listedRow[op]];
    if (row.family != m68k::Family::kException && row.family != m68k::Family::kIllegal) {
      instructions++;
      ASSERT_EQ(&listed, &row) << std::hex << op;
      ASSERT_EQ(line.length, m68k::opcodeLength[op]) << std::hex << op << " " << line.text;
      ASSERT_EQ(line.text.rfind(row.mnemonic, 0), 0u) << std::hex << op << " " << line.text;
    } else if (!isData(line.text)) {
      refused++;
      ASSERT_TRUE(isDisassemblerOnly(listed.family) || validRow[op] != listedRow[op])
          << std::hex << op << " " << line.text;
    }
  }
  EXPECT_GT(instructions, 40000);
  EXPECT_GT(refused, 0);
}

}  // namespace
