// The core against single-instruction test vectors from a bus-accurate
// 68000 model: registers, status register, PC, memory and cycle count after
// one instruction. The differences the core's own rules require are applied
// to the expected state in allowedDifferences(); nothing else may differ:
// - vectors that raise address errors are skipped (the core has none);
// - trace: the core takes the trace exception after the instruction, so the
//   vector runs with T clear and every copy of the starting SR has T clear;
// - ABCD, SBCD, NBCD: V cleared; operands that are not BCD digits follow the
//   core's decimal adjustment;
// - CHK: N, Z, V, C cleared (N set for a negative register); trap 40 + ea;
// - DIVU, DIVS: 133 / 150 + ea whatever the operands, 38 + ea on a zero
//   divisor, which changes no flag; overflow sets V and clears N, Z, C;
// - costs charged per instruction form: ADDQ/SUBQ.W to An 4; BTST, BCHG,
//   BCLR, BSET one cost per form; BTST Dn,#imm 4 + ea; CLR 4 / 8 on a
//   register, 6 / 12 + ea on memory; TAS on memory 14 + ea; TRAPV trap 38.
//
// Two suites: the full shared set (skipped when it is absent) and the sample
// committed under vectors/ (always run). Each test runs twice: once over
// direct memory, once over handler entries that also check that the core
// reads and writes no word the vector does not list.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "m68k/cpu.h"
#include "vector_file.h"

