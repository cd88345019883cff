// Every opcode word against GNU objdump as an independent decoder: the same
// instruction name and length; all candidates in one file, one run.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "m68k/disasm/disasm.h"
#include "tests/support/files.h"

namespace {

// Each candidate: its opcode word, four extension words, then NOPs that bring
// objdump back in step before the next candidate.
constexpr int strideWords = 16;
constexpr int extensionWords = disasmMaxLength / 2 - 1;
constexpr int patternCount = 4;  // all-zero extensions, then random ones

// Where the two part ways (words objdump shows as data are not compared: the
// 68010 forms, and modes an instruction does not allow, printed anyway):
// 4AFC ILLEGAL is TAS.B #imm here; 4AFD, objdump's SWBEG.L, TAS.B with mode
// 7 register 5; line F, which objdump decodes as coprocessor instructions.
bool allowedDifference(uint32_t op) {
  return op == 0x4AFC || op == 0x4AFD || (op & 0xF000) == 0xF000;
}

// objdump's lines "<hex address>:\t<text>" at each candidate's address, with
// the distance to the next line as the length (-1: no line there).
std::vector<std::pair<std::string, int>> runObjdump(const std::string& file, size_t candidates) {
  const std::string command = std::string(SB_M68K_OBJDUMP) +
                              " -D -z -b binary -m m68k:68000 --no-show-raw-insn '" + file + "'";
  std::vector<std::pair<std::string, int>> result(candidates, {"", -1});
  FILE* pipe = popen(command.c_str(), "r");
  char line[512];
  long previous = -1;
  std::string previousText;
  while (pipe && fgets(line, sizeof line, pipe)) {
    char* end;
    const long address = strtol(line, &end, 16);
    if (end[0] != ':' || end[1] != '\t') continue;
    const size_t index = size_t(previous) / (2 * strideWords);
    if (previous >= 0 && previous % (2 * strideWords) == 0 && index < candidates)
      result[index] = {previousText, int(address - previous)};
    previous = address;
    previousText = std::string(end + 2, strcspn(end + 2, "\n"));
  }
  if (pipe) pclose(pipe);
  return result;
}

// The same mnemonic, lower case, size letter after it without the point.
// objdump leaves out the size of byte-only operations (ABCD, TAS, Scc...) and
// shows one where the line has none (MOVE to SR, LINK, word branches...).
bool sameName(const std::string& line, const std::string& theirs) {
  std::string name;
  for (char c : line.substr(0, 9)) {
    if (c != ' ' && c != '.') name += char(tolower(c));
  }
  const std::string first = theirs.substr(0, theirs.find(' '));
  if (first == name) return true;
  if (line.substr(0, 9).find('.') != std::string::npos)
    return first == name.substr(0, name.size() - 1);
  return first.size() == name.size() + 1 && first.compare(0, name.size(), name) == 0 &&
         strchr("bwl", first.back()) != nullptr;
}

TEST(Objdump, EveryOpcodeWordSameLengthAndName) {
  if (access(SB_M68K_OBJDUMP, X_OK) != 0) GTEST_SKIP() << "m68k-linux-gnu-objdump is missing";
  const size_t candidates = size_t{65536} * patternCount;
  std::vector<uint16_t> image(candidates * strideWords, 0x4E71);
  std::mt19937 random(68000);
  for (size_t i = 0; i < candidates; i++) {
    image[i * strideWords] = uint16_t(i);
    // Bit 8 clear: objdump reads an index word with it set as the 68020's.
    for (int k = 1; k <= extensionWords; k++)
      image[i * strideWords + k] = i < 65536 ? 0 : uint16_t(random() & 0xFEFF);
  }
  support::ScratchDir dir;
  support::Bytes bytes;
  for (uint16_t word : image) bytes.insert(bytes.end(), {uint8_t(word >> 8), uint8_t(word)});
  support::writeFile(dir / "candidates", bytes);
  const auto decoded = runObjdump(dir / "candidates", candidates);

  int compared = 0, failures = 0, allowed = 0;
  for (size_t i = 0; i < candidates && failures < 40; i++) {
    const auto& [theirs, theirLength] = decoded[i];
    ASSERT_GE(theirLength, 0) << "objdump lost step before candidate " << i;
    if (theirs.rfind(".short", 0) == 0 || theirs.rfind(".byte", 0) == 0) continue;
    char line[disasmLineSize];
    const int length = disassemble68kBounded(&image[i * strideWords], 5, line, 0);
    compared++;
    if (length == theirLength && strncmp(line, "DC.W", 4) != 0 && sameName(line, theirs)) continue;
    const bool allowedHere = allowedDifference(i % 65536);
    allowed += allowedHere;
    failures += !allowedHere;
    EXPECT_TRUE(allowedHere) << std::hex << i % 65536 << ": \"" << line << "\" " << length
                             << " bytes, objdump \"" << theirs << "\" " << theirLength << " bytes";
  }
  EXPECT_GT(compared, 150000);  // objdump decodes most of the 68000's words
  EXPECT_GT(allowed, 0);
}

}  // namespace
