// libFuzzer target of the 68000 core: random code and registers over a map
// with holes, handlers, straddled entries and a fetch region shorter than
// some instructions, run in slices of the input's budgets, then one
// instruction per call: both make the same handler calls (address, data, PC,
// count) and end alike, up to a STOP (it charges the rest of its slice); and
// in slices long enough for polling loops to be fast-forwarded, with and
// without it, alike to the instruction count.
// Handlers raise requests, release the slice and trip the counter as a
// function of the seed and the call's number. AddressSanitizer checks that no
// host byte outside a region (each its own heap block) is touched.
//
// Input: flags, condition codes, slice count, eight 16-bit budgets, pending levels,
// handler seed, (kind, value) for D0-D7, A0-A7, other SP and PC, then code words.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "m68k/cpu.h"

namespace {

constexpr uint32_t kRom = 0x0000;                         // 2 KiB: vectors, code from 0x400
constexpr uint32_t kRam = 0x2000;                         // 2 KiB: code and data in both modes
constexpr uint32_t kTiny = 0x4000;                        // 6 bytes: shorter than some code
constexpr uint32_t kPort = 0x6000;                        // handlers, 256 bytes
constexpr uint32_t kSmall = 0x8000, kSmallPort = 0x8004;  // 4 direct bytes, handlers after

struct Memory {
  std::vector<uint16_t> rom = std::vector<uint16_t>(0x400), ram = std::vector<uint16_t>(0x400),
                        tiny = std::vector<uint16_t>(3), small = std::vector<uint16_t>(2);
  bool operator==(const Memory&) const = default;
};

struct Observation {
  uint32_t kind, address, data, pc, cycles, answer;  // kind: byte/word read/write, RESET
  bool operator==(const Observation&) const = default;
};
struct HandlerState {
  uint32_t seed = 0, calls = 0, tripped = 0;  // tripped: cycles taken by trips
  std::vector<Observation> seen;
} state;

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "m68k fuzz: %s\n", what);
  std::abort();
}
uint32_t mix(uint32_t a, uint32_t b) {
  uint32_t h = a * 0x9E3779B1u ^ (b + 0x7F4A7C15u + (a << 6) + (a >> 2));
  h = (h ^ (h >> 16)) * 0x85EBCA6Bu;
  h = (h ^ (h >> 13)) * 0xC2B2AE35u;
  return h ^ (h >> 16);
}
// Cycles charged since the run began, whatever trips happened since.
uint32_t totalCycles() {
  return state.tripped + cpuReadCycleCount();
}

uint32_t onCall(uint32_t kind, uint32_t address, uint32_t data) {
  if (address > 0xFFFFFF) fail("handler got an address above 24 bits");
  if (data > (kind == 2 ? 0xFFu : 0xFFFFu)) fail("write handler got more bits than its size");
  const uint32_t h = mix(mix(state.seed, state.calls++), address), what = h >> 28;
  Observation o{kind, address, data, cpuReadPc(), totalCycles(), 0};
  if (!state.seen.empty() && o.cycles < state.seen.back().cycles)
    fail("cycle count went backwards between handler calls");
  if (what <= 1) {
    static constexpr int32_t kVectors[] = {cpuAutovector, cpuAutovector, cpuSpuriousVector, 64};
    o.answer = uint32_t(cpuInterrupt(int32_t(1 + (h >> 8) % 7), kVectors[(h >> 4) & 3]));
  } else if (what == 2) {
    cpuReleaseTimeslice();
  } else if (what <= 4) {
    const uint32_t before = totalCycles();
    state.tripped += what == 3 ? cpuTripCycleCount() : cpuControlCycleCount(1);
    if (cpuReadCycleCount() != 0 || totalCycles() != before) fail("a trip lost cycles");
  } else if (what == 5 && cpuControlCycleCount(0) != cpuReadCycleCount()) {
    fail("control(0) differs from read");
  }
  state.seen.push_back(o);
  return h;
}
// Sized exactly, so that a search past the end entry is caught too. User
// mode cannot fetch the vector half of ROM, see the short region's data or
// write the handlers (except those after the short direct entry).
struct Tables {
  std::vector<ProgramRegion> superFetch, userFetch;
  std::vector<DataRegion> superRead, userRead, superWriteByte, superWriteWord, userWrite;
};

