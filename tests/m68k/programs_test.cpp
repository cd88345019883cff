// Real 68000 programs run on the core: sources under programs/ assembled at
// test time with the GNU cross tools, and the shared benchmark workload.
// Each program checks itself and leaves its figures in RAM; the tests compare
// them with the same computation done here.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "m68k/cpu.h"

#ifndef SB_M68K_AS
#define SB_M68K_AS ""
#endif
#ifndef SB_M68K_LD
#define SB_M68K_LD ""
#endif
#ifndef SB_M68K_OBJCOPY
#define SB_M68K_OBJCOPY ""
#endif

namespace fs = std::filesystem;

namespace {

constexpr int32_t frameCycles = 204800;

// ---- Images and memory in the core's layout ---------------------------------

// A 68000 image as host words: the byte at A lies at host offset A ^ 1.
std::vector<uint16_t> hostWords(const std::vector<uint8_t>& image, size_t size) {
  std::vector<uint16_t> words(size / 2, 0);
  for (size_t i = 0; i < image.size() && i / 2 < words.size(); i += 2) {
    const uint8_t high = image[i];
    const uint8_t low = i + 1 < image.size() ? image[i + 1] : 0;
    words[i / 2] = uint16_t(high << 8 | low);
  }
  return words;
}

uint32_t longAt(const std::vector<uint16_t>& memory, uint32_t offset) {
  return uint32_t(memory[offset / 2]) << 16 | memory[offset / 2 + 1];
}

std::vector<uint8_t> readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// ---- Assembling at test time ---------------------------------------------------

bool toolPresent(const char* path) {
  std::error_code error;
  return path[0] != '\0' && fs::is_regular_file(path, error);
}

// Empty when the cross tools are all there, else what is missing.
std::string missingTools() {
  const std::pair<const char*, const char*> tools[] = {{"m68k-linux-gnu-as", SB_M68K_AS},
                                                       {"m68k-linux-gnu-ld", SB_M68K_LD},
                                                       {"m68k-linux-gnu-objcopy", SB_M68K_OBJCOPY}};
  std::string missing;
  for (const auto& [name, path] : tools) {
    if (!toolPresent(path)) missing += std::string(missing.empty() ? "" : ", ") + name;
  }
  if (!missing.empty())
    missing = "68000 cross tools (binutils-m68k-linux-gnu) not found: " + missing;
  return missing;
}

// Assembles programs/<name>.s for a plain 68000, links it at address 0 and
// returns the flat image; on failure the image is empty and `error` says why.
std::vector<uint8_t> assemble(const std::string& name, std::string& error) {
  const fs::path source = fs::path(SB_SOURCE_DIR) / "tests/m68k/programs" / (name + ".s");
  const fs::path work =
      fs::temp_directory_path() / ("sb-m68k-" + name + "-" + std::to_string(::getpid()));
  fs::create_directories(work);
  const fs::path object = work / "program.o", elf = work / "program.elf",
                 flat = work / "program.bin", log = work / "tools.log";
  const std::string quiet = " >'" + log.string() + "' 2>&1";
  const std::string steps[] = {
      std::string("'") + SB_M68K_AS + "' -m68000 -o '" + object.string() + "' '" + source.string() +
          "'" + quiet,
      std::string("'") + SB_M68K_LD + "' -e 0 -Ttext=0 -o '" + elf.string() + "' '" +
          object.string() + "'" + quiet,
      std::string("'") + SB_M68K_OBJCOPY + "' -O binary '" + elf.string() + "' '" + flat.string() +
          "'" + quiet,
  };
  std::vector<uint8_t> image;
  for (const std::string& step : steps) {
    if (std::system(step.c_str()) != 0) {
      const std::vector<uint8_t> text = readFile(log);
      error = "failed: " + step + "\n" + std::string(text.begin(), text.end());
      fs::remove_all(work);
      return image;
    }
  }
  image = readFile(flat);
  fs::remove_all(work);
  if (image.empty()) error = "empty image from " + source.string();
  return image;
}

// ---- A small board: ROM, RAM and a supervisor-only RAM -------------------------

constexpr uint32_t romBase = 0x000000, romSize = 0x10000;
constexpr uint32_t ramBase = 0x100000, ramSize = 0x10000;
constexpr uint32_t supRamBase = 0x200000, supRamSize = 0x400;

struct Board {
  std::vector<uint16_t> rom, ram, supRam;
  std::array<ProgramRegion, 3> fetch{};
  std::array<DataRegion, 4> superRead{}, superWrite{};
  std::array<DataRegion, 3> userRead{};
  std::array<DataRegion, 2> userWrite{};
  CpuContext context{};
};

constexpr ProgramRegion fetchEnd{cpuTableEnd, cpuTableEnd, 0};
constexpr DataRegion dataEnd{cpuTableEnd, cpuTableEnd, nullptr, nullptr};

ProgramRegion programRow(uint32_t low, uint32_t size, std::vector<uint16_t>& memory) {
  return {low, low + size - 1, reinterpret_cast<intptr_t>(memory.data()) - intptr_t(low)};
}
DataRegion dataRow(uint32_t low, uint32_t size, std::vector<uint16_t>& memory) {
  return {low, low + size - 1, nullptr, memory.data()};
}

// The supervisor map holds ROM, RAM and the supervisor-only RAM; the user map
// only ROM (read) and RAM. ROM is never in a write table.
void buildBoard(Board& board, const std::vector<uint8_t>& image) {
  board.rom = hostWords(image, romSize);
  board.ram.assign(ramSize / 2, 0);
  board.supRam.assign(supRamSize / 2, 0);
  board.fetch = {programRow(romBase, romSize, board.rom), programRow(ramBase, ramSize, board.ram),
                 fetchEnd};
  const DataRegion rom = dataRow(romBase, romSize, board.rom);
  const DataRegion ram = dataRow(ramBase, ramSize, board.ram);
  const DataRegion sup = dataRow(supRamBase, supRamSize, board.supRam);
  board.superRead = {rom, ram, sup, dataEnd};
  board.superWrite = {ram, sup, dataEnd, dataEnd};
  board.userRead = {rom, ram, dataEnd};
  board.userWrite = {ram, dataEnd};
  CpuContext& c = board.context;
  c = CpuContext{};
  c.superFetch = board.fetch.data();
  c.superReadByte = c.superReadWord = board.superRead.data();
  c.superWriteByte = c.superWriteWord = board.superWrite.data();
  c.userFetch = board.fetch.data();
  c.userReadByte = c.userReadWord = board.userRead.data();
  c.userWriteByte = c.userWriteWord = board.userWrite.data();
}

// Loads the board's context and resets the processor from the vectors.
void start(Board& board) {
  ASSERT_EQ(cpuInit(), 0);
  ASSERT_EQ(cpuSetContext(&board.context), 0);
  ASSERT_EQ(cpuReset(), cpuResetStarted);
  cpuGetContext(&board.context);
}

// One slice; checks that the counter grew by what the call charged and that
// the call left a consistent, running processor.
uint32_t runSlice(Board& board, int32_t budget) {
  const uint32_t before = cpuReadCycleCount();
  const uint32_t result = cpuExec(budget);
  cpuGetContext(&board.context);
  const uint32_t charged = cpuReadCycleCount() - before;
  EXPECT_EQ(board.context.cycleCount - before, charged);
  EXPECT_EQ(cpuReadPc(), board.context.pc);
  if (result == cpuExecBudgetUsed) {
    EXPECT_GE(charged, uint32_t(budget));
  }
  return result;
}

// ---- Checksum and sort -----------------------------------------------------------

namespace sortProgram {
constexpr int longCount = 200, wordCount = 150;

uint32_t rol(uint32_t x, int n) {
  return x << n | x >> (32 - n);
}

uint32_t longChecksum(const std::vector<int32_t>& values) {
  uint32_t c = 0;
  for (size_t i = 0; i < values.size(); ++i) c = (rol(c, 5) ^ uint32_t(values[i])) + uint32_t(i);
  return c;
}

uint32_t wordChecksum(const std::vector<int16_t>& values) {
  uint32_t c = 7;
  for (int16_t v : values) c = c * 31 + uint16_t(v);
  return c;
}

uint32_t bcd(uint32_t n) {
  return n % 10 | (n / 10 % 10) << 4 | (n / 100 % 10) << 8 | (n / 1000) << 12;
}

struct Expected {
  std::vector<int32_t> longs, sortedLongs;
  std::vector<int16_t> words, sortedWords;
  uint32_t sumHigh, sumLow, bits, quotients, remainders, unsignedRemainders, products;
};

Expected compute() {
  Expected e;
  uint32_t x = 0x2545F491;
  for (int i = 0; i < longCount; ++i) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    e.longs.push_back(int32_t(x));
  }
  uint16_t s = 0x1234;
  for (int i = 0; i < wordCount; ++i) {
    s = uint16_t(s * 25173u + 13849u);
    e.words.push_back(int16_t(s));
  }
  e.sortedLongs = e.longs;
  std::sort(e.sortedLongs.begin(), e.sortedLongs.end());
  e.sortedWords = e.words;
  std::sort(e.sortedWords.begin(), e.sortedWords.end());
  int64_t sum = 0;
  uint32_t bits = 0;
  for (int32_t v : e.sortedLongs) {
    sum += v;
    bits += uint32_t(__builtin_popcount(uint32_t(v)));
  }
  e.sumHigh = uint32_t(uint64_t(sum) >> 32);
  e.sumLow = uint32_t(uint64_t(sum));
  e.bits = bits;
  e.quotients = e.remainders = e.unsignedRemainders = e.products = 0;
  for (size_t i = 0; i < e.sortedWords.size(); ++i) {
    const int16_t w = e.sortedWords[i];
    e.quotients += uint32_t(w / 7);
    e.remainders += uint32_t(w % 7);
    e.unsignedRemainders += uint16_t(w) % 1000u;
    if (i + 1 < e.sortedWords.size()) e.products += uint32_t(int32_t(w) * e.sortedWords[i + 1]);
  }
  return e;
}
}  // namespace sortProgram

