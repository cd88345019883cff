// The execution engine: the opcode table, the run loop with its slice-end
// processing, exceptions, interrupts, trace, and the operations of cpu.h.
#include <algorithm>
#include <cstring>
#include <utility>

#include "m68k/core.h"
#include "m68k/costs.h"

namespace m68k {

RunState g;
uint8_t flagC, flagV, flagZ, flagN, flagX;
Handler opcodeTable[65536];
uint8_t opcodeLength[65536];
uint8_t opcodeRow[65536];

namespace {

constexpr uint8_t kStoppedBit = 1;
constexpr uint32_t kVectorTrace = 9;

SB_INLINE uint32_t interruptMask() {
  return (g.ctx.sr >> 8) & 7;
}

// Level 7 is taken whatever the mask; others only above it.
SB_INLINE bool interruptDue() {
  const uint32_t pending = g.ctx.interrupts[0] & 0xFE;
  return (pending & 0x80) || (pending >> (interruptMask() + 1)) != 0;
}

// Copies the table set of the mode into the current pointers.
void selectMaps(bool supervisor) {
  CpuContext& c = g.ctx;
  if (supervisor) {
    c.fetch = c.superFetch;
    c.readByte = c.superReadByte;
    c.readWord = c.superReadWord;
    c.writeByte = c.superWriteByte;
    c.writeWord = c.superWriteWord;
  } else {
    c.fetch = c.userFetch;
    c.readByte = c.userReadByte;
    c.readWord = c.userReadWord;
    c.writeByte = c.userWriteByte;
    c.writeWord = c.userWriteWord;
  }
  refreshPageIndexes();
}

// The fetch window belongs to the old mode's table: the next fetch or jump
// re-bases through the new one, so that code runs only where the fetch
// table of the mode in force maps it.
void switchMode(bool supervisor) {
  std::swap(g.ctx.areg[7], g.ctx.otherSp);
  selectMaps(supervisor);
  if (g.executing) closeWindow();
}

// Exception processing up to the new PC, which the caller re-bases. The
// slice must be saved (savedPc, savedRem) by the caller: the vector read and
// the frame writes may reach client handlers.
uint32_t exceptionEntry(uint32_t vector, uint32_t framePc) {
  CpuContext& c = g.ctx;
  c.interrupts[0] &= uint8_t(~kStoppedBit);
  const uint32_t newPc = rawReadLong(vector * 4);
  const uint16_t oldSr = composeSr();
  if (!(c.sr & kSrSuper)) {
    c.sr |= kSrSuper;
    switchMode(true);
  }
  c.sr &= 0x27FF;  // T cleared; S and the mask kept
  g.tracePending = false;
  rawWriteLong(c.areg[7] - 4, framePc);
  rawWriteWord(c.areg[7] - 6, oldSr);
  c.areg[7] -= 6;
  return newPc;
}

// Takes the highest pending interrupt the mask allows, if any; the slice is
// saved by the caller. Returns whether one was taken.
bool serviceInterrupts(uint32_t framePc, uint32_t& newPc) {
  CpuContext& c = g.ctx;
  const uint32_t mask = interruptMask();
  for (uint32_t level = 7; level >= 1; --level) {
    if (level != 7 && level <= mask) break;
    if (!(c.interrupts[0] & (1u << level))) continue;
    c.interrupts[0] &= uint8_t(~(1u << level));
    newPc = exceptionEntry(c.interrupts[level], framePc);
    c.sr = uint16_t((c.sr & ~0x0700) | (level << 8));
    return true;
  }
  return false;
}

// Interrupt check with re-base (start of a slice, slice end, re-check).
Step interruptCheck(Step s) {
  saveSlice(s);
  uint32_t newPc;
  const bool taken = serviceInterrupts(pcOf(s.pc), newPc);
  restoreSlice(s, 0);
  if (taken) {
    chargeCycles(s, kInterruptCost);
    rebase(newPc);
    s.pc = g.base + newPc;
  }
  return s;
}

// Trace set-up: with T set, one instruction runs and the slice ends, the
// rest of the budget set aside for after the trace exception.
SB_INLINE void armTrace(Step& s) {
  g.tracePending = (g.ctx.sr & kSrTrace) != 0;
  if (g.tracePending) {
    g.cyclesDeferred += remOf(s.budget) + 1;
    setRem(s, -1);
  }
}

uint32_t packFlags() {
  return uint32_t(flagX << 4 | flagN << 3 | flagZ << 2 | flagV << 1 | flagC);
}

}  // namespace

// ---- chain ----

void endChain(uintptr_t pc, int64_t budget, uint32_t) {
  g.hostPc = pc;
  g.remaining = budget;
}

void startChain(uintptr_t pc, int64_t budget, uint32_t) {
  if (SB_UNLIKELY(pc - g.fetchLo > g.fetchSafe)) {
    SB_MUSTTAIL return fetchSlow(pc, budget, 0);
  }
  const uint32_t op = load16(pc);
  SB_MUSTTAIL return opcodeTable[op](pc + 2, budget, op);
}

namespace {
bool fitsWindow(uint32_t address, uint32_t length) {
  return address >= g.windowFirst && uint64_t(address) + length - 1 <= g.windowLast;
}
// The whole instruction at address lies in the fetch window.
bool instructionFits(uint32_t address) {
  return fitsWindow(address, 2) && fitsWindow(address, opcodeLength[load16(g.base + address)]);
}
}  // namespace

// Near the end of the fetch window, or outside it after sequential code or
// a relative branch left it: the instruction runs only when all its words
// lie in one fetch region; otherwise the slice ends as for an unmapped PC.
// With breakpoints set, the fast range leaves them out, so every instruction
// that starts on one comes here.
void fetchSlow(uintptr_t pc, int64_t budget, uint32_t) {
  const uint32_t address = pcOf(pc);
  if (SB_UNLIKELY(g.breakpointsSet) && isBreakpoint(address & 0xFFFFFF)) {
    if ((address & 0xFFFFFF) != g.passAddress) {
      g.stopRequested = true;
      g.stopResult = cpuExecBreakpoint;
      return endChain(pc, budget, 0);
    }
    g.passAddress = kNoPass;
  }
  if (!instructionFits(address)) {
    if (!rebase(address) || !instructionFits(address)) {
      g.fetchFailed = true;
      g.stopRequested = true;
      g.stopResult = cpuExecFetchFailed;
      return endChain(g.base + address, budget, 0);
    }
    pc = g.base + address;
  } else if (g.breakpointsSet) {
    narrowToBreakpoints(address);
  }
  const uint32_t op = load16(pc);
  SB_MUSTTAIL return opcodeTable[op](pc + 2, budget, op);
}

void recheck(uintptr_t pc, int64_t budget, uint32_t) {
  if (budget < 0) return endChain(pc, budget, 0);
  Step s{pc, budget};
  if (interruptDue()) {
    s = interruptCheck(s);
    if (g.fetchFailed) {
      g.stopRequested = true;
      g.stopResult = cpuExecFetchFailed;
      return endChain(s.pc, s.budget, 0);
    }
    // A request that a handler raised while this interrupt was taken (vector
    // read, frame push) set the budget aside: the slice end takes it before
    // the handler's first instruction.
    if (interruptDue()) return endChain(s.pc, s.budget, 0);
  }
  armTrace(s);
  SB_MUSTTAIL return startChain(s.pc, s.budget, 0);
}

// ---- services for handlers ----

Step raiseException(Step s, uint32_t vector, uint32_t framePc) {
  saveSlice(s);
  const uint32_t newPc = exceptionEntry(vector, framePc);
  restoreSlice(s, 0);
  jumpTo(s, newPc);
  return s;
}

void endSliceAfterThisInstruction(int32_t& rem) {
  g.cyclesRequested -= rem + 1 + g.cyclesDeferred + g.stretchRest;  // the cycles used so far
  g.cyclesDeferred = 0;
  g.stretchRest = 0;
  rem = -1;
}

Step farJump(Step s, uint32_t target) {
  if (!rebase(target)) {
    int32_t rem = remOf(s.budget);
    endSliceAfterThisInstruction(rem);
    setRem(s, rem);
  }
  s.pc = g.base + target;
  return s;
}

void writeSr(uint32_t value) {
  CpuContext& c = g.ctx;
  const bool super = (value & kSrSuper) != 0;
  if (super != ((c.sr & kSrSuper) != 0)) {
    c.sr = uint16_t((c.sr & ~kSrSuper) | (value & kSrSuper));
    switchMode(super);
  }
  c.sr = uint16_t(value & (kSrSystemMask | 0x1F));
  unpackFlags(value);
}

// ---- operations ----

}  // namespace m68k