template <typename T>
DataRegion direct(uint32_t low, std::vector<T>& m) {
  return {low, uint32_t(low + m.size() * sizeof(T) - 1), nullptr, m.data()};
}
ProgramRegion code(uint32_t low, std::vector<uint16_t>& m, uint32_t base) {
  return {low, uint32_t(base + m.size() * 2 - 1), intptr_t(m.data()) - intptr_t(base)};
}

void buildTables(CpuContext& c, Tables& t, Memory& m, bool byteTables) {
  const DataRegion rom = direct(kRom, m.rom), ram = direct(kRam, m.ram),
                   tiny = direct(kTiny, m.tiny), small = direct(kSmall, m.small),
                   end{cpuTableEnd, cpuTableEnd, nullptr, nullptr};
  ReadHandler rb = [](uint32_t a, const DataRegion*) { return onCall(0, a, 0); };
  ReadHandler rw = [](uint32_t a, const DataRegion*) { return onCall(1, a, 0); };
  WriteHandler wb = [](uint32_t a, uint32_t d, const DataRegion*) { onCall(2, a, d); };
  WriteHandler ww = [](uint32_t a, uint32_t d, const DataRegion*) { onCall(3, a, d); };
  auto port = [](uint32_t low, uint32_t size, auto h) {
    return DataRegion{low, low + size - 1, reinterpret_cast<void*>(h), nullptr};
  };
  const DataRegion ports[] = {port(kPort, 0x100, byteTables ? rb : rw),
                              port(kSmallPort, 8, byteTables ? rb : rw),
                              port(kPort, 0x100, wb),
                              port(kSmallPort, 8, wb),
                              port(kPort, 0x100, ww),
                              port(kSmallPort, 8, ww)};
  const ProgramRegion ramCode = code(kRam, m.ram, kRam), tinyCode = code(kTiny, m.tiny, kTiny),
                      end2{cpuTableEnd, cpuTableEnd, 0};
  t.superFetch = {code(kRom, m.rom, kRom), ramCode, tinyCode, end2};
  t.userFetch = {ramCode, code(kRom + 0x400, m.rom, kRom), tinyCode, end2};
  t.superRead = {rom, ram, tiny, ports[0], small, ports[1], end};
  t.userRead = {ram, rom, ports[0], small, ports[1], end};
  t.superWriteByte = {ram, ports[2], small, ports[3], end};
  t.superWriteWord = {ram, ports[4], small, ports[5], end};
  t.userWrite = {small, ports[5], ram, end};
  c.superFetch = t.superFetch.data();
  c.superReadByte = c.superReadWord = t.superRead.data();
  c.superWriteByte = t.superWriteByte.data();
  c.superWriteWord = t.superWriteWord.data();
  c.userFetch = t.userFetch.data();
  c.userReadByte = c.userReadWord = t.userRead.data();
  c.userWriteByte = c.userWriteWord = t.userWrite.data();
  const bool super = c.sr & 0x2000;
  c.fetch = super ? c.superFetch : c.userFetch;
  c.readByte = c.readWord = super ? c.superReadByte : c.userReadByte;
  c.writeByte = super ? c.superWriteByte : c.userWriteByte;
  c.writeWord = super ? c.superWriteWord : c.userWriteWord;
}

struct Reader {
  const uint8_t* data;
  size_t size, at = 0;
  uint8_t byte() { return at < size ? data[at++] : 0; }
  uint16_t word() {
    const uint32_t high = byte();
    return uint16_t(high << 8 | byte());
  }
};

