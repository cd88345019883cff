// What the machine tells the log: unmapped accesses and the start-up listing.
#include <cstdarg>
#include <cstdio>

#include "app/app.h"
#include "driver/driver.h"
#include "m68k/disasm/disasm.h"
#include "system21/machine_log.h"
#include "system21/system21.h"

void machineLog(const char* format, ...) {
  FILE* log = logFile();
  if (!log) return;
  va_list args;
  va_start(args, format);
  vfprintf(log, format, args);
  va_end(args);
}

// ---- Catch-all handlers: answered with all ones, logged with the PC ----------
uint32_t cpu1UnknownReadByte(uint32_t address, const DataRegion*) {
  machineLog("system21(cpu1): unknown byte read at 0x%.6x (PC=0x%.6x)\n", address, cpuReadPc());
  return 0xff;
}
uint32_t cpu1UnknownReadWord(uint32_t address, const DataRegion*) {
  machineLog("system21(cpu1): unknown word read at 0x%.6x (PC=0x%.6x)\n", address, cpuReadPc());
  return 0xffff;
}
void cpu1UnknownWriteByte(uint32_t address, uint32_t, const DataRegion*) {
  machineLog("system21(cpu1): unknown byte write at 0x%.6x (PC=0x%.6x)\n", address, cpuReadPc());
}
void cpu1UnknownWriteWord(uint32_t address, uint32_t data, const DataRegion*) {
  machineLog("system21(cpu1): unknown word 0x%.4x write at 0x%.6x (PC=0x%.6x)\n", data, address,
             cpuReadPc());
}
uint32_t cpu2UnknownReadByte(uint32_t address, const DataRegion*) {
  machineLog("system21(cpu2): unknown byte read at 0x%.6x (PC=0x%.6x)\n", address, cpuReadPc());
  return 0xff;
}
uint32_t cpu2UnknownReadWord(uint32_t address, const DataRegion*) {
  machineLog("system21(cpu2): unknown word read at 0x%.6x (PC=0x%.6x)\n", address, cpuReadPc());
  return 0xffff;
}
void cpu2UnknownWriteByte(uint32_t address, uint32_t, const DataRegion*) {
  machineLog("system21(cpu2): unknown byte write at 0x%.6x (PC=0x%.6x)\n", address, cpuReadPc());
}
void cpu2UnknownWriteWord(uint32_t address, uint32_t data, const DataRegion*) {
  machineLog("system21(cpu2): unknown word 0x%.4x write at 0x%.6x (PC=0x%.6x)\n", data, address,
             cpuReadPc());
}

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
    machineLog("0x%.6x %s\n", address, line);
    address += length > 0 ? length : 2;
  }
}

}  // namespace

void logStartupDiagnostics() {
  for (int i = 0; i < vectorCount; i++) {
    uint32_t value = static_cast<uint32_t>(imageWord(masterCodeRom, 4 * i)) << 16 |
                     imageWord(masterCodeRom, 4 * i + 2);
    machineLog("int %2i: 0x%.8x\n", i, value);
  }
  machineLog("cpu1:\n");
  listCode(masterCodeRom, machine.masterCodeSize, 0x1000, 0x1200);
  machineLog("cpu2:\n");
  listCode(slaveCodeRom, machine.slaveCodeSize, 0x68aa, 0x6b00);
}