using namespace m68k;

namespace {

void exitCleanup() {
  g.counted = 0;
  g.startsLeft = kUnlimitedStarts;
  g.passRequested = false;
  g.executing = false;
  g.fetchFailed = false;
  g.stopRequested = false;
  g.cyclesRequested = 0;
  g.cyclesDeferred = 0;
  g.stretchRest = 0;
  g.savedRem = -1;
}

}  // namespace

int32_t cpuInit() {
  for (uint32_t op = 0; op < 65536; ++op) {
    opcodeTable[op] = nullptr;
    opcodeLength[op] = 2;
    opcodeRow[op] = 0xFF;
  }
  // Each word takes the first row of the opcode map that a family binds;
  // the last rows, exceptions, take every word left.
  bindExceptions();
  bindImmediate();
  bindBits();
  bindMove();
  bindUnary();
  bindSystem();
  bindControl();
  bindQuick();
  bindBranch();
  bindArith();
  bindLogic();
  bindMulDiv();
  bindBcd();
  bindShift();
  bindPollingSafety();
  forgetPollingMisses();
  dropPageIndexes();
  g.savedRem = -1;
  g.counted = 0;
  g.startsLeft = kUnlimitedStarts;
  g.passAddress = kNoPass;
  return 0;
}

int32_t cpuReset() {
  CpuContext& c = g.ctx;
  if (g.executing || !c.superFetch) return cpuResetRefused;
  g.tracePending = false;
  g.fetchFailed = false;
  g.stopRequested = false;
  std::memset(c.dreg, 0, sizeof c.dreg);
  std::memset(c.areg, 0, sizeof c.areg);
  c.otherSp = 0;
  c.sr = 0x2700;
  selectMaps(true);
  c.pc = 1;
  c.interrupts[0] = kStoppedBit;
  if (!rebase(0)) {
    g.fetchFailed = false;
    return cpuResetRefused;
  }
  // Both vectors come straight from the region that holds address 0; a
  // region too short to hold them counts as none.
  const ProgramRegion* region = nullptr;
  for (const ProgramRegion* r = c.fetch; r->lowAddress != cpuTableEnd; ++r) {
    if (r->lowAddress == 0) {
      region = r;
      break;
    }
  }
  if (!region || region->highAddress < 7) return cpuResetRefused;
  c.areg[7] = load32(uintptr_t(region->offset));
  c.pc = load32(uintptr_t(region->offset) + 4);
  c.interrupts[0] = uint8_t(c.pc & 1);
  return (c.pc & 1) ? cpuResetOddVector : cpuResetStarted;
}