// A register value or PC of the kind the input picks: into a region, or anything.
// clang-format off
uint32_t pick(Reader& in, bool pc) {
  const uint32_t kind = in.byte() & 7, v = in.word();
  const uint32_t rom = kRom + 0x400 + (v & 0x3FE), ram = kRam + (v & 0x7FE);
  const uint32_t choices[] = {kRom + 0x400 + (v & 0x3FF), kRam + (v & 0x7FF), kPort + (v & 0xFF),
      kSmall + (v & 0xF), kTiny + (v & 7), uint32_t(int32_t(int16_t(v))), v << 16 | (v ^ 0x5A5A),
      (v & 0xFF) << 24 | (kRam + ((v >> 8) << 3 & 0x7FF)),
      rom, rom, rom, ram, ram, kTiny + (v % 3) * 2,
      (v & 0xFF) << 24 | (kRom + 0x400 + (v >> 8 << 1 & 0x3FE)), v << 8 | (v >> 8)};
  return choices[kind + (pc ? 8 : 0)];
}
// clang-format on

struct Setup {
  CpuContext context{};
  int calls = 1;
  int32_t budgets[8];
};

void prepare(Reader& in, Setup& s, Memory& m) {
  const uint8_t flags = in.byte(), ccr = in.byte();
  s.calls = 1 + in.byte() % 8;
  for (int32_t& b : s.budgets) b = 1 + in.word() % 2048;
  const uint8_t pending = in.byte() & 0xFE;
  state.seed = uint32_t(in.word()) << 16;
  state.seed |= in.word();
  CpuContext& c = s.context;
  for (uint32_t& r : c.dreg) r = pick(in, false);
  for (uint32_t& r : c.areg) r = pick(in, false);
  c.otherSp = pick(in, false);
  c.pc = pick(in, true);
  c.sr = uint16_t((flags & 1 ? 0x2000 : 0) | (flags & 2 ? 0x8000 : 0) | (flags >> 2 & 7) << 8 |
                  (ccr & 0x1F));
  c.resetHandler = flags & 0x20 ? [] { onCall(4, 0, 0); } : ResetHandler{};
  c.interrupts[0] = pending;
  for (int level = 1; level < 8; ++level) c.interrupts[level] = uint8_t(mix(state.seed, level));
  // Vectors mostly into the code, sometimes elsewhere, nowhere or odd.
  for (uint32_t v = 0; v < 256; ++v) {
    const uint32_t h = mix(state.seed ^ 0xABCDEF, v), rom = kRom + 0x400 + (h & 0x3FE);
    const uint32_t targets[] = {kRam + (h & 0x7FE), kTiny + (h % 3) * 2, 0xF000,
                                flags & 0x40 ? rom | 1 : rom};
    const uint32_t target = (h >> 27) < 4 ? targets[h >> 27] : rom;
    m.rom[v * 2] = uint16_t(target >> 16);
    m.rom[v * 2 + 1] = uint16_t(target);
  }
  for (size_t i = 0x400 / 2; i < m.rom.size(); ++i) m.rom[i] = in.word();
  for (uint16_t& w : m.ram) w = in.word();
  for (uint16_t& w : m.tiny) w = in.word();
}

struct Outcome {
  CpuContext context{};
  uint32_t cycles = 0, lastResult = 0;
  bool parted = false;
  Memory memory;
  std::vector<Observation> seen;
};

// The next step runs a STOP: the one at the PC, or the first instruction of
// the interrupt handler that the step takes at its start.
bool stopsNext(const CpuContext& c, const Memory& m) {
  uint32_t pc = c.pc, level = 7;
  while (level > 0 && !((c.interrupts[0] >> level & 1) && (level == 7 || level > (c.sr >> 8 & 7u))))
    --level;
  if (level > 0)
    pc = uint32_t(m.rom[c.interrupts[level] * 2]) << 16 | m.rom[c.interrupts[level] * 2 + 1];
  return (level > 0 || (c.sr & 0x2000)) && (c.interrupts[0] & 1) == 0 && cpuFetch(pc) == 0x4E72;
}

// Registers, SR, requests and whether the supervisor's tables are in force.
bool sameState(const CpuContext& a, const CpuContext& b) {
  const size_t registers = offsetof(CpuContext, cycleCount) - offsetof(CpuContext, dreg);
  return std::memcmp(a.dreg, b.dreg, registers) == 0 && a.sr == b.sr &&
         std::memcmp(a.interrupts, b.interrupts, 8) == 0 &&
         (a.fetch == a.superFetch) == (b.fetch == b.superFetch);
}

