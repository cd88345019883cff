// Times the 68000 core on the shared benchmark workload: load workload.bin at
// 0, reset, run slices of one frame (204800 cycles) until the end marker
// appears, check the checksum. Reports the median of several runs with a flat
// two-entry map and with the board's master map (16 rows, catch-all last).
//
// Usage: m68k_bench [runs] [workload directory]
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "m68k/cpu.h"

namespace {

constexpr int32_t frameCycles = 204800;
constexpr double workloadInstructions = 29873153.0;  // one run, from reset to the marker
constexpr uint32_t doneMarker = 0xC0DEC0DE, faultMarker = 0xDEADDEAD;
constexpr int maxSlices = 20000;

constexpr ProgramRegion fetchEnd{cpuTableEnd, cpuTableEnd, 0};
constexpr DataRegion dataEnd{cpuTableEnd, cpuTableEnd, nullptr, nullptr};

struct Area {
  uint32_t low, high;
  std::vector<uint16_t> words;
};

Area makeArea(uint32_t low, uint32_t high) {
  return {low, high, std::vector<uint16_t>((high - low + 1 + 1) / 2, 0)};
}

ProgramRegion program(Area& a) {
  return {a.low, a.high, reinterpret_cast<intptr_t>(a.words.data()) - intptr_t(a.low)};
}
DataRegion direct(Area& a) {
  return {a.low, a.high, nullptr, a.words.data()};
}
DataRegion handled(uint32_t low, uint32_t high, ReadHandler h) {
  return {low, high, reinterpret_cast<void*>(h), nullptr};
}
DataRegion handled(uint32_t low, uint32_t high, WriteHandler h) {
  return {low, high, reinterpret_cast<void*>(h), nullptr};
}

// ---- The board's handlers, as the machine has them (without the logging) ----

std::array<uint16_t, 32> controlRegisters{};
uint32_t unclaimedAccesses = 0;

uint32_t controlReadWord(uint32_t address, const DataRegion*) {
  if ((address & 0x1fe000) == 0x1e0000) return 0xffffffff;
  return controlRegisters[(address >> 13) & 31];
}
uint32_t controlReadByte(uint32_t address, const DataRegion* r) {
  return controlReadWord(address, r) | controlReadWord(address + 1, r);
}
void controlWrite(uint32_t address, uint32_t data, const DataRegion*) {
  controlRegisters[(address >> 13) & 31] = uint16_t(data & 7);
}
uint32_t statusRead(uint32_t, const DataRegion*) {
  return 1;
}
uint32_t unclaimedReadByte(uint32_t, const DataRegion*) {
  return ++unclaimedAccesses, 0xff;
}
uint32_t unclaimedReadWord(uint32_t, const DataRegion*) {
  return ++unclaimedAccesses, 0xffff;
}
void unclaimedWrite(uint32_t, uint32_t, const DataRegion*) {
  ++unclaimedAccesses;
}

// ---- Maps --------------------------------------------------------------------

struct Map {
  const char* name;
  Area* rom;  // the workload's ROM at 0x000000 (1 MiB)
  Area* ram;  // the workload's RAM at 0x100000 (64 KiB)
  std::vector<Area> areas;
  std::vector<ProgramRegion> fetch;
  std::vector<DataRegion> readByte, readWord, writeByte, writeWord;
};

// ROM (fetch, read) and RAM (fetch, read, write): nothing else.
void buildFlat(Map& m) {
  m.name = "flat map (2 entries)";
  m.areas.reserve(2);
  m.areas.push_back(makeArea(0x000000, 0x0fffff));
  m.areas.push_back(makeArea(0x100000, 0x10ffff));
  Area &rom = m.areas[0], &ram = m.areas[1];
  m.rom = &rom;
  m.ram = &ram;
  m.fetch = {program(rom), program(ram), fetchEnd};
  m.readByte = m.readWord = {direct(rom), direct(ram), dataEnd};
  m.writeByte = m.writeWord = {direct(ram), dataEnd};
}

// The master processor's map of the board, row for row. The code ROM window
// (row 1) and the work RAM (row 2) are where the workload expects its ROM and
// RAM, so it runs unchanged.
void buildBoard(Map& m) {
  m.name = "board map (16 rows)";
  constexpr std::array<std::pair<uint32_t, uint32_t>, 12> ranges{{
      {0x000000, 0x0fffff},  // 0 code ROM
      {0x100000, 0x10ffff},  // 1 work RAM
      {0x180000, 0x183fff},  // 2 local RAM
      {0x200000, 0x20ffff},  // 3 shared RAM A
      {0x400000, 0x40ffff},  // 4 write-only RAM A
      {0x440000, 0x47ffff},  // 5 write-only RAM B
      {0x480000, 0x4807ff},  // 6 static RAM A
      {0x700000, 0x760001},  // 7 video RAM
      {0x800000, 0x9fffff},  // 8 collision ROM, both windows
      {0x900000, 0x90ffff},  // 9 shared RAM B
      {0xa00000, 0xa00fff},  // 10 shared RAM C
      {0xb00000, 0xb03fff},  // 11 static RAM B
  }};
  m.areas.reserve(ranges.size());
  for (const auto& [low, high] : ranges) m.areas.push_back(makeArea(low, high));
  std::vector<Area>& a = m.areas;
  m.rom = &a[0];
  m.ram = &a[1];
  // The collision ROM answers at 0x800000 from its byte 0 and at 0xd00000
  // from its byte 0x100000.
  Area& collision = a[8];
  const ProgramRegion collisionLow{0x800000, 0x8fffff,
                                   reinterpret_cast<intptr_t>(collision.words.data()) - 0x800000};
  const ProgramRegion collisionHigh{
      0xd00000, 0xdfffff, reinterpret_cast<intptr_t>(collision.words.data()) + 0x100000 - 0xd00000};
  const DataRegion collisionLowData{0x800000, 0x8fffff, nullptr, collision.words.data()};
  const DataRegion collisionHighData{0xd00000, 0xdfffff, nullptr, collision.words.data() + 0x80000};

  m.fetch = {program(a[0]),  program(a[1]),  program(a[2]), program(a[3]),
             program(a[6]),  collisionLow,   collisionHigh, program(a[9]),
             program(a[10]), program(a[11]), fetchEnd};
  auto readTable = [&](ReadHandler control, ReadHandler unclaimed) {
    return std::vector<DataRegion>{direct(a[0]),     direct(a[1]),
                                   direct(a[2]),     handled(0x1c0000, 0x1fffff, control),
                                   direct(a[3]),     handled(0x440000, 0x440001, statusRead),
                                   direct(a[6]),     direct(a[7]),
                                   collisionLowData, collisionHighData,
                                   direct(a[9]),     direct(a[10]),
                                   direct(a[11]),    handled(0x000000, 0xffffff, unclaimed),
                                   dataEnd};
  };
  auto writeTable = [&]() {
    return std::vector<DataRegion>{
        direct(a[1]),  direct(a[2]),  handled(0x1c0000, 0x1fffff, controlWrite),
        direct(a[3]),  direct(a[4]),  direct(a[5]),
        direct(a[6]),  direct(a[7]),  direct(a[9]),
        direct(a[10]), direct(a[11]), handled(0x000000, 0xffffff, unclaimedWrite),
        dataEnd};
  };
  m.readByte = readTable(controlReadByte, unclaimedReadByte);
  m.readWord = readTable(controlReadWord, unclaimedReadWord);
  m.writeByte = writeTable();
  m.writeWord = writeTable();
}

uint32_t longAt(const Area& a, uint32_t address) {
  const size_t i = (address - a.low) / 2;
  return uint32_t(a.words[i]) << 16 | a.words[i + 1];
}

struct Run {
  double seconds;
  uint32_t cycles;
  bool ok;
};

Run runOnce(Map& m, const std::vector<uint8_t>& image, uint32_t expected) {
  std::fill(m.rom->words.begin(), m.rom->words.end(), 0);
  for (size_t i = 0; i < image.size() && i / 2 < m.rom->words.size(); i += 2)
    m.rom->words[i / 2] = uint16_t(image[i] << 8 | (i + 1 < image.size() ? image[i + 1] : 0));
  std::fill(m.ram->words.begin(), m.ram->words.end(), 0);
  CpuContext context{};
  context.superFetch = context.userFetch = m.fetch.data();
  context.superReadByte = context.userReadByte = m.readByte.data();
  context.superReadWord = context.userReadWord = m.readWord.data();
  context.superWriteByte = context.userWriteByte = m.writeByte.data();
  context.superWriteWord = context.userWriteWord = m.writeWord.data();
  cpuInit();
  cpuSetContext(&context);
  if (cpuReset() != cpuResetStarted) return {0, 0, false};

  const auto start = std::chrono::steady_clock::now();
  uint32_t marker = 0;
  for (int slice = 0; slice < maxSlices && marker != doneMarker && marker != faultMarker; ++slice) {
    if (cpuExec(frameCycles) != cpuExecBudgetUsed) break;
    marker = longAt(*m.ram, 0x100004);
  }
  const auto stop = std::chrono::steady_clock::now();
  const double seconds = std::chrono::duration<double>(stop - start).count();
  const bool ok = marker == doneMarker && longAt(*m.ram, 0x100000) == expected;
  if (!ok) {
    std::fprintf(stderr, "%s: marker 0x%08X, checksum 0x%08X, expected 0x%08X\n", m.name, marker,
                 longAt(*m.ram, 0x100000), expected);
  }
  return {seconds, cpuReadCycleCount(), ok};
}

bool readImage(const std::string& dir, std::vector<uint8_t>& image, uint32_t& expected) {
  std::ifstream in(dir + "/workload.bin", std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "cannot open %s/workload.bin\n", dir.c_str());
    return false;
  }
  image.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  std::ifstream sum(dir + "/expected_checksum.txt");
  std::string text;
  sum >> text;
  expected = uint32_t(std::strtoul(text.c_str(), nullptr, 16));
  if (image.empty() || image.size() > 0x100000 || expected == 0) {
    std::fprintf(stderr, "unusable workload in %s\n", dir.c_str());
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
  const std::string dir = argc > 2 ? argv[2] : SB_SHARED_DIR "/bench";
  std::vector<uint8_t> image;
  uint32_t expected = 0;
  if (!readImage(dir, image, expected)) return 1;

  std::printf("68000 workload: %.0f instructions per run, %d runs per map, median\n",
              workloadInstructions, runs);
  double medians[2] = {0, 0};
  bool allOk = true;
  for (int which = 0; which < 2; ++which) {
    Map map;
    if (which == 0)
      buildFlat(map);
    else
      buildBoard(map);
    std::vector<double> times;
    uint32_t cycles = 0;
    for (int i = 0; i < runs; ++i) {
      const Run r = runOnce(map, image, expected);
      allOk = allOk && r.ok;
      times.push_back(r.seconds);
      cycles = r.cycles;
    }
    std::sort(times.begin(), times.end());
    const double median = times[times.size() / 2];
    medians[which] = median;
    std::printf(
        "%-22s wall %.4f s (min %.4f, max %.4f)  %6.1f M instructions/s  %6.1f emulated MHz  "
        "(%u cycles)\n",
        map.name, median, times.front(), times.back(), workloadInstructions / median / 1e6,
        cycles / median / 1e6, cycles);
  }
  std::printf("board map / flat map: %.3f\n", medians[1] / medians[0]);
  // The workload touches nothing but its ROM and RAM.
  if (unclaimedAccesses != 0) {
    std::printf("%u accesses reached the board map's catch-all\n", unclaimedAccesses);
    allOk = false;
  }
  if (!allOk) std::printf("CHECKSUM MISMATCH: the figures above are not valid\n");
  return allOk ? 0 : 1;
}
