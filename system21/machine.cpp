// The board's memory areas and both processors' memory maps.
#include <algorithm>
#include <utility>

#include "system21/system21.h"

Machine machine;
uint16_t controlRegisters[32];
uint16_t masterStaticRamA[0x800 / 2];
uint16_t masterStaticRamB[0x4000 / 2];

namespace {

constexpr ProgramRegion programEnd{cpuTableEnd, cpuTableEnd, 0};
constexpr DataRegion dataEnd{cpuTableEnd, cpuTableEnd, nullptr, nullptr};

// ---- Tables -----------------------------------------------------------------
// The new entry takes the end marker's slot; a fresh end marker follows it.
template <typename Table, typename Entry>
int appendEntry(Table& table, const Entry& entry, const Entry& end) {
  table.entries[table.count - 1] = entry;
  table.count++;
  table.entries.resize(table.count);
  table.entries[table.count - 1] = end;
  return table.count - 2;
}

int appendProgram(ProgramTable& t, uint32_t low, uint32_t high, intptr_t offset) {
  return appendEntry(t, ProgramRegion{low, high, offset}, programEnd);
}
int appendData(DataTable& t, uint32_t low, uint32_t high, void* handler, void* memory) {
  return appendEntry(t, DataRegion{low, high, handler, memory}, dataEnd);
}

void resetMap(CpuMap& map) {
  map.fetch.entries.assign(1, programEnd);
  map.fetch.count = 1;
  for (DataTable* t : {&map.readByte, &map.readWord, &map.writeByte, &map.writeWord}) {
    t->entries.assign(1, dataEnd);
    t->count = 1;
  }
}

// ---- Map rows -----------------------------------------------------------------
// Which tables a row goes into.
enum : unsigned { P = 1, RB = 2, RW = 4, WB = 8, WW = 16 };

struct MapRow {
  uint32_t lowAddress, highAddress;
  uint8_t* memory;  // direct memory holding lowAddress, or null for handlers
  void* readByte;   // handlers when memory is null
  void* readWord;
  void* writeByte;
  void* writeWord;
  unsigned tables;
};

MapRow memoryRow(uint32_t low, uint32_t high, void* memory, unsigned tables) {
  return {low, high, static_cast<uint8_t*>(memory), nullptr, nullptr, nullptr, nullptr, tables};
}
MapRow handlerRow(uint32_t low, uint32_t high, void* rb, void* rw, void* wb, void* ww,
                  unsigned tables) {
  return {low, high, nullptr, rb, rw, wb, ww, tables};
}

void appendRows(CpuMap& to, const std::vector<MapRow>& rows) {
  for (const MapRow& row : rows) {
    if (row.tables & P) {
      appendProgram(to.fetch, row.lowAddress, row.highAddress,
                    reinterpret_cast<intptr_t>(row.memory) - static_cast<intptr_t>(row.lowAddress));
    }
    const unsigned bits[4] = {RB, RW, WB, WW};
    DataTable* tables[4] = {&to.readByte, &to.readWord, &to.writeByte, &to.writeWord};
    void* handlers[4] = {row.readByte, row.readWord, row.writeByte, row.writeWord};
    for (int i = 0; i < 4; i++) {
      if (row.tables & bits[i]) {
        appendData(*tables[i], row.lowAddress, row.highAddress, row.memory ? nullptr : handlers[i],
                   row.memory);
      }
    }
  }
}

void* fn(uint32_t (*f)(uint32_t, const DataRegion*)) {
  return reinterpret_cast<void*>(f);
}
void* fn(void (*f)(uint32_t, uint32_t, const DataRegion*)) {
  return reinterpret_cast<void*>(f);
}

// A 68000 image is extended with zeros to its whole window, so that no access
// through the window reads past the buffer; returns the bytes loaded.
size_t extendToWindow(std::vector<uint8_t>& image, size_t window) {
  size_t loaded = image.size();
  if (image.size() < window) image.resize(window, 0);
  return loaded;
}

// Every RAM area of the board, in the order saved states and the history
// hold them: the static ones keep their contents across builds, the others
// are made afresh, zeroed, at every build.
struct AreaRow {
  const char* name;
  uint16_t* staticRam;
  size_t staticSize;
  std::vector<uint8_t> Machine::*ram;
  size_t size;
};
const AreaRow areaRows[] = {
    {"master static RAM A", masterStaticRamA, sizeof masterStaticRamA, nullptr, 0},
    {"master static RAM B", masterStaticRamB, sizeof masterStaticRamB, nullptr, 0},
    {"master work RAM", nullptr, 0, &Machine::masterWorkRam, 0x10000},
    {"master local RAM", nullptr, 0, &Machine::masterLocalRam, 0x4000},
    {"slave work RAM", nullptr, 0, &Machine::slaveWorkRam, 0x40000},
    {"shared RAM A", nullptr, 0, &Machine::sharedRamA, 0x10000},
    {"shared RAM B", nullptr, 0, &Machine::sharedRamB, 0x10000},
    {"shared RAM C", nullptr, 0, &Machine::sharedRamC, 0x1000},
    {"write-only RAM A", nullptr, 0, &Machine::writeOnlyRamA, 0x10000},
    {"write-only RAM B", nullptr, 0, &Machine::writeOnlyRamB, 0x40000},
    {"video RAM", nullptr, 0, &Machine::videoRam, 0x60002},
};

void appendCpu1Map() {
  Machine& m = machine;
  const unsigned all = P | RB | RW | WB | WW;
  const unsigned data = RB | RW | WB | WW;
  appendRows(
      m.cpu1Map,
      {
          memoryRow(0x000000, 0x0fffff, m.game.masterCodeRom.data(), P | RB | RW),
          memoryRow(0x100000, 0x10ffff, m.masterWorkRam.data(), all),
          memoryRow(0x180000, 0x183fff, m.masterLocalRam.data(), all),
          handlerRow(0x1c0000, 0x1fffff, fn(controlReadByte), fn(controlReadWord),
                     fn(controlWriteByte), fn(controlWriteWord), data),
          memoryRow(0x200000, 0x20ffff, m.sharedRamA.data(), all),
          memoryRow(0x400000, 0x40ffff, m.writeOnlyRamA.data(), WB | WW),
          handlerRow(0x440000, 0x440001, fn(statusRead), fn(statusRead), nullptr, nullptr, RB | RW),
          memoryRow(0x440000, 0x47ffff, m.writeOnlyRamB.data(), WB | WW),
          memoryRow(0x480000, 0x4807ff, masterStaticRamA, all),
          memoryRow(0x700000, 0x760001, m.videoRam.data(), data),
          memoryRow(0x800000, 0x8fffff, m.game.collisionRom.data(), P | RB | RW),
          memoryRow(0xd00000, 0xdfffff, m.game.collisionRom.data() + 0x100000, P | RB | RW),
          memoryRow(0x900000, 0x90ffff, m.sharedRamB.data(), all),
          memoryRow(0xa00000, 0xa00fff, m.sharedRamC.data(), all),
          memoryRow(0xb00000, 0xb03fff, masterStaticRamB, all),
          handlerRow(0x000000, 0xffffff, fn(unknownReadByte<1>), fn(unknownReadWord<1>),
                     fn(unknownWriteByte<1>), fn(unknownWriteWord<1>), data),
      });
}

void appendCpu2Map() {
  Machine& m = machine;
  const unsigned all = P | RB | RW | WB | WW;
  const unsigned data = RB | RW | WB | WW;
  appendRows(m.cpu2Map,
             {
                 memoryRow(0x000000, 0x0fffff, m.game.slaveCodeRom.data(), P | RB | RW),
                 memoryRow(0x100000, 0x13ffff, m.slaveWorkRam.data(), all),
                 handlerRow(0x1c0000, 0x1fffff, fn(controlReadByte), fn(controlReadWord),
                            fn(controlWriteByte), fn(controlWriteWord), data),
                 memoryRow(0x200000, 0x20ffff, m.sharedRamA.data(), all),
                 memoryRow(0x700000, 0x760001, m.videoRam.data(), data),
                 memoryRow(0x800000, 0x8fffff, m.game.collisionRom.data(), P | RB | RW),
                 memoryRow(0xd00000, 0xdfffff, m.game.collisionRom.data() + 0x100000, P | RB | RW),
                 memoryRow(0x900000, 0x90ffff, m.sharedRamB.data(), all),
                 memoryRow(0xa00000, 0xa00fff, m.sharedRamC.data(), all),
                 handlerRow(0x000000, 0xffffff, fn(unknownReadByte<2>), fn(unknownReadWord<2>),
                            fn(unknownWriteByte<2>), fn(unknownWriteWord<2>), data),
             });
}

void bindContext(CpuContext& c, const CpuMap& map) {
  c = CpuContext{};
  c.superFetch = c.userFetch = map.fetch.entries.data();
  c.superReadByte = c.userReadByte = map.readByte.entries.data();
  c.superReadWord = c.userReadWord = map.readWord.entries.data();
  c.superWriteByte = c.userWriteByte = map.writeByte.entries.data();
  c.superWriteWord = c.userWriteWord = map.writeWord.entries.data();
  c.resetHandler = resetHandler;
}

}  // namespace

