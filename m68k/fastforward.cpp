// Fast-forward of polling loops. A processor that waits by reading memory
// and branching back (CMP <ea>,Dn; Bcc, TST <ea>; Bcc, MOVE <ea>,Dn; AND;
// Bcc ...) spins until its slice ends, because nothing it reads can change
// during a slice: the other processors do not run, no interrupt arrives
// (the client raises them between slices, or from handlers, which such a
// loop does not reach), and the loop writes nothing. Once one pass of the
// loop leaves every register and flag as the pass before it did, every
// further pass does the same, at the same cost; the passes that fit in the
// slice are then counted instead of run, leaving the last ones to run one
// by one so that the slice ends exactly where it would have.
//
// The loops are found as they run: at the slice's checkpoints the code at
// the PC is looked at (a short run of instructions that write no memory,
// closed by a branch back), then run pass by pass until two passes agree.
#include <algorithm>
#include <cstring>

#include "m68k/core.h"
#include "m68k/opcodes.h"

namespace m68k {
namespace {

constexpr int kMaxLoopLength = 8;  // instructions in a loop
constexpr int kPassesTried = 3;

uint64_t skipped = 0;

// Words that read at most, write no memory and leave the stack, the status
// register's system byte and the program flow (but for branches) alone:
// what a polling loop may hold. Register results are allowed; whether the
// loop is steady is seen as it runs.
uint8_t pollingSafe[65536];

int eaMode(uint32_t op) {
  const uint32_t mode = (op >> 3) & 7, reg = op & 7;
  return mode < 7 ? int(mode) : int(kAbsW + reg);
}

bool safeWord(uint32_t op) {
  const uint8_t row = opcodeRow[op];
  if (row >= kOpcodeRowCount) return false;
  const OpcodeRow& r = kOpcodeRows[row];
  const bool registerEa = eaMode(op) == kDn;
  switch (r.family) {
    case Family::kBitStatic:
    case Family::kBitDynamic:
      return r.variant == kBtst || registerEa;
    case Family::kImmediateToEa:
      return r.variant == kCmpi || registerEa;
    case Family::kUnary:
      return r.variant == kTst || registerEa;
    case Family::kMove:
      return ((op >> 6) & 7) == kDn;  // the destination's mode field
    case Family::kScc:
    case Family::kQuick:
      return registerEa || eaMode(op) == kAn;
    case Family::kShiftByCount:
    case Family::kShiftByRegister:
    case Family::kMoveAddress:
    case Family::kArithToRegister:
    case Family::kArithAddress:
    case Family::kLogicToRegister:
    case Family::kSwap:
    case Family::kExt:
    case Family::kLea:
    case Family::kNop:
    case Family::kBcc:
    case Family::kMoveq:
    case Family::kExgData:
    case Family::kExgAddress:
    case Family::kExgDataAddress:
      return true;
    default:
      return false;
  }
}

bool wordAt(uint32_t address, uint32_t& op) {
  if (address < g.windowFirst || uint64_t(address) + 1 > g.windowLast) return false;
  op = load16(g.base + address);
  return true;
}

// A taken Bcc's target, or false for another word.
bool branchTarget(uint32_t address, uint32_t op, uint32_t& target) {
  const uint8_t row = opcodeRow[op];
  if (row >= kOpcodeRowCount || kOpcodeRows[row].family != Family::kBcc) return false;
  int32_t displacement = int8_t(op & 0xFF);
  uint32_t word;
  if (displacement == 0) {
    if (!wordAt(address + 2, word)) return false;
    displacement = int16_t(word);
  }
  target = address + 2 + uint32_t(displacement);
  return true;
}

// Whether the code at pc looks like a polling loop: safe words from pc on
// up to a branch back to pc or before it, and safe words from there to pc.
bool looksLikeLoop(uint32_t pc) {
  uint32_t at = pc, op, target;
  for (int n = 0; n < kMaxLoopLength; ++n) {
    if (!wordAt(at, op) || !pollingSafe[op]) return false;
    if (branchTarget(at, op, target) && target <= pc && pc - target < 64) {
      for (uint32_t from = target; from < pc;) {
        if (!wordAt(from, op) || !pollingSafe[op] || ++n >= kMaxLoopLength) return false;
        from += opcodeLength[op];
      }
      return true;
    }
    at += opcodeLength[op];
  }
  return false;
}

// What a pass may change besides the PC, the cycles and the count.
struct Registers {
  uint32_t regs[17];  // D0-D7, A0-A7, the other stack pointer
  uint16_t sr;
  uint8_t flags[5];
  bool operator==(const Registers&) const = default;
};

Registers registersNow() {
  Registers r{};
  std::memcpy(r.regs, g.ctx.dreg, sizeof g.ctx.dreg);
  std::memcpy(r.regs + 8, g.ctx.areg, sizeof g.ctx.areg);
  r.regs[16] = g.ctx.otherSp;
  r.sr = g.ctx.sr;
  const uint8_t flags[5] = {flagX, flagN, flagZ, flagV, flagC};
  std::memcpy(r.flags, flags, sizeof flags);
  return r;
}

// Runs one instruction, as the chain would; false when it did not (a stop,
// the budget used up, a trace or interrupt to take: the caller sees to it).
bool runOne(Step& s) {
  const int64_t left = s.left;
  startChain(s.pc, s.rem, 0, 2);
  s.pc = g.hostPc;
  s.rem = g.remaining;
  const int64_t started = 2 - g.startsLeft;
  s.left = left - started;
  if (g.stopRequested && g.stopResult == cpuExecInstructionLimit && started == 1 && left > 2) {
    g.stopRequested = false;
  }
  return started == 1 && !g.stopRequested && s.rem >= 0 && !g.tracePending;
}

}  // namespace

bool fastForwardOn = true;

void bindPollingSafety() {
  for (uint32_t op = 0; op < 65536; ++op) pollingSafe[op] = safeWord(op);
}

void fastForwardPolling(Step& s) {
  if (!fastForwardOn || s.left <= 2 || g.tracePending) return;
  const uint32_t pc = pcOf(s.pc);
  if (!looksLikeLoop(pc)) return;
  Registers before = registersNow();
  for (int pass = 0; pass < kPassesTried; ++pass) {
    const uint64_t slowBefore = g.slowAccesses;
    const int32_t remBefore = s.rem;
    int64_t count = 0;
    do {
      uint32_t op;
      const uint32_t at = pcOf(s.pc);
      if (!wordAt(at, op) || !pollingSafe[op] || (g.breakpointsSet && isBreakpoint(at))) return;
      if (++count > kMaxLoopLength || !runOne(s)) return;
    } while (pcOf(s.pc) != pc);
    const Registers after = registersNow();
    if (g.slowAccesses != slowBefore) return;  // a handler or a watched page
    if (after == before) {
      // Steady: k more passes are counted, at least one left to run.
      const int32_t cost = remBefore - s.rem;
      int64_t passes = s.rem / cost - 1;
      passes = std::min<int64_t>(passes, (s.left - 2) / count - 1);
      if (passes <= 0) return;
      s.rem -= int32_t(passes * cost);
      s.left -= passes * count;
      skipped += uint64_t(passes * count);
      return;
    }
    before = after;
  }
}

}  // namespace m68k

void cpuSetFastForward(bool on) {
  m68k::fastForwardOn = on;
}

uint64_t cpuSkippedInstructions() {
  return m68k::skipped;
}
