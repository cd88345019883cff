// The engine's rules that single-instruction vectors cannot show (budgets,
// exception frames, interrupts, STOP, trace, RESET, handlers calling the core
// mid-slice, fetch and data maps, reset, the opcode table) and real programs.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "m68k/cpu.h"
#include "tests/support/m68k_program.h"

namespace {

using support::M68kBoard;
constexpr uint32_t kRam = M68kBoard::kRam, kStack = M68kBoard::kStack, kCode = M68kBoard::kCode;
constexpr uint32_t kProbe = 0x200000, kTraceHandler = 0x3000;
constexpr uint16_t kNop = 0x4E71, kStop = 0x4E72, kRte = 0x4E73;
constexpr ProgramRegion kFetchEnd{cpuTableEnd, cpuTableEnd, 0};
constexpr DataRegion kEnd = M68kBoard::kEnd;
constexpr auto handlerOf = M68kBoard::handlerOf;

// What the probe handler (reads at kProbe, or the RESET callback) saw.
uint32_t seen[3];  // PC, count, trip
int probeAction, stackWrites;

uint32_t probe(uint32_t address, const DataRegion*) {
  seen[0] = cpuReadPc(), seen[1] = cpuReadCycleCount();
  const int actions[][4] = {{}, {1}, {2}, {3}, {2, 3, 1, 2}, {4}};  // in this order
  for (int a : actions[probeAction]) {
    if (a == 1) cpuInterrupt(3, cpuAutovector);
    if (a == 2) cpuReleaseTimeslice();
    if (a == 3) seen[2] = cpuTripCycleCount();
    if (a == 4) cpuInterrupt(6, cpuAutovector);
  }
  return 0x10000 | (address & 0xFFFF);  // bits above 16 are dropped
}

// The board with the probe, and trace (vector 9) counting in D1.
struct Rig : M68kBoard {
  Rig() {
    read[0] = {kProbe, kProbe + 0xFFFFF, reinterpret_cast<void*>(&probe), nullptr};
    setLong(9 * 4, kTraceHandler);
    set(kTraceHandler, {0x5281, kRte});  // ADDQ.L #1,D1; RTE
  }
};

// A stack area whose first write raises level 7.
void raisingStackWrite(uint32_t address, uint32_t data, const DataRegion* region) {
  static_cast<uint16_t*>(region->memory)[(address - region->lowAddress) / 2] = uint16_t(data);
  if (stackWrites++ == 0) cpuInterrupt(7, cpuAutovector);
}

// The engine, one row per behaviour.
struct Call {
  int32_t budget;                                      // 0: cpuFlushInterrupts instead
  std::vector<std::pair<int, int32_t>> requests = {};  // made before the call
};
enum Fetch { kAll, kEndsAt40F, kSplitAt404, kNone, kUserRamOnly };
enum Flags { kRaisingStack = 1, kResetCallback = 2 };
struct Case {
  const char* what;
  std::vector<uint16_t> code;
  uint16_t sr;
  uint32_t a0, d0;
  std::vector<Call> calls;
  Fetch fetch;
  int probe, flags;
  // Result, PC, SR, cycles, interrupts[0], D0, D1, A7, other SP, the PC and SR
  // pushed first, those of a frame under them, what the probe saw (PC, count, trip).
  std::vector<uint32_t> want;
};

TEST(M68kEngine, Rules) {
  const uint16_t kTrap15 = 0x4E4F, kMoveProbe[] = {0x3039, 0x0020, 0x0010};  // MOVE.W $200010,D0
  const Case cases[] = {
      // clang-format off
      {"one cycle runs one instruction", {kNop, kNop}, 0x2700, 0, 0, {{1}}, kAll, 0, 0, {0x80000000, 0x402, 0x2700, 104, 0x0, 0x0, 0, 0x110000, 0x0, 0x0, 0x0, 0x0, 0x0, 0x0, 0, 0}},
      {"a slice overruns by its last instruction", {kNop, kNop, kNop}, 0x2700, 0, 0, {{6}}, kAll, 0, 0, {0x80000000, 0x404, 0x2700, 108, 0x0, 0x0, 0, 0x110000, 0x0, 0x0, 0x0, 0x0, 0x0, 0x0, 0, 0}},
      {"STOP counts whole budgets", {kStop, 0x2000}, 0x2700, 0, 0, {{100}, {1000}}, kAll, 0, 0, {0x80000000, 0x404, 0x2000, 1200, 0x1, 0x0, 0, 0x110000, 0x0, 0x0, 0x0, 0x0, 0x0, 0x0, 0, 0}},
      {"TRAP stacks the next PC", {kTrap15}, 0x2700, 0, 0, {{1}}, kAll, 0, 0, {0x80000000, 0x2178, 0x2700, 134, 0x0, 0x0, 0, 0x10FFFA, 0x0, 0x402, 0x2700, 0x0, 0x0, 0x0, 0, 0}},
      {"line 1111 stacks its own PC", {0xF123}, 0x2700, 0, 0, {{1}}, kAll, 0, 0, {0x80000000, 0x2058, 0x2700, 134, 0x0, 0x0, 0, 0x10FFFA, 0x0, 0x400, 0x2700, 0x0, 0x0, 0x0, 0, 0}},
      {"line 1010", {0xA000}, 0x2700, 0, 0, {{1}}, kAll, 0, 0, {0x80000000, 0x2050, 0x2700, 134, 0x0, 0x0, 0, 0x10FFFA, 0x0, 0x400, 0x2700, 0x0, 0x0, 0x0, 0, 0}},
      {"ILLEGAL", {0x4AFC}, 0x2700, 0, 0, {{1}}, kAll, 0, 0, {0x80000000, 0x2020, 0x2700, 134, 0x0, 0x0, 0, 0x10FFFA, 0x0, 0x400, 0x2700, 0x0, 0x0, 0x0, 0, 0}},
      {"user RESET is a privilege violation", {0x4E70}, 0x0000, 0, 0, {{1}}, kAll, 0, 0, {0x80000000, 0x2040, 0x2000, 134, 0x0, 0x0, 0, 0x10FFFA, 0x10FF00, 0x400, 0x0, 0x0, 0x0, 0x0, 0, 0}},
      {"user TRAP switches stacks", {kTrap15}, 0x0000, 0, 0, {{1}}, kAll, 0, 0, {0x80000000, 0x2178, 0x2000, 134, 0x0, 0x0, 0, 0x10FFFA, 0x10FF00, 0x402, 0x0, 0x0, 0x0, 0x0, 0, 0}},
      {"CHK trap with operand time", {0x4190}, 0x2700, kRam, 5, {{1}}, kAll, 0, 0, {0x80000000, 0x2030, 0x2700, 144, 0x0, 0x5, 0, 0x10FFFA, 0x0, 0x402, 0x2700, 0x0, 0x0, 0x0, 0, 0}},
      {"DIVU by zero with operand time", {0x80D0}, 0x2700, kRam, 5, {{1}}, kAll, 0, 0, {0x80000000, 0x2028, 0x2700, 142, 0x0, 0x5, 0, 0x10FFFA, 0x0, 0x402, 0x2700, 0x0, 0x0, 0x0, 0, 0}},
      {"masked request waits for MOVE to SR", {kNop, kNop, 0x46FC, 0x2100, kNop}, 0x2300, 0, 0, {{8, {{2, cpuAutovector}}}, {1}}, kAll, 0, 0, {0x80000000, 0x20D0, 0x2200, 168, 0x0, 0x0, 0, 0x10FFFA, 0x0, 0x408, 0x2100, 0x0, 0x0, 0x0, 0, 0}},
      {"level 7 ignores the mask", {kNop}, 0x2700, 0, 0, {{1, {{7, 100}}}}, kAll, 0, 0, {0x80000000, 0x2324, 0x2700, 148, 0x1, 0x0, 0, 0x10FFFA, 0x0, 0x400, 0x2700, 0x0, 0x0, 0x0, 0, 0}},
      {"highest level first, one per check point", {kNop, kNop}, 0x2000, 0, 0, {{1, {{2, cpuAutovector}, {5, cpuAutovector}}}}, kAll, 0, 0, {0x80000000, 0x20EC, 0x2700, 148, 0x5, 0x0, 0, 0x10FFFA, 0x0, 0x400, 0x2000, 0x0, 0x0, 0x0, 0, 0}},
      {"flush outside cpuExec", {kNop}, 0x2000, 0, 0, {{0, {{1, cpuAutovector}}}}, kAll, 0, 0, {0x0, 0x20C8, 0x2100, 144, 0x0, 0x0, 0, 0x10FFFA, 0x0, 0x400, 0x2000, 0x0, 0x0, 0x0, 0, 0}},
      {"STOP waits and a request wakes it", {kStop, 0x2000, kNop}, 0x2700, 0, 0, {{1000}, {1, {{3, cpuAutovector}}}}, kAll, 0, 0, {0x80000000, 0x20DC, 0x2700, 1148, 0x1, 0x0, 0, 0x10FFFA, 0x0, 0x404, 0x2000, 0x0, 0x0, 0x0, 0, 0}},
      {"STOP with a request pending takes it", {kStop, 0x2000, kNop}, 0x2700, 0, 0, {{500, {{4, cpuAutovector}}}}, kAll, 0, 0, {0x80000000, 0x20E0, 0x2400, 644, 0x0, 0x0, 0, 0x10FFFA, 0x0, 0x404, 0x2000, 0x0, 0x0, 0x0, 0, 0}},
      {"a request below STOP's mask waits", {kStop, 0x2500, kNop, kNop}, 0x2700, 0, 0, {{10}, {4, {{2, cpuAutovector}}}}, kAll, 0, 0, {0x80000000, 0x406, 0x2500, 114, 0x4, 0x0, 0, 0x110000, 0x0, 0x0, 0x0, 0x0, 0x0, 0x0, 0, 0}},
      {"trace after each instruction", {0x7005, kNop, kStop, 0x2700, kStop, 0x2700}, 0xA700, 0, 0, {{10000}}, kAll, 0, 0, {0x80000000, 0x40C, 0x2700, 10100, 0x1, 0x5, 3, 0x110000, 0x0, 0x408, 0x2700, 0x0, 0x0, 0x0, 0, 0}},
      {"the instruction that sets T is not traced", {0x007C, 0x8000, kNop, kStop, 0x2700, kStop, 0x2700}, 0x2700, 0, 0, {{10000}}, kAll, 0, 0, {0x80000000, 0x40E, 0x2700, 10100, 0x1, 0x0, 2, 0x110000, 0x0, 0x40A, 0x2700, 0x0, 0x0, 0x0, 0, 0}},
      {"T set by an SR read that raises a masked request", {0x46D0, kNop, kNop, kStop, 0x2700, kStop, 0x2700}, 0x2700, 0x20A700, 0, {{10000}}, kAll, 1, 0, {0x80000000, 0x40E, 0x2700, 10100, 0x9, 0x0, 3, 0x110000, 0x0, 0x40A, 0x2700, 0x0, 0x0, 0x402, 100, 0}},
      {"RESET without a callback ends the slice on itself", {kNop, 0x4E70, kNop}, 0x2700, 0, 0, {{1000}, {1000}}, kAll, 0, 0, {0x402, 0x402, 0x2700, 104, 0x0, 0x0, 0, 0x110000, 0x0, 0x0, 0x0, 0x0, 0x0, 0x0, 0, 0}},
      {"RESET with a callback costs 132", {0x4E70, kNop}, 0x2700, 0, 0, {{1}}, kAll, 0, kResetCallback, {0x80000000, 0x402, 0x2700, 232, 0x0, 0x0, 0, 0x110000, 0x0, 0x0, 0x0, 0x0, 0x0, 0x402, 100, 0}},
      {"a handler sees the PC and the count", {kNop, kMoveProbe[0], kMoveProbe[1], kMoveProbe[2], kNop}, 0x2700, 0, 0, {{100}}, kAll, 0, 0, {0x80000000, 0x432, 0x2700, 204, 0x0, 0x10, 0, 0x110000, 0x0, 0x0, 0x0, 0x0, 0x0, 0x408, 104, 0}},
      {"a handler's request is taken at the next boundary", {kMoveProbe[0], kMoveProbe[1], kMoveProbe[2], kNop, kNop}, 0x2000, 0, 0, {{1000}}, kAll, 1, 0, {0x80000000, 0x20DC, 0x2700, 1100, 0x1, 0x10, 0, 0x10FFFA, 0x0, 0x406, 0x2000, 0x0, 0x0, 0x406, 100, 0}},
      {"a handler's release ends the slice after the instruction", {kNop, kMoveProbe[0], kMoveProbe[1], kMoveProbe[2], kNop, kNop}, 0x2700, 0, 0, {{1000}}, kAll, 2, 0, {0x80000000, 0x408, 0x2700, 120, 0x0, 0x10, 0, 0x110000, 0x0, 0x0, 0x0, 0x0, 0x0, 0x408, 104, 0}},
      {"a handler's trip restarts the count", {kNop, kMoveProbe[0], kMoveProbe[1], kMoveProbe[2], kNop}, 0x2700, 0, 0, {{21}}, kAll, 3, 0, {0x80000000, 0x40A, 0x2700, 20, 0x0, 0x10, 0, 0x110000, 0x0, 0x0, 0x0, 0x0, 0x0, 0x408, 104, 104}},
      {"release, trip and request together", {kNop, kMoveProbe[0], kMoveProbe[1], kMoveProbe[2], kNop, kNop}, 0x2000, 0, 0, {{1000}}, kAll, 4, 0, {0x80000000, 0x20D8, 0x2300, 60, 0x0, 0x10, 0, 0x10FFFA, 0x0, 0x408, 0x2000, 0x0, 0x0, 0x408, 104, 104}},
      {"a frame push's request at the slice end", {kMoveProbe[0], kMoveProbe[1], kMoveProbe[2], kNop, kNop}, 0x2000, 0, 0, {{1000}}, kAll, 5, kRaisingStack, {0x80000000, 0x20FC, 0x2700, 1100, 0x1, 0x10, 0, 0x10FFF4, 0x0, 0x406, 0x2000, 0x20F0, 0x2600, 0x406, 100, 0}},
      {"a frame push's request in an SR write", {0x46FC, 0x2000, kNop, kNop}, 0x2700, 0, 0, {{1000, {{6, 30}}}}, kAll, 0, kRaisingStack, {0x80000000, 0x20FC, 0x2700, 1100, 0x1, 0x0, 0, 0x10FFF4, 0x0, 0x404, 0x2000, 0x20F0, 0x2600, 0x0, 0, 0}},
      {"a frame push's request at the start", {kNop, kNop}, 0x2000, 0, 0, {{1, {{6, 30}}}}, kAll, 0, kRaisingStack, {0x80000000, 0x20F8, 0x2700, 188, 0x0, 0x0, 0, 0x10FFF4, 0x0, 0x400, 0x2000, 0x20F0, 0x2600, 0x0, 0, 0}},
      {"a jump outside every region", {kNop, 0x4EF9, 0x0050, 0x0000, kNop}, 0x2700, 0, 0, {{1000}, {1000}}, kAll, 0, 0, {0x80000001, 0x500000, 0x2700, 116, 0x0, 0x0, 0, 0x110000, 0x0, 0x0, 0x0, 0x0, 0x0, 0x0, 0, 0}},
      {"the top byte of the PC is carried", {0x4EF9, 0x1200, 0x0500}, 0x2700, 0, 0, {{14}}, kAll, 0, 0, {0x80000000, 0x12000504, 0x2704, 120, 0x0, 0x0, 0, 0x110000, 0x0, 0x0, 0x0, 0x0, 0x0, 0x0, 0, 0}},
      {"running off the end of a region", {0x600A, 0, 0, 0, 0, 0, kNop, kNop}, 0x2700, 0, 0, {{1000}}, kEndsAt40F, 0, 0, {0x80000001, 0x410, 0x2700, 118, 0x0, 0x0, 0, 0x110000, 0x0, 0x0, 0x0, 0x0, 0x0, 0x0, 0, 0}},
      {"code runs on into an adjacent region", {kNop, kNop, 0x303C, 0x1234, kNop}, 0x2700, 0, 0, {{20}}, kSplitAt404, 0, 0, {0x80000000, 0x40A, 0x2700, 120, 0x0, 0x1234, 0, 0x110000, 0x0, 0x0, 0x0, 0x0, 0x0, 0x0, 0, 0}},
      {"an empty fetch table", {kNop}, 0x2700, 0, 0, {{100}}, kNone, 0, 0, {0x80000001, 0x400, 0x2700, 100, 0x0, 0x0, 0, 0x110000, 0x0, 0x0, 0x0, 0x0, 0x0, 0x0, 0, 0}},
      {"RTE to user code the user table lacks", {0x4878, 0x0500, 0x3F3C, 0x0000, kRte}, 0x2700, 0, 0, {{1000}, {1000}}, kUserRamOnly, 0, 0, {0x80000001, 0x500, 0x0, 148, 0x0, 0x0, 0, 0x0, 0x110000, 0x500, 0x0, 0x0, 0x0, 0x0, 0, 0}},
      {"MOVE to SR into user mode from ROM", {0x46FC, 0x0000, kNop}, 0x2700, 0, 0, {{1000}}, kUserRamOnly, 0, 0, {0x80000001, 0x404, 0x0, 116, 0x0, 0x0, 0, 0x0, 0x110000, 0x0, 0x0, 0x0, 0x0, 0x0, 0, 0}},
      {"ABCD with a low digit sum of ten", {0xC100}, 0x2700, 0, 0x45, {{1}}, kAll, 0, 0, {0x80000000, 0x402, 0x2708, 106, 0x0, 0x90, 0, 0x110000, 0x0, 0x0, 0x0, 0x0, 0x0, 0x0, 0, 0}},
      {"BRA.S -1 goes to an odd PC", {0x60FF}, 0x2700, 0, 0, {{1}}, kAll, 0, 0, {0x80000000, 0x401, 0x2700, 110, 0x0, 0x0, 0, 0x110000, 0x0, 0x0, 0x0, 0x0, 0x0, 0x0, 0, 0}},
      // clang-format on
  };
  for (const Case& k : cases) {
    Rig rig;
    const intptr_t rom = rig.fetch[0].offset;
    const ProgramRegion fetches[][4] = {{rig.fetch[0], rig.fetch[1], kFetchEnd},
                                        {{0, 0x40F, rom}, kFetchEnd},
                                        {{0, 0x403, rom}, {0x404, 0xFFFFF, rom}, kFetchEnd},
                                        {kFetchEnd},
                                        {rig.fetch[1], kFetchEnd}};
    if (k.flags & kRaisingStack)
      rig.write[0] = {kStack - 0x100, kStack - 1, reinterpret_cast<void*>(&raisingStackWrite),
                      &rig.at(kStack - 0x100)};
    rig.c.resetHandler = k.flags & kResetCallback ? [] { probe(0, nullptr); } : ResetHandler{};
    rig.load(k.code);
    if (k.fetch != kUserRamOnly) rig.c.fetch = rig.c.superFetch = fetches[k.fetch];
    rig.c.userFetch = fetches[k.fetch];
    rig.c.sr = k.sr, rig.c.areg[0] = k.a0, rig.c.dreg[0] = k.d0, rig.c.cycleCount = 100;
    if (!(k.sr & 0x2000)) rig.c.areg[7] = kStack - 0x100, rig.c.otherSp = kStack;
    cpuSetContext(&rig.c);
    seen[0] = seen[1] = seen[2] = 0, probeAction = k.probe, stackWrites = 0;
    uint32_t result = 0;
    for (const Call& call : k.calls) {
      for (auto [level, vector] : call.requests) cpuInterrupt(level, vector);
      result = call.budget ? rig.run(call.budget) : (cpuFlushInterrupts(), 0);
    }
    cpuGetContext(&rig.c);
    const CpuContext& c = rig.c;
    // clang-format off
    const std::vector<uint32_t> got = {result, c.pc, c.sr, c.cycleCount, c.interrupts[0], c.dreg[0],
        c.dreg[1], c.areg[7], c.otherSp, rig.longAt(kStack - 4), rig.at(kStack - 6),
        rig.longAt(kStack - 10), rig.at(kStack - 12), seen[0], seen[1], seen[2]};
    // clang-format on
    EXPECT_EQ(got, k.want) << k.what;
  }
}

// Every opcode word at the end of a fetch region of 2 to 10 bytes: refused,
// untouched, until the region holds all its words; then it runs, and a
// sequential one ends right after them (extension words 0x7FFE send
// branches far). 11128 words are illegal, 8192 line 1010 / 1111 traps.
TEST(M68kEngine, OpcodeTable) {
  Rig rig;
  rig.load({});
  const CpuContext base = rig.c;
  constexpr uint32_t kAt = 0x300000;
  int illegal = 0, lineTraps = 0;
  for (uint32_t op = 0; op < 0x10000; ++op) {
    rig.setLong(kStack - 4, 0);
    for (uint32_t size = 2;; size += 2) {
      ASSERT_LE(size, 10u) << std::hex << op;
      auto code = std::make_unique<uint16_t[]>(size / 2);
      for (uint32_t i = 0; i < size / 2; ++i) code[i] = i ? 0x7FFE : uint16_t(op);
      const ProgramRegion fetch[] = {{kAt, kAt + size - 1, intptr_t(code.get()) - intptr_t(kAt)},
                                     kFetchEnd};
      CpuContext c = base;
      c.fetch = c.superFetch = c.userFetch = fetch, c.pc = kAt;
      cpuSetContext(&c);
      const uint32_t result = cpuExec(1);
      cpuGetContext(&c);
      if (result == cpuExecFetchFailed) {
        ASSERT_TRUE(c.pc == kAt && c.cycleCount == base.cycleCount) << std::hex << op;
        continue;
      }
      const bool shortBranchBy2 = (op & 0xF0FF) == 0x6002, pastEnd = c.pc == kAt + size + 2;
      ASSERT_FALSE((pastEnd && !shortBranchBy2) || (c.pc == kAt + size - 2 && size > 2)) << op;
      const bool trapped = rig.longAt(kStack - 4) == kAt;
      illegal += trapped && c.pc == handlerOf(4);
      lineTraps += trapped && (c.pc == handlerOf(10) || c.pc == handlerOf(11));
      break;
    }
  }
  EXPECT_EQ(illegal, 11128);
  EXPECT_EQ(lineTraps, 8192);
}

TEST(M68kEngine, RequestsAndReset) {
  Rig rig;
  rig.load({kNop});
  const int32_t kIn = cpuInterruptRecorded, kOut = cpuInterruptOutOfRange;
  // clang-format off
  const int32_t rows[][3] = {{3, cpuAutovector, kIn}, {3, 40, cpuInterruptAlreadyPending},
      {4, cpuSpuriousVector, kIn}, {7, 255, kIn}, {0, 30, kOut}, {8, 30, kOut}, {1, 256, kOut},
      {1, -3, kOut}};
  // clang-format on
  for (auto& r : rows) EXPECT_EQ(cpuInterrupt(r[0], r[1]), r[2]) << r[0] << " " << r[1];
  cpuGetContext(&rig.c);
  const uint8_t want[8] = {0x98, 0, 0, 27, 24, 0, 0, 255};
  EXPECT_EQ(std::memcmp(rig.c.interrupts, want, 8), 0);
  // Reset drops requests and keeps their vectors.
  rig.c.dreg[3] = 7, rig.c.sr = 0x0010, rig.c.cycleCount = 5;
  rig.c.interrupts[0] = 0x0C, rig.c.interrupts[2] = 77;
  cpuSetContext(&rig.c);
  EXPECT_EQ(cpuReset(), cpuResetStarted);
  cpuGetContext(&rig.c);
  EXPECT_EQ((std::vector<uint32_t>{rig.c.sr, rig.c.areg[7], rig.c.pc, rig.c.dreg[3],
                                   rig.c.interrupts[0], rig.c.interrupts[2], rig.c.cycleCount}),
            (std::vector<uint32_t>{0x2700, kStack, kCode, 0, 0, 77, 5}));
  // An odd initial PC halts; a request does not wake it.
  rig.setLong(4, 0x401);
  EXPECT_EQ(cpuReset(), cpuResetOddVector);
  EXPECT_EQ(cpuInterrupt(1, cpuAutovector), cpuInterruptRecorded);
  EXPECT_EQ(rig.run(1000), cpuExecHalted);
  EXPECT_EQ((std::vector<uint32_t>{rig.c.pc, rig.c.interrupts[0], rig.c.cycleCount}),
            (std::vector<uint32_t>{0x401, 3, 5}));
  // No supervisor fetch table, or no region at 0: refused, the second halted.
  CpuContext empty{};
  cpuSetContext(&empty);
  EXPECT_EQ(cpuReset(), cpuResetRefused);
  rig.c.superFetch = rig.fetch + 1;
  cpuSetContext(&rig.c);
  EXPECT_EQ(cpuReset(), cpuResetRefused);
  EXPECT_EQ(rig.run(10), cpuExecHalted);
  EXPECT_EQ(rig.c.pc, 1u);
  // cpuFetch reads through the supervisor table, whatever the mode.
  rig.c.superFetch = rig.fetch;
  rig.c.fetch = rig.c.userFetch = rig.fetch + 2;
  rig.c.sr = 0;
  cpuSetContext(&rig.c);
  EXPECT_EQ(cpuFetch(kCode), kNop);
  EXPECT_EQ(cpuFetch(0x12000400), kNop);  // top byte ignored
  EXPECT_EQ(cpuFetch(0x200000), 0xFFFFFFFFu);
  EXPECT_EQ(cpuFetch(0xFFFFF), 0xFFFFFFFFu);  // a word past the end of its region
}

std::vector<uint32_t> handlerLog;
uint32_t recordRead(uint32_t address, const DataRegion*) {
  handlerLog.push_back(address);
  return 0x10000 | (address & 0xFFFF);
}
void recordWrite(uint32_t address, uint32_t data, const DataRegion*) {
  handlerLog.insert(handlerLog.end(), {address, data});
}

// One instruction at a time through tables with overlaps, holes, straddled
// ends, handlers and an entry whose host memory is exactly its size.
TEST(M68kEngine, DataMaps) {
  Rig rig;
  std::vector<uint16_t> other(0x80, 0xBEEF), low(8, 0);
  low[7] = 0xAAAA;
  auto exact = std::make_unique<uint8_t[]>(16);
  for (int i = 0; i < 16; ++i) exact[i] = uint8_t(0x10 + i);
  void* const read = reinterpret_cast<void*>(&recordRead);
  void* const write = reinterpret_cast<void*>(&recordWrite);
  // clang-format off
  const DataRegion reads[] = {{kRam + 0x100, kRam + 0x1FF, nullptr, other.data()},
      {0x300000, 0x30000F, nullptr, low.data()}, {0x310000, 0x31000F, nullptr, low.data()},
      {0x310010, 0x31001F, nullptr, rig.ram.data()}, {0x400000, 0x4FFFFF, read, nullptr},
      {0x500000, 0x50000F, nullptr, exact.get()}, rig.read[1], rig.read[2], kEnd};
  // clang-format on
  const DataRegion writes[] = {{0x400000, 0x4FFFFF, write, nullptr}, reads[5], rig.read[2], kEnd};
  const uint16_t kIn[] = {0x1010, 0x3010, 0x2010}, kOut[] = {0x1080, 0x3080, 0x2080};
  struct Row {
    uint32_t op, a0, d0;
    std::vector<uint32_t> want;  // D0, the host words of exact, the handler calls
  };
  // Holes read all ones; the first of two entries serves (bytes on a page
  // that entries share); a long past the end of an entry, into the next one;
  // ROM not in the write table;
  // handlers see 24 bits and a long as two words; never past an entry's end.
  // clang-format off
  const Row rows[] = {
      {kIn[0], 0x800000, 0, {0xFF, 0x1D1C, 0x1F1E}},
      {kIn[1], 0x800000, 0, {0xFFFF, 0x1D1C, 0x1F1E}},
      {kIn[2], 0x800000, 0, {0xFFFFFFFF, 0x1D1C, 0x1F1E}},
      {kIn[1], kRam + 0x100, 0, {0xBEEF, 0x1D1C, 0x1F1E}},
      {kIn[0], kRam + 0x201, 0, {0x34, 0x1D1C, 0x1F1E}},
      {kOut[0], 0x50000C, 0xCD, {0xCD, 0xCD1C, 0x1F1E}},
      {kIn[2], 0x30000E, 0, {0xAAAAFFFF, 0xCD1C, 0x1F1E}},
      {kIn[2], 0x31000E, 0, {0xAAAA5555, 0xCD1C, 0x1F1E}},
      {kOut[2], 0x7000, 0x11223344, {0x11223344, 0xCD1C, 0x1F1E}},
      {kIn[2], 0x7000, 0, {0x0, 0xCD1C, 0x1F1E}},
      {kIn[2], 0xFF401000, 0, {0x10001002, 0xCD1C, 0x1F1E, 0x401000, 0x401002}},
      {kIn[0], 0x124012B5, 0, {0xB5, 0xCD1C, 0x1F1E, 0x4012B5}},
      {kOut[2], 0x80402000, 0xCAFEF00D, {0xCAFEF00D, 0xCD1C, 0x1F1E, 0x402000, 0xCAFE, 0x402002, 0xF00D}},
      {kOut[0], 0x402001, 0x1FF, {0x1FF, 0xCD1C, 0x1F1E, 0x402001, 0xFF}},
      {kOut[1], 0x402004, 0x12345, {0x12345, 0xCD1C, 0x1F1E, 0x402004, 0x2345}},
      {kIn[1], 0x50000F, 0, {0xFF1F, 0xCD1C, 0x1F1E}},
      {kIn[2], 0x50000D, 0, {0x1ECDFF1F, 0xCD1C, 0x1F1E}},
      {kOut[1], 0x50000F, 0xAABB, {0xAABB, 0xCD1C, 0xBB1E}},
      {kOut[2], 0x50000D, 0x11223344, {0x11223344, 0x221C, 0x4411}},
      // clang-format on
  };
  rig.ram[0] = 0x5555;
  rig.ram[0x200 / 2] = 0x1234;
  for (const Row& r : rows) {
    rig.load({uint16_t(r.op)});
    rig.tables(rig.fetch, reads, writes);
    rig.c.areg[0] = r.a0;
    rig.c.dreg[0] = r.d0;
    cpuSetContext(&rig.c);
    handlerLog.clear();
    rig.run(1);
    std::vector<uint32_t> got = {rig.c.dreg[0], uint32_t(exact[13] << 8 | exact[12]),
                                 uint32_t(exact[15] << 8 | exact[14])};
    got.insert(got.end(), handlerLog.begin(), handlerLog.end());
    EXPECT_EQ(got, r.want) << std::hex << r.op << " at " << r.a0;
  }
}

// ---- a real program; one slice: the counter grows by at least the budget ----
void slice(Rig& rig, int32_t budget) {
  const uint32_t before = rig.c.cycleCount;
  ASSERT_EQ(rig.run(budget), cpuExecBudgetUsed);
  EXPECT_GE(rig.c.cycleCount - before, uint32_t(budget));
  EXPECT_EQ(cpuReadPc(), rig.c.pc);
}

TEST(M68kPrograms, UserModeWithTrapsAndInterrupts) {
  std::string error;
  const support::Bytes image =
      support::assembleM68k(std::string(SB_SOURCE_DIR) + "/tests/m68k/programs/usermode.s", error);
  if (image.empty() && error.find("not found") != std::string::npos) GTEST_SKIP() << error;
  ASSERT_FALSE(image.empty()) << error;
  Rig rig;
  rig.setImage(image);
  rig.load({});
  // Between slices the host raises levels 1 to 7 in turn, every other level
  // 2 spurious, until 40 are recorded; then level 5 wakes the final STOP.
  uint32_t counts[8] = {}, recorded = 0;  // [0] spurious, [n] level n
  for (uint32_t k = 0; k < 3000 && !(rig.c.interrupts[0] & 1); ++k) {
    const int32_t level = int32_t(1 + k % 7),
                  vector = k % 14 == 1 ? cpuSpuriousVector : cpuAutovector;
    if (recorded < 40 && cpuInterrupt(level, vector) == cpuInterruptRecorded)
      ++recorded, ++counts[vector == cpuSpuriousVector ? 0 : level];
    slice(rig, 1500);
  }
  ASSERT_EQ(rig.c.interrupts[0], 1) << "stopped, nothing pending";
  slice(rig, 1500);
  EXPECT_EQ(cpuInterrupt(5, cpuAutovector), cpuInterruptRecorded);
  slice(rig, 1500);
  ++counts[5];
  ASSERT_EQ(rig.longAt(kRam), 0xC0DEC0DEu);
  EXPECT_GT(rig.longAt(kRam + 0x2C), 0u) << "interrupts in user mode";
  EXPECT_EQ(rig.longAt(kRam + 0x30), 41u);
  for (uint32_t i = 0; i < 8; ++i) EXPECT_EQ(rig.longAt(kRam + 8 + 4 * i), counts[i]) << i;
}

}  // namespace

