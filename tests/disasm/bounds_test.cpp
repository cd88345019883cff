// Every opcode word, with random extension words, given in buffers of exactly
// the words the call may read: the sanitizer build catches any read past them.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "m68k/disasm/disasm.h"

namespace {

constexpr int maxWords = disasmMaxLength / 2;
constexpr char guard = '\x5A';

struct Result {
  std::string text;
  int length;
};

// Disassembles exactly `count` words copied into a vector of that size, and
// checks that the line stays inside the line buffer.
Result disassembleExactly(const uint16_t* words, size_t count, bool bounded) {
  std::vector<uint16_t> given(words, words + count);
  char line[disasmLineSize + 16];
  memset(line, guard, sizeof line);
  int length = bounded ? disassemble68kBounded(given.data(), given.size(), line, 0x2000)
                       : disassemble68k(given.data(), line, 0x2000);
  EXPECT_LT(strlen(line), disasmLineSize);
  for (size_t i = disasmLineSize; i < sizeof line; i++) EXPECT_EQ(line[i], guard);
  return {line, length};
}

class EveryOpcode : public testing::TestWithParam<uint32_t> {};

TEST_P(EveryOpcode, ReadsOnlyTheWordsGiven) {
  std::mt19937 random(GetParam());
  int failures = 0;
  for (uint32_t op = 0; op < 65536 && failures < 20; op++) {
    uint16_t words[maxWords] = {static_cast<uint16_t>(op)};
    for (int i = 1; i < maxWords; i++) words[i] = static_cast<uint16_t>(random());
    Result full = disassembleExactly(words, maxWords, true);
    char opcode[8];
    snprintf(opcode, sizeof opcode, "%04X", op);
    bool sane = full.length >= 2 && full.length <= disasmMaxLength && full.length % 2 == 0;
    EXPECT_TRUE(sane) << opcode << " length " << full.length;
    if (!sane) {
      failures++;
      continue;
    }
    size_t needed = full.length / 2;
    // The unbounded form, given exactly the instruction's words.
    Result exact = disassembleExactly(words, needed, false);
    // The bounded form with every smaller and larger count.
    for (size_t count = 1; count <= maxWords; count++) {
      Result cut = disassembleExactly(words, count, true);
      if (count >= needed) {
        if (cut.text != full.text || cut.length != full.length) failures++;
        EXPECT_EQ(cut.text, full.text) << opcode << " with " << count << " words";
        EXPECT_EQ(cut.length, full.length) << opcode << " with " << count << " words";
      } else {
        char data[disasmLineSize];
        snprintf(data, sizeof data, "DC.W     $%X", op);
        if (cut.text != data || cut.length != 2) failures++;
        EXPECT_EQ(cut.text, data) << opcode << " with " << count << " words";
        EXPECT_EQ(cut.length, 2) << opcode << " with " << count << " words";
      }
    }
    if (exact.text != full.text || exact.length != full.length) failures++;
    EXPECT_EQ(exact.text, full.text) << opcode;
    EXPECT_EQ(exact.length, full.length) << opcode;
  }
}

INSTANTIATE_TEST_SUITE_P(RandomExtensions, EveryOpcode, testing::Values(1u, 2u, 3u));

}  // namespace
