// The board's memory maps, listed entry by entry against the committed
// listing, and what the handlers answer and log.
#include <gtest/gtest.h>

#include <span>

#include "system21/system21.h"
#include "tests/support/log_capture.h"

namespace {

const support::fs::path goldenDir = SB_GOLDEN_DIR;

// Every entry of both processors' tables, naming what answers: an area with
// the offset of the entry's first byte in it and the area's size, or a handler.
std::string mapListing() {
  using Area = std::pair<std::string, std::span<const uint8_t>>;
  std::vector<Area> areas = {{"master code", machine.game.masterCodeRom},
                             {"slave code", machine.game.slaveCodeRom},
                             {"collision data", machine.game.collisionRom}};
  for (const MemoryArea& area : memoryAreas()) areas.emplace_back(area.name, area.bytes);
#define NAMED(f) std::pair<const char*, void*>(#f, reinterpret_cast<void*>(f))
  const std::pair<const char*, void*> handlers[] = {
      NAMED(controlReadByte),    NAMED(controlReadWord),     NAMED(controlWriteByte),
      NAMED(controlWriteWord),   NAMED(statusRead),          NAMED(unknownReadByte<1>),
      NAMED(unknownReadWord<1>), NAMED(unknownWriteByte<1>), NAMED(unknownWriteWord<1>),
      NAMED(unknownReadByte<2>), NAMED(unknownReadWord<2>),  NAMED(unknownWriteByte<2>),
      NAMED(unknownWriteWord<2>)};
  std::string out;
  char line[128];
  auto entry = [&](const char* table, uint32_t low, uint32_t high, const void* memory,
                   const void* handler) {
    std::string what = "?";
    for (const auto& [name, fn] : handlers)
      if (handler != nullptr && fn == handler) what = name;
    for (const auto& [name, area] : areas) {
      const uintptr_t at =
          reinterpret_cast<uintptr_t>(memory) - reinterpret_cast<uintptr_t>(area.data());
      if (memory != nullptr && handler == nullptr && at < area.size())
        std::snprintf(line, sizeof line, "%s+%zx/%zx", name.c_str(), size_t{at}, area.size()),
            what = line;
    }
    std::snprintf(line, sizeof line, "%-10s %.6x-%.6x %s\n", table, low, high, what.c_str());
    out += low == cpuTableEnd ? std::string(table) + " end\n" : line;
  };
  for (const CpuMap* map : {&machine.cpu1Map, &machine.cpu2Map}) {
    out += map == &machine.cpu1Map ? "cpu1\n" : "cpu2\n";
    for (const ProgramRegion& r : map->fetch.entries)
      entry("fetch", r.lowAddress, r.highAddress,
            reinterpret_cast<const void*>(r.lowAddress + r.offset), nullptr);
    const char* names[] = {"readByte", "readWord", "writeByte", "writeWord"};
    const DataTable* tables[] = {&map->readByte, &map->readWord, &map->writeByte, &map->writeWord};
    for (int t = 0; t < 4; t++) {
      EXPECT_EQ(tables[t]->count, tables[t]->entries.size()) << names[t];
      for (const DataRegion& r : tables[t]->entries)
        entry(names[t], r.lowAddress, r.highAddress, r.memory, r.handler);
    }
  }
  return out;
}

// The listing is written by hand from the board's memory map, never from
// the program's output. Images shorter than their windows are extended with
// zeros to them.
TEST(Machine, MapsMatchTheListing) {
  buildMachine(GameRom{"", {}, 0, std::vector<uint8_t>(0x400, 1), {}, std::vector<uint8_t>(16)});
  EXPECT_EQ(machine.masterCodeSize + machine.slaveCodeSize + machine.collisionSize, 0x410u);
  EXPECT_EQ(mapListing(), support::readText(goldenDir / "maps.txt"));
  for (const CpuContext* c : {&machine.cpu1Context, &machine.cpu2Context})
    EXPECT_TRUE(c->superReadWord == c->userReadWord && c->resetHandler == &resetHandler);
}

// Handlers called in turn: control registers (one bank, 8 KB each, three
// bits kept), the status word and the catch-alls of both processors.
TEST(Machine, HandlersAnswerAndLog) {
  const struct {
    ReadHandler read;
    WriteHandler write;
    int cpu;
    uint32_t address, data;  // data written, or the value read
    const char* log;         // what the catch-all says between "unknown" and the PC
  } rows[] = {
      {nullptr, controlWriteWord, 1, 0x1c2000, 0x1234, ""},
      {controlReadWord, nullptr, 2, 0x1c3ffe, 4, ""},
      {nullptr, controlWriteByte, 2, 0x1c0001, 0xfb, ""},
      {controlReadWord, nullptr, 1, 0x1c0000, 3, ""},
      {controlReadByte, nullptr, 1, 0x1c1fff, 3 | 4, ""},
      {controlReadByte, nullptr, 1, 0x1c1ffe, 3, ""},
      {nullptr, controlWriteWord, 1, 0x1fe000, 5, ""},
      {controlReadWord, nullptr, 1, 0x1fffff, 5, ""},
      {nullptr, controlWriteWord, 1, 0x1e0000, 3, ""},
      {controlReadWord, nullptr, 1, 0x1e1ffe, 0xffffffff, ""},
      {controlReadWord, nullptr, 1, 0x1dfffe, 0, ""},
      {controlReadByte, nullptr, 1, 0x1dffff, 0xffffffff, ""},
      {nullptr, controlWriteWord, 1, 0x1e2000, 2, ""},
      {controlReadWord, nullptr, 1, 0x1e3ffe, 2, ""},
      {statusRead, nullptr, 1, 0x440000, 1, ""},
      {unknownReadByte<1>, nullptr, 1, 0x600001, 0xff, "byte read at 0x600001"},
      {unknownReadWord<1>, nullptr, 1, 0x440002, 0xffff, "word read at 0x440002"},
      {nullptr, unknownWriteByte<1>, 1, 0x000100, 0x12, "byte write at 0x000100"},
      {nullptr, unknownWriteWord<1>, 1, 0x800000, 0xbeef, "word 0xbeef write at 0x800000"},
      {unknownReadByte<2>, nullptr, 2, 0x180000, 0xff, "byte read at 0x180000"},
      {unknownReadWord<2>, nullptr, 2, 0xb00000, 0xffff, "word read at 0xb00000"},
      {nullptr, unknownWriteByte<2>, 2, 0xd00001, 0x12, "byte write at 0xd00001"},
      {nullptr, unknownWriteWord<2>, 2, 0x400000, 0x0001, "word 0x0001 write at 0x400000"},
  };
  std::fill(std::begin(controlRegisters), std::end(controlRegisters), 0);
  beginAccessLog(defaultLogLimit);  // as a build does
  CpuContext contexts[2]{};
  contexts[0].pc = 0x1234;
  contexts[1].pc = 0xabcdef;
  const char* pcs[] = {"0x001234", "0xabcdef"};
  for (const auto& row : rows) {
    support::LogCapture log;
    cpuSetContext(&contexts[row.cpu - 1]);
    if (row.write != nullptr) row.write(row.address, row.data, nullptr);
    if (row.read != nullptr) {
      EXPECT_EQ(row.read(row.address, nullptr), row.data) << row.address;
    }
    const std::string cpu = std::to_string(row.cpu);
    EXPECT_EQ(log.text(), *row.log ? "system21(cpu" + cpu + "): unknown " + row.log +
                                         " (PC=" + pcs[row.cpu - 1] + ")\n"
                                   : "");
  }
}

}  // namespace
