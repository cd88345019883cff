// The target: both processors' registers, memory as each one sees it, and
// running a share with breakpoints, watchpoints and steps.
//
// Breakpoints are holes in a copy of the fetch table: the core stops before
// an instruction it cannot fetch, with the PC on it, and nothing of it has
// run. The instruction at a breakpoint (or one whose words reach into a hole)
// is run on its own with the plain table. Watchpoints are handler entries
// put first in copies of the data tables; they report the access and pass it
// on to the entry that would have served it. A share is run as one or more
// cpuExec calls whose budgets add up to what one call would have been given,
// so the machine's schedule is the one of a run without a debugger.

#include <algorithm>
#include <cstdio>
#include <string>

#include "base/base.h"
#include "debugger/internal.h"
#include "system21/system21.h"

namespace {

constexpr uint32_t addressMask = 0xFFFFFF;
constexpr uint16_t srBits = 0xA71F;  // T, S, the interrupt mask and the flags
constexpr uint16_t srSupervisor = 0x2000;
constexpr int srRegister = 16, pcRegister = 17;

enum TableKind { readByteTable, readWordTable, writeByteTable, writeWordTable };

const CpuMap& mapOf(int cpu) {
  return cpu == 2 ? machine.cpu2Map : machine.cpu1Map;
}

const DataTable& tableOf(const CpuMap& map, int kind) {
  const DataTable* tables[] = {&map.readByte, &map.readWord, &map.writeByte, &map.writeWord};
  return *tables[kind];
}

const DataRegion* entryAt(const DataTable& table, uint32_t address) {
  for (const DataRegion& e : table.entries) {
    if (e.lowAddress == cpuTableEnd) break;
    if (address >= e.lowAddress && address <= e.highAddress) return &e;
  }
  return nullptr;
}

// The byte of a direct entry at a 68000 address, null outside its memory.
uint8_t* directByte(const DataRegion* e, uint32_t address) {
  const uint32_t offset = (address - e->lowAddress) ^ 1;
  if (e->memory == nullptr || offset > e->highAddress - e->lowAddress) return nullptr;
  return static_cast<uint8_t*>(e->memory) + offset;
}

// Handlers whose reads change nothing; the debugger may call them.
using Read = uint32_t (*)(uint32_t, const DataRegion*);
const Read sideEffectFreeReads[] = {controlReadByte, controlReadWord, statusRead};

// The live context when cpu's share is running, else the machine's copy.
CpuContext& contextOf(int cpu, CpuContext& live) {
  if (server.loadedCpu == cpu) {
    cpuGetContext(&live);
    return live;
  }
  return cpu == 2 ? machine.cpu2Context : machine.cpu1Context;
}

void storeContext(int cpu, const CpuContext& context) {
  if (server.loadedCpu == cpu) cpuSetContext(&context);
}

uint32_t* registerSlot(CpuContext& c, int number) {
  if (number < 8) return &c.dreg[number];
  if (number < 16) return &c.areg[number - 8];
  return number == pcRegister ? &c.pc : nullptr;
}

uint32_t getRegister(const CpuContext& c, int number) {
  if (number == srRegister) return c.sr;
  return *registerSlot(const_cast<CpuContext&>(c), number);
}

void setRegister(CpuContext& c, int number, uint32_t value) {
  if (number != srRegister) {
    *registerSlot(c, number) = value;
    return;
  }
  // The stack pointers trade places when the mode changes, as on the chip.
  if ((value ^ c.sr) & srSupervisor) std::swap(c.areg[7], c.otherSp);
  c.sr = uint16_t(value & srBits);
}

// ---- Watchpoints --------------------------------------------------------------

// An access of size bytes at address by the loaded processor.
void noteAccess(uint32_t address, uint32_t size, bool write) {
  GdbServer& s = server;
  if (s.watchHit) return;
  for (const Watchpoint& w : s.watchpoints) {
    if (w.kind == (write ? watchRead : watchWrite)) continue;
    if (address + size <= w.address || address >= w.address + w.length) continue;
    s.watchHit = true;
    s.hit = w;
    cpuReleaseTimeslice();  // stop after this instruction
    return;
  }
}

template <int kind>
uint32_t watchedRead(uint32_t address, const DataRegion*) {
  const bool byte = kind == readByteTable;
  noteAccess(address, byte ? 1 : 2, false);
  const DataRegion* e = entryAt(tableOf(mapOf(server.loadedCpu), kind), address);
  if (e == nullptr) return 0xFFFFFFFF;
  if (e->handler != nullptr) return reinterpret_cast<Read>(e->handler)(address, e);
  const uint8_t* high = directByte(e, address);
  if (byte) return high ? *high : 0xFF;
  const uint8_t* low = directByte(e, address + 1);
  return uint32_t(high ? *high : 0xFF) << 8 | (low ? *low : 0xFF);
}

template <int kind>
void watchedWrite(uint32_t address, uint32_t data, const DataRegion*) {
  const bool byte = kind == writeByteTable;
  noteAccess(address, byte ? 1 : 2, true);
  const DataRegion* e = entryAt(tableOf(mapOf(server.loadedCpu), kind), address);
  if (e == nullptr) return;
  if (e->handler != nullptr) return reinterpret_cast<WriteHandler>(e->handler)(address, data, e);
  if (uint8_t* high = directByte(e, address)) *high = uint8_t(byte ? data : data >> 8);
  if (byte) return;
  if (uint8_t* low = directByte(e, address + 1)) *low = uint8_t(data);
}

const Read watchReads[] = {watchedRead<readByteTable>, watchedRead<readWordTable>};
const WriteHandler watchWrites[] = {watchedWrite<writeByteTable>, watchedWrite<writeWordTable>};

void* watchHandler(int kind) {
  return kind >= writeByteTable ? reinterpret_cast<void*>(watchWrites[kind - writeByteTable])
                                : reinterpret_cast<void*>(watchReads[kind]);
}

// ---- Tables -------------------------------------------------------------------

constexpr ProgramRegion fetchEnd{cpuTableEnd, cpuTableEnd, 0};
constexpr DataRegion dataEnd{cpuTableEnd, cpuTableEnd, nullptr, nullptr};

void buildTables(int cpu) {
  const CpuMap& map = mapOf(cpu);
  DebugTables& t = server.tables[cpu - 1];
  std::vector<uint32_t> holes = server.breakpoints;
  std::sort(holes.begin(), holes.end());
  t.fetch.clear();
  for (const ProgramRegion& e : map.fetch.entries) {
    if (e.lowAddress == cpuTableEnd) break;
    uint32_t low = e.lowAddress;
    for (uint32_t hole : holes) {
      if (hole < low || hole > e.highAddress) continue;
      if (hole > low) t.fetch.push_back({low, hole - 1, e.offset});
      low = hole + 2;
    }
    if (low <= e.highAddress) t.fetch.push_back({low, e.highAddress, e.offset});
  }
  t.fetch.push_back(fetchEnd);
  for (int kind = 0; kind < 4; ++kind) {
    std::vector<DataRegion>& table = t.data[kind];
    table.clear();
    const bool write = kind >= writeByteTable, word = kind & 1;
    for (const Watchpoint& w : server.watchpoints) {
      if (w.kind == (write ? watchRead : watchWrite)) continue;
      uint32_t low = w.address, high = std::min(w.address + w.length - 1, addressMask);
      // A word table entry matches on the word's address, and a long's second
      // word is served by the entry of its first: start a long earlier.
      if (word) {
        low = (low & ~1u) >= 2 ? (low & ~1u) - 2 : 0;
        high |= 1;
      }
      table.push_back({low, high, watchHandler(kind), nullptr});
    }
    const DataTable& plain = tableOf(map, kind);
    table.insert(table.end(), plain.entries.begin(), plain.entries.end() - 1);
    table.push_back(dataEnd);
  }
}

// Points the loaded context at the debug tables (or the plain ones).
void bindTables(int cpu, bool debugFetch, bool debugData) {
  const CpuMap& map = mapOf(cpu);
  const DebugTables& t = server.tables[cpu - 1];
  CpuContext c;
  cpuGetContext(&c);
  c.fetch = c.superFetch = c.userFetch = debugFetch ? t.fetch.data() : map.fetch.entries.data();
  const DataRegion* data[4];
  for (int kind = 0; kind < 4; ++kind) {
    data[kind] = debugData ? t.data[kind].data() : tableOf(map, kind).entries.data();
  }
  c.readByte = c.superReadByte = c.userReadByte = data[readByteTable];
  c.readWord = c.superReadWord = c.userReadWord = data[readWordTable];
  c.writeByte = c.superWriteByte = c.userWriteByte = data[writeByteTable];
  c.writeWord = c.superWriteWord = c.userWriteWord = data[writeWordTable];
  cpuSetContext(&c);
}

bool atBreakpoint(uint32_t pc) {
  const std::vector<uint32_t>& list = server.breakpoints;
  return std::find(list.begin(), list.end(), pc & addressMask) != list.end();
}

std::string threadPart(int cpu) {
  return "thread:" + std::to_string(cpu) + ";";
}

std::string watchReply(int cpu) {
  static const char* const names[] = {"", "", "watch", "rwatch", "awatch"};
  char text[48];
  snprintf(text, sizeof text, "T05%s:%x;", names[server.hit.kind], server.hit.address);
  return text + threadPart(cpu);
}

}  // namespace