uint32_t cpuExec(int32_t cycles) {
  return cpuExecInstructions(cycles, uint64_t(kUnlimitedStarts));
}

uint32_t cpuExecInstructions(int32_t cycles, uint64_t maxInstructions) {
  CpuContext& c = g.ctx;
  if (g.executing) return cpuExecBudgetUsed;  // not from inside a handler
  if (c.interrupts[0] & kStoppedBit) {
    if (c.pc & 1) return cpuExecHalted;
    c.cycleCount += uint32_t(cycles);
    return cpuExecBudgetUsed;
  }
  g.counted = 0;
  g.startsLeft = int64_t(std::min<uint64_t>(maxInstructions, uint64_t(kUnlimitedStarts)));
  g.passAddress = kNoPass;
  g.cyclesRequested = cycles;
  Step s{0, packBudget(cycles - 1, 0)};
  unpackFlags(c.sr);
  g.executing = true;
  g.stopRequested = false;
  g.fetchFailed = false;
  g.cyclesDeferred = 0;
  g.stretchRest = 0;
  refreshPageIndexes();
  uint32_t result = cpuExecBudgetUsed;
  if (!rebase(c.pc)) {
    s.pc = g.base + c.pc;
    result = cpuExecFetchFailed;
  } else {
    s.pc = g.base + c.pc;
    if (interruptDue()) {
      s = interruptCheck(s);
      if (g.fetchFailed) result = cpuExecFetchFailed;
    }
    if (result == cpuExecBudgetUsed) {
      // No instruction starts while an interrupt is due: a request that a
      // handler raised while an interrupt was being taken (vector read,
      // frame push) is taken right after it, at the same boundary, so that
      // where the slices end changes nothing. Here the slice-end processing
      // takes it, the next call's start when the budget is used up.
      bool sliceEnd = interruptDue();
      if (!sliceEnd) armTrace(s);
      // A run goes on from a breakpoint it stopped at.
      if (!sliceEnd && g.passRequested) g.passAddress = c.pc & 0xFFFFFF;
      bool checkpoint = false;
      int32_t stretch = kCheckpointCycles;
      for (;;) {
        if (!sliceEnd && checkpoint && !g.tracePending) {
          const bool found = fastForwardPolling(s);
          stretch = found ? kCheckpointCycles : std::min(2 * stretch, kLongestStretch);
          if (g.stopRequested) {
            result = g.stopResult;
            break;
          }
          sliceEnd = s.budget < 0;  // the budget ran out on the way
        }
        checkpoint = false;
        if (!sliceEnd) {
          if (g.startsLeft == 0) {
            result = cpuExecInstructionLimit;
            break;
          }
          // A chain runs at most so many cycles that its count fits, and
          // that no more instructions start than the limit allows (each
          // costs at least 4); in stretches, with a look for a polling loop
          // between them.
          int32_t rem = remOf(s.budget), most = kLongestChain;
          if (fastForwardOn && !g.tracePending) most = stretch;
          if (g.startsLeft <= most / 4) most = int32_t(4 * (g.startsLeft - 1) + 3);
          if (rem > most) {
            g.stretchRest = rem - most;
            rem = most;
            checkpoint = most == stretch;
          }
          startChain(s.pc, packBudget(rem, 0), 0);
          g.passAddress = kNoPass;
          s.pc = g.hostPc;
          s.budget = packBudget(remOf(g.remaining), 0);
          countInstructions(countOf(g.remaining));
          if (g.stopRequested) {
            result = g.stopResult;
            break;
          }
          if (s.budget >= 0) continue;  // a handler returned without chaining on
        }
        sliceEnd = false;
        if (g.tracePending) {
          s = raiseException(s, kVectorTrace, pcOf(s.pc));
          chargeCycles(s, kExceptionCost);
        }
        if (interruptDue()) {
          s = interruptCheck(s);
          if (g.fetchFailed) {
            result = cpuExecFetchFailed;
            break;
          }
        }
        setRem(s, remOf(s.budget) + g.cyclesDeferred + g.stretchRest);
        g.cyclesDeferred = 0;
        g.stretchRest = 0;
        if (s.budget < 0 || (c.interrupts[0] & kStoppedBit)) break;
        // Going on is a new start, as at the top: a request raised while
        // this slice end took an interrupt is taken first, by the slice-end
        // processing again (the cost of each one bounds the repeats), and a
        // T that an SR write switched on when its re-check ended up here is
        // armed here.
        if (interruptDue()) {
          sliceEnd = true;
          continue;
        }
        armTrace(s);
      }
    }
  }
  const int32_t rem = remOf(s.budget) + g.cyclesDeferred + g.stretchRest;
  c.pc = pcOf(s.pc);
  c.sr = uint16_t((c.sr & kSrSystemMask) | packFlags());
  c.cycleCount += uint32_t(g.cyclesRequested - (rem + 1));
  c.instructionCount += uint64_t(g.counted);
  exitCleanup();
  return result;
}

