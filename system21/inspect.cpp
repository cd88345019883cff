// The machine as tools see it: memory through either processor's map and
// the registers of its context, read without side effects.
#include <utility>

#include "system21/system21.h"

namespace {

const CpuMap& mapOf(int cpu) {
  return cpu == 2 ? machine.cpu2Map : machine.cpu1Map;
}

// Handlers whose reads change nothing; a tool may call them.
using Read = uint32_t (*)(uint32_t, const DataRegion*);
const Read sideEffectFreeReads[] = {controlReadByte, controlReadWord, statusRead};

uint32_t* registerSlot(CpuContext& c, int number) {
  if (number < registerA0) return &c.dreg[number];
  if (number < registerSr) return &c.areg[number - registerA0];
  if (number == registerPc) return &c.pc;
  const bool super = (c.sr & cpuSrSupervisor) != 0;
  // The stack pointer of the mode in force is A7, the other one is kept aside.
  if (number == registerUsp) return super ? &c.otherSp : &c.areg[7];
  return super ? &c.areg[7] : &c.otherSp;
}

}  // namespace

CpuContext& contextOf(int cpu) {
  return cpu == 2 ? machine.cpu2Context : machine.cpu1Context;
}

uint8_t peekByte(int cpu, uint32_t address) {
  const DataRegion* e = cpuFindRegion(mapOf(cpu).readByte.entries.data(), address);
  if (e == nullptr) return 0xFF;
  if (e->handler == nullptr) {
    const uint8_t* p = cpuRegionByte(e, address);
    return p ? *p : 0xFF;
  }
  for (Read read : sideEffectFreeReads) {
    if (reinterpret_cast<void*>(read) == e->handler) return uint8_t(read(address & 0xFFFFFF, e));
  }
  return 0xFF;
}

// RAM through the write map; ROM images through the read map.
void pokeByte(int cpu, uint32_t address, uint8_t value) {
  for (const DataTable* table : {&mapOf(cpu).writeByte, &mapOf(cpu).readByte}) {
    const DataRegion* e = cpuFindRegion(table->entries.data(), address);
    if (e == nullptr || e->handler != nullptr) continue;
    if (uint8_t* p = cpuRegionByte(e, address)) {
      if (*p != value) historyMachineChanged();
      *p = value;
    }
    return;
  }
}

uint32_t readCpuRegister(int cpu, int number) {
  CpuContext& c = contextOf(cpu);
  if (number == registerSr) return c.sr;
  return number >= 0 && number < cpuRegisterCount ? *registerSlot(c, number) : 0;
}

void writeCpuRegister(int cpu, int number, uint32_t value) {
  if (number < 0 || number >= cpuRegisterCount || readCpuRegister(cpu, number) == value) return;
  historyMachineChanged();
  CpuContext& c = contextOf(cpu);
  if (number == registerSr) {
    cpuWriteSr(&c, value);
  } else {
    *registerSlot(c, number) = value;
  }
}