void markTablesStale() {
  server.tablesStale = true;
}

void debugShare(int cpu) {
  GdbServer& s = server;
  if (s.breakpoints.empty() && s.watchpoints.empty() && s.stepCpu != cpu && s.rawNext != cpu) {
    cpuExec(cyclesPerFrame);
    return;
  }
  s.loadedCpu = cpu;
  const uint32_t start = cpuReadCycleCount();
  auto used = [&] { return cpuReadCycleCount() - start; };
  while (!s.endRun && used() < uint32_t(cyclesPerFrame)) {
    if (s.tablesStale) {
      buildTables(1);
      buildTables(2);
      s.tablesStale = false;
    }
    // One instruction alone for a step, or at a breakpoint, or when its words
    // reach into a hole.
    if (s.rawNext == cpu && cpuReadPc() != s.rawPc) s.rawNext = 0;  // the PC was moved
    const bool stepping = s.stepCpu == cpu;
    const bool alone = stepping || s.rawNext == cpu;
    bindTables(cpu, !alone && !s.breakpoints.empty(), !s.watchpoints.empty());
    s.watchHit = false;
    const uint32_t result = cpuExec(alone ? 1 : int32_t(uint32_t(cyclesPerFrame) - used()));
    if (alone) s.rawNext = 0;
    // A range step goes on (into the next share if this one ends) until the
    // PC leaves the range, reaches a breakpoint, an access is watched or the
    // processor halts.
    const uint32_t pc = cpuReadPc();
    const bool stepOn = stepping && result == cpuExecBudgetUsed && !s.watchHit &&
                        pc >= s.rangeStart && pc < s.rangeEnd && !atBreakpoint(pc);
    if (stepping && !stepOn) s.stepCpu = 0;
    if (s.watchHit) {
      haltWith(watchReply(cpu), cpu);
    } else if (stepping && !stepOn) {
      haltWith("T05" + threadPart(cpu), cpu);
    } else if (result != cpuExecBudgetUsed && result != cpuExecFetchFailed) {
      break;  // halted processor
    } else if (used() >= uint32_t(cyclesPerFrame)) {
      break;
    } else if (!alone && atBreakpoint(cpuReadPc())) {
      s.rawNext = cpu;
      s.rawPc = cpuReadPc();
      haltWith("T05swbreak:;" + threadPart(cpu), cpu);
    } else if (result == cpuExecFetchFailed) {
      if (alone) break;  // no fetch region: the share ends, as without a debugger
      s.rawNext = cpu;
      s.rawPc = cpuReadPc();
    }
  }
  bindTables(cpu, false, false);
  s.loadedCpu = 0;
}