int32_t cpuInterrupt(int32_t level, int32_t vector) {
  if (level < 1 || level > 7 || vector < -2 || vector > 255) return cpuInterruptOutOfRange;
  if (vector == cpuSpuriousVector)
    vector = 24;
  else if (vector < 0)
    vector = 24 + level;
  CpuContext& c = g.ctx;
  if (c.interrupts[0] & (1u << level)) return cpuInterruptAlreadyPending;
  // A halted processor (stopped with an odd PC) stays halted until a reset;
  // only a stopped one wakes up.
  const bool halted = !g.executing && (c.interrupts[0] & kStoppedBit) && (c.pc & 1);
  c.interrupts[0] = uint8_t(c.interrupts[0] | (1u << level));
  if (!halted) c.interrupts[0] &= uint8_t(~kStoppedBit);
  c.interrupts[level] = uint8_t(vector);
  // Inside a slice: end it after the current instruction without losing
  // budget, so that the slice end takes the request. (Outside, or when the
  // slice ends anyway, there is nothing to set aside.)
  if (g.savedRem >= 0) {
    g.cyclesDeferred += g.savedRem + 1;
    g.savedRem = -1;
  }
  return cpuInterruptRecorded;
}

void cpuFlushInterrupts() {
  if (g.executing) return;
  CpuContext& c = g.ctx;
  unpackFlags(c.sr);
  refreshPageIndexes();
  g.savedRem = -1;
  uint32_t newPc;
  if (serviceInterrupts(c.pc, newPc)) {
    c.pc = newPc;
    c.cycleCount += kInterruptCost;
  }
  g.cyclesDeferred = 0;
  c.sr = uint16_t((c.sr & kSrSystemMask) | packFlags());
}

