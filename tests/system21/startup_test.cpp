// Start-up of both processors, the start-up listing, the frame loop and the
// end-of-run lines.
#include <gtest/gtest.h>

#include "driver/driver.h"
#include "log_capture.h"
#include "m68k/disasm/disasm.h"
#include "system21/system21.h"
#include "tests/system21/rom_builder.h"

namespace {

class Startup : public ::testing::Test {
 protected:
  LogCapture log;
  void SetUp() override {
    masterCodeRom.assign(0x100000, 0);
    slaveCodeRom.assign(0x100000, 0);
    collisionRom.assign(0x200000, 0);
  }
  void build() { buildMachineFromRegions(); }
  // Each processor: reset vectors, a main program that unmasks interrupts
  // and spins, and a level-1 handler that counts in work RAM.
  static void countingProgram(std::vector<uint8_t>& rom, uint32_t stack) {
    putLong(rom, 0, stack);
    putLong(rom, 4, 0x400);
    putLong(rom, 25 * 4, 0x500);
    putCode(rom, 0x400, {opMoveToSr, 0x2000, opBraSelf});
    putCode(rom, 0x500, {opAddqW1Abs, 0x0010, 0x0000, opRte});
  }
  static uint16_t workWord(const std::vector<uint8_t>& ram) {
    return static_cast<uint16_t>(ram[0] | ram[1] << 8);
  }
};

TEST_F(Startup, ResetTakesEachProcessorsOwnVectorsAndLogsThem) {
  putLong(masterCodeRom, 0, 0x00103ff0);
  putLong(masterCodeRom, 4, 0x00000400);
  putLong(slaveCodeRom, 0, 0x0013fff0);
  putLong(slaveCodeRom, 4, 0x000068aa);
  build();
  EXPECT_EQ(startCpus(), 1);
  EXPECT_EQ(machine.slaveRunning, 1);
  EXPECT_EQ(machine.cpu1Context.pc, 0x400u);
  EXPECT_EQ(machine.cpu1Context.areg[7], 0x103ff0u);
  EXPECT_EQ(machine.cpu2Context.pc, 0x68aau);
  EXPECT_EQ(log.text(),
            "system21: M68000 cpu 1 entry point @ 0x000400\n"
            "system21: M68000 cpu 1 stack @ 0x103ff0\n"
            "system21: M68000 cpu 2 entry point @ 0x0068aa\n"
            "system21: M68000 cpu 2 stack @ 0x13fff0\n");
}

TEST_F(Startup, AFailedResetStopsAtThatProcessor) {
  putLong(masterCodeRom, 0, 0x00103ff0);
  putLong(masterCodeRom, 4, 0x00000401);  // odd: the processor halts
  putLong(slaveCodeRom, 4, 0x00000400);
  build();
  EXPECT_EQ(startCpus(), 0);
  EXPECT_EQ(log.text(), "");
  EXPECT_EQ(machine.cpu2Context.pc, 0u);  // never reset
}

TEST_F(Startup, ListingShowsVectorsAndBothCodeStretches) {
  for (uint32_t i = 0; i < 128; i++) putLong(masterCodeRom, 4 * i, 0x01020300 + i);
  for (uint32_t a = 0x1000; a < 0x1200; a += 2) putWord(masterCodeRom, a, opNop);
  // MOVE.L #imm,D0 starting just below the end is listed whole.
  putCode(masterCodeRom, 0x11fe, {0x203c, 0x1234, 0x5678});
  for (uint32_t a = 0x68aa; a < 0x6b00; a += 2) putWord(slaveCodeRom, a, opBraSelf);
  build();
  logStartupDiagnostics();
  std::string expected;
  char line[128];
  for (int i = 0; i < 128; i++) {
    snprintf(line, sizeof line, "int %2i: 0x%.8x\n", i, 0x01020300 + i);
    expected += line;
  }
  expected += "cpu1:\n";
  for (uint32_t a = 0x1000; a < 0x11fe; a += 2) {
    snprintf(line, sizeof line, "0x%.6x NOP\n", a);
    expected += line;
  }
  char text[disasmLineSize];
  const uint16_t moveWords[] = {0x203c, 0x1234, 0x5678};
  ASSERT_EQ(disassemble68k(moveWords, text, 0x11fe), 6);
  expected += std::string("0x0011fe ") + text + "\n";
  expected += "cpu2:\n";
  for (uint32_t a = 0x68aa; a < 0x6b00; a += 2) {
    const uint16_t w = opBraSelf;
    disassemble68k(&w, text, a);
    snprintf(line, sizeof line, "0x%.6x %s\n", a, text);
    expected += line;
  }
  EXPECT_EQ(log.text(), expected);
  EXPECT_NE(expected.find("int  9: 0x01020309\nint 10: 0x0102030a\n"), std::string::npos);
}

TEST_F(Startup, ListingReadsOnlyTheLoadedImage) {
  masterCodeRom.assign(0x1004, 0);
  putCode(masterCodeRom, 0x1000, {opNop, 0x203c});  // MOVE.L #imm,D0 cut off by the image end
  slaveCodeRom.assign(0x10, 0);
  build();
  logStartupDiagnostics();
  std::string text = log.text();
  EXPECT_NE(text.find("cpu1:\n0x001000 NOP\n0x001002 DC.W     $203C\n0x001004 DC.W     $0\n"),
            std::string::npos);
  EXPECT_NE(text.find("cpu2:\n0x0068aa DC.W     $0\n0x0068ac DC.W     $0\n"), std::string::npos);
  EXPECT_NE(text.find("0x0011fe DC.W     $0\ncpu2:\n"), std::string::npos);
}

TEST_F(Startup, FrameInterruptIsTakenAtTheStartOfTheNextShare) {
  countingProgram(masterCodeRom, 0x10fff0);
  countingProgram(slaveCodeRom, 0x13fff0);
  build();
  ASSERT_EQ(startCpus(), 1);
  runFrame();  // the spin loop runs out its budget: the frame still ends
  EXPECT_EQ(workWord(machine.masterWorkRam), 0);
  EXPECT_EQ(workWord(machine.slaveWorkRam), 0);
  runFrame();
  EXPECT_EQ(workWord(machine.masterWorkRam), 1);
  EXPECT_EQ(workWord(machine.slaveWorkRam), 1);
  machine.slaveRunning = 0;
  runFrame();
  EXPECT_EQ(workWord(machine.masterWorkRam), 2);
  EXPECT_EQ(workWord(machine.slaveWorkRam), 1);
  EXPECT_EQ(machine.cpu1Context.pc, 0x404u);
}

TEST_F(Startup, EveryFrameRunsTheWholeBudget) {
  countingProgram(masterCodeRom, 0x10fff0);
  countingProgram(slaveCodeRom, 0x13fff0);
  build();
  ASSERT_EQ(startCpus(), 1);
  uint32_t before1 = machine.cpu1Context.cycleCount;
  uint32_t before2 = machine.cpu2Context.cycleCount;
  for (int i = 0; i < 3; i++) runFrame();
  // A budget may overrun by the last instruction's cost only.
  EXPECT_GE(machine.cpu1Context.cycleCount - before1, 3u * cyclesPerFrame);
  EXPECT_LT(machine.cpu1Context.cycleCount - before1, 3u * cyclesPerFrame + 3 * 200);
  EXPECT_GE(machine.cpu2Context.cycleCount - before2, 3u * cyclesPerFrame);
}

TEST_F(Startup, EndOfRunDumpAndStopLines) {
  countingProgram(masterCodeRom, 0x10fff0);
  countingProgram(slaveCodeRom, 0x13fff0);
  build();
  ASSERT_EQ(startCpus(), 1);
  // The 68000 byte at offset a of an area lies at host offset a ^ 1.
  auto put = [](uint32_t a, uint8_t value) { machine.sharedRamA[a ^ 1] = value; };
  put(0, 0x41);
  put(1, 0x00);
  put(2, 0x42);
  put(3, 0x7f);
  put(255, 0x1f);
  put(256, 0x43);  // past the dump
  size_t before = log.text().size();
  logEndOfRun();
  std::string dump = "A B\x7f" + std::string(252, ' ') + "\n";
  EXPECT_EQ(log.text().substr(before), dump +
                                           "system21: 68000 cpu 1 stopped @ 0x000400\n"
                                           "system21: 68000 cpu 2 stopped @ 0x000400\n");
}

}  // namespace