namespace {

using Vector = vectors::Test;

const std::string kSharedDir = std::string(SB_SHARED_DIR) + "/m68000-vectors";
const std::string kSampleFile = std::string(SB_SOURCE_DIR) + "/tests/m68k/vectors/sample.bin";

// ---- the expected outcome ----

struct Expected {
  uint32_t d[8], a[8], otherSp, pc, cycles;
  uint16_t sr;
  uint16_t srMask = 0xFFFF;  // status register bits compared
  std::map<uint32_t, uint16_t> ram;
  std::map<uint32_t, uint16_t> ramMask;  // bits compared per word (default all)
};

uint16_t opcodeOf(const Vector& t) {
  return uint16_t(t.initial.prefetch[0]);
}

// Effective-address time of a mode/register field at a size (the core's
// cost table, written out again here).
int eaTime(int field, int size) {
  const int mode = field >> 3, reg = field & 7;
  const bool l = size == 4;
  switch (mode) {
    case 0:
    case 1:
      return 0;
    case 2:
    case 3:
      return l ? 8 : 4;
    case 4:
      return l ? 10 : 6;
    case 5:
      return l ? 12 : 8;
    case 6:
      return l ? 14 : 10;
  }
  switch (reg) {
    case 0:
      return l ? 12 : 8;  // abs.W
    case 1:
      return l ? 16 : 12;  // abs.L
    case 2:
      return l ? 12 : 8;  // d16(PC)
    case 3:
      return l ? 14 : 10;  // d8(PC,Xn)
    default:
      return l ? 8 : 4;  // #imm
  }
}

// An exception shows as the final PC being a long read from the vector table.
bool tookException(const Vector& t) {
  std::map<uint32_t, uint16_t> initial(t.initial.ram.begin(), t.initial.ram.end());
  for (auto& [address, word] : t.initial.ram) {
    if (address >= 0x400 || (address & 3)) continue;
    auto low = initial.find(address + 2);
    if (low == initial.end()) continue;
    if ((uint32_t(word) << 16 | low->second) == t.final.pc - 4) return true;
  }
  return false;
}

// The core's decimal adjustment (used for operands that are not BCD).
uint32_t bcdAdjust(bool add, uint32_t dst, uint32_t src, uint32_t x, uint32_t& carry) {
  if (add) {
    const uint32_t sum = dst + src + x;
    uint32_t a = sum;
    if ((a & 0x0F) > 9 || (dst & 0x0F) + (src & 0x0F) + x > 0x0F) a += 6;
    carry = sum > 0x99;
    if (carry) a += 0x60;
    return a & 0xFF;
  }
  const uint32_t difference = (dst - src - x) & 0xFF;
  const bool borrow = dst < src + x;
  uint32_t a = difference;
  carry = borrow;
  if ((a & 0x0F) > 9 || (dst & 0x0F) < (src & 0x0F) + x) {
    if (a < 6) carry = 1;
    a -= 6;
  }
  if (difference > 0x99 || borrow) {
    a -= 0x60;
    carry = 1;
  }
  return a & 0xFF;
}

bool isBcd(uint32_t v) {
  return (v & 0x0F) <= 9 && (v >> 4) <= 9;
}

uint32_t initialByte(const Vector& t, uint32_t address) {
  for (auto& [a, w] : t.initial.ram) {
    if (a == (address & 0xFFFFFE)) return (address & 1) ? w & 0xFF : w >> 8;
  }
  return 0;
}

// For operands that are not BCD digits the result, C, X, N and Z follow the
// core's adjustment rule instead of the chip's.
void bcdRule(const Vector& t, Expected& e) {
  const uint16_t op = uint16_t(t.initial.prefetch[0]);
  const bool negate = t.group == "NBCD";
  const bool registers = negate ? (op & 0x38) == 0 : (op & 8) == 0;
  uint32_t dst = 0, src = 0, writeAddress = 0;
  if (registers) {
    src = t.initial.d[negate ? op & 7 : op & 7] & 0xFF;
    dst = negate ? 0 : t.initial.d[(op >> 9) & 7] & 0xFF;
  } else {
    std::vector<uint32_t> reads;
    for (auto& x : t.transactions) {
      // Byte transfers name the word; the strobes tell the byte.
      const uint32_t byteAddress = x.address | (x.uds ? 0 : 1);
      if (x.kind == 2 && (x.fc & 3) == 1) reads.push_back(byteAddress);
      if (x.kind == 1) writeAddress = byteAddress;
    }
    if (reads.empty()) return;
    src = initialByte(t, reads[0]);
    dst = negate || reads.size() < 2 ? 0 : initialByte(t, reads[1]);
  }
  if (isBcd(dst) && isBcd(src)) return;
  const uint32_t x = (t.initial.sr >> 4) & 1;
  uint32_t carry;
  const uint32_t result = bcdAdjust(t.group == "ABCD", dst, src, x, carry);
  uint16_t ccr = uint16_t(t.initial.sr & 0x04);  // Z only cleared
  if (result) ccr = 0;
  ccr |= uint16_t(carry ? 0x11 : 0) | uint16_t((result & 0x80) ? 0x08 : 0);
  e.sr = uint16_t((e.sr & ~0x1Fu) | ccr);
  if (registers) {
    const int r = negate ? op & 7 : (op >> 9) & 7;
    e.d[r] = (e.d[r] & ~0xFFu) | result;
  } else {
    uint16_t& w = e.ram[writeAddress & 0xFFFFFE];
    w = (writeAddress & 1) ? uint16_t((w & 0xFF00) | result) : uint16_t((w & 0x00FF) | result << 8);
  }
}

// Differences between the chip and the core that the core's rules require.
void allowedDifferences(const Vector& t, Expected& e) {
  const std::string& g = t.group;
  const uint16_t op = opcodeOf(t);
  const bool exception = tookException(t);
  const bool traced = (t.initial.sr & 0x8000) != 0;

  // Trace: the core takes the trace exception at the end of the instruction,
  // so the vector runs with T clear; every copy of the starting SR then has
  // T clear (final SR, stacked SR, MOVE from SR, the T of ANDI/ORI/EORI to SR).
  if (traced) {
    if (g == "ANDItoSR" || g == "ORItoSR" || g == "EORItoSR") {
      const uint16_t immT = uint16_t(t.initial.prefetch[1] & 0x8000);
      const uint16_t t0 = exception || g == "ANDItoSR" ? 0 : immT;
      e.sr = uint16_t((e.sr & 0x7FFF) | t0);
    } else if (g != "MOVEtoSR" && g != "RTE" && g != "STOP") {
      e.sr &= 0x7FFF;
    }
    if (exception) {
      const uint32_t frame = t.final.ssp;
      if (e.ram.count(frame)) e.ram[frame] &= 0x7FFF;
    }
    if (g == "MOVEfromSR") {
      if ((op & 0x38) == 0) e.d[op & 7] &= ~0x8000u;
      for (auto& x : t.transactions) {
        if (x.kind == 1 && e.ram.count(x.address & 0xFFFFFE)) e.ram[x.address & 0xFFFFFE] &= 0x7FFF;
      }
    }
  }
  const int field = op & 0x3F;
  const bool registerField = (field >> 3) == 0;
  const uint16_t kV = 0x02;

  // ABCD, SBCD, NBCD: V is left undefined by the chip; the core clears it.
  // Operands that are not BCD digits follow the core's adjustment rule.
  if (g == "ABCD" || g == "SBCD" || g == "NBCD") {
    e.sr &= ~kV;
    bcdRule(t, e);
  }
  // ADDQ/SUBQ.W to An cost 4 like the data-register form.
  if ((g == "ADD.w" || g == "SUB.w") && (op & 0xF0F8) == 0x5048) e.cycles = 4;
  // Bit operations: one cost per form, whatever the bit number.
  if (g == "BTST" || g == "BCHG" || g == "BCLR" || g == "BSET") {
    const bool isStatic = (op & 0x0100) == 0;
    const int kind = (op >> 6) & 3;  // 0 BTST, 1 BCHG, 2 BCLR, 3 BSET
    static const int registerCost[2][4] = {{6, 8, 10, 8}, {10, 12, 14, 12}};
    if (registerField)
      e.cycles = registerCost[isStatic][kind];
    else if (kind == 0)
      e.cycles = (isStatic ? 8 : 4) + eaTime(field, 1);
    else
      e.cycles = (isStatic ? 12 : 8) + eaTime(field, 1);
  }
  // CHK: N, Z, V, C are all defined: cleared, with N set for a negative Dn;
  // a trap costs 40 plus the operand time.
  if (g == "CHK") {
    const int16_t v = int16_t(t.initial.d[(op >> 9) & 7]);
    e.sr = uint16_t((e.sr & ~0x0Fu) | (v < 0 ? 0x08 : 0));
    e.cycles = (exception ? 40 : 10) + eaTime(field, 2);
  }
  // CLR writes without reading: register long 8, memory 6 / 12 + operand.
  if (g.rfind("CLR.", 0) == 0) {
    const int size = g == "CLR.b" ? 1 : g == "CLR.w" ? 2 : 4;
    e.cycles = registerField ? (size == 4 ? 8 : 4) : (size == 4 ? 12 : 6) + eaTime(field, size);
  }
  // DIVU, DIVS: one cost per form (38 + operand time on a zero divisor);
  // overflow sets V and clears N, Z, C; a zero divisor changes no flag.
  if (g == "DIVU" || g == "DIVS") {
    const bool zero = exception;
    const uint32_t ccr = t.initial.sr & 0x1F;
    if (zero) {
      e.cycles = 38 + eaTime(field, 2);
      e.sr = uint16_t((e.sr & ~0x1Fu) | ccr);
    } else {
      e.cycles = (g == "DIVU" ? 133 : 150) + eaTime(field, 2);
      if (e.sr & kV) e.sr = uint16_t((e.sr & ~0x0Fu) | kV);
    }
  }
  // TAS on memory costs 14 plus the operand time.
  if (g == "TAS" && !registerField) e.cycles = 14 + eaTime(field, 1);
  // TRAPV that traps costs 38.
  if (g == "TRAPV" && exception) e.cycles = 38;
}

// ---- running one vector ----

struct Memory {
  std::vector<uint8_t> host = std::vector<uint8_t>(size_t(1) << 24);
  uint16_t word(uint32_t a) const { return uint16_t(host[a] | host[a + 1] << 8); }
  void setWord(uint32_t a, uint16_t w) {
    host[a] = uint8_t(w);
    host[a + 1] = uint8_t(w >> 8);
  }
};

Memory& memory() {
  static Memory m;
  return m;
}

// Handler-backed memory: the listed words only.
std::map<uint32_t, uint16_t> handlerWords;
std::set<uint32_t> unlistedReads, unlistedWrites, writeOnly;

uint32_t readWordHandler(uint32_t a, const DataRegion*) {
  auto it = handlerWords.find(a & ~1u);
  if (it == handlerWords.end() || writeOnly.count(a & ~1u)) {
    unlistedReads.insert(a);
    return 0;
  }
  return it->second;
}
uint32_t readByteHandler(uint32_t a, const DataRegion* r) {
  const uint32_t w = readWordHandler(a & ~1u, r);
  return (a & 1) ? w & 0xFF : w >> 8;
}
void writeWordHandler(uint32_t a, uint32_t v, const DataRegion*) {
  auto it = handlerWords.find(a & ~1u);
  if (it == handlerWords.end()) {
    unlistedWrites.insert(a);
    return;
  }
  it->second = uint16_t(v);
}
void writeByteHandler(uint32_t a, uint32_t v, const DataRegion*) {
  auto it = handlerWords.find(a & ~1u);
  if (it == handlerWords.end()) {
    unlistedWrites.insert(a);
    return;
  }
  it->second = (a & 1) ? uint16_t((it->second & 0xFF00) | (v & 0xFF))
                       : uint16_t((it->second & 0x00FF) | (v & 0xFF) << 8);
}

std::string hex(uint32_t v) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%X", v);
  return buffer;
}