int32_t cpuGetContextSize() {
  return int32_t(sizeof(CpuContext));
}

int32_t cpuGetContext(CpuContext* context) {
  std::memcpy(context, &g.ctx, sizeof(CpuContext));
  return 0;
}

int32_t cpuSetContext(const CpuContext* context) {
  if (g.executing) return 0;  // not from inside a handler
  std::memcpy(&g.ctx, context, sizeof(CpuContext));
  return 0;
}

uint32_t cpuFetch(uint32_t address) {
  const ProgramRegion* savedFetch = g.ctx.fetch;
  const uintptr_t base = g.base, lo = g.fetchLo, safe = g.fetchSafe;
  const uint32_t first = g.windowFirst, last = g.windowLast;
  const bool failed = g.fetchFailed;
  g.ctx.fetch = g.ctx.superFetch;
  uint32_t result = 0xFFFFFFFF;
  if (rebase(address) && address + 1 <= g.windowLast && address + 1 > address) {
    result = load16(g.base + address);
  }
  g.ctx.fetch = savedFetch;
  g.base = base;
  g.fetchLo = lo;
  g.fetchSafe = safe;
  g.windowFirst = first;
  g.windowLast = last;
  g.fetchFailed = failed;
  return result;
}

namespace {
uint32_t usedSoFar() {
  if (!g.executing) return 0;
  return uint32_t(g.cyclesRequested - (g.savedRem + 1) - g.cyclesDeferred - g.stretchRest);
}
}  // namespace

uint32_t cpuReadCycleCount() {
  return g.ctx.cycleCount + usedSoFar();
}

uint32_t cpuTripCycleCount() {
  g.ctx.cycleCount += usedSoFar();
  if (g.executing) g.cyclesRequested = g.savedRem + 1 + g.cyclesDeferred + g.stretchRest;
  const uint32_t result = g.ctx.cycleCount;
  g.ctx.cycleCount = 0;
  return result;
}

uint32_t cpuControlCycleCount(int32_t flag) {
  return flag ? cpuTripCycleCount() : cpuReadCycleCount();
}

// The budget becomes what was used so far and nothing stays set aside, so
// the slice ends after the current instruction whatever trips or requests
// came before or come after in the same instruction.
void cpuReleaseTimeslice() {
  if (g.executing) endSliceAfterThisInstruction(g.savedRem);
}

uint32_t cpuReadPc() {
  return g.executing ? pcOf(g.savedPc) : g.ctx.pc;
}

void cpuPassBreakpoint() {
  if (!g.executing) g.passRequested = true;
}

uint64_t cpuReadInstructionCount() {
  // From a handler, the instruction running is counted.
  if (!g.executing) return g.ctx.instructionCount;
  return g.ctx.instructionCount + uint64_t(g.counted + g.savedCount + 1);
}

void cpuWriteSr(CpuContext* context, uint32_t value) {
  CpuContext& c = *context;
  const bool super = (value & cpuSrSupervisor) != 0;
  // The stack pointers trade places when the mode changes, as on the chip.
  if (super != ((c.sr & cpuSrSupervisor) != 0)) std::swap(c.areg[7], c.otherSp);
  c.sr = uint16_t(value & cpuSrImplemented);
  c.fetch = super ? c.superFetch : c.userFetch;
  c.readByte = super ? c.superReadByte : c.userReadByte;
  c.readWord = super ? c.superReadWord : c.userReadWord;
  c.writeByte = super ? c.superWriteByte : c.userWriteByte;
  c.writeWord = super ? c.superWriteWord : c.userWriteWord;
}
