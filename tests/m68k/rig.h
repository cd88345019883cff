// A small 68000 system for the core's tests: 64 KiB of ROM at 0, 64 KiB of
// RAM at 0x100000, both fetchable, in the core's host word order, with the
// reset vectors in place. Code is written as opcode words.
#pragma once

#include <cstring>
#include <initializer_list>
#include <vector>

#include "m68k/cpu.h"

struct Rig {
  static constexpr uint32_t kRom = 0x000000, kRomSize = 0x10000;
  static constexpr uint32_t kRam = 0x100000, kRamSize = 0x10000;
  static constexpr uint32_t kStack = kRam + kRamSize;  // initial SSP
  static constexpr uint32_t kCode = 0x000400;          // initial PC

  std::vector<uint16_t> rom = std::vector<uint16_t>(kRomSize / 2);
  std::vector<uint16_t> ram = std::vector<uint16_t>(kRamSize / 2);
  ProgramRegion fetch[3];
  DataRegion read[3], write[2];
  CpuContext context{};

  Rig() {
    fetch[0] = {kRom, kRom + kRomSize - 1, intptr_t(rom.data()) - intptr_t(kRom)};
    fetch[1] = {kRam, kRam + kRamSize - 1, intptr_t(ram.data()) - intptr_t(kRam)};
    fetch[2] = {cpuTableEnd, cpuTableEnd, 0};
    read[0] = {kRom, kRom + kRomSize - 1, nullptr, rom.data()};
    read[1] = {kRam, kRam + kRamSize - 1, nullptr, ram.data()};
    read[2] = {cpuTableEnd, cpuTableEnd, nullptr, nullptr};
    write[0] = {kRam, kRam + kRamSize - 1, nullptr, ram.data()};
    write[1] = {cpuTableEnd, cpuTableEnd, nullptr, nullptr};
    useTables(fetch, read, write);
    setLong(0, kStack);
    setLong(4, kCode);
    // Every exception vector points at its own STOP in ROM (0x2000 + 8 v):
    // the frame shows what happened.
    for (uint32_t v = 2; v < 64; ++v) {
      setLong(v * 4, 0x2000 + v * 8);
      set(0x2000 + v * 8, {0x4E72, 0x2700});
    }
  }

  void useTables(const ProgramRegion* f, const DataRegion* r, const DataRegion* w) {
    context.fetch = context.superFetch = context.userFetch = f;
    context.readByte = context.readWord = r;
    context.superReadByte = context.superReadWord = context.userReadByte = context.userReadWord = r;
    context.writeByte = context.writeWord = w;
    context.superWriteByte = context.superWriteWord = w;
    context.userWriteByte = context.userWriteWord = w;
  }

  uint16_t* wordAt(uint32_t a) {
    if (a >= kRam && a < kRam + kRamSize) return &ram[(a - kRam) / 2];
    if (a < kRomSize) return &rom[a / 2];
    return nullptr;
  }
  void set(uint32_t a, std::initializer_list<uint16_t> words) {
    for (uint16_t w : words) {
      *wordAt(a) = w;
      a += 2;
    }
  }
  void setLong(uint32_t a, uint32_t v) { set(a, {uint16_t(v >> 16), uint16_t(v)}); }
  uint16_t word(uint32_t a) { return *wordAt(a); }
  uint32_t longAt(uint32_t a) { return uint32_t(word(a)) << 16 | word(a + 2); }
  // Vector v's handler address.
  static uint32_t handlerOf(uint32_t v) { return 0x2000 + v * 8; }

  // Loads the context into the core and resets it.
  int32_t reset() {
    cpuSetContext(&context);
    return cpuReset();
  }
  // Runs the loaded processor and keeps a copy of its context.
  uint32_t run(int32_t budget) {
    uint32_t r = cpuExec(budget);
    cpuGetContext(&context);
    return r;
  }
  // Puts code at kCode, resets and sets up registers afterwards.
  void load(std::initializer_list<uint16_t> code, uint32_t at = kCode) {
    set(at, code);
    static bool initialised = false;
    if (!initialised) {
      cpuInit();
      initialised = true;
    }
    reset();
    cpuGetContext(&context);
    context.cycleCount = 0;
    push();
  }
  void push() { cpuSetContext(&context); }
};