// Runs one vector; returns "" when everything matches, else what differs.
std::string runVector(const Vector& t, bool viaHandlers) {
  Memory& m = memory();
  for (auto& [address, word] : t.initial.ram) m.setWord(address & 0xFFFFFE, word);
  handlerWords.clear();
  unlistedReads.clear();
  unlistedWrites.clear();
  for (auto& [address, word] : t.initial.ram) handlerWords[address & 0xFFFFFE] = word;
  // Words the instruction only writes are listed in the final state alone.
  writeOnly.clear();
  for (auto& [address, word] : t.final.ram) {
    if (handlerWords.emplace(address & 0xFFFFFE, 0).second) writeOnly.insert(address & 0xFFFFFE);
  }

  static ProgramRegion fetch[2];
  static DataRegion direct[2], readBytes[2], readWords[2], writeBytes[2], writeWords[2];
  const DataRegion end{cpuTableEnd, cpuTableEnd, nullptr, nullptr};
  fetch[0] = {0, 0xFFFFFF, intptr_t(m.host.data())};
  fetch[1] = {cpuTableEnd, cpuTableEnd, 0};
  direct[0] = {0, 0xFFFFFF, nullptr, m.host.data()};
  readBytes[0] = {0, 0xFFFFFF, reinterpret_cast<void*>(&readByteHandler), nullptr};
  readWords[0] = {0, 0xFFFFFF, reinterpret_cast<void*>(&readWordHandler), nullptr};
  writeBytes[0] = {0, 0xFFFFFF, reinterpret_cast<void*>(&writeByteHandler), nullptr};
  writeWords[0] = {0, 0xFFFFFF, reinterpret_cast<void*>(&writeWordHandler), nullptr};
  for (DataRegion* table : {direct, readBytes, readWords, writeBytes, writeWords}) table[1] = end;

  CpuContext c{};
  c.fetch = c.superFetch = c.userFetch = fetch;
  const DataRegion* rb = viaHandlers ? readBytes : direct;
  const DataRegion* rw = viaHandlers ? readWords : direct;
  const DataRegion* wb = viaHandlers ? writeBytes : direct;
  const DataRegion* ww = viaHandlers ? writeWords : direct;
  c.readByte = c.superReadByte = c.userReadByte = rb;
  c.readWord = c.superReadWord = c.userReadWord = rw;
  c.writeByte = c.superWriteByte = c.userWriteByte = wb;
  c.writeWord = c.superWriteWord = c.userWriteWord = ww;
  const vectors::State& in = t.initial;
  for (int i = 0; i < 8; ++i) c.dreg[i] = in.d[i];
  for (int i = 0; i < 7; ++i) c.areg[i] = in.a[i];
  const bool super = (in.sr & 0x2000) != 0;
  c.areg[7] = super ? in.ssp : in.usp;
  c.otherSp = super ? in.usp : in.ssp;
  c.sr = uint16_t(in.sr & 0x7FFF);  // trace taken by the core itself: run with T clear
  c.pc = in.pc - 4;
  c.resetHandler = [] {};
  cpuSetContext(&c);
  const uint32_t result = cpuExec(1);
  cpuGetContext(&c);

  Expected e{};
  const vectors::State& out = t.final;
  for (int i = 0; i < 8; ++i) e.d[i] = out.d[i];
  for (int i = 0; i < 7; ++i) e.a[i] = out.a[i];
  const bool finalSuper = (out.sr & 0x2000) != 0;
  e.a[7] = finalSuper ? out.ssp : out.usp;
  e.otherSp = finalSuper ? out.usp : out.ssp;
  e.sr = uint16_t(out.sr);
  // After STOP the PC is the next instruction itself (no prefetch).
  const bool stopped = t.group == "STOP" && (in.sr & 0x2000);
  e.pc = stopped ? out.pc : out.pc - 4;
  e.cycles = t.cycles;
  for (auto& [address, word] : out.ram) e.ram[address & 0xFFFFFE] = word;
  allowedDifferences(t, e);

  std::string diff;
  auto check = [&](const char* what, uint32_t got, uint32_t want, uint32_t mask = 0xFFFFFFFF) {
    if ((got & mask) != (want & mask))
      diff += std::string(" ") + what + "=" + hex(got) + " want " + hex(want);
  };
  if (result != cpuExecBudgetUsed) diff += " result=" + hex(result);
  for (int i = 0; i < 8; ++i) check(("D" + std::to_string(i)).c_str(), c.dreg[i], e.d[i]);
  for (int i = 0; i < 8; ++i) check(("A" + std::to_string(i)).c_str(), c.areg[i], e.a[i]);
  check("otherSp", c.otherSp, e.otherSp);
  check("SR", c.sr, e.sr, e.srMask);
  check("PC", c.pc, e.pc);
  check("cycles", c.cycleCount, e.cycles);
  for (auto& [address, want] : e.ram) {
    const uint16_t got = viaHandlers ? handlerWords[address] : m.word(address);
    const uint16_t mask = e.ramMask.count(address) ? e.ramMask[address] : 0xFFFF;
    check(("[" + hex(address) + "]").c_str(), got, want, mask);
  }
  for (uint32_t a : unlistedReads) diff += " read of unlisted " + hex(a);
  for (uint32_t a : unlistedWrites) diff += " write to unlisted " + hex(a);
  // Leave the memory clean for the next vector.
  for (auto& [address, word] : t.initial.ram) m.setWord(address & 0xFFFFFE, 0);
  for (auto& [address, word] : out.ram) m.setWord(address & 0xFFFFFE, 0);
  return diff;
}

