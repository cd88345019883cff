// A bus that resolves accesses through a processor's tables the way the
// core does (first entry that holds the address; direct memory as 16-bit
// host words), for checking the maps without running code.
#pragma once

#include <cstring>

#include "system21/system21.h"

struct Bus {
  const CpuMap& map;

  static const DataRegion* find(const DataTable& table, uint32_t address) {
    for (const DataRegion& r : table.entries) {
      if (r.lowAddress == cpuTableEnd) return nullptr;
      if (r.lowAddress <= address && address <= r.highAddress) return &r;
    }
    return nullptr;
  }
  uint32_t readByte(uint32_t address) const {
    address &= 0xffffff;
    const DataRegion* r = find(map.readByte, address);
    if (!r) return 0xff;
    if (r->handler) return reinterpret_cast<ReadHandler>(r->handler)(address, r) & 0xff;
    return static_cast<const uint8_t*>(r->memory)[(address - r->lowAddress) ^ 1];
  }
  uint32_t readWord(uint32_t address) const {
    address &= 0xffffff;
    const DataRegion* r = find(map.readWord, address);
    if (!r) return 0xffff;
    if (r->handler) return reinterpret_cast<ReadHandler>(r->handler)(address, r) & 0xffff;
    uint16_t w;
    std::memcpy(&w, static_cast<const uint8_t*>(r->memory) + (address - r->lowAddress), 2);
    return w;
  }
  void writeByte(uint32_t address, uint32_t data) const {
    address &= 0xffffff;
    const DataRegion* r = find(map.writeByte, address);
    if (!r) return;
    if (r->handler) return reinterpret_cast<WriteHandler>(r->handler)(address, data & 0xff, r);
    static_cast<uint8_t*>(r->memory)[(address - r->lowAddress) ^ 1] = static_cast<uint8_t>(data);
  }
  void writeWord(uint32_t address, uint32_t data) const {
    address &= 0xffffff;
    const DataRegion* r = find(map.writeWord, address);
    if (!r) return;
    if (r->handler) return reinterpret_cast<WriteHandler>(r->handler)(address, data & 0xffff, r);
    uint16_t w = static_cast<uint16_t>(data);
    std::memcpy(static_cast<uint8_t*>(r->memory) + (address - r->lowAddress), &w, 2);
  }
  // The host address a fetch of this address reads, or null.
  const uint8_t* fetch(uint32_t address) const {
    for (const ProgramRegion& r : map.fetch.entries) {
      if (r.lowAddress == cpuTableEnd) return nullptr;
      if (r.lowAddress <= address && address <= r.highAddress) {
        return reinterpret_cast<const uint8_t*>(static_cast<intptr_t>(address) + r.offset);
      }
    }
    return nullptr;
  }
};