// The input's slices or, given the sliced run, one instruction per call up to
// its total; calls that charge nothing (a failed fetch) may follow, a few
// while the state still differs. Checks between calls, outside cpuExec.
void run(const Setup& s, Memory& m, const Outcome* sliced, Outcome& out) {
  CpuContext c = s.context;
  Tables t;
  buildTables(c, t, m, state.seed & 1);
  cpuSetContext(&c);
  const uint32_t calls = sliced ? sliced->cycles / 4 + 64 : uint32_t(s.calls);
  for (uint32_t call = 0, idle = 0; call < calls; ++call) {
    const uint32_t before = totalCycles();
    cpuGetContext(&c);
    if (sliced && (before > sliced->cycles ||
                   (before == sliced->cycles &&
                    (++idle > 4 || (state.seen.size() == sliced->seen.size() &&
                                    sameState(c, sliced->context) && m == sliced->memory)))))
      break;
    if (sliced && stopsNext(c, m)) {  // STOP charges the rest of a slice: the runs part
      out.parted = true;
      break;
    }
    const int32_t budget = sliced ? 1 : s.budgets[call];
    out.lastResult = cpuExec(budget);
    cpuGetContext(&c);
    const uint32_t charged = totalCycles() - before;
    if (c.cycleCount != cpuReadCycleCount()) fail("context counter differs from cpuReadCycleCount");
    if (cpuReadPc() != c.pc) fail("cpuReadPc differs from the context's pc");
    if ((c.sr & 0x58E0) != 0) fail("status register holds bits that do not exist");
    if (out.lastResult == cpuExecHalted && charged != 0) fail("a halted processor charged cycles");
    if (out.lastResult == cpuExecBudgetUsed && charged > uint32_t(budget) + 400)
      fail("a slice overran its budget by more than any instruction costs");
    if (out.lastResult != cpuExecBudgetUsed) break;
  }
  cpuGetContext(&out.context);
  out.cycles = totalCycles();
  out.memory = m;
  out.seen = std::move(state.seen);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool initialised = (cpuInit(), true);
  (void)initialised;
  if (size < 8) return 0;
  Setup setup;
  Memory initial;
  Reader in{data, size};
  state = HandlerState{};
  prepare(in, setup, initial);
  const uint32_t seed = state.seed;
  Outcome a, b;
  for (Outcome* out : {&a, &b}) {
    Memory m = initial;
    state = HandlerState{};
    state.seed = seed;
    run(setup, m, out == &b ? &a : nullptr, *out);
  }
  // Slices long enough for polling loops to be looked for: counted instead of
  // run, or run pass by pass, they end alike.
  Setup longer = setup;
  for (int32_t& budget : longer.budgets) budget *= 24;
  Outcome passes[2];
  for (bool fast : {false, true}) {
    Memory m = initial;
    state = HandlerState{};
    state.seed = seed;
    cpuSetFastForward(fast);
    run(longer, m, nullptr, passes[fast]);
  }
  cpuSetFastForward(true);
  if (passes[0].seen != passes[1].seen || passes[0].cycles != passes[1].cycles ||
      !sameState(passes[0].context, passes[1].context) || !(passes[0].memory == passes[1].memory) ||
      passes[0].context.instructionCount != passes[1].context.instructionCount)
    fail("a fast-forwarded run ends otherwise than one that runs every pass");
  const bool sameCalls = b.parted ? b.seen.size() <= a.seen.size() &&
                                        std::equal(b.seen.begin(), b.seen.end(), a.seen.begin())
                                  : a.seen == b.seen;
  if (!sameCalls) fail("sliced and stepped runs make different handler calls");
  if (b.parted) return 0;
  if (a.cycles != b.cycles) fail("cycle totals differ");
  if (!sameState(a.context, b.context)) fail("final states differ");
  if (!(a.memory == b.memory)) fail("final memory differs");
  return 0;
}