// Tests that exercise address errors, which this core never raises.
bool raisesAddressError(const Vector& t) {
  for (auto& x : t.transactions) {
    if (x.kind == 4 || x.kind == 5) return true;
  }
  return false;
}

struct Tally {
  int passed = 0, skipped = 0;
  std::vector<std::string> failures;
};

void runAll(const std::vector<Vector>& tests, Tally& tally) {
  static bool initialised = false;
  if (!initialised) {
    cpuInit();
    initialised = true;
  }
  for (const Vector& t : tests) {
    if (raisesAddressError(t)) {
      ++tally.skipped;
      continue;
    }
    std::string diff = runVector(t, false);
    if (diff.empty())
      diff = runVector(t, true);
    else
      diff = " (direct)" + diff;
    if (diff.empty())
      ++tally.passed;
    else
      tally.failures.push_back(t.name + ":" + diff);
  }
}

void report(const std::string& what, const Tally& tally) {
  for (size_t i = 0; i < tally.failures.size() && i < 20; ++i) {
    ADD_FAILURE() << tally.failures[i];
  }
  EXPECT_TRUE(tally.failures.empty())
      << what << ": " << tally.failures.size() << " failed, " << tally.passed << " passed";
  std::printf("%s: %d passed, %zu failed, %d skipped (address errors)\n", what.c_str(),
              tally.passed, tally.failures.size(), tally.skipped);
}

