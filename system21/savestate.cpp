// Saved states: the whole machine and the frame on screen in one file, so
// that a run can go on exactly where another ended.
//
// Layout (little-endian; see README "Save states"):
//   "SB21STAT", u32 version,
//   u16 length + the driver file's name,
//   u32 CRC-32 of each region as loaded: tiles, master code, slave code,
//   collision data,
//   i64 frame number, u32 slave running flag,
//   per processor (master, slave): D0-D7, A0-A7, the other stack pointer,
//   PC, cycle counter (u32 each), the 8 interrupt bytes, u16 SR,
//   the 32 control registers (u16 each),
//   per memory area, in the order of `areas`: u32 size + its bytes,
//   u32 size + the frame's pixels (u32 each),
//   u32 CRC-32 of everything before it.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "base/base.h"
#include "system21/system21.h"

namespace {

constexpr char stateMagic[8] = {'S', 'B', '2', '1', 'S', 'T', 'A', 'T'};
constexpr uint32_t stateVersion = 1;
constexpr size_t framePixels = size_t{screenWidth} * screenHeight;
// Far above any state this machine writes; a larger file is no state.
constexpr long largestState = 64 << 20;

// The CRC-32 of each region as the driver loaded it.
std::vector<uint32_t> regionChecksums() {
  const Machine& m = machine;
  const GameRom& g = m.game;
  return {
      crc32(g.graphicsData.data(), g.graphicsData.size()),
      crc32(g.masterCodeRom.data(), m.masterCodeSize),
      crc32(g.slaveCodeRom.data(), m.slaveCodeSize),
      crc32(g.collisionRom.data(), m.collisionSize),
  };
}

// ---- Writing ------------------------------------------------------------------
struct Writer {
  std::vector<uint8_t> bytes;
  void put(uint64_t value, int size) {
    for (int i = 0; i < size; i++) bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
  }
  void put(const void* data, size_t size) {
    const auto* p = static_cast<const uint8_t*>(data);
    bytes.insert(bytes.end(), p, p + size);
  }
};

void putContext(Writer& w, const CpuContext& c) {
  for (uint32_t d : c.dreg) w.put(d, 4);
  for (uint32_t a : c.areg) w.put(a, 4);
  w.put(c.otherSp, 4);
  w.put(c.pc, 4);
  w.put(c.cycleCount, 4);
  w.put(c.interrupts, sizeof c.interrupts);
  w.put(c.sr, 2);
}

// ---- Reading ------------------------------------------------------------------
// A cursor over the file's bytes that never reads past them: a short read
// sets failed and gives zeros.
struct Reader {
  std::span<const uint8_t> bytes;
  size_t at = 0;
  bool failed = false;
  bool take(void* out, size_t size) {
    if (failed || size > bytes.size() - at) {
      failed = true;
      std::memset(out, 0, size);
      return false;
    }
    std::memcpy(out, bytes.data() + at, size);
    at += size;
    return true;
  }
  uint64_t get(int size) {
    uint8_t raw[8] = {};
    take(raw, size);
    uint64_t value = 0;
    for (int i = size - 1; i >= 0; i--) value = value << 8 | raw[i];
    return value;
  }
};

void getContext(Reader& r, CpuContext& c) {
  for (uint32_t& d : c.dreg) d = static_cast<uint32_t>(r.get(4));
  for (uint32_t& a : c.areg) a = static_cast<uint32_t>(r.get(4));
  c.otherSp = static_cast<uint32_t>(r.get(4));
  c.pc = static_cast<uint32_t>(r.get(4));
  c.cycleCount = static_cast<uint32_t>(r.get(4));
  r.take(c.interrupts, sizeof c.interrupts);
  c.sr = static_cast<uint16_t>(r.get(2));
}

// Puts the register values of a state into a context bound to the machine's
// maps, with the tables of the mode its SR gives.
void applyContext(CpuContext& bound, const CpuContext& values) {
  std::memcpy(bound.dreg, values.dreg, sizeof bound.dreg);
  std::memcpy(bound.areg, values.areg, sizeof bound.areg);
  bound.otherSp = values.otherSp;
  bound.pc = values.pc;
  bound.cycleCount = values.cycleCount;
  std::memcpy(bound.interrupts, values.interrupts, sizeof bound.interrupts);
  // The mode is set, not entered: the stack pointers stay as stored.
  bound.sr = values.sr & cpuSrSupervisor;
  cpuWriteSr(&bound, values.sr);
}

bool readWholeFile(const char* path, std::vector<uint8_t>& bytes) {
  FILE* file = openRegularFile(path, false);
  if (file == nullptr) return false;
  bool ok = fseek(file, 0, SEEK_END) == 0;
  const long size = ok ? ftell(file) : -1;
  ok = ok && size >= 0 && size <= largestState && fseek(file, 0, SEEK_SET) == 0;
  if (ok) {
    bytes.resize(static_cast<size_t>(size));
    ok = fread(bytes.data(), 1, bytes.size(), file) == bytes.size();
  }
  fclose(file);
  return ok;
}

}  // namespace

