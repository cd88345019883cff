// The engine's rules: budgets, stopped and halted processors, reset,
// exceptions, interrupts and their check points, trace, STOP, RESET, the
// operations a memory handler may call mid-slice, context swaps and the
// fetch-window rules.
#include <gtest/gtest.h>

#include <cstring>

#include "rig.h"

namespace {

constexpr uint16_t kNop = 0x4E71;
constexpr uint32_t kCode = Rig::kCode;

// ---- budgets, stopped, halted ----

TEST(Budget, OneCycleRunsExactlyOneInstruction) {
  Rig rig;
  rig.load({kNop, kNop, kNop});
  EXPECT_EQ(rig.run(1), cpuExecBudgetUsed);
  EXPECT_EQ(rig.context.pc, kCode + 2);
  EXPECT_EQ(rig.context.cycleCount, 4u);
}

TEST(Budget, SliceOverrunsByTheLastInstruction) {
  Rig rig;
  rig.load({kNop, kNop, kNop});
  EXPECT_EQ(rig.run(6), cpuExecBudgetUsed);
  EXPECT_EQ(rig.context.pc, kCode + 4);
  EXPECT_EQ(rig.context.cycleCount, 8u);
}

TEST(Budget, StoppedProcessorCountsItsWholeBudget) {
  Rig rig;
  rig.load({0x4E72, 0x2000});  // STOP #$2000
  EXPECT_EQ(rig.run(100), cpuExecBudgetUsed);
  EXPECT_EQ(rig.context.cycleCount, 100u);  // STOP ends the slice, the rest counts
  EXPECT_EQ(rig.context.interrupts[0] & 1, 1);
  EXPECT_EQ(rig.run(1000), cpuExecBudgetUsed);
  EXPECT_EQ(rig.context.cycleCount, 1100u);
  EXPECT_EQ(rig.context.pc, kCode + 4);
}

TEST(Reset, OddInitialPcHalts) {
  Rig rig;
  rig.setLong(4, 0x000401);
  cpuInit();
  EXPECT_EQ(rig.reset(), cpuResetOddVector);
  cpuGetContext(&rig.context);
  const uint32_t before = rig.context.cycleCount;
  EXPECT_EQ(rig.run(1000), cpuExecHalted);
  EXPECT_EQ(rig.context.cycleCount, before);
  EXPECT_EQ(rig.context.pc, 0x401u);
}

TEST(Reset, AnInterruptDoesNotWakeAHaltedProcessor) {
  Rig rig;
  rig.setLong(4, 0x000401);
  cpuInit();
  EXPECT_EQ(rig.reset(), cpuResetOddVector);
  EXPECT_EQ(cpuInterrupt(1, cpuAutovector), cpuInterruptRecorded);
  EXPECT_EQ(rig.run(100), cpuExecHalted);
  EXPECT_EQ(rig.context.interrupts[0], 0x03);
}

TEST(Reset, SetsSupervisorStateAndVectors) {
  Rig rig;
  rig.context.dreg[3] = 7;
  rig.context.sr = 0x0010;
  rig.context.interrupts[0] = 0x0C;
  rig.context.interrupts[2] = 77;
  rig.context.cycleCount = 5;
  rig.set(kCode, {kNop});
  cpuInit();
  EXPECT_EQ(rig.reset(), cpuResetStarted);
  cpuGetContext(&rig.context);
  EXPECT_EQ(rig.context.sr, 0x2700);
  EXPECT_EQ(rig.context.areg[7], Rig::kStack);
  EXPECT_EQ(rig.context.pc, kCode);
  EXPECT_EQ(rig.context.dreg[3], 0u);
  EXPECT_EQ(rig.context.interrupts[0], 0);   // pending requests dropped
  EXPECT_EQ(rig.context.interrupts[2], 77);  // vectors kept
  EXPECT_EQ(rig.context.cycleCount, 5u);
}

TEST(Reset, RefusedWithoutSupervisorFetchOrRegionAtZero) {
  Rig rig;
  cpuInit();
  CpuContext empty{};
  cpuSetContext(&empty);
  EXPECT_EQ(cpuReset(), cpuResetRefused);
  // No region at 0: registers cleared, halted (odd PC, stopped bit).
  ProgramRegion high[] = {rig.fetch[1], rig.fetch[2]};
  rig.context.superFetch = high;
  rig.context.dreg[0] = 9;
  cpuSetContext(&rig.context);
  EXPECT_EQ(cpuReset(), cpuResetRefused);
  cpuGetContext(&rig.context);
  EXPECT_EQ(rig.context.pc, 1u);
  EXPECT_EQ(rig.context.dreg[0], 0u);
  EXPECT_EQ(rig.run(10), cpuExecHalted);
}

// ---- exceptions ----

TEST(Exceptions, TrapVectorAndFrame) {
  Rig rig;
  rig.load({0x4E4F});  // TRAP #15
  rig.run(1);
  EXPECT_EQ(rig.context.pc, Rig::handlerOf(47));  // read from 0xBC
  EXPECT_EQ(rig.context.areg[7], Rig::kStack - 6);
  EXPECT_EQ(rig.longAt(Rig::kStack - 4), kCode + 2);  // next instruction
  EXPECT_EQ(rig.word(Rig::kStack - 6), 0x2700);
  EXPECT_EQ(rig.context.cycleCount, 34u);
}

TEST(Exceptions, LineFStacksTheOpcodeAddress) {
  Rig rig;
  rig.load({0xF123});
  rig.run(1);
  EXPECT_EQ(rig.context.pc, Rig::handlerOf(11));  // from 0x2C
  EXPECT_EQ(rig.longAt(Rig::kStack - 4), kCode);
}

TEST(Exceptions, IllegalAndUnimplementedWords) {
  Rig rig;
  for (uint16_t op : {uint16_t(0x4AFC), uint16_t(0x4100), uint16_t(0x7100)}) {
    rig.load({op});
    rig.run(1);
    EXPECT_EQ(rig.context.pc, Rig::handlerOf(4)) << std::hex << op;
    EXPECT_EQ(rig.longAt(Rig::kStack - 4), kCode);
    EXPECT_EQ(rig.context.cycleCount, 34u);
  }
}

TEST(Exceptions, UserModeExceptionSwitchesStackAndTables) {
  Rig rig;
  // A separate user read table that also maps the ROM.
  DataRegion userRead[] = {rig.read[0], rig.read[1], rig.read[2]};
  rig.context.userReadByte = rig.context.userReadWord = userRead;
  rig.load({0x4E4F});
  rig.context.sr = 0x0000;  // user mode
  rig.context.otherSp = Rig::kStack;
  rig.context.areg[7] = Rig::kStack - 0x100;  // USP
  rig.context.readByte = rig.context.readWord = userRead;
  rig.push();
  rig.run(1);
  EXPECT_EQ(rig.context.sr & 0x2000, 0x2000);
  EXPECT_EQ(rig.context.areg[7], Rig::kStack - 6);
  EXPECT_EQ(rig.context.otherSp, Rig::kStack - 0x100);
  EXPECT_EQ(rig.context.readWord, rig.context.superReadWord);
  EXPECT_EQ(rig.word(Rig::kStack - 6), 0x0000);
}

TEST(Exceptions, PrivilegeViolationStacksTheInstruction) {
  Rig rig;
  rig.load({0x4E70});  // RESET in user mode
  rig.context.sr = 0;
  rig.context.otherSp = Rig::kStack;
  rig.context.areg[7] = Rig::kStack - 0x100;
  rig.push();
  EXPECT_EQ(rig.run(1), cpuExecBudgetUsed);
  EXPECT_EQ(rig.context.pc, Rig::handlerOf(8));
  EXPECT_EQ(rig.longAt(Rig::kStack - 4), kCode);
}

TEST(Exceptions, ChargedCostsWithOperandTime) {
  Rig rig;
  rig.load({0x4190});  // CHK (A0),D0 out of bounds
  rig.context.areg[0] = Rig::kRam;
  rig.context.dreg[0] = 5;
  rig.push();
  rig.set(Rig::kRam, {2});
  rig.run(1);
  EXPECT_EQ(rig.context.cycleCount, 44u);
  EXPECT_EQ(rig.context.pc, Rig::handlerOf(6));
  rig.load({0x80D0});  // DIVU (A0),D0 by zero
  rig.context.areg[0] = Rig::kRam;
  rig.push();
  rig.set(Rig::kRam, {0});
  rig.run(1);
  EXPECT_EQ(rig.context.cycleCount, 42u);
  EXPECT_EQ(rig.context.pc, Rig::handlerOf(5));
}

// ---- interrupts ----

TEST(Interrupts, RequestArguments) {
  Rig rig;
  rig.load({kNop});
  EXPECT_EQ(cpuInterrupt(3, cpuAutovector), cpuInterruptRecorded);
  EXPECT_EQ(cpuInterrupt(3, 40), cpuInterruptAlreadyPending);
  EXPECT_EQ(cpuInterrupt(4, cpuSpuriousVector), cpuInterruptRecorded);
  EXPECT_EQ(cpuInterrupt(0, 30), cpuInterruptOutOfRange);
  EXPECT_EQ(cpuInterrupt(8, 30), cpuInterruptOutOfRange);
  EXPECT_EQ(cpuInterrupt(1, 256), cpuInterruptOutOfRange);
  EXPECT_EQ(cpuInterrupt(1, -3), cpuInterruptOutOfRange);
  cpuGetContext(&rig.context);
  EXPECT_EQ(rig.context.interrupts[0], 0x18);
  EXPECT_EQ(rig.context.interrupts[3], 27);
  EXPECT_EQ(rig.context.interrupts[4], 24);
}

TEST(Interrupts, MaskedRequestWaitsForMoveToSr) {
  Rig rig;
  rig.load({kNop, kNop, 0x46FC, 0x2100, kNop});  // MOVE #$2100,SR lowers the mask to 1
  rig.context.sr = 0x2300;
  rig.push();
  cpuInterrupt(2, cpuAutovector);
  rig.run(8);  // two NOPs: still pending
  EXPECT_EQ(rig.context.pc, kCode + 4);
  EXPECT_EQ(rig.context.interrupts[0], 0x04);
  rig.run(1);  // the MOVE, then the interrupt at once
  EXPECT_EQ(rig.context.pc, Rig::handlerOf(26));
  EXPECT_EQ(rig.longAt(Rig::kStack - 4), kCode + 8);
  EXPECT_EQ(rig.context.sr & 0x0700, 0x0200);
  EXPECT_EQ(rig.context.cycleCount, 8u + 16 + 44);  // MOVE #,SR is 12 + 4
}

TEST(Interrupts, LevelSevenIgnoresTheMask) {
  Rig rig;
  rig.load({kNop});
  cpuInterrupt(7, 100);
  rig.setLong(100 * 4, Rig::handlerOf(3));
  rig.run(1);
  // At least one instruction runs per call: the handler's STOP.
  EXPECT_EQ(rig.context.pc, Rig::handlerOf(3) + 4);
  EXPECT_EQ(rig.longAt(Rig::kStack - 4), kCode);
  EXPECT_EQ(rig.context.cycleCount, 44u + 4);
}

TEST(Interrupts, HighestFirstOnePerCheckPoint) {
  Rig rig;
  rig.load({kNop, kNop});
  rig.context.sr = 0x2000;
  rig.push();
  cpuInterrupt(2, cpuAutovector);
  cpuInterrupt(5, cpuAutovector);
  rig.run(1);  // start of the slice: level 5 taken, level 2 waits
  EXPECT_EQ(rig.longAt(Rig::kStack - 4), kCode);
  EXPECT_EQ(rig.context.pc, Rig::handlerOf(29) + 4);
  EXPECT_EQ(rig.context.interrupts[0], 0x05);  // level 2 pending; the handler's STOP
  // The handler's STOP ran; its RTE would bring level 2 in. Lower the
  // mask by hand and flush.
  rig.context.sr = 0x2000;
  rig.context.interrupts[0] &= 0xFE;
  rig.push();
  cpuFlushInterrupts();
  cpuGetContext(&rig.context);
  EXPECT_EQ(rig.context.pc, Rig::handlerOf(26));
  EXPECT_EQ(rig.context.interrupts[0], 0);
}

TEST(Interrupts, StopWaitsAndWakes) {
  Rig rig;
  rig.load({0x4E72, 0x2000, kNop});  // STOP #$2000
  rig.run(1000);
  EXPECT_EQ(rig.context.interrupts[0] & 1, 1);
  EXPECT_EQ(rig.context.pc, kCode + 4);
  EXPECT_EQ(rig.context.cycleCount, 1000u);
  EXPECT_EQ(cpuInterrupt(3, cpuAutovector), cpuInterruptRecorded);
  cpuGetContext(&rig.context);
  EXPECT_EQ(rig.context.interrupts[0] & 1, 0);  // woken
  rig.run(1);
  EXPECT_EQ(rig.context.pc, Rig::handlerOf(27) + 4);
  EXPECT_EQ(rig.longAt(Rig::kStack - 4), kCode + 4);
}

TEST(Interrupts, StopWithRequestAlreadyPendingTakesItAtOnce) {
  Rig rig;
  rig.load({0x4E72, 0x2000, kNop});
  rig.context.interrupts[0] = 0x10;  // level 4 pending, masked by 7
  rig.context.interrupts[4] = 28;
  rig.push();
  EXPECT_EQ(rig.run(500), cpuExecBudgetUsed);
  EXPECT_EQ(rig.context.pc, Rig::handlerOf(28));
  EXPECT_EQ(rig.context.interrupts[0], 0);
  EXPECT_EQ(rig.context.cycleCount, 500u + 44 - 1 + 1);
}

TEST(Interrupts, StopBelowTheMaskCarriesOnAfterTheStop) {
  Rig rig;
  rig.load({0x4E72, 0x2500, kNop, kNop});
  rig.run(10);
  cpuInterrupt(2, cpuAutovector);  // below the new mask 5
  rig.run(4);
  EXPECT_EQ(rig.context.pc, kCode + 6);  // the NOP after the STOP ran
  EXPECT_EQ(rig.context.interrupts[0], 0x04);
}

TEST(Interrupts, FlushOutsideExecTakesTheRequest) {
  Rig rig;
  rig.load({kNop});
  rig.context.sr = 0x2000;
  rig.push();
  cpuInterrupt(1, cpuAutovector);
  cpuFlushInterrupts();
  cpuGetContext(&rig.context);
  EXPECT_EQ(rig.context.pc, Rig::handlerOf(25));
  EXPECT_EQ(rig.context.cycleCount, 44u);
  EXPECT_EQ(rig.longAt(Rig::kStack - 4), kCode);
}

// ---- trace ----

TEST(Trace, OneInstructionThenTheTraceException) {
  Rig rig;
  rig.load({0x7005, kNop});  // MOVEQ #5,D0
  rig.context.sr = 0xA700;
  rig.push();
  EXPECT_EQ(rig.run(1000), cpuExecBudgetUsed);
  EXPECT_EQ(rig.context.dreg[0], 5u);
  EXPECT_EQ(rig.longAt(Rig::kStack - 4), kCode + 2);
  EXPECT_EQ(rig.word(Rig::kStack - 6), 0xA700);
  EXPECT_EQ(rig.context.sr & 0x8000, 0);  // the handler runs untraced
  // The budget was not lost: the handler's STOP ran in the same slice.
  EXPECT_EQ(rig.context.pc, Rig::handlerOf(9) + 4);
  EXPECT_EQ(rig.context.cycleCount, 1000u);
}

TEST(Trace, RteBackToTracedCodeTracesTheNextInstruction) {
  Rig rig;
  // The trace handler: add 1 to D1 and return.
  rig.setLong(9 * 4, 0x3000);
  rig.set(0x3000, {0x5281, 0x4E73});  // ADDQ.L #1,D1; RTE
  rig.load({kNop, kNop, kNop, 0x4E72, 0x2700, 0x4E72, 0x2700});
  rig.context.sr = 0xA700;
  rig.push();
  rig.run(10000);
  // Three NOPs and the STOP traced; the STOP cleared T, so the trace
  // handler returns untraced to the second STOP.
  EXPECT_EQ(rig.context.dreg[1], 4u);
  EXPECT_EQ(rig.context.pc, kCode + 14);
}

TEST(Trace, InstructionThatSetsTIsNotTraced) {
  Rig rig;
  rig.setLong(9 * 4, 0x3000);
  rig.set(0x3000, {0x5281, 0x4E73});
  rig.load({0x007C, 0x8000, kNop, 0x4E72, 0x2700, 0x4E72, 0x2700});  // ORI #$8000,SR
  rig.run(10000);
  EXPECT_EQ(rig.context.dreg[1], 2u);  // the NOP and the first STOP, not the ORI
  EXPECT_EQ(rig.context.pc, kCode + 14);
}

// ---- RESET ----

int resetCalls = 0;
void countReset() {
  ++resetCalls;
  // A handler may look at the slice.
  EXPECT_EQ(cpuReadPc(), kCode + 2);
}

TEST(ResetInstruction, WithoutCallbackEndsTheSlice) {
  Rig rig;
  rig.load({kNop, 0x4E70, kNop});
  EXPECT_EQ(rig.run(1000), kCode + 2);
  EXPECT_EQ(rig.context.pc, kCode + 2);
  EXPECT_EQ(rig.context.cycleCount, 4u);  // its 132 are not charged
  EXPECT_EQ(rig.run(1000), kCode + 2);    // and it runs again
}

TEST(ResetInstruction, WithCallbackCharges132) {
  Rig rig;
  rig.context.resetHandler = &countReset;
  resetCalls = 0;
  rig.load({0x4E70, kNop});
  EXPECT_EQ(rig.run(1), cpuExecBudgetUsed);
  EXPECT_EQ(resetCalls, 1);
  EXPECT_EQ(rig.context.cycleCount, 132u);
  EXPECT_EQ(rig.context.pc, kCode + 2);
}

// ---- handlers calling the core mid-slice ----

struct HandlerLog {
  uint32_t pc = 0, cycles = 0, trip = 0;
  int action = 0;
} handlerLog;

uint32_t probeRead(uint32_t address, const DataRegion*) {
  handlerLog.pc = cpuReadPc();
  handlerLog.cycles = cpuReadCycleCount();
  switch (handlerLog.action) {
    case 1:
      cpuInterrupt(3, cpuAutovector);
      break;
    case 2:
      cpuReleaseTimeslice();
      break;
    case 3:
      handlerLog.trip = cpuTripCycleCount();
      break;
    case 5:
      cpuInterrupt(6, cpuAutovector);
      break;
    case 4:  // everything at once, in an awkward order
      cpuReleaseTimeslice();
      handlerLog.trip = cpuTripCycleCount();
      cpuInterrupt(3, cpuAutovector);
      cpuReleaseTimeslice();
      break;
  }
  return address & 0xFFFF;
}

struct ProbeRig : Rig {
  DataRegion probeRead_[4];
  ProbeRig() {
    probeRead_[0] = read[0];
    probeRead_[1] = read[1];
    probeRead_[2] = {0x200000, 0x2FFFFF, reinterpret_cast<void*>(&probeRead), nullptr};
    probeRead_[3] = read[2];
    useTables(fetch, probeRead_, write);
  }
};

TEST(HandlerCalls, ReadPcAndCycleCount) {
  ProbeRig rig;
  handlerLog = {};
  // NOP; MOVE.W $200010,D0 (abs.L); NOP
  rig.load({kNop, 0x3039, 0x0020, 0x0010, kNop});
  rig.context.cycleCount = 1000;
  rig.push();
  rig.run(100);
  EXPECT_EQ(handlerLog.pc, kCode + 8);  // past the opcode and both extension words
  EXPECT_EQ(handlerLog.cycles, 1004u);  // the NOP before it
  EXPECT_EQ(rig.context.dreg[0] & 0xFFFF, 0x0010u);
  EXPECT_EQ(cpuReadPc(), rig.context.pc);  // outside: the context's PC
}

TEST(HandlerCalls, InterruptRaisedByAHandlerIsTakenAtTheNextBoundary) {
  ProbeRig rig;
  handlerLog = {};
  handlerLog.action = 1;
  rig.load({0x3039, 0x0020, 0x0010, kNop, kNop});
  rig.context.sr = 0x2000;
  rig.push();
  EXPECT_EQ(rig.run(1000), cpuExecBudgetUsed);
  // The MOVE (16) finished, then the interrupt (44), then the handler's STOP.
  EXPECT_EQ(rig.longAt(Rig::kStack - 4), kCode + 6);
  EXPECT_EQ(rig.context.pc, Rig::handlerOf(27) + 4);
  EXPECT_EQ(rig.context.cycleCount, 1000u);  // no budget was lost
}

TEST(HandlerCalls, ReleaseTimesliceEndsAfterTheInstruction) {
  ProbeRig rig;
  handlerLog = {};
  handlerLog.action = 2;
  rig.load({kNop, 0x3039, 0x0020, 0x0010, kNop, kNop});
  EXPECT_EQ(rig.run(1000), cpuExecBudgetUsed);
  EXPECT_EQ(rig.context.pc, kCode + 8);
  EXPECT_EQ(rig.context.cycleCount, 4u + 16);  // only what was used
}

TEST(HandlerCalls, TripCycleCountRestartsTheCounter) {
  ProbeRig rig;
  handlerLog = {};
  handlerLog.action = 3;
  rig.load({kNop, 0x3039, 0x0020, 0x0010, kNop});
  rig.context.cycleCount = 500;
  rig.push();
  rig.run(21);  // NOP, MOVE, NOP
  EXPECT_EQ(handlerLog.trip, 504u);
  EXPECT_EQ(rig.context.cycleCount, 16u + 4);  // counted again from the trip
  EXPECT_EQ(cpuControlCycleCount(0), 20u);
  EXPECT_EQ(cpuControlCycleCount(1), 20u);
  EXPECT_EQ(cpuReadCycleCount(), 0u);
}

TEST(HandlerCalls, ReleaseTripAndRequestTogetherStillEndTheSlice) {
  ProbeRig rig;
  handlerLog = {};
  handlerLog.action = 4;
  rig.load({kNop, 0x3039, 0x0020, 0x0010, kNop, kNop});
  rig.context.sr = 0x2000;
  rig.context.cycleCount = 100;
  rig.push();
  EXPECT_EQ(rig.run(1000), cpuExecBudgetUsed);
  EXPECT_EQ(handlerLog.trip, 104u);
  // The MOVE ended the slice; the request was taken at its end.
  EXPECT_EQ(rig.context.pc, Rig::handlerOf(27));
  EXPECT_EQ(rig.longAt(Rig::kStack - 4), kCode + 8);
  EXPECT_EQ(rig.context.cycleCount, 16u + 44);
}

// The slice end takes the level-6 request that the MOVE raised; the push of
// its frame raises level 7, which is taken before the level-6 handler runs
// an instruction (not after the rest of the slice).
Rig* stackRig = nullptr;
int stackWrites = 0;
void raisingStackWrite(uint32_t address, uint32_t data, const DataRegion*) {
  *stackRig->wordAt(address) = uint16_t(data);
  if (stackWrites++ == 0) cpuInterrupt(7, cpuAutovector);
}

// Write table whose stack area raises level 7 on its first write, then the
// rig's own RAM; `write` must outlive the run.
void useRaisingStack(Rig& rig, const DataRegion* read, DataRegion (&write)[3]) {
  write[0] = {Rig::kStack - 0x100, Rig::kStack - 1, reinterpret_cast<void*>(&raisingStackWrite),
              nullptr};
  write[1] = rig.write[0];
  write[2] = rig.write[1];
  rig.useTables(rig.fetch, read, write);
  stackRig = &rig;
  stackWrites = 0;
}

TEST(HandlerCalls, RequestRaisedByAFramePushAtTheSliceEndIsTakenNext) {
  ProbeRig rig;
  DataRegion write[3];
  useRaisingStack(rig, rig.probeRead_, write);
  handlerLog = {};
  handlerLog.action = 5;
  rig.load({0x3039, 0x0020, 0x0010, kNop, kNop});  // MOVE.W $200010,D0
  rig.context.sr = 0x2000;
  rig.push();
  EXPECT_EQ(rig.run(1000), cpuExecBudgetUsed);
  EXPECT_EQ(rig.longAt(Rig::kStack - 4), kCode + 6);
  EXPECT_EQ(rig.longAt(Rig::kStack - 10), Rig::handlerOf(30));
  EXPECT_EQ(rig.word(Rig::kStack - 12), 0x2600);
  EXPECT_EQ(rig.context.pc, Rig::handlerOf(31) + 4);
  EXPECT_EQ(rig.context.interrupts[0], 0x01);  // stopped, nothing pending
  EXPECT_EQ(rig.context.cycleCount, 1000u);
}

// Level 6 waits behind mask 7; the MOVE to SR that lowers the mask takes it
// in its re-check with budget left. The push of its frame raises level 7,
// which is taken before the level-6 handler runs an instruction.
TEST(HandlerCalls, RequestRaisedByAFramePushInAnSrWriteReCheckIsTakenNext) {
  Rig rig;
  DataRegion write[3];
  useRaisingStack(rig, rig.read, write);
  rig.load({0x46FC, 0x2000, kNop, kNop});  // MOVE #$2000,SR
  rig.context.interrupts[0] = 0x40;
  rig.context.interrupts[6] = 30;
  rig.push();
  EXPECT_EQ(rig.run(1000), cpuExecBudgetUsed);
  EXPECT_EQ(rig.longAt(Rig::kStack - 4), kCode + 4);
  EXPECT_EQ(rig.word(Rig::kStack - 6), 0x2000);
  EXPECT_EQ(rig.longAt(Rig::kStack - 10), Rig::handlerOf(30));
  EXPECT_EQ(rig.word(Rig::kStack - 12), 0x2600);
  EXPECT_EQ(rig.context.pc, Rig::handlerOf(31) + 4);
  EXPECT_EQ(rig.context.interrupts[0], 0x01);  // stopped, nothing pending
  EXPECT_EQ(rig.context.cycleCount, 1000u);
}

// The same at the start of a call with a budget of 1: both interrupts are
// taken and no instruction runs in between, as in a longer slice.
TEST(HandlerCalls, RequestRaisedByAFramePushAtTheStartIsTakenBeforeAnInstruction) {
  Rig rig;
  DataRegion write[3];
  useRaisingStack(rig, rig.read, write);
  rig.load({kNop, kNop});
  rig.context.sr = 0x2000;
  rig.context.interrupts[0] = 0x40;
  rig.context.interrupts[6] = 30;
  rig.push();
  EXPECT_EQ(rig.run(1), cpuExecBudgetUsed);
  EXPECT_EQ(rig.longAt(Rig::kStack - 4), kCode);
  EXPECT_EQ(rig.longAt(Rig::kStack - 10), Rig::handlerOf(30));
  EXPECT_EQ(rig.context.pc, Rig::handlerOf(31));
  EXPECT_EQ(rig.context.interrupts[0], 0x00);
  EXPECT_EQ(rig.context.cycleCount, 88u);
}

// The MOVE to SR sets T; its read raises a masked request, so its re-check
// goes through the slice end. The next instruction is traced all the same.
TEST(HandlerCalls, TSetByAnSrWriteWhoseReadRaisesAMaskedRequestTracesTheNext) {
  ProbeRig rig;
  handlerLog = {};
  handlerLog.action = 1;
  rig.setLong(9 * 4, 0x3000);
  rig.set(0x3000, {0x5281, 0x4E73});  // ADDQ.L #1,D1; RTE
  // MOVE.W (A0),SR; NOP; NOP; STOP #$2700; STOP #$2700
  rig.load({0x46D0, kNop, kNop, 0x4E72, 0x2700, 0x4E72, 0x2700});
  rig.context.areg[0] = 0x20A700;  // the probe reads back 0xA700
  rig.push();
  EXPECT_EQ(rig.run(10000), cpuExecBudgetUsed);
  // Both NOPs and the first STOP traced, not the MOVE.
  EXPECT_EQ(rig.context.dreg[1], 3u);
  EXPECT_EQ(rig.context.pc, kCode + 14);
  EXPECT_EQ(rig.context.interrupts[0], 0x09);  // level 3 still waits
}

// ---- context swaps ----

TEST(Contexts, SwapTwoProcessors) {
  Rig a, b;
  a.set(kCode, {0x5280, 0x60FC});  // ADDQ.L #1,D0; BRA back
  b.set(kCode, {0x5381, 0x60FC});  // SUBQ.L #1,D1; BRA back
  cpuInit();
  a.reset();
  cpuGetContext(&a.context);
  b.reset();
  cpuGetContext(&b.context);
  for (int i = 0; i < 3; ++i) {
    cpuSetContext(&a.context);
    a.run(18);  // ADDQ 8 + BRA 10
    cpuSetContext(&b.context);
    b.run(36);
  }
  EXPECT_EQ(a.context.dreg[0], 3u);
  EXPECT_EQ(b.context.dreg[1], uint32_t(-6));
  EXPECT_EQ(cpuGetContextSize(), int32_t(sizeof(CpuContext)));
  CpuContext copy;
  cpuGetContext(&copy);
  EXPECT_EQ(std::memcmp(&copy, &b.context, sizeof copy), 0);
}

// ---- fetch rules ----

TEST(Fetch, JumpOutsideEveryRegion) {
  Rig rig;
  rig.load({kNop, 0x4EF9, 0x0050, 0x0000, kNop});  // JMP $500000
  EXPECT_EQ(rig.run(1000), cpuExecBudgetUsed);
  EXPECT_EQ(rig.context.pc, 0x500000u);
  EXPECT_EQ(rig.context.cycleCount, 4u + 12);
  EXPECT_EQ(rig.run(1000), cpuExecFetchFailed);
  EXPECT_EQ(rig.context.pc, 0x500000u);
  EXPECT_EQ(rig.context.cycleCount, 16u);
}

TEST(Fetch, TopByteOfThePcIsCarried) {
  Rig rig;
  rig.load({0x4EF9, 0x1200, 0x0500});  // JMP $12000500
  rig.set(0x500, {kNop, kNop});
  rig.run(14);
  EXPECT_EQ(rig.context.pc, 0x12000502u);
}

TEST(Fetch, RunningOffTheEndOfARegionEndsTheSlice) {
  Rig rig;
  ProgramRegion small[] = {{0, 0x40F, rig.fetch[0].offset}, rig.fetch[2]};
  rig.context.superFetch = rig.context.fetch = small;
  rig.load({kNop}, 0x40C);
  rig.set(0x400, {0x600A});  // BRA.S to 0x40C
  rig.set(0x40C, {kNop, kNop, kNop});
  EXPECT_EQ(rig.run(1000), cpuExecFetchFailed);
  EXPECT_EQ(rig.context.pc, 0x410u);  // the first word past the region
  EXPECT_EQ(rig.context.cycleCount, 10u + 8);
}

TEST(Fetch, ExtensionWordsPastTheRegionAreNeverRead) {
  Rig rig;
  ProgramRegion small[] = {{0, 0x405, rig.fetch[0].offset}, rig.fetch[2]};
  rig.context.superFetch = rig.context.fetch = small;
  rig.load({kNop, kNop, 0x303C, 0x1234});  // MOVE.W #$1234,D0 straddles the end
  EXPECT_EQ(rig.run(1000), cpuExecFetchFailed);
  EXPECT_EQ(rig.context.pc, 0x404u);
  EXPECT_EQ(rig.context.dreg[0], 0u);
  EXPECT_EQ(rig.context.cycleCount, 8u);
}

TEST(Fetch, SequentialCodeContinuesIntoAnAdjacentRegion) {
  Rig rig;
  ProgramRegion split[] = {
      {0, 0x403, rig.fetch[0].offset}, {0x404, 0xFFFF, rig.fetch[0].offset}, rig.fetch[2]};
  rig.context.superFetch = rig.context.fetch = split;
  rig.load({kNop, kNop, 0x303C, 0x1234, kNop});
  rig.run(20);
  EXPECT_EQ(rig.context.dreg[0], 0x1234u);
  EXPECT_EQ(rig.context.pc, kCode + 10);
}

TEST(Fetch, EmptyFetchTable) {
  Rig rig;
  rig.load({kNop});
  ProgramRegion none[] = {rig.fetch[2]};
  rig.context.fetch = none;
  rig.push();
  EXPECT_EQ(rig.run(100), cpuExecFetchFailed);
  EXPECT_EQ(rig.context.cycleCount, 0u);
}

TEST(Fetch, CodeRunsOnlyWhereTheModesTableMapsIt) {
  Rig rig;
  // User mode fetches from RAM only; RTE to user mode at a ROM address.
  ProgramRegion userFetch[] = {rig.fetch[1], rig.fetch[2]};
  rig.context.userFetch = userFetch;
  rig.load({0x4E73});
  rig.set(Rig::kStack - 6, {0x0000, 0x0000, 0x0500});  // SR 0, PC $500
  rig.set(0x500, {0x4E71});
  rig.context.areg[7] = Rig::kStack - 6;
  rig.push();
  EXPECT_EQ(rig.run(1000), cpuExecBudgetUsed);
  EXPECT_EQ(rig.context.pc, 0x500u);
  EXPECT_EQ(rig.context.sr, 0x0000);
  EXPECT_EQ(rig.context.cycleCount, 20u);
  EXPECT_EQ(rig.run(1000), cpuExecFetchFailed);
  // MOVE to SR into user mode while running from ROM stops at the next word.
  rig.load({0x46FC, 0x0000, 0x4E71});
  EXPECT_EQ(rig.run(1000), cpuExecFetchFailed);
  EXPECT_EQ(rig.context.pc, kCode + 4);
  EXPECT_EQ(rig.context.cycleCount, 16u);
}

TEST(Fetch, CpuFetchUsesTheSupervisorTable) {
  Rig rig;
  rig.load({0xABCD});
  ProgramRegion userOnly[] = {{0x300000, 0x30FFFF, rig.fetch[0].offset - 0x300000}, rig.fetch[2]};
  rig.context.userFetch = userOnly;
  rig.push();
  EXPECT_EQ(cpuFetch(kCode), 0xABCDu);
  EXPECT_EQ(cpuFetch(0x300400), 0xFFFFFFFFu);
  EXPECT_EQ(cpuFetch(0x1FFFF), 0xFFFFFFFFu);
  EXPECT_EQ(cpuFetch(0x12000400), 0xABCDu);  // top byte ignored
}

}  // namespace
