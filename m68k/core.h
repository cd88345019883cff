// Inside the 68000 core: the run state, the threaded dispatch and the inline
// memory and register accessors that every instruction handler uses.
//
// Handlers run as a chain of tail calls: each one does its instruction,
// charges its cost against `rem` and jumps straight into the handler of the
// next opcode word while `rem` stays >= 0. The host instruction pointer and
// the remaining budget travel in registers (the handler's arguments); they are
// written to the run state only when the chain ends or before a memory
// handler is called.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "m68k/cpu.h"

#define SB_INLINE inline __attribute__((always_inline))
#define SB_NOINLINE __attribute__((noinline))
#define SB_LIKELY(x) __builtin_expect(!!(x), 1)
#define SB_UNLIKELY(x) __builtin_expect(!!(x), 0)
#if defined(__clang__)
#define SB_MUSTTAIL [[clang::musttail]]
#else
#define SB_MUSTTAIL
#endif
// Handlers jump straight into the next one only where the tail calls are
// certain (clang's musttail, or GCC optimising); otherwise each returns to
// the run loop, so that the host stack never grows with the slice.
#if defined(__clang__) || defined(__OPTIMIZE__)
#define SB_CHAINED true
#else
#define SB_CHAINED false
#endif

namespace m68k {

// An opcode handler: host PC just past the opcode word, the chain's budget
// (see Step), the opcode word itself.
using Handler = void (*)(uintptr_t pc, int64_t budget, uint32_t op);
#define SB_HANDLER(name) void name(uintptr_t pc_, int64_t budget_, uint32_t op)

extern Handler opcodeTable[65536];
// Length in bytes of the instruction each opcode word starts (opcode and
// extension words), checked against the fetch window before it runs.
extern uint8_t opcodeLength[65536];

// Page index of a data table: for each 4 KiB page, host address minus
// 68000 address when one direct entry with an even start serves the whole
// page as the first match, kSlowPage otherwise (linear search).
constexpr uintptr_t kSlowPage = ~uintptr_t(0);
enum MapKind { kReadByte, kReadWord, kWriteByte, kWriteWord };

// Status register bits.
constexpr uint16_t kSrTrace = 0x8000;
constexpr uint16_t kSrSuper = 0x2000;
constexpr uint16_t kSrSystemMask = 0xA700;  // T, S and the interrupt mask

struct RunState {
  CpuContext ctx;
  const uintptr_t* page[4];  // page indexes of the four current data tables
  uintptr_t base;            // host PC - base = 68000 PC (32 bits, top byte carried)
  uintptr_t fetchLo;         // host address of the window start
  uintptr_t fetchSafe;       // host PC - fetchLo <= fetchSafe: a whole instruction fits
  uint32_t windowFirst, windowLast;
  bool executing;
  bool fetchFailed;
  bool tracePending;
  bool stopRequested;  // the chain ended for a reason other than the budget
  uint32_t stopResult;
  int32_t cyclesRequested;
  int32_t cyclesDeferred;
  // The part of the budget beyond the stretch running, given back at its end.
  int32_t stretchRest;
  uintptr_t hostPc;   // where the chain ended
  int64_t remaining;  // its budget there (see Step)
  uintptr_t savedPc;  // slice as seen by a memory or reset handler
  int32_t savedRem;
  int64_t savedCount;  // instructions the chain had completed, for the same
  // Instructions completed in this cpuExec call before the chain running,
  // and how many more may start (the limit; kUnlimitedStarts for none).
  int64_t counted;
  int64_t startsLeft;
  bool breakpointsSet;
  bool passRequested;     // cpuPassBreakpoint before this call
  uint64_t slowAccesses;  // data accesses that went the slow way
  uint32_t passAddress;   // the breakpoint the slice starts on, run once
};
constexpr uint32_t kNoPass = 0xFFFFFFFF;
constexpr int64_t kUnlimitedStarts = INT64_MAX;

extern RunState g;

// Instructions done in this call, besides the chain running: counted, and
// taken from those the limit allows.
SB_INLINE void countInstructions(int64_t done) {
  g.counted += done;
  if (g.startsLeft != kUnlimitedStarts) g.startsLeft -= done;
}

// Live condition codes while running, one byte each (0 or 1). Separate
// objects, so that the compiler stores each one straight from its setcc.
extern uint8_t flagC, flagV, flagZ, flagN, flagX;

// The live part of a running instruction. The budget holds two numbers in
// one register: the cycles left (less one: the chain goes on while it is not
// negative) times 2^kCountBits, plus the instructions the chain has
// completed. An instruction's end subtracts its cost shifted and adds one in
// a single subtraction, so the count costs nothing; the budget's sign is the
// cycles' sign while the count stays below 2^kCountBits, which the run loop
// sees to by keeping chains short enough.
constexpr int kCountBits = 20;
constexpr int64_t kCountMask = (int64_t{1} << kCountBits) - 1;
struct Step {
  uintptr_t pc;
  int64_t budget;
};
SB_INLINE int32_t remOf(int64_t budget) {
  return int32_t(budget >> kCountBits);
}
SB_INLINE int64_t countOf(int64_t budget) {
  return budget & kCountMask;
}
SB_INLINE int64_t packBudget(int32_t rem, int64_t count) {
  return int64_t(uint64_t(int64_t(rem)) << kCountBits) | count;
}
// Cycles taken from the budget without an instruction (an interrupt, a trace).
SB_INLINE void chargeCycles(Step& s, int32_t cycles) {
  s.budget -= int64_t(cycles) << kCountBits;
}
SB_INLINE void setRem(Step& s, int32_t rem) {
  s.budget = packBudget(rem, countOf(s.budget));
}

// ---- chain control (engine.cpp) ----
void endChain(uintptr_t pc, int64_t budget, uint32_t op);
void startChain(uintptr_t pc, int64_t budget, uint32_t op);
void fetchSlow(uintptr_t pc, int64_t budget, uint32_t op);
// After a write of the system byte: interrupt check and trace set-up.
void recheck(uintptr_t pc, int64_t budget, uint32_t op);

// An instruction done at a cost: the cycles charged and the count grown.
#define SB_CHARGE(s, cost) ((s).budget -= (int64_t(cost) << ::m68k::kCountBits) - 1)

// Charges the cost, then runs the next instruction or ends the slice.
#define SB_NEXT(s, cost)                                                              \
  do {                                                                                \
    SB_CHARGE(s, cost);                                                               \
    if (SB_UNLIKELY((s).budget < 0) || !SB_CHAINED) {                                 \
      return ::m68k::endChain((s).pc, (s).budget, 0);                                 \
    }                                                                                 \
    if (SB_UNLIKELY((s).pc - ::m68k::g.fetchLo > ::m68k::g.fetchSafe)) {              \
      SB_MUSTTAIL return ::m68k::fetchSlow((s).pc, (s).budget, 0);                    \
    }                                                                                 \
    uint32_t nextOp_ = ::m68k::load16((s).pc);                                        \
    SB_MUSTTAIL return ::m68k::opcodeTable[nextOp_]((s).pc + 2, (s).budget, nextOp_); \
  } while (0)

// Charges the cost and goes through the interrupt and trace re-check.
#define SB_RECHECK(s, cost)                                    \
  do {                                                         \
    SB_CHARGE(s, cost);                                        \
    SB_MUSTTAIL return ::m68k::recheck((s).pc, (s).budget, 0); \
  } while (0)

// Ends the slice now with a result other than the budget one.
// The instruction counts as one done.
#define SB_STOP(s, result)                              \
  do {                                                  \
    ::m68k::g.stopRequested = true;                     \
    ::m68k::g.stopResult = (result);                    \
    return ::m68k::endChain((s).pc, (s).budget + 1, 0); \
  } while (0)

// ---- host memory ----
SB_INLINE uint32_t load16(uintptr_t p) {
  uint16_t w;
  std::memcpy(&w, reinterpret_cast<const void*>(p), 2);
  return w;
}
// A 68000 long: two host words, the first one is the high half.
SB_INLINE uint32_t load32(uintptr_t p) {
  uint32_t x;
  std::memcpy(&x, reinterpret_cast<const void*>(p), 4);
  return (x << 16) | (x >> 16);
}
SB_INLINE void store16(uintptr_t p, uint32_t v) {
  uint16_t w = uint16_t(v);
  std::memcpy(reinterpret_cast<void*>(p), &w, 2);
}
SB_INLINE void store32(uintptr_t p, uint32_t v) {
  uint32_t x = (v << 16) | (v >> 16);
  std::memcpy(reinterpret_cast<void*>(p), &x, 4);
}

// ---- instruction stream ----
SB_INLINE uint32_t fetch16(Step& s) {
  uint32_t w = load16(s.pc);
  s.pc += 2;
  return w;
}
SB_INLINE uint32_t fetch32(Step& s) {
  uint32_t l = load32(s.pc);
  s.pc += 4;
  return l;
}
SB_INLINE uint32_t pcOf(uintptr_t hostPc) {
  return uint32_t(hostPc - g.base);
}

// ---- map lookup (memory.cpp) ----
bool rebase(uint32_t pc);
// Whether a 24-bit address holds a breakpoint, and the fast fetch range
// narrowed so that no breakpoint lies in it, around a PC in the window.
bool isBreakpoint(uint32_t address);
void narrowToBreakpoints(uint32_t pc);
// Empties the fetch window, so that the next fetch or jump re-bases.
void closeWindow();
void refreshPageIndexes();
void dropPageIndexes();
uint32_t slowReadByte(uint32_t a);
uint32_t slowReadWord(uint32_t a);
uint32_t slowReadLong(uint32_t a);
void slowWriteByte(uint32_t a, uint32_t v);
void slowWriteWord(uint32_t a, uint32_t v);
void slowWriteLong(uint32_t a, uint32_t v);

// Accesses for core code that has already saved the slice (exceptions).
SB_INLINE uint32_t rawReadWord(uint32_t a) {
  a &= 0xFFFFFF;
  uintptr_t d = g.page[kReadWord][a >> 12];
  if (SB_LIKELY(d != kSlowPage && (a & 0xFFF) != 0xFFF)) return load16(d + a);
  return slowReadWord(a);
}
SB_INLINE uint32_t rawReadLong(uint32_t a) {
  a &= 0xFFFFFF;
  uintptr_t d = g.page[kReadWord][a >> 12];
  if (SB_LIKELY(d != kSlowPage && (a & 0xFFF) <= 0xFFC)) return load32(d + a);
  return slowReadLong(a);
}
SB_INLINE void rawWriteWord(uint32_t a, uint32_t v) {
  a &= 0xFFFFFF;
  uintptr_t d = g.page[kWriteWord][a >> 12];
  if (SB_LIKELY(d != kSlowPage && (a & 0xFFF) != 0xFFF)) return store16(d + a, v);
  slowWriteWord(a, v);
}
SB_INLINE void rawWriteLong(uint32_t a, uint32_t v) {
  a &= 0xFFFFFF;
  uintptr_t d = g.page[kWriteWord][a >> 12];
  if (SB_LIKELY(d != kSlowPage && (a & 0xFFF) <= 0xFFC)) return store32(d + a, v);
  slowWriteLong(a, v);
}

// Accesses for handlers: the slow path may call a client handler, so the
// slice is saved for it and the budget taken back afterwards (the handler
// may have ended the slice).
SB_INLINE void saveSlice(const Step& s) {
  g.savedPc = s.pc;
  g.savedRem = remOf(s.budget);
  g.savedCount = countOf(s.budget);
}
SB_INLINE uint32_t restoreSlice(Step& s, uint32_t v) {
  s.budget = packBudget(g.savedRem, g.savedCount);
  return v;
}

SB_INLINE uint32_t readByte(Step& s, uint32_t a) {
  a &= 0xFFFFFF;
  uintptr_t d = g.page[kReadByte][a >> 12];
  if (SB_LIKELY(d != kSlowPage)) return *reinterpret_cast<const uint8_t*>(d + (a ^ 1));
  saveSlice(s);
  return restoreSlice(s, slowReadByte(a));
}
SB_INLINE uint32_t readWord(Step& s, uint32_t a) {
  a &= 0xFFFFFF;
  uintptr_t d = g.page[kReadWord][a >> 12];
  if (SB_LIKELY(d != kSlowPage && (a & 0xFFF) != 0xFFF)) return load16(d + a);
  saveSlice(s);
  return restoreSlice(s, slowReadWord(a));
}
SB_INLINE uint32_t readLong(Step& s, uint32_t a) {
  a &= 0xFFFFFF;
  uintptr_t d = g.page[kReadWord][a >> 12];
  if (SB_LIKELY(d != kSlowPage && (a & 0xFFF) <= 0xFFC)) return load32(d + a);
  saveSlice(s);
  return restoreSlice(s, slowReadLong(a));
}
SB_INLINE void writeByte(Step& s, uint32_t a, uint32_t v) {
  a &= 0xFFFFFF;
  uintptr_t d = g.page[kWriteByte][a >> 12];
  if (SB_LIKELY(d != kSlowPage)) {
    *reinterpret_cast<uint8_t*>(d + (a ^ 1)) = uint8_t(v);
    return;
  }
  saveSlice(s);
  slowWriteByte(a, v & 0xFF);
  restoreSlice(s, 0);
}
SB_INLINE void writeWord(Step& s, uint32_t a, uint32_t v) {
  a &= 0xFFFFFF;
  uintptr_t d = g.page[kWriteWord][a >> 12];
  if (SB_LIKELY(d != kSlowPage && (a & 0xFFF) != 0xFFF)) return store16(d + a, v);
  saveSlice(s);
  slowWriteWord(a, v & 0xFFFF);
  restoreSlice(s, 0);
}
SB_INLINE void writeLong(Step& s, uint32_t a, uint32_t v) {
  a &= 0xFFFFFF;
  uintptr_t d = g.page[kWriteWord][a >> 12];
  if (SB_LIKELY(d != kSlowPage && (a & 0xFFF) <= 0xFFC)) return store32(d + a, v);
  saveSlice(s);
  slowWriteLong(a, v);
  restoreSlice(s, 0);
}

template <int Sz>
SB_INLINE uint32_t readMem(Step& s, uint32_t a) {
  if constexpr (Sz == 1)
    return readByte(s, a);
  else if constexpr (Sz == 2)
    return readWord(s, a);
  else
    return readLong(s, a);
}
template <int Sz>
SB_INLINE void writeMem(Step& s, uint32_t a, uint32_t v) {
  if constexpr (Sz == 1)
    writeByte(s, a, v);
  else if constexpr (Sz == 2)
    writeWord(s, a, v);
  else
    writeLong(s, a, v);
}

// ---- registers ----
SB_INLINE uint32_t& dreg(uint32_t r) {
  return g.ctx.dreg[r];
}
SB_INLINE uint32_t& areg(uint32_t r) {
  return g.ctx.areg[r];
}
static_assert(offsetof(CpuContext, areg) == offsetof(CpuContext, dreg) + 32);
// D0-D7 then A0-A7 as one array of 16, as index words number them.
SB_INLINE uint32_t reg16(uint32_t i) {
  uint32_t v;
  std::memcpy(&v, reinterpret_cast<const char*>(&g.ctx) + offsetof(CpuContext, dreg) + 4 * i, 4);
  return v;
}
SB_INLINE void setReg16(uint32_t i, uint32_t v) {
  std::memcpy(reinterpret_cast<char*>(&g.ctx) + offsetof(CpuContext, dreg) + 4 * i, &v, 4);
}

// ---- sizes ----
template <int Sz>
constexpr uint32_t kMask = Sz == 1   ? 0xFFu
                           : Sz == 2 ? 0xFFFFu
                                     : 0xFFFFFFFFu;
template <int Sz>
constexpr uint32_t kMsb = Sz == 1   ? 0x80u
                          : Sz == 2 ? 0x8000u
                                    : 0x80000000u;
template <int Sz>
constexpr int kBits = Sz * 8;

template <int Sz>
SB_INLINE uint32_t signExtend(uint32_t v) {
  if constexpr (Sz == 1)
    return uint32_t(int32_t(int8_t(v)));
  else if constexpr (Sz == 2)
    return uint32_t(int32_t(int16_t(v)));
  else
    return v;
}
template <int Sz>
SB_INLINE void setDreg(uint32_t r, uint32_t v) {
  if constexpr (Sz == 4)
    g.ctx.dreg[r] = v;
  else
    g.ctx.dreg[r] = (g.ctx.dreg[r] & ~kMask<Sz>) | (v & kMask<Sz>);
}

// ---- condition codes ----
SB_INLINE void setCVZN(uint32_t c, uint32_t v, uint32_t z, uint32_t n) {
  flagC = uint8_t(c);
  flagV = uint8_t(v);
  flagZ = uint8_t(z);
  flagN = uint8_t(n);
}
// N and Z from a result, V and C cleared (moves and logic).
template <int Sz>
SB_INLINE void setLogic(uint32_t r) {
  setCVZN(0, 0, (r & kMask<Sz>) == 0, (r & kMsb<Sz>) != 0);
}
SB_INLINE uint16_t composeSr() {
  return uint16_t((g.ctx.sr & kSrSystemMask) | (flagX << 4) | (flagN << 3) | (flagZ << 2) |
                  (flagV << 1) | flagC);
}
SB_INLINE void unpackFlags(uint32_t ccr) {
  flagX = (ccr >> 4) & 1;
  flagN = (ccr >> 3) & 1;
  flagZ = (ccr >> 2) & 1;
  flagV = (ccr >> 1) & 1;
  flagC = ccr & 1;
}

// ---- engine services for handlers (engine.cpp) ----
// Takes exception `vector` stacking framePc; returns the slice with the new
// PC re-based when needed. The caller charges the cost.
Step raiseException(Step s, uint32_t vector, uint32_t framePc);
// Moves the PC to target outside the fetch window (re-base).
Step farJump(Step s, uint32_t target);
// Shrinks the budget to the cycles used so far: the slice ends after the
// current instruction and counts exactly what it used.
void endSliceAfterThisInstruction(int32_t& rem);
// Write of the whole status register (system byte and condition codes).
void writeSr(uint32_t value);

// Moves the PC to an absolute target, re-basing only when it leaves the window.
SB_INLINE void jumpTo(Step& s, uint32_t target) {
  if (SB_LIKELY(target >= g.windowFirst && target <= g.windowLast)) {
    s.pc = g.base + target;
    return;
  }
  s = farJump(s, target);
}

// ---- fast-forward of polling loops (fastforward.cpp) ----
// A slice runs in stretches; between two, the code at the PC is looked at
// for a polling loop. Stretches start short, so that a loop is found soon
// after it starts, and grow while none is found, so that busy code stops
// seldom (every stop of the chain costs a little).
constexpr int32_t kCheckpointCycles = 4096;
constexpr int32_t kLongestStretch = 16384;
// The longest chain: its count of instructions (at least 4 cycles each)
// stays within the budget's count field.
constexpr int32_t kLongestChain = 1 << (kCountBits + 1);
extern bool fastForwardOn;
// At a checkpoint (nothing due, no trace): runs a polling loop found at the
// PC pass by pass, and counts instead of runs the passes that then fit;
// true when it did. Stops it meets are left in g's stop fields; the budget
// below 0 when it ran out on the way.
bool fastForwardPolling(Step& s);
void bindPollingSafety();
void forgetPollingMisses();

// ---- table building ----
// Row of the opcode map that each word was bound from (0xFF: none yet).
extern uint8_t opcodeRow[65536];
// The families; each binds its patterns.
void bindImmediate();
void bindBits();
void bindMove();
void bindUnary();
void bindSystem();
void bindControl();
void bindQuick();
void bindBranch();
void bindArith();
void bindLogic();
void bindMulDiv();
void bindBcd();
void bindShift();
void bindExceptions();

}  // namespace m68k
