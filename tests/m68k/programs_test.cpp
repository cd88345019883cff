// Real 68000 programs on the core: one assembled at test time with the GNU
// cross tools, and the shared benchmark workload, each checked by figures it
// leaves in RAM.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "m68k/cpu.h"
#include "tests/support/m68k_program.h"

namespace {

constexpr DataRegion kEnd{cpuTableEnd, cpuTableEnd, nullptr, nullptr};

// ROM at 0, 64 KiB of RAM at 0x100000 in both modes and 1 KiB at 0x200000
// that only the supervisor maps; the image in the core's host word order.
struct Board {
  std::vector<uint16_t> rom, ram = std::vector<uint16_t>(0x8000),
                             sup = std::vector<uint16_t>(0x200);
  std::vector<ProgramRegion> fetch;
  std::vector<DataRegion> superRead, superWrite, userRead, userWrite;
  CpuContext c{};

  explicit Board(const support::Bytes& image, uint32_t romSize) : rom(romSize / 2) {
    for (size_t i = 0; i < image.size(); ++i) rom[i / 2] |= uint16_t(image[i] << (i & 1 ? 0 : 8));
    const DataRegion r{0, romSize - 1, nullptr, rom.data()},
        m{0x100000, 0x10FFFF, nullptr, ram.data()}, s{0x200000, 0x2003FF, nullptr, sup.data()};
    fetch = {{0, romSize - 1, intptr_t(rom.data())},
             {0x100000, 0x10FFFF, intptr_t(ram.data()) - 0x100000},
             {cpuTableEnd, cpuTableEnd, 0}};
    superRead = {r, m, s, kEnd}, superWrite = {m, s, kEnd}, userRead = {r, m, kEnd},
    userWrite = {m, kEnd};
    c.superFetch = c.userFetch = fetch.data();
    c.superReadByte = c.superReadWord = superRead.data();
    c.superWriteByte = c.superWriteWord = superWrite.data();
    c.userReadByte = c.userReadWord = userRead.data();
    c.userWriteByte = c.userWriteWord = userWrite.data();
    EXPECT_EQ(cpuInit(), 0);
    cpuSetContext(&c);
    EXPECT_EQ(cpuReset(), cpuResetStarted);
  }
  uint32_t at(uint32_t offset) { return uint32_t(ram[offset / 2]) << 16 | ram[offset / 2 + 1]; }
  // One slice; the counter grows by what the call charged, at least the budget.
  void slice(int32_t budget) {
    const uint32_t before = cpuReadCycleCount();
    ASSERT_EQ(cpuExec(budget), cpuExecBudgetUsed);
    cpuGetContext(&c);
    EXPECT_GE(c.cycleCount - before, uint32_t(budget));
    EXPECT_EQ(cpuReadPc(), c.pc);
  }
};

TEST(Programs, UserModeWithTrapsAndInterrupts) {
  std::string error;
  const support::Bytes image =
      support::assembleM68k(std::string(SB_SOURCE_DIR) + "/tests/m68k/programs/usermode.s", error);
  if (image.empty() && error.find("not found") != std::string::npos) GTEST_SKIP() << error;
  ASSERT_FALSE(image.empty()) << error;
  Board b(image, 0x10000);
  enum {
    kMarker = 0,
    kPhase = 4,
    kCount = 8,
    kVec64 = 0x28,
    kUser = 0x2C,
    kSum = 0x30,
    kPriv = 0x34,
    kIter = 0x38,
    kBad = 0x3C,
    kSnap = 0x40
  };
  // In user mode the host raises levels 1 to 6 in turn between slices, until
  // 40 are recorded: level 4 through vector 64, every other level 2 spurious.
  uint32_t raised[8] = {}, vec64 = 0, recorded = 0;
  for (uint32_t k = 0; k < 3000 && b.at(kPhase) == 0; ++k) {
    const int32_t level = int32_t(1 + k % 6);
    const int32_t vector = level == 4                  ? 64
                           : level == 2 && k % 12 == 1 ? cpuSpuriousVector
                                                       : cpuAutovector;
    if (recorded < 40 && cpuInterrupt(level, vector) == cpuInterruptRecorded) {
      ++recorded;
      ++(vector == 64 ? vec64 : raised[vector == cpuSpuriousVector ? 0 : level]);
    }
    b.slice(1500);
  }
  ASSERT_EQ(b.at(kPhase), 1u) << "still in user mode";
  // Mask 7: level 3 waits, level 7 is taken; STOP then waits for level 5.
  EXPECT_EQ(cpuInterrupt(3, cpuAutovector), cpuInterruptRecorded);
  for (int i = 0; i < 3; ++i) b.slice(1500);
  EXPECT_EQ(cpuInterrupt(7, cpuAutovector), cpuInterruptRecorded);
  for (int i = 0; i < 5 && !(b.c.interrupts[0] & 1); ++i) b.slice(1500);
  ASSERT_EQ(b.at(kPhase), 2u);
  ASSERT_EQ(b.c.interrupts[0], 1) << "stopped, nothing pending";
  const uint32_t stoppedAt = b.c.pc, before = b.c.cycleCount;
  b.slice(1500);
  EXPECT_EQ(b.c.cycleCount - before, 1500u);
  EXPECT_EQ(b.c.pc, stoppedAt);
  EXPECT_EQ(cpuInterrupt(5, cpuAutovector), cpuInterruptRecorded);
  b.slice(1500);
  ASSERT_EQ(b.at(kMarker), 0xC0DEC0DEu);
  const uint32_t iter = b.at(kIter);
  EXPECT_EQ(b.at(kBad), 0u);
  EXPECT_EQ(b.at(kSum), iter * (iter + 1) / 2);
  EXPECT_EQ(b.at(kPriv), iter / 16);
  EXPECT_GT(b.at(kUser), 0u);
  EXPECT_EQ(b.at(kVec64), vec64);
  EXPECT_EQ(b.at(kSnap), raised[3] << 16 | (raised[3] + 1)) << "level 3 only after the mask fell";
  const uint32_t counts[8] = {raised[0], raised[1],     raised[2], raised[3] + 1,
                              0,         raised[5] + 1, raised[6], 1};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(b.at(kCount + 4 * i), counts[i]) << "interrupt " << i;
}

TEST(Programs, BenchmarkWorkloadReachesItsChecksum) {
  const std::string dir = std::string(SB_SHARED_DIR) + "/bench/";
  const support::Bytes image = support::readBytes(dir + "workload.bin");
  if (image.empty()) GTEST_SKIP() << "no shared workload in " << dir;
  const uint32_t expected =
      uint32_t(std::strtoul(support::readText(dir + "expected_checksum.txt").c_str(), nullptr, 16));
  Board b(image, 0x100000);
  for (int i = 0; i < 4000 && b.at(4) != 0xC0DEC0DE && b.at(4) != 0xDEADDEAD; ++i) b.slice(204800);
  ASSERT_EQ(b.at(4), 0xC0DEC0DEu);
  EXPECT_EQ(b.at(0), expected);
}

}  // namespace
