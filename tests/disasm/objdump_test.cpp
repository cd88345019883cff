// Instruction lengths against GNU objdump as an independent decoder: every
// opcode word with several extension-word patterns, all in one generated file
// disassembled in one run.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "m68k/disasm/disasm.h"

namespace {

// Each candidate sits at a fixed stride: its opcode word, four extension
// words (enough for the longest 68000 instruction), then NOPs. Whatever
// objdump makes of the unused extension words ends within 20 bytes, so the
// NOPs bring it back in step before the next candidate.
constexpr int strideWords = 16;
constexpr int extensionWords = disasmMaxLength / 2 - 1;
constexpr uint16_t nop = 0x4E71;
constexpr int patternCount = 4;

// Extension words keep bit 8 clear: set, it marks an indexed operand's word as
// a 68020 full-format extension, which objdump decodes (with its base and
// outer displacements) even for the 68000, while the 68000 ignores the bit
// and reads the brief format. Lengths depend on no other extension bit.
uint16_t extensionWord(int pattern, std::mt19937& random) {
  if (pattern == 0) return 0;
  return static_cast<uint16_t>(random()) & 0xFEFF;
}

// Where the two decoders must part ways. Every word objdump decodes as an
// instruction, the disassembler decodes too, as the same instruction (see
// sameName) with the same length, except:
struct AllowedDifference {
  uint16_t mask;
  uint16_t value;
  const char* reason;
};
const AllowedDifference allowedDifferences[] = {
    {0xFFFF, 0x4AFC,
     "ILLEGAL: objdump names the word alone (2 bytes); the table reads it as TAS.B with an "
     "immediate operand and counts the immediate's word (4 bytes)"},
    {0xFFFF, 0x4AFD,
     "objdump reads 4AFD as SWBEG.L, an assembler's switch-table header with a long count "
     "(6 bytes); to the 68000 it is TAS.B with mode 7 register 5, an operand that does not "
     "exist, shown as \"???\" without extension words (2 bytes)"},
    {0xF000, 0xF000,
     "line F: objdump decodes coprocessor instructions (68881 floating point, 68851 memory "
     "management) whatever the machine; the 68000 has no coprocessor interface and traps "
     "every line-F word, shown as DC.W (2 bytes)"},
};
// Not compared, because objdump shows them as ".short" data while the
// disassembler decodes them:
// - the 68010 additions it covers: MOVEC, MOVES, MOVE from CCR;
// - effective addresses the instruction does not allow (JSR D0, CLR A0,
//   LEA (A0)+, OR.W D1,D0 in the register-to-memory direction...): the
//   disassembler prints any mode/register combination as that mode;
// - mode 7 with register 5, 6 or 7: "???", without extension words.

const AllowedDifference* allowedDifference(uint16_t opcode) {
  for (const AllowedDifference& d : allowedDifferences) {
    if ((opcode & d.mask) == d.value) return &d;
  }
  return nullptr;
}

std::string objdumpPath() {
  std::string path = SB_M68K_OBJDUMP;
  return access(path.c_str(), X_OK) == 0 ? path : std::string();
}

struct Decoded {
  std::string text;
  int length = -1;  // -1: no line at the candidate's address
};

// objdump's lines "<hex address>:\t<text>", the length of each line's
// instruction being the distance to the next line.
std::vector<Decoded> runObjdump(const std::string& objdump, const std::string& file,
                                size_t candidates) {
  std::string command =
      objdump + " -D -z -b binary -m m68k:68000 --no-show-raw-insn '" + file + "' 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  std::vector<Decoded> result(candidates);
  if (!pipe) return result;
  char line[512];
  long previous = -1;
  std::string previousText;
  while (fgets(line, sizeof line, pipe)) {
    char* colon = strchr(line, ':');
    if (!colon || colon[1] != '\t') continue;
    char* end;
    long address = strtol(line, &end, 16);
    if (end != colon) continue;
    if (previous >= 0 && previous % (2 * strideWords) == 0) {
      size_t index = previous / (2 * strideWords);
      if (index < candidates) result[index] = {previousText, static_cast<int>(address - previous)};
    }
    previous = address;
    previousText = colon + 2;
    while (!previousText.empty() && previousText.back() == '\n') previousText.pop_back();
  }
  pclose(pipe);
  return result;
}

// Both name the same instruction: the same mnemonic, lower case, with the
// size letter after it and without the point. objdump leaves out the size of
// byte-only operations (ABCD, SBCD, NBCD, TAS, Scc) and shows one where the
// line has none (MOVE to and from SR and CCR, MOVE USP, LINK, the immediates
// to CCR and SR, branches with a displacement word).
bool sameName(const std::string& line, const std::string& objdumpText) {
  std::string head = line.substr(0, 9);
  bool sized = head.find('.') != std::string::npos;
  std::string name;
  for (char c : head) {
    if (c != ' ' && c != '.') name += static_cast<char>(tolower(c));
  }
  std::string theirs = objdumpText.substr(0, objdumpText.find(' '));
  if (theirs == name) return true;
  if (sized) return theirs == name.substr(0, name.size() - 1);
  return theirs.size() == name.size() + 1 && theirs.compare(0, name.size(), name) == 0 &&
         strchr("bwl", theirs.back()) != nullptr;
}

bool decodedAsInstruction(const std::string& text) {
  return text.rfind(".short", 0) != 0 && text.rfind(".byte", 0) != 0;
}

TEST(Objdump, EveryOpcodeWordSameLengthAndName) {
  std::string objdump = objdumpPath();
  if (objdump.empty()) GTEST_SKIP() << "m68k-linux-gnu-objdump is not installed";

  const size_t candidates = size_t{65536} * patternCount;
  std::vector<uint16_t> image(candidates * strideWords, nop);
  std::mt19937 random(68000);
  for (int pattern = 0; pattern < patternCount; pattern++) {
    for (uint32_t op = 0; op < 65536; op++) {
      uint16_t* words = &image[(pattern * 65536 + op) * strideWords];
      words[0] = static_cast<uint16_t>(op);
      for (int i = 1; i <= extensionWords; i++) words[i] = extensionWord(pattern, random);
    }
  }
  std::string file =
      testing::TempDir() + "disasm_objdump_candidates_" + std::to_string(getpid()) + ".bin";
  FILE* out = fopen(file.c_str(), "wb");
  ASSERT_NE(out, nullptr) << file;
  for (uint16_t word : image) {
    fputc(word >> 8, out);
    fputc(word & 0xFF, out);
  }
  ASSERT_EQ(fclose(out), 0);

  std::vector<Decoded> decoded = runObjdump(objdump, file, candidates);
  remove(file.c_str());

  int compared = 0, failures = 0, lost = 0;
  std::map<const AllowedDifference*, int> allowedSeen;
  for (size_t i = 0; i < candidates; i++) {
    const uint16_t* words = &image[i * strideWords];
    if (decoded[i].length < 0) {
      if (lost++ < 10) ADD_FAILURE() << "objdump lost step before candidate " << i;
      continue;
    }
    if (!decodedAsInstruction(decoded[i].text)) continue;
    char line[disasmLineSize];
    int length = disassemble68kBounded(words, extensionWords + 1, line, 0);
    compared++;
    bool sameLength = length == decoded[i].length;
    bool data = strncmp(line, "DC.W", 4) == 0;
    bool named = sameName(line, decoded[i].text);
    if (sameLength && !data && named) continue;
    if (const AllowedDifference* allowed = allowedDifference(words[0])) {
      allowedSeen[allowed]++;
      continue;
    }
    if (failures++ < 40) {
      char hex[64];
      snprintf(hex, sizeof hex, "%04X %04X %04X %04X %04X", words[0], words[1], words[2], words[3],
               words[4]);
      ADD_FAILURE() << hex << ": \"" << line << "\" " << length << " bytes, objdump \""
                    << decoded[i].text << "\" " << decoded[i].length << " bytes";
    }
  }
  EXPECT_EQ(failures, 0);
  EXPECT_EQ(lost, 0);
  // objdump decodes most of the 68000's opcode words.
  EXPECT_GT(compared, 150000);
  for (const AllowedDifference& d : allowedDifferences) {
    EXPECT_GT(allowedSeen[&d], 0) << "difference no longer seen: " << d.reason;
  }
}

}  // namespace
