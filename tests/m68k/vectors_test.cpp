// The core against single-instruction vectors from a bus-accurate 68000
// model: registers, SR, PC, memory and cycles after one instruction. The
// full set is read from the shared folder when present, else the committed
// sample (a few vectors of every group, records copied unchanged).
// Differences the core's own rules allow, applied to the expected state in
// allowedDifferences() and nowhere else:
// - vectors that raise address errors are skipped (the core has none);
// - trace is taken after the instruction, so the vector runs with T clear and
//   every copy of the starting SR has T clear;
// - ABCD, SBCD, NBCD: V cleared; non-BCD operands follow the core's adjustment;
// - CHK: N, Z, V, C cleared (N set for a negative register); trap 40 + ea;
// - DIVU, DIVS: 133 / 150 + ea, 38 + ea on a zero divisor, which changes no
//   flag; overflow sets V and clears N, Z, C;
// - one cost per form: ADDQ/SUBQ.W to An 4; BTST, BCHG, BCLR, BSET; CLR 4 / 8
//   on a register, 6 / 12 + ea on memory; TAS on memory 14 + ea; TRAPV trap 38.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "m68k/cpu.h"
#include "tests/support/m68k_vectors.h"

namespace {

const std::string kSharedDir = std::string(SB_SHARED_DIR) + "/m68000-vectors";
const std::string kSample = std::string(SB_SOURCE_DIR) + "/tests/m68k/vectors/sample.bin";
using Vector = support::M68kVector;
enum { kUsp = support::M68kState::kUsp, kSsp, kSr, kPc, kOpcode, kExtension };

// The expected outcome: the context, and memory word by word.
using Ram = std::map<uint32_t, uint16_t>;

// Effective-address time by mode 0-6, then mode 7 by register; word, long.
int eaTime(int field, int size) {
  static const int kTime[2][12] = {{0, 0, 4, 4, 6, 8, 10, 8, 12, 8, 10, 4},
                                   {0, 0, 8, 8, 10, 12, 14, 12, 16, 12, 14, 8}};
  const int mode = field >> 3;
  return kTime[size == 4][mode < 7 ? mode : 7 + std::min(field & 7, 4)];
}

// An exception shows as the final PC being a long read from the vector table.
bool tookException(const Vector& t) {
  std::map<uint32_t, uint16_t> ram(t.in.ram.begin(), t.in.ram.end());
  for (auto& [a, w] : t.in.ram)
    if (a < 0x400 && !(a & 3) && ram.count(a + 2) &&
        (uint32_t(w) << 16 | ram[a + 2]) == t.out.r[kPc] - 4)
      return true;
  return false;
}

// Operands that are not BCD digits: result, C, X, N and Z by the core's rule.
void bcdRule(const Vector& t, CpuContext& e, Ram& ram) {
  const uint32_t op = t.in.r[kOpcode], x = (t.in.r[kSr] >> 4) & 1;
  const bool negate = t.group == "NBCD", registers = negate ? (op & 0x38) == 0 : (op & 8) == 0;
  const int dstReg = negate ? op & 7 : (op >> 9) & 7;
  uint32_t dst = negate ? 0 : t.in.r[dstReg] & 0xFF, src = t.in.r[op & 7] & 0xFF, to = 0;
  auto initialByte = [&t](uint32_t address) {
    for (auto& [a, w] : t.in.ram)
      if (a == (address & ~1u)) return (address & 1) ? w & 0xFFu : w >> 8u;
    return 0u;
  };
  if (!registers) {
    std::vector<uint32_t> reads;  // byte transfers name the word; the strobes tell the byte
    for (const auto& a : t.bus) {
      if (a.kind == 2 && (a.fc & 3) == 1) reads.push_back(a.address | (a.uds ? 0 : 1));
      if (a.kind == 1) to = a.address | (a.uds ? 0 : 1);
    }
    if (reads.empty()) return;
    src = initialByte(reads[0]);
    dst = negate || reads.size() < 2 ? 0 : initialByte(reads[1]);
  }
  auto bcd = [](uint32_t v) { return (v & 0x0F) <= 9 && (v >> 4) <= 9; };
  if (bcd(dst) && bcd(src)) return;
  uint32_t r, carry;
  if (t.group == "ABCD") {
    r = dst + src + x;
    if ((r & 0x0F) > 9 || (dst & 0x0F) + (src & 0x0F) + x > 0x0F) r += 6;
    carry = dst + src + x > 0x99;
    if (carry) r += 0x60;
  } else {
    const uint32_t difference = (dst - src - x) & 0xFF;
    r = difference;
    carry = dst < src + x;
    if ((r & 0x0F) > 9 || (dst & 0x0F) < (src & 0x0F) + x) {
      if (r < 6) carry = 1;
      r -= 6;
    }
    if (difference > 0x99 || dst < src + x) r -= 0x60, carry = 1;
  }
  r &= 0xFF;
  const uint32_t ccr = (r ? 0 : t.in.r[kSr] & 4) | (carry ? 0x11 : 0) | (r & 0x80 ? 8 : 0);
  e.sr = uint16_t((e.sr & ~0x1Fu) | ccr);
  if (registers) {
    e.dreg[dstReg] = (e.dreg[dstReg] & ~0xFFu) | r;
  } else {
    uint16_t& w = ram[to & ~1u];
    w = (to & 1) ? uint16_t((w & 0xFF00) | r) : uint16_t((w & 0x00FF) | r << 8);
  }
}

void allowedDifferences(const Vector& t, CpuContext& e, Ram& ram) {
  const std::string& g = t.group;
  const uint32_t op = t.in.r[kOpcode], field = op & 0x3F;
  const bool exception = tookException(t), registerField = (field >> 3) == 0;
  uint16_t& sr = e.sr;
  uint32_t& cycles = e.cycleCount;
  if (t.in.r[kSr] & 0x8000) {  // every copy of the starting SR has T clear
    const bool keepsT =
        (g == "ORItoSR" || g == "EORItoSR") && !exception && (t.in.r[kExtension] & 0x8000);
    if (g != "MOVEtoSR" && g != "RTE" && g != "STOP") sr = uint16_t((sr & 0x7FFF) | keepsT << 15);
    if (exception && ram.count(t.out.r[kSsp])) ram[t.out.r[kSsp]] &= 0x7FFF;
    if (g == "MOVEfromSR" && registerField) e.dreg[op & 7] &= ~0x8000u;
    for (const auto& a : t.bus)
      if (g == "MOVEfromSR" && a.kind == 1 && ram.count(a.address)) ram[a.address] &= 0x7FFF;
  }
  if (g == "ABCD" || g == "SBCD" || g == "NBCD") {
    sr &= ~2;
    bcdRule(t, e, ram);
  }
  if ((g == "ADD.w" || g == "SUB.w") && (op & 0xF0F8) == 0x5048) cycles = 4;
  if (g == "BTST" || g == "BCHG" || g == "BCLR" || g == "BSET") {
    static const int kRegister[2][4] = {{6, 8, 10, 8}, {10, 12, 14, 12}};
    const bool isStatic = (op & 0x0100) == 0;
    const int kind = (op >> 6) & 3;  // BTST, BCHG, BCLR, BSET
    cycles = registerField ? kRegister[isStatic][kind]
                           : (isStatic ? 4 : 0) + (kind ? 8 : 4) + eaTime(field, 1);
  }
  if (g == "CHK") {
    sr = uint16_t((sr & ~0x0Fu) | (int16_t(t.in.r[(op >> 9) & 7]) < 0 ? 8 : 0));
    cycles = (exception ? 40 : 10) + eaTime(field, 2);
  }
  if (g.rfind("CLR.", 0) == 0) {
    const int size = g == "CLR.b" ? 1 : g == "CLR.w" ? 2 : 4;
    cycles = registerField ? (size == 4 ? 8 : 4) : (size == 4 ? 12 : 6) + eaTime(field, size);
  }
  if ((g == "DIVU" || g == "DIVS") && exception) {
    cycles = 38 + eaTime(field, 2);
    sr = uint16_t((sr & ~0x1Fu) | (t.in.r[kSr] & 0x1F));
  } else if (g == "DIVU" || g == "DIVS") {
    cycles = (g == "DIVU" ? 133 : 150) + eaTime(field, 2);
    if (sr & 2) sr = uint16_t((sr & ~0x0Fu) | 2);
  }
  if (g == "TAS" && !registerField) cycles = 14 + eaTime(field, 1);
  if (g == "TRAPV" && exception) cycles = 38;
}

std::vector<uint8_t> host(size_t(1) << 24);  // memory, in the host word order

// A state as the core holds it: the active stack pointer in A7, T clear.
void toContext(const support::M68kState& s, CpuContext& c) {
  const bool super = s.r[kSr] & 0x2000;
  std::copy(s.r, s.r + 8, c.dreg);
  std::copy(s.r + 8, s.r + 15, c.areg);
  c.areg[7] = s.r[super ? kSsp : kUsp];
  c.otherSp = s.r[super ? kUsp : kSsp];
  c.sr = uint16_t(s.r[kSr]);
  c.pc = s.r[kPc] - 4;
}

// Runs one vector; returns what differs ("" when nothing does).
std::string runVector(const Vector& t) {
  for (auto& [a, w] : t.in.ram) std::memcpy(&host[a], &w, 2);  // host words: little-endian
  const ProgramRegion fetch[] = {{0, 0xFFFFFF, intptr_t(host.data())},
                                 {cpuTableEnd, cpuTableEnd, 0}};
  const DataRegion data[] = {{0, 0xFFFFFF, nullptr, host.data()},
                             {cpuTableEnd, cpuTableEnd, nullptr, nullptr}};
  CpuContext c{};
  c.fetch = c.superFetch = c.userFetch = fetch;
  c.readByte = c.superReadByte = c.userReadByte = c.readWord = c.superReadWord = data;
  c.userReadWord = c.writeByte = c.superWriteByte = c.userWriteByte = data;
  c.writeWord = c.superWriteWord = c.userWriteWord = data;
  c.resetHandler = [] {};
  toContext(t.in, c);
  c.sr &= 0x7FFF;
  cpuSetContext(&c);
  const uint32_t result = cpuExec(1);
  cpuGetContext(&c);

  CpuContext e{};
  Ram ram;
  toContext(t.out, e);
  // After STOP the PC is the next instruction itself (no prefetch).
  if (t.group == "STOP" && (t.in.r[kSr] & 0x2000)) e.pc += 4;
  e.cycleCount = t.cycles;
  for (auto& [a, w] : t.out.ram) ram[a] = w;
  allowedDifferences(t, e, ram);

  // D0-D7, A0-A7, other SP, PC, cycles, SR, result, then the listed words.
  auto view = [](const CpuContext& x, uint32_t r) {
    std::vector<uint32_t> v(x.dreg, x.dreg + 8);
    v.insert(v.end(), x.areg, x.areg + 8);
    v.insert(v.end(), {x.otherSp, x.pc, x.cycleCount, x.sr, r});
    return v;
  };
  std::vector<uint32_t> got = view(c, result), want = view(e, cpuExecBudgetUsed);
  for (auto& [a, w] : ram) got.push_back(host[a] | host[a + 1] << 8), want.push_back(w);
  std::string diff;
  for (size_t i = 0; i < got.size(); ++i) {
    char text[48];
    std::snprintf(text, sizeof text, " [%zu] %X want %X", i, got[i], want[i]);
    if (got[i] != want[i]) diff += text;
  }
  for (auto* list : {&t.in.ram, &t.out.ram})
    for (auto& [a, w] : *list) host[a] = host[a + 1] = 0;
  return diff;
}

// The full set when it is there, else the committed sample.
TEST(M68kVectors, MatchTheChip) {
  std::vector<std::string> files;
  std::error_code ec;
  for (auto& f : std::filesystem::directory_iterator(kSharedDir, ec))
    if (f.path().extension() == ".bin") files.push_back(f.path().string());
  if (files.empty()) {
    std::printf("no shared test vectors in %s: running the sample\n", kSharedDir.c_str());
    files.push_back(kSample);
  }
  ASSERT_EQ(cpuInit(), 0);
  std::set<std::string> groups;
  int failures = 0, run = 0;
  for (const std::string& path : files) {
    uint32_t count = 0;
    const std::vector<Vector> vectors = support::readM68kVectors(path, count);
    EXPECT_EQ(vectors.size(), count) << path << " is damaged";
    for (const Vector& t : vectors) {
      groups.insert(t.group);
      if (std::any_of(t.bus.begin(), t.bus.end(), [](const auto& a) { return a.kind >= 4; }))
        continue;
      ++run;
      const std::string diff = runVector(t);
      if (!diff.empty() && ++failures <= 20) ADD_FAILURE() << t.name << ":" << diff;
    }
  }
  EXPECT_EQ(failures, 0) << "of " << run;
  EXPECT_GE(groups.size(), 120u) << "every instruction group";
}

}  // namespace