std::vector<std::string> sharedFiles() {
  std::vector<std::string> names;
  std::error_code ec;
  for (auto& entry : std::filesystem::directory_iterator(kSharedDir, ec)) {
    if (entry.path().extension() == ".bin") names.push_back(entry.path().stem().string());
  }
  std::sort(names.begin(), names.end());
  if (names.empty()) names.push_back("absent");
  return names;
}

class SharedVectors : public testing::TestWithParam<std::string> {};

TEST_P(SharedVectors, MatchTheChip) {
  if (GetParam() == "absent") GTEST_SKIP() << "no shared test vectors in " << kSharedDir;
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(vectors::readFile(kSharedDir + "/" + GetParam() + ".bin", bytes));
  std::vector<Vector> tests;
  std::string error;
  ASSERT_TRUE(vectors::parse(bytes, tests, error)) << error;
  Tally tally;
  runAll(tests, tally);
  report(GetParam(), tally);
}

std::string safeName(const testing::TestParamInfo<std::string>& info) {
  std::string name = info.param;
  for (char& ch : name) {
    if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
  }
  return name;
}

INSTANTIATE_TEST_SUITE_P(Groups, SharedVectors, testing::ValuesIn(sharedFiles()), safeName);

TEST(SampleVectors, MatchTheChip) {
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(vectors::readFile(kSampleFile, bytes)) << kSampleFile;
  std::vector<Vector> tests;
  std::string error;
  ASSERT_TRUE(vectors::parse(bytes, tests, error)) << error;
  std::set<std::string> groups;
  for (const Vector& t : tests) groups.insert(t.group);
  EXPECT_GE(groups.size(), 120u) << "the sample covers every instruction group";
  Tally tally;
  runAll(tests, tally);
  report("sample", tally);
}

TEST(VectorFile, RejectsTruncatedAndGarbage) {
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(vectors::readFile(kSampleFile, bytes));
  std::vector<Vector> tests;
  std::string error;
  for (size_t cut : {size_t(3), size_t(9), bytes.size() / 2, bytes.size() - 1}) {
    std::vector<uint8_t> truncated(bytes.begin(), bytes.begin() + cut);
    EXPECT_FALSE(vectors::parse(truncated, tests, error)) << cut;
  }
  std::vector<uint8_t> garbage(bytes.size(), 0xA5);
  EXPECT_FALSE(vectors::parse(garbage, tests, error));
}

}  // namespace