void buildMachine(GameRom&& rom) {
  Machine& m = machine;
  m.game = std::move(rom);
  m.builds++;
  cpuInit();
  initRegionTables();
  for (const AreaRow& row : areaRows) {
    if (row.ram != nullptr) (m.*row.ram).assign(row.size, 0);
  }
  m.masterCodeSize = extendToWindow(m.game.masterCodeRom, codeRomWindow);
  m.slaveCodeSize = extendToWindow(m.game.slaveCodeRom, codeRomWindow);
  m.collisionSize = extendToWindow(m.game.collisionRom, collisionRomWindow);
  appendCpu1Map();
  appendCpu2Map();
  bindContexts();
  m.frameNumber = 0;
  beginAccessLog(defaultLogLimit);
}

std::vector<MemoryArea> memoryAreas() {
  std::vector<MemoryArea> areas;
  for (const AreaRow& row : areaRows) {
    if (row.ram != nullptr) {
      std::vector<uint8_t>& ram = machine.*row.ram;
      areas.push_back({row.name, {ram.data(), ram.size()}});
    } else {
      areas.push_back({row.name, {reinterpret_cast<uint8_t*>(row.staticRam), row.staticSize}});
    }
  }
  return areas;
}

void initRegionTables() {
  resetMap(machine.cpu1Map);
  resetMap(machine.cpu2Map);
}

void bindContexts() {
  bindContext(machine.cpu1Context, machine.cpu1Map);
  bindContext(machine.cpu2Context, machine.cpu2Map);
}

// ---- Control registers: one bank of 32, each answering for 8 KB -------------
namespace {
constexpr uint32_t registerIndex(uint32_t address) {
  return (address >> 13) & 31;
}
}  // namespace

void controlWriteWord(uint32_t address, uint32_t data, const DataRegion*) {
  controlRegisters[registerIndex(address)] = data & 7;
}
void controlWriteByte(uint32_t address, uint32_t data, const DataRegion* region) {
  controlWriteWord(address, data, region);
}
uint32_t controlReadWord(uint32_t address, const DataRegion*) {
  if ((address & 0x1fe000) == 0x1e0000) return 0xffffffff;
  return controlRegisters[registerIndex(address)];
}
uint32_t controlReadByte(uint32_t address, const DataRegion* region) {
  return controlReadWord(address, region) | controlReadWord(address + 1, region);
}

uint32_t statusRead(uint32_t, const DataRegion*) {
  return 1;
}