std::string readRegisters(int cpu) {
  CpuContext live;
  const CpuContext& c = contextOf(cpu, live);
  std::string hex;
  for (int n = 0; n < registerCount; ++n) {
    char text[9];
    snprintf(text, sizeof text, "%08x", getRegister(c, n));
    hex += text;
  }
  return hex;
}

bool readRegister(int cpu, int number, uint32_t& value) {
  if (number < 0 || number >= registerCount) return false;
  CpuContext live;
  value = getRegister(contextOf(cpu, live), number);
  return true;
}

bool writeRegister(int cpu, int number, uint32_t value) {
  if (number < 0 || number >= registerCount) return false;
  CpuContext live;
  CpuContext& c = contextOf(cpu, live);
  setRegister(c, number, value);
  storeContext(cpu, c);
  return true;
}

uint8_t peekByte(int cpu, uint32_t address) {
  address &= addressMask;
  const DataRegion* e = entryAt(mapOf(cpu).readByte, address);
  if (e == nullptr) return 0xFF;
  if (e->handler == nullptr) {
    const uint8_t* p = directByte(e, address);
    return p ? *p : 0xFF;
  }
  for (Read read : sideEffectFreeReads) {
    if (reinterpret_cast<void*>(read) == e->handler) return uint8_t(read(address, e));
  }
  return 0xFF;
}

// RAM through the write map; ROM images through the read map.
void pokeByte(int cpu, uint32_t address, uint8_t value) {
  address &= addressMask;
  for (const DataTable* table : {&mapOf(cpu).writeByte, &mapOf(cpu).readByte}) {
    const DataRegion* e = entryAt(*table, address);
    if (e == nullptr || e->handler != nullptr) continue;
    if (uint8_t* p = directByte(e, address)) *p = value;
    return;
  }
}

std::string frameText() {
  CpuContext live1, live2;
  char text[128];
  snprintf(text, sizeof text, "frame %lld; cycles: master %u, slave %u\n",
           static_cast<long long>(machine.frameNumber), contextOf(1, live1).cycleCount,
           contextOf(2, live2).cycleCount);
  return text;
}

std::string regionsText(int cpu) {
  const CpuMap& map = mapOf(cpu);
  std::string text;
  char line[96];
  for (const ProgramRegion& e : map.fetch.entries) {
    if (e.lowAddress == cpuTableEnd) break;
    snprintf(line, sizeof line, "fetch  %06x-%06x\n", e.lowAddress, e.highAddress);
    text += line;
  }
  const char* const names[] = {"read", "write"};
  const DataTable* tables[] = {&map.readWord, &map.writeWord};
  for (int i = 0; i < 2; ++i) {
    for (const DataRegion& e : tables[i]->entries) {
      if (e.lowAddress == cpuTableEnd) break;
      snprintf(line, sizeof line, "%-6s %06x-%06x %s\n", names[i], e.lowAddress, e.highAddress,
               e.handler != nullptr ? "handler" : "memory");
      text += line;
    }
  }
  return text;
}

// The last lines the log was given.
std::string logTail() {
  constexpr size_t lineCount = 16;
  if (logFile() == nullptr) return "no log\n";
  std::string text;
  for (const std::string& line : recentLogLines(lineCount)) text += line + "\n";
  return text;
}