TEST(M68kPrograms, ChecksumAndSortChecksItsOwnResults) {
  if (const std::string missing = missingTools(); !missing.empty()) GTEST_SKIP() << missing;
  std::string error;
  const std::vector<uint8_t> image = assemble("sort", error);
  ASSERT_FALSE(image.empty()) << error;
  Board board;
  buildBoard(board, image);
  start(board);
  uint32_t marker = 0;
  for (int slice = 0; slice < 200 && marker == 0; ++slice) {
    ASSERT_EQ(runSlice(board, 20000), cpuExecBudgetUsed) << "slice " << slice;
    marker = longAt(board.ram, 0x00);
  }
  ASSERT_EQ(marker, 0x600DC0DEu) << "0xBAD00000 + n: n pairs out of order; 0xDEADDEAD: exception";

  const sortProgram::Expected e = sortProgram::compute();
  for (int i = 0; i < sortProgram::longCount; ++i)
    ASSERT_EQ(int32_t(longAt(board.ram, 0x100 + 4 * i)), e.sortedLongs[i]) << "long " << i;
  for (int i = 0; i < sortProgram::wordCount; ++i)
    ASSERT_EQ(int16_t(board.ram[(0x800 + 2 * i) / 2]), e.sortedWords[i]) << "word " << i;
  EXPECT_EQ(longAt(board.ram, 0x04), sortProgram::longChecksum(e.longs));
  EXPECT_EQ(longAt(board.ram, 0x08), sortProgram::longChecksum(e.sortedLongs));
  EXPECT_EQ(longAt(board.ram, 0x0c), sortProgram::wordChecksum(e.words));
  EXPECT_EQ(longAt(board.ram, 0x10), sortProgram::wordChecksum(e.sortedWords));
  EXPECT_EQ(longAt(board.ram, 0x14), e.sumHigh);
  EXPECT_EQ(longAt(board.ram, 0x18), e.sumLow);
  EXPECT_EQ(longAt(board.ram, 0x1c), e.bits);
  EXPECT_EQ(longAt(board.ram, 0x20), e.quotients);
  EXPECT_EQ(longAt(board.ram, 0x24), e.remainders);
  EXPECT_EQ(longAt(board.ram, 0x28), e.unsignedRemainders);
  EXPECT_EQ(longAt(board.ram, 0x2c), e.products);
  constexpr uint32_t elements = sortProgram::longCount + sortProgram::wordCount;
  EXPECT_EQ(longAt(board.ram, 0x30), sortProgram::bcd(elements));
  EXPECT_EQ(longAt(board.ram, 0x34), sortProgram::bcd(1000 - elements));
  // It ends stopped, in supervisor mode, with its stack balanced.
  EXPECT_EQ(board.context.interrupts[0] & 1, 1);
  EXPECT_EQ(board.context.pc & 1, 0u);
  EXPECT_EQ(board.context.areg[7], 0x110000u);
}

