// Start-up of both processors, the start-up listing of a short image, the
// frame loop and the end-of-run lines.
#include <gtest/gtest.h>

#include <initializer_list>

#include "system21/system21.h"
#include "tests/support/log_capture.h"
#include "tests/support/m68k_image.h"

namespace {

// Reset vectors (stack, entry 0x400, level-1 autovector 0x500); the main
// program unmasks interrupts and spins, the level-1 handler counts in the
// first word of work RAM.
std::vector<uint8_t> countingProgram(uint16_t stackHigh, uint16_t entryLow) {
  return support::m68kImage(0x600,
                            {{0, {stackHigh, 0xfff0, 0, entryLow}},
                             {25 * 4, {0, 0x500}},
                             {0x400, {0x46fc, 0x2000, 0x60fe}},  // MOVE #$2000,SR; BRA.S *
                             {0x500, {0x5279, 0x0010, 0x0000, 0x4e73}}});  // ADDQ.W #1,$100000; RTE
}

TEST(Run, StartUpFramesAndEndOfRun) {
  support::LogCapture log;
  buildMachine(GameRom{"", {}, 0, countingProgram(0x10, 0x400), countingProgram(0x13, 0x400), {}});
  ASSERT_EQ(startCpus(), 1);
  EXPECT_EQ(log.text(),
            "system21: M68000 cpu 1 entry point @ 0x000400\n"
            "system21: M68000 cpu 1 stack @ 0x10fff0\n"
            "system21: M68000 cpu 2 entry point @ 0x000400\n"
            "system21: M68000 cpu 2 stack @ 0x13fff0\n");
  // The interrupt raised at the end of a share is taken at the start of the
  // next one, and only a running slave takes part in the frame.
  const uint32_t cycles = machine.cpu1Context.cycleCount;
  const int expected[][2] = {{0, 0}, {1, 1}, {2, 1}};
  for (const auto& counts : expected) {
    runFrame();
    EXPECT_EQ(machine.masterWorkRam[0], counts[0]);  // the counter's low byte
    EXPECT_EQ(machine.slaveWorkRam[0], counts[1]);
    machine.slaveRunning = counts[0] == 1 ? 0 : 1;
  }
  // A share may overrun its budget by the last instruction only.
  EXPECT_GE(machine.cpu1Context.cycleCount - cycles, 3u * cyclesPerFrame);
  EXPECT_LT(machine.cpu1Context.cycleCount - cycles, 3u * cyclesPerFrame + 300);
  // The dump shows bytes below 0x20 as spaces.
  const uint8_t shared[] = {0x41, 0x00, 0x1f, 0x20, 0x7f};
  for (uint32_t a = 0; a < 5; a++) machine.sharedRamA[a ^ 1] = shared[a];
  const size_t before = log.text().size();
  logEndOfRun();
  const std::string text = log.text();
  EXPECT_EQ(text.substr(before), "A   \x7f" + std::string(251, ' ') +
                                     "\nsystem21: 68000 cpu 1 stopped @ 0x000404\n"
                                     "system21: 68000 cpu 2 stopped @ 0x000404\n"
                                     "system21(cpu1): 0 unknown accesses in 0 ranges\n"
                                     "system21(cpu2): 0 unknown accesses in 0 ranges\n");
  // A reset that fails ends start-up at that processor.
  buildMachine(GameRom{"", {}, 0, countingProgram(0x10, 0x401), countingProgram(0x13, 0x400), {}});
  EXPECT_EQ(startCpus(), 0);
  EXPECT_EQ(log.text(), text);
  EXPECT_EQ(machine.cpu2Context.pc, 0u);
}

// Only the bytes the driver loaded are read as code: an instruction cut off
// by the end of the image, and the zeros past it, are listed as words.
TEST(Run, ListingOfAShortImage) {
  support::LogCapture log;
  // NOP; MOVE.L #imm,D0 without its operand
  const std::vector<uint8_t> master = support::m68kImage(0x1004, {{0x1000, {0x4e71, 0x203c}}});
  buildMachine(GameRom{"", {}, 0, master, std::vector<uint8_t>(0x10), {}});
  logStartupDiagnostics();
  const std::string text = log.text();
  EXPECT_NE(text.find("cpu1:\n0x001000 NOP\n0x001002 DC.W     $203C\n0x001004 DC.W     $0\n"),
            std::string::npos);
  EXPECT_NE(text.find("0x0011fe DC.W     $0\ncpu2:\n0x0068aa DC.W     $0\n"), std::string::npos);
  EXPECT_TRUE(text.ends_with("0x006afe DC.W     $0\n"));
}

}  // namespace
