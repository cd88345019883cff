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
#include <iterator>

#include "m68k/core.h"
#include "m68k/opcodes.h"

namespace m68k {
namespace {

constexpr int kMaxLoopLength = 8;  // instructions in a loop
constexpr int kPassesTried = 3;

uint64_t skipped = 0;

// Checkpoint PCs found not to be in a polling loop, so that busy code is
// looked at once rather than at every checkpoint. A miss is never wrong,
// only a fast-forward forgone (code changed since): the list is cleared
// when breakpoints or watched ranges change.
struct Miss {
  uint32_t pc;
  const ProgramRegion* code;  // the fetch table: each processor its own
};
constexpr uint32_t kMissSlots = 4096;
Miss misses[kMissSlots];

Miss& missSlot(uint32_t pc) {
  return misses[(pc >> 1) % kMissSlots];
}

// Words that read at most, write no memory and leave the stack, the status
// register's system byte and the program flow (but for branches) alone:
// what a polling loop may hold. Register results are allowed; whether the
// loop is steady is seen as it runs. Bcc words are told apart, so that a
// look at code costs a table read a word.
enum WordClass : uint8_t { kUnsafe, kSafe, kSafeBranch };
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

// A Bcc's target, when the word can be read.
bool branchTarget(uint32_t address, uint32_t op, uint32_t& target) {
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
    if (!wordAt(at, op)) return false;
    const uint8_t kind = pollingSafe[op];
    if (kind == kUnsafe) return false;
    if (kind == kSafeBranch && branchTarget(at, op, target) && target <= pc && pc - target < 64) {
      for (uint32_t from = target; from < pc;) {
        if (!wordAt(from, op) || pollingSafe[op] == kUnsafe || ++n >= kMaxLoopLength) return false;
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

// Runs one instruction, as the chain would; false when it did not run
// plainly (a stop, the budget used up, a request set aside by a handler, a
// trace): the caller then sees to it.
bool runOne(Step& s) {
  constexpr int32_t oneInstruction = 3;  // each costs at least 4 cycles
  const int32_t rem = remOf(s.budget);
  if (rem < oneInstruction || g.startsLeft < 2) return false;
  g.stretchRest = rem - oneInstruction;
  startChain(s.pc, packBudget(oneInstruction, 0), 0);
  s.pc = g.hostPc;
  const int64_t done = countOf(g.remaining);
  s.budget = packBudget(remOf(g.remaining), 0);
  countInstructions(done);
  if (g.stopRequested || done != 1 || g.cyclesDeferred != 0 || g.tracePending) return false;
  setRem(s, remOf(s.budget) + g.stretchRest);
  g.stretchRest = 0;
  return s.budget >= 0;
}

}  // namespace

bool fastForwardOn = true;

void bindPollingSafety() {
  for (uint32_t op = 0; op < 65536; ++op) {
    const uint8_t row = opcodeRow[op];
    const bool branch = row < kOpcodeRowCount && kOpcodeRows[row].family == Family::kBcc;
    pollingSafe[op] = !safeWord(op) ? kUnsafe : branch ? kSafeBranch : kSafe;
  }
}

void forgetPollingMisses() {
  std::fill(std::begin(misses), std::end(misses), Miss{kNoPass, nullptr});
}

bool fastForwardPolling(Step& s) {
  if (!fastForwardOn || g.startsLeft < 4 || g.tracePending) return false;
  const uint32_t pc = pcOf(s.pc);
  Miss& miss = missSlot(pc);
  if (miss.pc == pc && miss.code == g.ctx.fetch) return false;
  // Until the loop is found steady, this PC counts as a miss.
  miss = {pc, g.ctx.fetch};
  if (!looksLikeLoop(pc)) return false;
  Registers before = registersNow();
  for (int pass = 0; pass < kPassesTried; ++pass) {
    const uint64_t slowBefore = g.slowAccesses;
    const int32_t remBefore = remOf(s.budget);
    int64_t count = 0;
    do {
      uint32_t op;
      const uint32_t at = pcOf(s.pc);
      if (!wordAt(at, op) || pollingSafe[op] == kUnsafe || (g.breakpointsSet && isBreakpoint(at)))
        return false;
      if (++count > kMaxLoopLength || !runOne(s)) return false;
    } while (pcOf(s.pc) != pc);
    const Registers after = registersNow();
    if (g.slowAccesses != slowBefore) return false;  // a handler or a watched page
    if (after == before) {
      // Steady: k more passes are counted, at least one left to run.
      const int32_t rem = remOf(s.budget), cost = remBefore - rem;
      int64_t passes = rem / cost - 1;
      if (g.startsLeft != kUnlimitedStarts) {
        passes = std::min<int64_t>(passes, (g.startsLeft - 2) / count - 1);
      }
      if (passes <= 0) return false;
      setRem(s, rem - int32_t(passes * cost));
      countInstructions(passes * count);
      skipped += uint64_t(passes * count);
      miss = {kNoPass, nullptr};
      return true;
    }
    before = after;
  }
  return false;
}

}  // namespace m68k

void cpuSetFastForward(bool on) {
  m68k::fastForwardOn = on;
}

uint64_t cpuSkippedInstructions() {
  return m68k::skipped;
}