namespace {

// What the watch handler saw: index, address, size, direction, data.
std::vector<uint32_t> watchLog;
void watchHit(int32_t index, uint32_t address, uint32_t size, bool write, uint32_t data) {
  watchLog.insert(watchLog.end(), {uint32_t(index), address, size, uint32_t(write), data});
  cpuReleaseTimeslice();
}

// Breakpoints, watchpoints and the instruction limit on one loop:
//   400 MOVEQ #0,D0; 402 ADDQ.W #1,D0; 404 MOVE.W D0,$100010; 40A BRA.S 402
TEST(M68kEngine, WatchingExecution) {
  constexpr uint64_t kNoLimit = ~uint64_t{0};
  struct Row {
    const char* what;
    std::vector<uint32_t> breakpoints;
    std::vector<CpuWatch> watches;
    std::vector<std::pair<int32_t, uint64_t>> calls;  // budget, instruction limit
    // Result of the last call, PC, instructions, D0, cycles; then the watch log.
    std::vector<uint32_t> want;
  };
  const CpuWatch written{kRam + 0x10, kRam + 0x11, cpuWatchWrite};
  // clang-format off
  const Row rows[] = {
      {"a breakpoint stops before its instruction", {0x404}, {}, {{1000, kNoLimit}}, {cpuExecBreakpoint, 0x404, 2, 1, 8}},
      {"going on runs it and stops there again", {0x404}, {}, {{1000, kNoLimit}, {1000, kNoLimit}}, {cpuExecBreakpoint, 0x404, 5, 2, 38}},
      {"one cycle from a breakpoint runs its instruction", {0x404}, {}, {{1000, kNoLimit}, {1, kNoLimit}}, {cpuExecBudgetUsed, 0x40A, 3, 1, 24}},
      {"a loop back to the breakpoint it left", {0x402}, {}, {{1000, kNoLimit}, {1000, kNoLimit}}, {cpuExecBreakpoint, 0x402, 4, 1, 34}},
      {"without a pass a breakpoint stops at once", {0x400}, {}, {{1000, kNoLimit}}, {cpuExecBreakpoint, 0x400, 0, 0, 0}},
      {"a breakpoint never reached", {0x500}, {}, {{100, kNoLimit}}, {cpuExecBudgetUsed, 0x40A, 12, 4, 114}},
      {"the limit stops before the next start", {}, {}, {{1000, 4}}, {cpuExecInstructionLimit, 0x402, 4, 1, 34}},
      {"a limit of none starts nothing", {}, {}, {{1000, 0}}, {cpuExecInstructionLimit, 0x400, 0, 0, 0}},
      {"the budget ends first", {}, {}, {{8, 100}}, {cpuExecBudgetUsed, 0x404, 2, 1, 8}},
      {"a write watch stops after its instruction", {}, {written}, {{1000, kNoLimit}}, {cpuExecBudgetUsed, 0x40A, 3, 1, 24, 0, kRam + 0x10, 2, 1, 1}},
      {"a read watch on written memory", {}, {{kRam + 0x10, kRam + 0x10, cpuWatchRead}}, {{100, kNoLimit}}, {cpuExecBudgetUsed, 0x40A, 12, 4, 114}},
      {"a watch on the last byte of a word", {}, {{kRam + 0x11, kRam + 0x11, cpuWatchRead | cpuWatchWrite}}, {{1000, kNoLimit}}, {cpuExecBudgetUsed, 0x40A, 3, 1, 24, 0, kRam + 0x10, 2, 1, 1}},
  };
  // clang-format on
  for (const Row& r : rows) {
    Rig rig;
    rig.load({0x7000, 0x5240, 0x33C0, 0x0010, 0x0010, 0x60F6});
    cpuSetBreakpoints(r.breakpoints.data(), int32_t(r.breakpoints.size()));
    cpuSetWatchpoints(r.watches.data(), int32_t(r.watches.size()), watchHit);
    watchLog.clear();
    uint32_t result = 0;
    for (auto [budget, limit] : r.calls) {
      if (result == cpuExecBreakpoint) cpuPassBreakpoint();
      result = cpuExecInstructions(budget, limit);
    }
    cpuGetContext(&rig.c);
    std::vector<uint32_t> got = {result, rig.c.pc, uint32_t(rig.c.instructionCount), rig.c.dreg[0],
                                 rig.c.cycleCount};
    got.insert(got.end(), watchLog.begin(), watchLog.end());
    EXPECT_EQ(got, r.want) << r.what;
  }
  cpuSetBreakpoints(nullptr, 0);
  cpuSetWatchpoints(nullptr, 0, nullptr);
}

// Polling loops at 0x406, after a word of RAM is read into D0: fast-forwarded
// or not, the machine ends the same as when every pass runs.
TEST(M68kEngine, PollingLoops) {
  enum Watching { kNothing, kBreakpoint, kWatch, kTrace };
  struct Row {
    const char* what;
    std::vector<uint16_t> loop;
    Watching watching;
    bool taken;
  };
  const uint16_t kLoad[] = {0x3039, 0x0010, 0x0010};  // MOVE.W $100010,D0
  // clang-format off
  const Row rows[] = {
      {"CMP <ea>,Dn; Bcc", {0xB079, 0x0010, 0x0010, 0x67F8}, kNothing, true},
      {"TST <ea>; Bcc", {0x4A79, 0x0010, 0x0010, 0x67F8}, kNothing, true},
      {"BTST #n,<ea>; Bcc", {0x0839, 0x0003, 0x0010, 0x0011, 0x67F6}, kNothing, true},
      {"MOVE <ea>,Dn; AND; Bcc", {0x3039, 0x0010, 0x0010, 0x0240, 0x0001, 0x67F4}, kNothing, true},
      {"a loop that writes", {0x5279, 0x0010, 0x0020, 0x60F8}, kNothing, false},
      {"a loop that counts", {0x4A79, 0x0010, 0x0010, 0x5241, 0x60F6}, kNothing, false},
      {"a read of a handler that raises an interrupt", {0x4A79, 0x0020, 0x0000, 0x67F8}, kNothing, false},
      {"a breakpoint inside", {0xB079, 0x0010, 0x0010, 0x67F8}, kBreakpoint, false},
      {"a watched read", {0xB079, 0x0010, 0x0010, 0x67F8}, kWatch, false},
      {"trace", {0xB079, 0x0010, 0x0010, 0x67F8}, kTrace, false},
  };
  // clang-format on
  const uint32_t breakpoint = 0x40C;
  const CpuWatch watch{kRam + 0x10, kRam + 0x11, cpuWatchRead};
  for (const Row& r : rows) {
    std::vector<uint32_t> ends[2];
    uint64_t skipped[2];
    for (bool on : {false, true}) {
      Rig rig;
      std::vector<uint16_t> code(std::begin(kLoad), std::end(kLoad));
      code.insert(code.end(), r.loop.begin(), r.loop.end());
      rig.load(code);
      if (r.watching == kTrace) rig.c.sr |= 0x8000;
      cpuSetContext(&rig.c);
      probeAction = 1;
      cpuSetBreakpoints(&breakpoint, r.watching == kBreakpoint ? 1 : 0);
      cpuSetWatchpoints(&watch, r.watching == kWatch ? 1 : 0, watchHit);
      cpuSetFastForward(on);
      const uint64_t before = cpuSkippedInstructions();
      const uint32_t result = rig.run(100000);
      skipped[on] = cpuSkippedInstructions() - before;
      ends[on] = {result, rig.c.pc, rig.c.sr, rig.c.cycleCount, uint32_t(rig.c.instructionCount),
                  rig.c.dreg[0], rig.c.dreg[1], rig.c.interrupts[0], rig.longAt(kStack - 4)};
    }
    EXPECT_EQ(ends[1], ends[0]) << r.what;
    EXPECT_EQ(skipped[1] > 0, r.taken) << r.what;
    EXPECT_EQ(skipped[0], 0u) << r.what;
  }
  cpuSetBreakpoints(nullptr, 0);
  cpuSetWatchpoints(nullptr, 0, nullptr);
  probeAction = 0;
}

}  // namespace