std::vector<uint8_t> stateBytes(const char* driverFileName, const uint32_t* frame) {
  Writer w;
  w.put(stateMagic, sizeof stateMagic);
  w.put(stateVersion, 4);
  const size_t nameLength = std::min<size_t>(strlen(driverFileName), 0xffff);
  w.put(nameLength, 2);
  w.put(driverFileName, nameLength);
  for (uint32_t checksum : regionChecksums()) w.put(checksum, 4);
  w.put(static_cast<uint64_t>(machine.frameNumber), 8);
  w.put(static_cast<uint32_t>(machine.slaveRunning), 4);
  putContext(w, machine.cpu1Context);
  putContext(w, machine.cpu2Context);
  for (uint16_t value : controlRegisters) w.put(value, 2);
  for (const MemoryArea& area : memoryAreas()) {
    w.put(area.bytes.size(), 4);
    w.put(area.bytes.data(), area.bytes.size());
  }
  w.put(framePixels, 4);
  for (size_t i = 0; i < framePixels; i++) w.put(frame != nullptr ? frame[i] : 0, 4);
  w.put(crc32(w.bytes.data(), w.bytes.size()), 4);
  return w.bytes;
}

int saveState(const char* path, const char* driverFileName, const uint32_t* frame,
              std::string& error) {
  const std::vector<uint8_t> bytes = stateBytes(driverFileName, frame);
  // A state that cannot be written whole leaves the one before it.
  return replaceFile(
             path,
             [&bytes](FILE* file) {
               return fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
             },
             error)
             ? 1
             : 0;
}

int applyState(std::span<const uint8_t> bytes, const char* driverFileName, uint32_t* frame,
               std::string& error) {
  // Everything is read and checked first; only a state found whole and made
  // for this game changes the machine.
  Reader r{bytes};
  char magic[sizeof stateMagic];
  if (!r.take(magic, sizeof magic) || std::memcmp(magic, stateMagic, sizeof magic) != 0) {
    error = "not a saved state";
    return 0;
  }
  const uint32_t version = static_cast<uint32_t>(r.get(4));
  if (!r.failed && version != stateVersion) {
    error = "made by another version of the program (format " + std::to_string(version) + ")";
    return 0;
  }
  if (bytes.size() < 4 ||
      crc32(bytes.data(), bytes.size() - 4) != Reader{bytes.subspan(bytes.size() - 4)}.get(4)) {
    error = "damaged or truncated";
    return 0;
  }
  std::string name(r.get(2), '\0');
  r.take(name.data(), name.size());
  if (!r.failed && name != driverFileName) {
    error = "made for another game (" + name + ")";
    return 0;
  }
  for (uint32_t checksum : regionChecksums()) {
    if (!r.failed && r.get(4) != checksum) {
      error = "made with other ROM images of this game";
      return 0;
    }
  }
  const int64_t frameNumber = static_cast<int64_t>(r.get(8));
  const int32_t slaveRunning = static_cast<int32_t>(r.get(4));
  CpuContext cpu1{}, cpu2{};
  getContext(r, cpu1);
  getContext(r, cpu2);
  uint16_t registers[32];
  for (uint16_t& value : registers) value = static_cast<uint16_t>(r.get(2));
  const std::vector<MemoryArea> memory = memoryAreas();
  std::vector<size_t> areaStarts;
  for (const MemoryArea& area : memory) {
    const size_t size = area.bytes.size();
    if (r.get(4) != size) r.failed = true;
    areaStarts.push_back(r.at);
    if (size > bytes.size() - std::min(r.at, bytes.size())) r.failed = true;
    if (!r.failed) r.at += size;
  }
  if (r.get(4) != framePixels) r.failed = true;
  const size_t frameStart = r.at;
  if (!r.failed && framePixels * 4 + 4 == bytes.size() - r.at)
    r.at += framePixels * 4;
  else
    r.failed = true;
  if (r.failed) {
    error = "damaged or truncated";
    return 0;
  }

  // A state holds the machine between frames: loaded in the middle of one,
  // the next frame starts from it, and the history starts afresh here.
  historyMachineChanged();
  machine.share = 0;
  machine.frameNumber = frameNumber;
  machine.slaveRunning = slaveRunning;
  applyContext(machine.cpu1Context, cpu1);
  applyContext(machine.cpu2Context, cpu2);
  std::memcpy(controlRegisters, registers, sizeof registers);
  for (size_t i = 0; i < memory.size(); i++) {
    std::memcpy(memory[i].bytes.data(), bytes.data() + areaStarts[i], memory[i].bytes.size());
  }
  if (frame != nullptr) {
    Reader pixels{bytes, frameStart};
    for (size_t i = 0; i < framePixels; i++) frame[i] = static_cast<uint32_t>(pixels.get(4));
  }
  return 1;
}

int loadState(const char* path, const char* driverFileName, uint32_t* frame, std::string& error) {
  std::vector<uint8_t> bytes;
  if (!readWholeFile(path, bytes)) {
    error = "cannot be read";
    return 0;
  }
  return applyState(bytes, driverFileName, frame, error);
}
