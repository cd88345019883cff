// The board's memory maps: table order, areas, handlers and the catch-all.
#include <gtest/gtest.h>

#include "driver/driver.h"
#include "log_capture.h"
#include "system21/system21.h"
#include "tests/system21/bus.h"

namespace {

// 68000 image of n bytes whose byte at A is (A * 7 + seed) & 0xff.
std::vector<uint8_t> patternImage(size_t n, int seed) {
  std::vector<uint8_t> image(n);
  for (size_t a = 0; a < n; a++) image[a ^ 1] = static_cast<uint8_t>(a * 7 + seed);
  return image;
}

class MachineMaps : public ::testing::Test {
 protected:
  LogCapture log;
  Bus cpu1{machine.cpu1Map};
  Bus cpu2{machine.cpu2Map};

  void SetUp() override {
    masterCodeRom = patternImage(0x100000, 1);
    slaveCodeRom = patternImage(0x100000, 2);
    collisionRom = patternImage(0x200000, 3);
    std::fill(std::begin(controlRegisters), std::end(controlRegisters), 0);
    buildMachineFromRegions();
  }
  size_t lines() const {
    std::string t = log.text();
    return static_cast<size_t>(std::count(t.begin(), t.end(), '\n'));
  }
};

struct Range {
  uint32_t low, high;
};
std::vector<Range> ranges(const DataTable& t) {
  std::vector<Range> out;
  for (const DataRegion& r : t.entries) out.push_back({r.lowAddress, r.highAddress});
  return out;
}
std::vector<Range> ranges(const ProgramTable& t) {
  std::vector<Range> out;
  for (const ProgramRegion& r : t.entries) out.push_back({r.lowAddress, r.highAddress});
  return out;
}
void expectRanges(const std::vector<Range>& actual, std::vector<Range> expected, uint16_t count) {
  expected.push_back({cpuTableEnd, cpuTableEnd});
  ASSERT_EQ(actual.size(), expected.size());
  EXPECT_EQ(count, expected.size());
  for (size_t i = 0; i < expected.size(); i++) {
    EXPECT_EQ(actual[i].low, expected[i].low) << "entry " << i;
    EXPECT_EQ(actual[i].high, expected[i].high) << "entry " << i;
  }
}

TEST_F(MachineMaps, TablesHoldTheRowsInMapOrder) {
  const CpuMap& m1 = machine.cpu1Map;
  expectRanges(ranges(m1.fetch),
               {{0x000000, 0x0fffff},
                {0x100000, 0x10ffff},
                {0x180000, 0x183fff},
                {0x200000, 0x20ffff},
                {0x480000, 0x4807ff},
                {0x800000, 0x8fffff},
                {0xd00000, 0xdfffff},
                {0x900000, 0x90ffff},
                {0xa00000, 0xa00fff},
                {0xb00000, 0xb03fff}},
               m1.fetch.count);
  expectRanges(ranges(m1.readWord),
               {{0x000000, 0x0fffff},
                {0x100000, 0x10ffff},
                {0x180000, 0x183fff},
                {0x1c0000, 0x1fffff},
                {0x200000, 0x20ffff},
                {0x440000, 0x440001},
                {0x480000, 0x4807ff},
                {0x700000, 0x760001},
                {0x800000, 0x8fffff},
                {0xd00000, 0xdfffff},
                {0x900000, 0x90ffff},
                {0xa00000, 0xa00fff},
                {0xb00000, 0xb03fff},
                {0x000000, 0xffffff}},
               m1.readWord.count);
  expectRanges(ranges(m1.writeByte),
               {{0x100000, 0x10ffff},
                {0x180000, 0x183fff},
                {0x1c0000, 0x1fffff},
                {0x200000, 0x20ffff},
                {0x400000, 0x40ffff},
                {0x440000, 0x47ffff},
                {0x480000, 0x4807ff},
                {0x700000, 0x760001},
                {0x900000, 0x90ffff},
                {0xa00000, 0xa00fff},
                {0xb00000, 0xb03fff},
                {0x000000, 0xffffff}},
               m1.writeByte.count);
  const CpuMap& m2 = machine.cpu2Map;
  expectRanges(ranges(m2.fetch),
               {{0x000000, 0x0fffff},
                {0x100000, 0x13ffff},
                {0x200000, 0x20ffff},
                {0x800000, 0x8fffff},
                {0xd00000, 0xdfffff},
                {0x900000, 0x90ffff},
                {0xa00000, 0xa00fff}},
               m2.fetch.count);
  expectRanges(ranges(m2.readByte),
               {{0x000000, 0x0fffff},
                {0x100000, 0x13ffff},
                {0x1c0000, 0x1fffff},
                {0x200000, 0x20ffff},
                {0x700000, 0x760001},
                {0x800000, 0x8fffff},
                {0xd00000, 0xdfffff},
                {0x900000, 0x90ffff},
                {0xa00000, 0xa00fff},
                {0x000000, 0xffffff}},
               m2.readByte.count);
  expectRanges(ranges(m2.writeWord),
               {{0x100000, 0x13ffff},
                {0x1c0000, 0x1fffff},
                {0x200000, 0x20ffff},
                {0x700000, 0x760001},
                {0x900000, 0x90ffff},
                {0xa00000, 0xa00fff},
                {0x000000, 0xffffff}},
               m2.writeWord.count);
}

TEST_F(MachineMaps, AppendWritesOverTheEndMarkerAndReturnsTheIndex) {
  initRegionTables();
  EXPECT_EQ(machine.cpu2Map.readByte.count, 1);
  EXPECT_EQ(machine.cpu2Map.readByte.entries[0].lowAddress, cpuTableEnd);
  int marker = 0;
  EXPECT_EQ(appendCpu2ReadByte(0x10, 0x1f, nullptr, &marker), 0);
  EXPECT_EQ(appendCpu2ReadByte(0x20, 0x2f, nullptr, &marker), 1);
  const DataTable& t = machine.cpu2Map.readByte;
  ASSERT_EQ(t.count, 3);
  ASSERT_EQ(t.entries.size(), 3u);
  EXPECT_EQ(t.entries[1].lowAddress, 0x20u);
  EXPECT_EQ(t.entries[2].lowAddress, cpuTableEnd);
  EXPECT_EQ(t.entries[2].highAddress, cpuTableEnd);
  EXPECT_EQ(t.entries[2].handler, nullptr);
  EXPECT_EQ(t.entries[2].memory, nullptr);
  EXPECT_EQ(appendCpu1Program(0x0, 0xff, 1234), 0);
  EXPECT_EQ(machine.cpu1Map.fetch.entries[0].offset, 1234);
  EXPECT_EQ(machine.cpu1Map.fetch.entries[1].lowAddress, cpuTableEnd);
}

TEST_F(MachineMaps, ContextsShareOneMapForBothModes) {
  for (const auto& [context, map] : {std::pair{&machine.cpu1Context, &machine.cpu1Map},
                                     std::pair{&machine.cpu2Context, &machine.cpu2Map}}) {
    EXPECT_EQ(context->superFetch, map->fetch.entries.data());
    EXPECT_EQ(context->userFetch, map->fetch.entries.data());
    EXPECT_EQ(context->superReadByte, map->readByte.entries.data());
    EXPECT_EQ(context->userReadWord, map->readWord.entries.data());
    EXPECT_EQ(context->superWriteByte, context->userWriteByte);
    EXPECT_EQ(context->superWriteWord, map->writeWord.entries.data());
    EXPECT_EQ(context->fetch, nullptr);
    EXPECT_EQ(context->readByte, nullptr);
    EXPECT_EQ(context->resetHandler, &resetHandler);
    EXPECT_EQ(context->pc, 0u);
    EXPECT_EQ(context->sr, 0u);
  }
}

TEST_F(MachineMaps, RomsAreReadAndFetchedInTheirOwnByteOrder) {
  EXPECT_EQ(cpu1.readByte(0x000003), (3 * 7 + 1) & 0xffu);
  EXPECT_EQ(cpu2.readByte(0x000003), (3 * 7 + 2) & 0xffu);
  EXPECT_EQ(cpu1.readWord(0x000010), ((0x10 * 7 + 1) & 0xff) << 8 | ((0x11 * 7 + 1) & 0xff));
  EXPECT_EQ(cpu1.fetch(0x000010), masterCodeRom.data() + 0x10);
  EXPECT_EQ(cpu2.fetch(0x0ffffe), slaveCodeRom.data() + 0xffffe);
  EXPECT_EQ(cpu1.fetch(0x700000), nullptr);  // video RAM cannot be executed from
  EXPECT_EQ(cpu2.fetch(0x480000), nullptr);
}

TEST_F(MachineMaps, RomWriteIsLoggedAndDropped) {
  cpuSetContext(&machine.cpu1Context);  // PC 0 before any reset
  uint32_t before = cpu1.readByte(0x000100);
  cpu1.writeByte(0x000100, 0x55);
  cpu1.writeWord(0x800000, 0x00ab);
  EXPECT_EQ(cpu1.readByte(0x000100), before);
  EXPECT_EQ(log.text(),
            "system21(cpu1): unknown byte write at 0x000100 (PC=0x000000)\n"
            "system21(cpu1): unknown word 0x00ab write at 0x800000 (PC=0x000000)\n");
}

TEST_F(MachineMaps, CatchAllLinesNameProcessorAccessAndPc) {
  machine.cpu1Context.pc = 0x1234;
  cpuSetContext(&machine.cpu1Context);
  EXPECT_EQ(cpu1.readByte(0x600001), 0xffu);
  EXPECT_EQ(cpu1.readWord(0x600002), 0xffffu);
  cpu1.writeByte(0x600003, 0x12);
  cpu1.writeWord(0x600004, 0xbeef);
  machine.cpu2Context.pc = 0xabcdef;
  cpuSetContext(&machine.cpu2Context);
  EXPECT_EQ(cpu2.readByte(0x180000), 0xffu);
  EXPECT_EQ(cpu2.readWord(0xb00000), 0xffffu);
  cpu2.writeByte(0x000001, 0x12);
  cpu2.writeWord(0x400000, 0x0001);
  EXPECT_EQ(log.text(),
            "system21(cpu1): unknown byte read at 0x600001 (PC=0x001234)\n"
            "system21(cpu1): unknown word read at 0x600002 (PC=0x001234)\n"
            "system21(cpu1): unknown byte write at 0x600003 (PC=0x001234)\n"
            "system21(cpu1): unknown word 0xbeef write at 0x600004 (PC=0x001234)\n"
            "system21(cpu2): unknown byte read at 0x180000 (PC=0xabcdef)\n"
            "system21(cpu2): unknown word read at 0xb00000 (PC=0xabcdef)\n"
            "system21(cpu2): unknown byte write at 0x000001 (PC=0xabcdef)\n"
            "system21(cpu2): unknown word 0x0001 write at 0x400000 (PC=0xabcdef)\n");
}

TEST_F(MachineMaps, StatusWordAndWriteOnlyAreas) {
  EXPECT_EQ(cpu1.readWord(0x440000), 1u);
  EXPECT_EQ(cpu1.readByte(0x440001), 1u);
  EXPECT_EQ(lines(), 0u);
  cpu1.writeWord(0x440002, 0x5678);
  EXPECT_EQ(lines(), 0u);
  uint16_t stored;
  std::memcpy(&stored, machine.writeOnlyRamB.data() + 2, 2);
  EXPECT_EQ(stored, 0x5678);
  EXPECT_EQ(cpu1.readWord(0x440002), 0xffffu);
  EXPECT_EQ(lines(), 1u);
  cpu1.writeByte(0x400010, 0x99);
  EXPECT_EQ(machine.writeOnlyRamA[0x10 ^ 1], 0x99);
  EXPECT_EQ(cpu1.readByte(0x400010), 0xffu);
  EXPECT_EQ(cpu1.readWord(0x40fffe), 0xffffu);
  EXPECT_EQ(lines(), 3u);
}

TEST_F(MachineMaps, ControlRegistersAreSharedAndKeepThreeBits) {
  cpu1.writeWord(0x1c2000, 0x1234);
  EXPECT_EQ(cpu2.readWord(0x1c2000), 4u);
  EXPECT_EQ(cpu2.readWord(0x1c3ffe), 4u);  // one register for the whole 8 KB
  cpu2.writeByte(0x1c0001, 0xff);
  EXPECT_EQ(cpu1.readWord(0x1c0000), 7u);
  EXPECT_EQ(controlRegisters[0], 7);
  // Register 16's window, 0x1e0000-0x1e1fff, reads all ones whatever was
  // written; the next window reads its register again.
  cpu1.writeWord(0x1e0000, 3);
  EXPECT_EQ(controlReadWord(0x1e0000, nullptr), 0xffffffffu);
  EXPECT_EQ(cpu1.readWord(0x1e1ffe), 0xffffu);
  EXPECT_EQ(controlRegisters[16], 3);
  cpu1.writeWord(0x1e2000, 2);
  EXPECT_EQ(cpu2.readWord(0x1e2000), 2u);
  // A byte read ORs the words at the address and the next one: across the
  // end of a window it sees two registers.
  cpu1.writeWord(0x1c0000, 1);
  cpu1.writeWord(0x1c2000, 4);
  EXPECT_EQ(cpu1.readByte(0x1c1fff), 5u);
  EXPECT_EQ(cpu1.readByte(0x1c1ffe), 1u);
  EXPECT_EQ(cpu2.readByte(0x1dffff), 0xffu);  // next window is 0x1e0000
  EXPECT_EQ(lines(), 0u);
}

TEST_F(MachineMaps, SharedAreasAreSeenByBothProcessors) {
  const uint32_t shared[] = {0x200000, 0x20fffe, 0x700000, 0x760000, 0x900000, 0xa00000, 0xa00ffe};
  uint16_t value = 0x1111;
  for (uint32_t a : shared) {
    cpu1.writeWord(a, value);
    EXPECT_EQ(cpu2.readWord(a), value) << std::hex << a;
    cpu2.writeByte(a + 1, 0x42);
    EXPECT_EQ(cpu1.readByte(a + 1), 0x42u) << std::hex << a;
    value += 0x1111;
  }
  EXPECT_EQ(lines(), 0u);
  // Video RAM cannot be fetched from but is read as data by both.
  uint16_t w;
  std::memcpy(&w, machine.videoRam.data(), 2);
  EXPECT_EQ(w, 0x3342);  // the word written at 0x700000, low byte 0x42
}

TEST_F(MachineMaps, CollisionWindowsShowBothHalvesOfTheDataRom) {
  EXPECT_EQ(cpu1.readByte(0x800000), collisionRom[1]);
  EXPECT_EQ(cpu1.readByte(0xd00000), collisionRom[0x100001]);
  EXPECT_EQ(cpu2.readByte(0xd00000), collisionRom[0x100001]);
  EXPECT_EQ(cpu2.readWord(0xdffffe),
            static_cast<uint32_t>(collisionRom[0x1fffff] << 8 | collisionRom[0x1ffffe]));
  EXPECT_EQ(cpu1.fetch(0xd00000), collisionRom.data() + 0x100000);
  cpu2.writeByte(0xd00000, 0);  // read-only: reaches the catch-all
  EXPECT_EQ(cpu2.readByte(0xd00000), collisionRom[0x100001]);
  EXPECT_EQ(lines(), 1u);
}

TEST_F(MachineMaps, SharedRamCIsClearAfterABuildAndStaticAreasAreKept) {
  cpu1.writeWord(0xa00000, 0xffff);
  cpu1.writeWord(0x480000, 0xbeef);
  cpu1.writeWord(0xb03ffe, 0xcafe);
  cpu2.writeWord(0x1c4000, 6);
  buildMachineFromRegions();
  for (uint32_t a = 0xa00000; a < 0xa01000; a += 2) ASSERT_EQ(cpu2.readWord(a), 0u);
  EXPECT_EQ(cpu1.readWord(0x480000), 0xbeefu);
  EXPECT_EQ(cpu1.readWord(0xb03ffe), 0xcafeu);
  EXPECT_EQ(cpu1.readWord(0x1c4000), 6u);
  cpu1.writeWord(0x480000, 0);
  cpu1.writeWord(0xb03ffe, 0);
  controlRegisters[2] = 0;
}

TEST_F(MachineMaps, SmallImagesAreExtendedWithZerosToTheirWindows) {
  masterCodeRom = patternImage(0x400, 1);
  slaveCodeRom.clear();
  collisionRom = patternImage(0x10, 3);
  buildMachineFromRegions();
  EXPECT_EQ(machine.masterCodeSize, 0x400u);
  EXPECT_EQ(machine.slaveCodeSize, 0u);
  EXPECT_EQ(machine.collisionSize, 0x10u);
  EXPECT_EQ(masterCodeRom.size(), 0x100000u);
  EXPECT_EQ(collisionRom.size(), 0x200000u);
  EXPECT_EQ(cpu1.readByte(0x0003ff), (0x3ff * 7 + 1) & 0xffu);
  EXPECT_EQ(cpu1.readWord(0x000400), 0u);
  EXPECT_EQ(cpu1.readWord(0x0ffffe), 0u);
  EXPECT_EQ(cpu2.readWord(0x0ffffe), 0u);
  EXPECT_EQ(cpu2.readWord(0xdffffe), 0u);
  EXPECT_EQ(cpu1.readByte(0x80000f), (0xf * 7 + 3) & 0xffu);
  EXPECT_EQ(lines(), 0u);
}

}  // namespace
