// The opcode table as a whole (which words are instructions), the core's own
// results where the manual leaves them open, and the costs of the
// instruction forms.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "m68k/core.h"
#include "rig.h"

namespace {

constexpr uint32_t kCode = Rig::kCode;
using Setup = std::function<void(CpuContext&)>;

// Runs one instruction; returns the cycles it cost.
uint32_t runOne(Rig& rig, std::initializer_list<uint16_t> code, const Setup& setup = {}) {
  rig.load(code);
  if (setup) setup(rig.context);
  rig.push();
  rig.run(1);
  return rig.context.cycleCount;
}

TEST(OpcodeTable, InstructionAndIllegalWordCounts) {
  Rig rig;
  int illegal = 0, lineTraps = 0;
  for (uint32_t op = 0; op < 0x10000; ++op) {
    runOne(rig, {uint16_t(op), 0, 0, 0, 0});
    const bool stacked = rig.longAt(Rig::kStack - 4) == kCode;
    if (rig.context.pc == Rig::handlerOf(4) && stacked) ++illegal;
    if ((rig.context.pc == Rig::handlerOf(10) || rig.context.pc == Rig::handlerOf(11)) && stacked) {
      ++lineTraps;
    }
    rig.setLong(Rig::kStack - 4, 0);
  }
  // Words that raise the illegal-instruction exception, ILLEGAL (0x4AFC)
  // among them; all the others are instructions or line traps.
  EXPECT_EQ(illegal, 11128);
  EXPECT_EQ(lineTraps, 8192);
  EXPECT_EQ(65536 - illegal, 54408);
}

// Every instruction placed so that it ends exactly at the end of its fetch
// region (host memory of exactly that size) runs; one word shorter, it is
// refused before anything runs. The sanitizer build checks that no word past
// the region is ever read.
TEST(OpcodeTable, InstructionsReadOnlyTheirOwnWords) {
  Rig rig;
  rig.load({});
  const CpuContext base = rig.context;
  constexpr uint32_t kAt = 0x300000;
  for (uint32_t op = 0; op < 0x10000; ++op) {
    const int length = m68k::opcodeLength[op];
    for (int shorter : {0, 2}) {
      const int size = length - shorter;
      if (size < 2) continue;
      auto code = std::make_unique<uint16_t[]>(size / 2);
      code[0] = uint16_t(op);
      for (int i = 1; i < size / 2; ++i) code[i] = 0;
      ProgramRegion fetch[] = {{kAt, kAt + size - 1, intptr_t(code.get()) - intptr_t(kAt)},
                               rig.fetch[2]};
      CpuContext c = base;
      c.fetch = c.superFetch = c.userFetch = fetch;
      c.pc = kAt;
      cpuSetContext(&c);
      const uint32_t result = cpuExec(1);
      cpuGetContext(&c);
      if (shorter) {
        ASSERT_EQ(result, cpuExecFetchFailed) << std::hex << op;
        ASSERT_EQ(c.cycleCount, 0u) << std::hex << op;
        ASSERT_EQ(c.pc, kAt) << std::hex << op;
      } else {
        // It ran (RESET without a callback ends the slice on itself).
        ASSERT_TRUE(c.cycleCount > 0 || result == kAt) << std::hex << op;
      }
    }
  }
}

// ---- results the core fixes ----

TEST(Results, Chk) {
  Rig rig;
  runOne(rig, {0x4180}, [](CpuContext& c) {  // CHK D0,D0
    c.dreg[0] = 5;
    c.sr = 0x270F;
  });
  EXPECT_EQ(rig.context.pc, kCode + 2);
  EXPECT_EQ(rig.context.sr & 0x1F, 0x00);
  runOne(rig, {0x4180}, [](CpuContext& c) { c.dreg[0] = 0xFFFF; });
  EXPECT_EQ(rig.context.pc, Rig::handlerOf(6));
  EXPECT_EQ(rig.word(Rig::kStack - 6) & 0x0F, 0x08);  // N set in the stacked SR
  EXPECT_EQ(rig.longAt(Rig::kStack - 4), kCode + 2);
}

TEST(Results, DbtSkipsItsDisplacement) {
  Rig rig;
  runOne(rig, {0x50C8, 0x0010}, [](CpuContext& c) { c.dreg[0] = 3; });
  EXPECT_EQ(rig.context.pc, kCode + 4);
  EXPECT_EQ(rig.context.dreg[0], 3u);
  EXPECT_EQ(rig.context.cycleCount, 12u);
}

TEST(Results, DecimalArithmetic) {
  Rig rig;
  runOne(rig, {0x4800}, [](CpuContext& c) { c.dreg[0] = 0x25; });  // NBCD D0
  EXPECT_EQ(rig.context.dreg[0], 0x75u);
  EXPECT_EQ(rig.context.sr & 0x11, 0x11);
  runOne(rig, {0x4800}, [](CpuContext& c) {
    c.dreg[0] = 0;
    c.sr = 0x2704;
  });
  EXPECT_EQ(rig.context.dreg[0], 0u);
  EXPECT_EQ(rig.context.sr & 0x1F, 0x04);    // C clear, Z unchanged
  runOne(rig, {0xC101}, [](CpuContext& c) {  // ABCD D1,D0
    c.dreg[0] = 0x45;
    c.dreg[1] = 0x38;
  });
  EXPECT_EQ(rig.context.dreg[0], 0x83u);
  EXPECT_EQ(rig.context.sr & 0x01, 0);
}

TEST(Results, ShiftsPastTheOperandSize) {
  Rig rig;
  runOne(rig, {0xE3A8}, [](CpuContext& c) {  // LSL.L D1,D0
    c.dreg[0] = 0x80000001;
    c.dreg[1] = 32;
  });
  EXPECT_EQ(rig.context.dreg[0], 0u);
  EXPECT_EQ(rig.context.sr & 0x11, 0x11);
  runOne(rig, {0xE3A8}, [](CpuContext& c) {
    c.dreg[0] = 0xFFFFFFFF;
    c.dreg[1] = 33;
  });
  EXPECT_EQ(rig.context.dreg[0], 0u);
  EXPECT_EQ(rig.context.sr & 0x11, 0x00);
  runOne(rig, {0xE2A0}, [](CpuContext& c) {  // ASR.L D1,D0
    c.dreg[0] = 0x80000000;
    c.dreg[1] = 40;
  });
  EXPECT_EQ(rig.context.dreg[0], 0xFFFFFFFFu);
  EXPECT_EQ(rig.context.sr & 0x11, 0x11);
  runOne(rig, {0xE370}, [](CpuContext& c) {  // ROXL.W D1,D0 by 0
    c.dreg[0] = 0x1234;
    c.dreg[1] = 64;
    c.sr = 0x2710;
  });
  EXPECT_EQ(rig.context.dreg[0], 0x1234u);
  EXPECT_EQ(rig.context.sr & 0x1F, 0x11);
}

TEST(Results, DivideOverflowLeavesTheRegister) {
  Rig rig;
  runOne(rig, {0x81C1}, [](CpuContext& c) {  // DIVS D1,D0
    c.dreg[0] = 0x80000000;
    c.dreg[1] = 0xFFFF;
  });
  EXPECT_EQ(rig.context.dreg[0], 0x80000000u);
  EXPECT_EQ(rig.context.sr & 0x0F, 0x02);
}

TEST(Results, MovesAndStackSteps) {
  Rig rig;
  runOne(rig, {0x1009}, [](CpuContext& c) { c.areg[1] = 0x12345678; });  // MOVE.B A1,D0
  EXPECT_EQ(rig.context.dreg[0] & 0xFF, 0x78u);
  runOne(rig, {0x48E0, 0x8080}, [](CpuContext& c) {  // MOVEM.L D0/A0,-(A0)
    c.areg[0] = Rig::kRam + 0x100;
    c.dreg[0] = 0x11111111;
  });
  EXPECT_EQ(rig.context.areg[0], Rig::kRam + 0xF8);
  EXPECT_EQ(rig.longAt(Rig::kRam + 0xF8), 0x11111111u);
  EXPECT_EQ(rig.longAt(Rig::kRam + 0xFC), Rig::kRam + 0x100);  // A0 as it was
  runOne(rig, {0x101F});                                       // MOVE.B (A7)+,D0
  EXPECT_EQ(rig.context.areg[7], Rig::kStack + 2);
}

TEST(Results, BranchWithDisplacementFF) {
  Rig rig;
  runOne(rig, {0x60FF});  // BRA.S -1
  EXPECT_EQ(rig.context.pc, kCode + 1);
}

// ---- costs ----

struct CostCase {
  const char* what;
  std::vector<uint16_t> code;
  Setup setup;
  uint32_t cycles;
};

TEST(Costs, InstructionForms) {
  const uint32_t ram = Rig::kRam;
  const CostCase cases[] = {
      {"MOVE.L (A0),-(A1)", {0x2310}, [&](CpuContext& c) { c.areg[0] = c.areg[1] = ram + 8; }, 20},
      {"MOVE.W #1,abs.L", {0x33FC, 1, 0x0010, 0}, {}, 20},
      {"MOVE.B D0,D1", {0x1200}, {}, 4},
      {"ADD.L #1,D0", {0xD0BC, 0, 1}, {}, 16},
      {"ADD.L D1,D0", {0xD081}, {}, 8},
      {"ADD.L (A0),D0", {0xD090}, [&](CpuContext& c) { c.areg[0] = ram; }, 14},
      {"CMP.L #1,D0", {0xB0BC, 0, 1}, {}, 14},
      {"CLR.B (A0)", {0x4210}, [&](CpuContext& c) { c.areg[0] = ram; }, 10},
      {"CLR.L D0", {0x4280}, {}, 8},
      {"MULU #$FFFF", {0xC0C1}, [](CpuContext& c) { c.dreg[1] = 0xFFFF; }, 70},
      {"MULU #0", {0xC0C1}, {}, 38},
      {"MULS #$5555", {0xC1C1}, [](CpuContext& c) { c.dreg[1] = 0x5555; }, 70},
      {"MULS #0", {0xC1C1}, {}, 38},
      {"LSL.L by 64", {0xE3A8}, [](CpuContext& c) { c.dreg[1] = 64; }, 8},
      {"LSL.L by 63", {0xE3A8}, [](CpuContext& c) { c.dreg[1] = 63; }, 134},
      {"MOVEM.L D0-D7/A0-A6,-(A7)", {0x48E7, 0xFFFE}, {}, 128},
      {"DBRA expired", {0x51C8, 0x0010}, {}, 14},
      {"DBRA taken", {0x51C8, 0x0010}, [](CpuContext& c) { c.dreg[0] = 5; }, 10},
      {"BNE.W not taken", {0x6600, 0x0010}, [](CpuContext& c) { c.sr |= 4; }, 12},
      {"BNE.W taken", {0x6600, 0x0010}, {}, 10},
      {"BNE.S not taken", {0x6610}, [](CpuContext& c) { c.sr |= 4; }, 8},
      {"NOP", {0x4E71}, {}, 4},
      {"EXG", {0xC141}, {}, 6},
      {"JSR (A0)", {0x4E90}, [&](CpuContext& c) { c.areg[0] = kCode; }, 16},
      {"RTS", {0x4E75}, [&](CpuContext& c) { c.areg[7] = ram; }, 16},
      {"LEA abs.L", {0x41F9, 0, 0}, {}, 12},
      {"PEA d16(A0)", {0x4868, 0}, {}, 16},
      {"TRAPV not taken", {0x4E76}, {}, 4},
      {"TRAPV taken", {0x4E76}, [](CpuContext& c) { c.sr |= 2; }, 38},
      {"Scc true register", {0x50C0}, {}, 6},
      {"Scc false register", {0x51C0}, {}, 4},
      {"DIVU D1,D0", {0x80C1}, [](CpuContext& c) { c.dreg[1] = 3; }, 133},
      {"DIVS D1,D0", {0x81C1}, [](CpuContext& c) { c.dreg[1] = 3; }, 150},
      {"TST.L (A0)", {0x4A90}, [&](CpuContext& c) { c.areg[0] = ram; }, 12},
  };
  Rig rig;
  for (const CostCase& k : cases) {
    rig.load({});
    rig.set(kCode, {});
    uint32_t a = kCode;
    for (uint16_t w : k.code) {
      rig.set(a, {w});
      a += 2;
    }
    rig.reset();
    cpuGetContext(&rig.context);
    rig.context.cycleCount = 0;
    if (k.setup) k.setup(rig.context);
    rig.push();
    rig.run(1);
    EXPECT_EQ(rig.context.cycleCount, k.cycles) << k.what;
  }
}

}  // namespace