// ---- User mode, traps and interrupts ---------------------------------------------

namespace userProgram {
constexpr uint32_t marker = 0x00, phase = 0x04, irqCount = 0x08, vec64 = 0x28, irqTotal = 0x2c,
                   irqUser = 0x30, trapSum = 0x34, privCount = 0x38, iterations = 0x3c,
                   badCount = 0x40, uspEnd = 0x44, snap3 = 0x48, after3 = 0x4c, after5 = 0x50,
                   supValue = 0x54;
constexpr uint32_t target = 40, userStack = 0x10c000;
constexpr int32_t budget = 1500;

// The k-th interrupt the host raises in the user phase: levels 1 to 6 in
// turn; level 4 always through vector 64, level 2 every other time spurious.
std::pair<int32_t, int32_t> request(uint32_t k) {
  const int32_t level = int32_t(1 + k % 6);
  if (level == 4) return {level, 64};
  if (level == 2 && k % 12 == 1) return {level, cpuSpuriousVector};
  return {level, cpuAutovector};
}
}  // namespace userProgram

TEST(M68kPrograms, UserModeWithTrapsAndInterrupts) {
  using namespace userProgram;
  if (const std::string missing = missingTools(); !missing.empty()) GTEST_SKIP() << missing;
  std::string error;
  const std::vector<uint8_t> image = assemble("usermode", error);
  ASSERT_FALSE(image.empty()) << error;
  Board board;
  buildBoard(board, image);
  start(board);

  // User phase: one request between slices until `target` are recorded.
  std::array<uint32_t, 8> raised{};  // [0] spurious, [n] autovector level n
  uint32_t raisedVec64 = 0, recorded = 0, k = 0;
  int slice = 0;
  for (; slice < 2000 && longAt(board.ram, phase) == 0; ++slice) {
    if (recorded < target) {
      const auto [level, vector] = request(k++);
      const int32_t result = cpuInterrupt(level, vector);
      ASSERT_NE(result, cpuInterruptOutOfRange);
      if (result == cpuInterruptRecorded) {
        ++recorded;
        if (vector == 64)
          ++raisedVec64;
        else
          ++raised[vector == cpuSpuriousVector ? 0 : level];
      }
    }
    ASSERT_EQ(runSlice(board, budget), cpuExecBudgetUsed);
    ASSERT_NE(longAt(board.ram, marker), 0xDEADDEADu);
  }
  ASSERT_EQ(longAt(board.ram, phase), 1u) << "the user phase did not end";
  EXPECT_EQ(board.context.sr & 0x2700, 0x2700);

  // Mask 7: a level-3 request stays pending, a level-7 one is taken.
  ASSERT_EQ(cpuInterrupt(3, cpuAutovector), cpuInterruptRecorded);
  for (int i = 0; i < 3; ++i) ASSERT_EQ(runSlice(board, budget), cpuExecBudgetUsed);
  EXPECT_EQ(board.context.interrupts[0] & (1 << 3), 1 << 3) << "level 3 should wait under mask 7";
  EXPECT_EQ(board.context.interrupts[3], 27);
  ASSERT_EQ(cpuInterrupt(7, cpuAutovector), cpuInterruptRecorded);
  for (int i = 0; i < 20 && longAt(board.ram, phase) != 2; ++i)
    ASSERT_EQ(runSlice(board, budget), cpuExecBudgetUsed);
  ASSERT_EQ(longAt(board.ram, phase), 2u);

  // STOP #0x2000: the processor waits, charging whole budgets.
  for (int i = 0; i < 5 && !(board.context.interrupts[0] & 1); ++i)
    ASSERT_EQ(runSlice(board, budget), cpuExecBudgetUsed);
  ASSERT_EQ(board.context.interrupts[0] & 1, 1) << "not stopped";
  const uint32_t stoppedPc = board.context.pc;
  const uint32_t before = cpuReadCycleCount();
  ASSERT_EQ(runSlice(board, budget), cpuExecBudgetUsed);
  EXPECT_EQ(cpuReadCycleCount() - before, uint32_t(budget));
  EXPECT_EQ(board.context.pc, stoppedPc);
  ASSERT_EQ(cpuInterrupt(5, cpuAutovector), cpuInterruptRecorded);
  for (int i = 0; i < 5 && longAt(board.ram, marker) == 0; ++i)
    ASSERT_EQ(runSlice(board, budget), cpuExecBudgetUsed);
  ASSERT_EQ(longAt(board.ram, marker), 0xC0DEC0DEu);

  const uint32_t iter = longAt(board.ram, iterations);
  EXPECT_GT(iter, 0u);
  EXPECT_EQ(longAt(board.ram, badCount), 0u);
  EXPECT_EQ(longAt(board.ram, trapSum), iter * (iter + 1) / 2);
  EXPECT_EQ(longAt(board.ram, privCount), 2 * (iter / 16));
  EXPECT_EQ(longAt(board.ram, uspEnd), userStack);
  EXPECT_EQ(longAt(board.ram, supValue) & 0xffff, 0x5A5Au);
  EXPECT_EQ(longAt(board.ram, irqTotal), target + 3);
  EXPECT_GT(longAt(board.ram, irqUser), 0u);
  EXPECT_LE(longAt(board.ram, irqUser), target);
  EXPECT_EQ(longAt(board.ram, vec64), raisedVec64);
  EXPECT_EQ(longAt(board.ram, irqCount + 4 * 4), 0u) << "level 4 came through its autovector";
  EXPECT_EQ(longAt(board.ram, irqCount + 0), raised[0]);
  for (int level : {1, 2, 6}) EXPECT_EQ(longAt(board.ram, irqCount + 4 * level), raised[level]);
  EXPECT_EQ(longAt(board.ram, snap3), raised[3]) << "level 3 was taken under mask 7";
  EXPECT_EQ(longAt(board.ram, after3), raised[3] + 1) << "level 3 not taken after the mask fell";
  EXPECT_EQ(longAt(board.ram, irqCount + 4 * 3), raised[3] + 1);
  EXPECT_EQ(longAt(board.ram, after5), raised[5] + 1);
  EXPECT_EQ(longAt(board.ram, irqCount + 4 * 7), 1u);
  EXPECT_EQ(board.context.sr & 0x2000, 0x2000);
}

