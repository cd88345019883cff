// What the machine tells the log: unmapped accesses and the start-up listing.
#include <cstdio>

#include "base/base.h"
#include "m68k/disasm/disasm.h"
#include "system21/system21.h"

// ---- Catch-all handlers: answered with all ones, logged with the PC ----------
template <int cpu>
uint32_t unknownReadByte(uint32_t address, const DataRegion*) {
  recordUnknownAccess(cpu, byteRead, address, 0);
  return 0xff;
}
template <int cpu>
uint32_t unknownReadWord(uint32_t address, const DataRegion*) {
  recordUnknownAccess(cpu, wordRead, address, 0);
  return 0xffff;
}
template <int cpu>
void unknownWriteByte(uint32_t address, uint32_t data, const DataRegion*) {
  recordUnknownAccess(cpu, byteWrite, address, data);
}
template <int cpu>
void unknownWriteWord(uint32_t address, uint32_t data, const DataRegion*) {
  recordUnknownAccess(cpu, wordWrite, address, data);
}
template uint32_t unknownReadByte<1>(uint32_t, const DataRegion*);
template uint32_t unknownReadWord<1>(uint32_t, const DataRegion*);
template void unknownWriteByte<1>(uint32_t, uint32_t, const DataRegion*);
template void unknownWriteWord<1>(uint32_t, uint32_t, const DataRegion*);
template uint32_t unknownReadByte<2>(uint32_t, const DataRegion*);
template uint32_t unknownReadWord<2>(uint32_t, const DataRegion*);
template void unknownWriteByte<2>(uint32_t, uint32_t, const DataRegion*);
template void unknownWriteWord<2>(uint32_t, uint32_t, const DataRegion*);

// ---- Start-up listing ---------------------------------------------------------
namespace {

constexpr int vectorCount = 128;

// The 68000 word at an even offset of an image; 0 past its end.
uint16_t imageWord(const std::vector<uint8_t>& image, size_t offset) {
  if (offset + 1 >= image.size()) return 0;
  return static_cast<uint16_t>(image[offset] | image[offset + 1] << 8);
}

// Lists [from, to) of an image; only the bytes the driver loaded are read as
// code, and an instruction that would reach past them is shown as "DC.W".
void listCode(const std::vector<uint8_t>& image, size_t loaded, uint32_t from, uint32_t to) {
  char line[disasmLineSize];
  uint32_t address = from;
  while (address < to) {
    size_t available = loaded > address ? (loaded - address) / 2 : 0;
    int length;
    if (available == 0 || address + 1 >= image.size()) {
      snprintf(line, sizeof line, "DC.W     $%X", imageWord(image, address));
      length = 2;
    } else {
      const uint16_t* words = reinterpret_cast<const uint16_t*>(image.data() + address);
      length = disassemble68kBounded(words, available, line, address);
    }
    logLine("0x%.6x %s\n", address, line);
    address += length > 0 ? length : 2;
  }
}

}  // namespace

void logStartupDiagnostics() {
  for (int i = 0; i < vectorCount; i++) {
    uint32_t value = static_cast<uint32_t>(imageWord(machine.game.masterCodeRom, 4 * i)) << 16 |
                     imageWord(machine.game.masterCodeRom, 4 * i + 2);
    logLine("int %2i: 0x%.8x\n", i, value);
  }
  logLine("cpu1:\n");
  listCode(machine.game.masterCodeRom, machine.masterCodeSize, 0x1000, 0x1200);
  logLine("cpu2:\n");
  listCode(machine.game.slaveCodeRom, machine.slaveCodeSize, 0x68aa, 0x6b00);
}
