// 68000 programs for tests: assembled at test time with the GNU cross tools,
// and a small board to run them, or a few opcode words, on the core.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "m68k/cpu.h"
#include "tests/support/files.h"

namespace support {

// Assembles a GNU as source for a plain 68000 and links it at address 0;
// returns the flat big-endian image. On failure the image is empty and
// `error` says why (missing cross tools, or their messages).
Bytes assembleM68k(const fs::path& source, std::string& error);

// 1 MiB of ROM at 0 and 64 KiB of RAM at kRam, in the core's host word
// order, the same tables in both modes; the first read and write entries
// are a test's own to replace. The stack starts at kStack, code at kCode,
// and every other vector v points at its own STOP #$2700 at handlerOf(v),
// so that a frame shows what happened.
struct M68kBoard {
  static constexpr uint32_t kRam = 0x100000, kStack = 0x110000, kCode = 0x400;
  static constexpr uint32_t handlerOf(uint32_t v) { return 0x2000 + v * 8; }
  static constexpr DataRegion kEnd{cpuTableEnd, cpuTableEnd, nullptr, nullptr};
  std::vector<uint16_t> rom = std::vector<uint16_t>(0x80000), ram = std::vector<uint16_t>(0x8000);
  ProgramRegion fetch[3] = {{0, 0xFFFFF, intptr_t(rom.data())},
                            {kRam, kRam + 0xFFFF, intptr_t(ram.data()) - intptr_t(kRam)},
                            {cpuTableEnd, cpuTableEnd, 0}};
  DataRegion read[4] = {{0, 0xFFFFF, nullptr, rom.data()},
                        {0, 0xFFFFF, nullptr, rom.data()},
                        {kRam, kRam + 0xFFFF, nullptr, ram.data()},
                        kEnd};
  DataRegion write[3] = {read[2], read[2], kEnd};
  CpuContext c{};

  M68kBoard() {
    for (uint32_t v = 2; v < 256; ++v)
      setLong(v * 4, handlerOf(v)), set(handlerOf(v), {0x4E72, 0x2700});
    setLong(0, kStack);
    setLong(4, kCode);
    tables(fetch, read, write);
  }
  M68kBoard(const M68kBoard&) = delete;
  void tables(const ProgramRegion* f, const DataRegion* r, const DataRegion* w) {
    c.fetch = c.superFetch = c.userFetch = f;
    c.readByte = c.readWord = c.superReadByte = c.superReadWord = c.userReadByte = c.userReadWord =
        r;
    c.writeByte = c.writeWord = c.superWriteByte = c.superWriteWord = c.userWriteByte =
        c.userWriteWord = w;
  }
  uint16_t& at(uint32_t a) {
    return a >= kRam ? ram[(a - kRam) / 2 & 0x7FFF] : rom[a / 2 & 0x7FFFF];
  }
  void set(uint32_t a, const std::vector<uint16_t>& words) {
    for (uint16_t w : words) at(a) = w, a += 2;
  }
  void setLong(uint32_t a, uint32_t v) { set(a, {uint16_t(v >> 16), uint16_t(v)}); }
  uint32_t longAt(uint32_t a) { return uint32_t(at(a)) << 16 | at(a + 2); }
  // A big-endian image into ROM from address 0.
  void setImage(const Bytes& image) {
    for (size_t i = 0; i < image.size(); i += 2)
      rom[i / 2] = uint16_t(image[i] << 8 | (i + 1 < image.size() ? image[i + 1] : 0));
  }
  // Puts the code at kCode, resets and takes the context back for set-up.
  void load(const std::vector<uint16_t>& code) {
    set(kCode, code);
    static const bool initialised = (cpuInit(), true);
    (void)initialised;
    cpuSetContext(&c);
    EXPECT_EQ(cpuReset(), cpuResetStarted);
    cpuGetContext(&c);
  }
  uint32_t run(int32_t budget) {
    const uint32_t result = cpuExec(budget);
    cpuGetContext(&c);
    return result;
  }
};

}  // namespace support