// ---- The shared benchmark workload -------------------------------------------------

TEST(M68kPrograms, BenchmarkWorkloadReachesItsChecksum) {
  const fs::path dir = fs::path(SB_SHARED_DIR) / "bench";
  std::error_code ec;
  if (!fs::is_regular_file(dir / "workload.bin", ec))
    GTEST_SKIP() << "shared workload not found at " << (dir / "workload.bin").string();
  const std::vector<uint8_t> image = readFile(dir / "workload.bin");
  std::ifstream checksumFile(dir / "expected_checksum.txt");
  std::string checksumText;
  checksumFile >> checksumText;
  const uint32_t expected = uint32_t(std::strtoul(checksumText.c_str(), nullptr, 16));
  ASSERT_NE(expected, 0u) << "unreadable expected_checksum.txt";

  // Flat map: ROM 1 MiB at 0 (read only), RAM 64 KiB at 0x100000.
  std::vector<uint16_t> rom = hostWords(image, 0x100000), ram(0x8000, 0);
  const ProgramRegion fetch[] = {programRow(0, 0x100000, rom), programRow(0x100000, 0x10000, ram),
                                 fetchEnd};
  const DataRegion read[] = {dataRow(0, 0x100000, rom), dataRow(0x100000, 0x10000, ram), dataEnd};
  const DataRegion write[] = {dataRow(0x100000, 0x10000, ram), dataEnd};
  CpuContext context{};
  context.superFetch = context.userFetch = fetch;
  context.superReadByte = context.superReadWord = context.userReadByte = context.userReadWord =
      read;
  context.superWriteByte = context.superWriteWord = context.userWriteByte = context.userWriteWord =
      write;
  ASSERT_EQ(cpuInit(), 0);
  cpuSetContext(&context);
  ASSERT_EQ(cpuReset(), cpuResetStarted);
  uint32_t marker = 0;
  int slices = 0;
  for (; slices < 4000 && marker != 0xC0DEC0DE && marker != 0xDEADDEAD; ++slices) {
    ASSERT_EQ(cpuExec(frameCycles), cpuExecBudgetUsed) << "slice " << slices;
    marker = longAt(ram, 4);
  }
  ASSERT_EQ(marker, 0xC0DEC0DEu) << "after " << slices << " slices";
  EXPECT_EQ(longAt(ram, 0), expected);
}

}  // namespace
