// libFuzzer target for the 68000 core: random code and register state over a
// map with holes, handler entries, overlapping and straddled entries and
// program regions that end in the middle of an instruction.
//
// Every input runs twice from the same state: first in slices of the input's
// budgets, then one instruction per call (budget 1). Slicing does not change
// which instructions run, so both runs must make the same handler calls with
// the same addresses, data and PCs, see the same cycle count at each of them,
// and end in the same state with exactly the same number of cycles charged
// (up to a STOP, which charges the rest of its slice). Each single
// step is also replayed first with handlers that have no effect on the core:
// requests, releases and trips may change what a step charges only by the
// interrupt it takes.
// Handlers return data and now and then raise interrupts, release the
// timeslice and read or trip the cycle counter. AddressSanitizer checks that
// the core never reads or writes host memory outside the regions it was given
// (every region is its own heap block, sized exactly).
//
// Input: a 78-byte header (mode flags, condition codes, slice count and
// budgets, pending interrupts, handler seed, registers and PC), then code
// bytes for the ROM area, the RAM and the six-byte region.
#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "m68k/cpu.h"

namespace {

// ---- The map ------------------------------------------------------------------

constexpr uint32_t romLow = 0x000000, romSize = 0x800;  // vectors, then code from 0x400
constexpr uint32_t ramLow = 0x002000, ramSize = 0x800;  // code and data, both modes
constexpr uint32_t tinyLow = 0x004000, tinySize = 6;    // a region shorter than some instructions
constexpr uint32_t portLow = 0x006000, portHigh = 0x0060ff;  // handlers
constexpr uint32_t smallLow = 0x008000, smallSize = 4;       // direct, then handlers right after it
constexpr uint32_t smallPortLow = 0x008004, smallPortHigh = 0x00800b;
constexpr uint32_t shadowLow = 0x002400,
                   shadowHigh = 0x00240f;  // handlers over RAM, word writes only

struct Memory {
  std::vector<uint16_t> rom, ram, tiny, small;
};

constexpr ProgramRegion fetchEnd{cpuTableEnd, cpuTableEnd, 0};
constexpr DataRegion dataEnd{cpuTableEnd, cpuTableEnd, nullptr, nullptr};

intptr_t offsetOf(std::vector<uint16_t>& m, uint32_t low) {
  return reinterpret_cast<intptr_t>(m.data()) - intptr_t(low);
}

// Vectors sized exactly, so that a search past the end entry is caught too.
struct Tables {
  std::vector<ProgramRegion> superFetch, userFetch;
  std::vector<DataRegion> superRead, userRead, superWriteByte, superWriteWord, userWrite;
};

// ---- Handler behaviour: a pure function of the input's seed and the call's
// position, so that both runs see the same answers --------------------------

struct Observation {
  uint32_t kind;  // 0 byte read, 1 word read, 2 byte write, 3 word write, 4 RESET
  uint32_t address, data, pc, cycles, answer;
  bool operator==(const Observation&) const = default;
};

struct HandlerState {
  uint32_t seed = 0;
  uint32_t calls = 0;
  uint32_t tripped = 0;   // cycles taken out of the counter by trips, so far
  bool quiet = false;     // answer as usual but call nothing in the core
  uint32_t recorded = 0;  // requests recorded in this step
  std::vector<Observation> seen;
};
HandlerState state;
// SB_FUZZ_TRACE set: every call and step is printed (to study a failing input).
const bool tracing = std::getenv("SB_FUZZ_TRACE") != nullptr;

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "m68k fuzz: %s\n", what);
  std::abort();
}

uint32_t mix(uint32_t a, uint32_t b) {
  uint32_t h = a * 0x9E3779B1u ^ (b + 0x7F4A7C15u + (a << 6) + (a >> 2));
  h ^= h >> 16;
  h *= 0x85EBCA6Bu;
  h ^= h >> 13;
  h *= 0xC2B2AE35u;
  return h ^ (h >> 16);
}

// Cycles charged since the run began, whatever trips happened meanwhile.
uint32_t totalCycles() {
  return state.tripped + cpuReadCycleCount();
}

uint32_t onCall(uint32_t kind, uint32_t address, uint32_t data) {
  if (address > 0xffffff) fail("handler got an address above 24 bits");
  const uint32_t h = mix(mix(state.seed, state.calls++), address);
  if (state.quiet) return h;
  Observation o{kind, address, data, cpuReadPc(), totalCycles(), 0};
  if (!state.seen.empty() && o.cycles < state.seen.back().cycles)
    fail("cycle count went backwards between handler calls");
  switch (h >> 28) {
    case 0:
    case 1: {
      static constexpr int32_t vectors[] = {cpuAutovector, cpuAutovector, cpuSpuriousVector, 64};
      const int32_t level = int32_t(1 + (h >> 8) % 7);
      o.answer = uint32_t(cpuInterrupt(level, vectors[(h >> 4) & 3]));
      if (o.answer == cpuInterruptRecorded) ++state.recorded;
      break;
    }
    case 2:
      cpuReleaseTimeslice();
      break;
    case 3:
    case 4: {
      const uint32_t before = totalCycles();
      state.tripped += (h >> 28) == 3 ? cpuTripCycleCount() : cpuControlCycleCount(1);
      if (cpuReadCycleCount() != 0) fail("counter not zero right after a trip");
      if (totalCycles() != before) fail("a trip changed the total");
      break;
    }
    case 5:
      if (cpuControlCycleCount(0) != cpuReadCycleCount()) fail("control(0) differs from read");
      break;
    default:
      break;
  }
  state.seen.push_back(o);
  return h;
}

uint32_t readByte(uint32_t address, const DataRegion*) {
  return onCall(0, address, 0);
}
uint32_t readWord(uint32_t address, const DataRegion*) {
  return onCall(1, address, 0);
}
void writeByte(uint32_t address, uint32_t data, const DataRegion*) {
  if (data > 0xff) fail("byte write handler got more than 8 bits");
  onCall(2, address, data);
}
void writeWord(uint32_t address, uint32_t data, const DataRegion*) {
  if (data > 0xffff) fail("word write handler got more than 16 bits");
  onCall(3, address, data);
}
void onReset() {
  onCall(4, 0, 0);
}

DataRegion port(uint32_t low, uint32_t high, ReadHandler h) {
  return {low, high, reinterpret_cast<void*>(h), nullptr};
}
DataRegion port(uint32_t low, uint32_t high, WriteHandler h) {
  return {low, high, reinterpret_cast<void*>(h), nullptr};
}

// Supervisor: ROM, RAM and the short region are executable; user mode cannot
// fetch the vector half of ROM, cannot see the short region's data and
// cannot write the handlers (except the straddled ones).
void buildTables(Tables& t, Memory& m, bool byteTables) {
  const DataRegion rom{romLow, romLow + romSize - 1, nullptr, m.rom.data()};
  const DataRegion ram{ramLow, ramLow + ramSize - 1, nullptr, m.ram.data()};
  const DataRegion tiny{tinyLow, tinyLow + tinySize - 1, nullptr, m.tiny.data()};
  const DataRegion small{smallLow, smallLow + smallSize - 1, nullptr, m.small.data()};
  const ReadHandler read = byteTables ? readByte : readWord;
  t.superFetch = {ProgramRegion{romLow, romLow + romSize - 1, offsetOf(m.rom, romLow)},
                  ProgramRegion{ramLow, ramLow + ramSize - 1, offsetOf(m.ram, ramLow)},
                  ProgramRegion{tinyLow, tinyLow + tinySize - 1, offsetOf(m.tiny, tinyLow)},
                  fetchEnd};
  t.userFetch = {ProgramRegion{ramLow, ramLow + ramSize - 1, offsetOf(m.ram, ramLow)},
                 ProgramRegion{romLow + 0x400, romLow + romSize - 1, offsetOf(m.rom, romLow)},
                 ProgramRegion{tinyLow, tinyLow + tinySize - 1, offsetOf(m.tiny, tinyLow)},
                 fetchEnd};
  t.superRead = {rom,    ram,
                 tiny,   port(portLow, portHigh, read),
                 small,  port(smallPortLow, smallPortHigh, read),
                 dataEnd};
  t.userRead = {
      ram,    rom, port(portLow, portHigh, read), small, port(smallPortLow, smallPortHigh, read),
      dataEnd};
  t.superWriteByte = {ram, port(portLow, portHigh, writeByte), small,
                      port(smallPortLow, smallPortHigh, writeByte), dataEnd};
  t.superWriteWord = {port(shadowLow, shadowHigh, writeWord),       ram,
                      port(portLow, portHigh, writeWord),           small,
                      port(smallPortLow, smallPortHigh, writeWord), dataEnd};
  t.userWrite = {small, port(smallPortLow, smallPortHigh, writeWord), ram, dataEnd};
}

// ---- Input ----------------------------------------------------------------------

struct Reader {
  const uint8_t* data;
  size_t size, at = 0;
  uint8_t byte() { return at < size ? data[at++] : 0; }
  uint16_t word() { return uint16_t(byte() << 8 | byte()); }
};

uint32_t pickValue(uint8_t kind, uint16_t v) {
  switch (kind & 7) {
    case 0:
      return romLow + 0x400 + (v & 0x3ff);
    case 1:
      return ramLow + (v & 0x7ff);
    case 2:
      return portLow + (v & 0xff);
    case 3:
      return smallLow + (v & 0xf);
    case 4:
      return tinyLow + (v & 7);
    case 5:
      return uint32_t(int32_t(int16_t(v)));
    case 6:
      return uint32_t(v) << 16 | (v ^ 0x5a5a);
    default:
      return uint32_t(v & 0xff) << 24 | (ramLow + ((v >> 8) << 3 & 0x7ff));
  }
}

uint32_t pickPc(uint8_t kind, uint16_t v) {
  switch (kind & 7) {
    case 0:
    case 1:
    case 2:
      return romLow + 0x400 + (v & 0x3fe);
    case 3:
    case 4:
      return ramLow + (v & 0x7fe);
    case 5:
      return tinyLow + (v % 3) * 2;
    case 6:
      return uint32_t(v & 0xff) << 24 | (romLow + 0x400 + (v >> 8 << 1 & 0x3fe));
    default:
      return uint32_t(v) << 8 | (v >> 8);
  }
}

struct Setup {
  CpuContext context{};
  int calls = 1;
  std::array<int32_t, 8> budgets{};
  bool resetHandler = false;
};

void writeLong(std::vector<uint16_t>& m, uint32_t offset, uint32_t value) {
  m[offset / 2] = uint16_t(value >> 16);
  m[offset / 2 + 1] = uint16_t(value);
}

// Fills memory and the context from the input (missing bytes read as zero).
void prepare(Reader& in, Setup& s, Memory& m) {
  const uint8_t flags = in.byte();
  const uint8_t ccr = in.byte();
  s.calls = 1 + in.byte() % 8;
  for (int32_t& b : s.budgets) b = 1 + in.word() % 2048;
  const uint8_t pending = in.byte() & 0xfe;
  state.seed = uint32_t(in.word()) << 16 | in.word();
  CpuContext& c = s.context;
  for (uint32_t& r : c.dreg) r = pickValue(in.byte(), in.word());
  for (uint32_t& r : c.areg) r = pickValue(in.byte(), in.word());
  c.otherSp = pickValue(in.byte(), in.word());
  const uint8_t pcKind = in.byte();
  c.pc = pickPc(pcKind, in.word());
  c.sr = uint16_t((flags & 1 ? 0x2000 : 0) | (flags & 2 ? 0x8000 : 0) | (flags >> 2 & 7) << 8 |
                  (ccr & 0x1f));
  s.resetHandler = flags & 0x20;
  const bool oddVectors = flags & 0x40;
  c.interrupts[0] = pending;
  for (int level = 1; level < 8; ++level) c.interrupts[level] = uint8_t(mix(state.seed, level));

  m.rom.assign(romSize / 2, 0);
  m.ram.assign(ramSize / 2, 0);
  m.tiny.assign(tinySize / 2, 0);
  m.small.assign(smallSize / 2, 0);
  // Vectors mostly into the code, sometimes elsewhere or nowhere.
  for (uint32_t v = 0; v < 256; ++v) {
    const uint32_t h = mix(state.seed ^ 0xabcdef, v);
    uint32_t target = romLow + 0x400 + (h & 0x3fe);
    switch (h >> 27) {
      case 0:
        target = ramLow + (h & 0x7fe);
        break;
      case 1:
        target = tinyLow + (h % 3) * 2;
        break;
      case 2:
        target = 0x00f000;
        break;
      case 3:
        target = oddVectors ? target | 1 : target;
        break;
      default:
        break;
    }
    writeLong(m.rom, v * 4, target);
  }
  for (uint32_t i = 0x400 / 2; i < m.rom.size(); ++i) m.rom[i] = in.word();
  for (uint16_t& w : m.ram) w = in.word();
  for (uint16_t& w : m.tiny) w = in.word();
}

struct Outcome {
  CpuContext context{};
  uint32_t cycles = 0;
  uint32_t lastResult = 0;
  bool parted = false;
  Memory memory;
  std::vector<Observation> seen;
};

void bind(CpuContext& c, Tables& t, bool resetHandler) {
  c.superFetch = t.superFetch.data();
  c.superReadByte = c.superReadWord = t.superRead.data();
  c.superWriteByte = t.superWriteByte.data();
  c.superWriteWord = t.superWriteWord.data();
  c.userFetch = t.userFetch.data();
  c.userReadByte = c.userReadWord = t.userRead.data();
  c.userWriteByte = c.userWriteWord = t.userWrite.data();
  const bool super = c.sr & 0x2000;
  c.fetch = super ? c.superFetch : c.userFetch;
  c.readByte = super ? c.superReadByte : c.userReadByte;
  c.readWord = super ? c.superReadWord : c.userReadWord;
  c.writeByte = super ? c.superWriteByte : c.userWriteByte;
  c.writeWord = super ? c.superWriteWord : c.userWriteWord;
  c.resetHandler = resetHandler ? onReset : nullptr;
}

bool isBudgetResult(uint32_t r) {
  return r == cpuExecBudgetUsed;
}

// Checks made after every call, outside cpuExec.
void checkBetweenCalls(uint32_t before, uint32_t result, int32_t budget) {
  CpuContext c;
  cpuGetContext(&c);
  if (c.cycleCount != cpuReadCycleCount()) fail("context counter differs from cpuReadCycleCount");
  if (cpuReadPc() != c.pc) fail("cpuReadPc differs from the context's pc");
  if ((c.sr & 0x58e0) != 0) fail("status register holds bits that do not exist");
  const uint32_t charged = totalCycles() - before;
  if (result == cpuExecHalted && charged != 0) fail("a halted processor charged cycles");
  if (isBudgetResult(result) && charged > uint32_t(budget) + 400)
    fail("a slice overran its budget by more than any instruction costs");
}

// Run 1: the input's slices.
void runSliced(const Setup& s, Tables& t, Outcome& out) {
  CpuContext c = s.context;
  bind(c, t, s.resetHandler);
  cpuSetContext(&c);
  for (int i = 0; i < s.calls; ++i) {
    const uint32_t before = totalCycles();
    out.lastResult = cpuExec(s.budgets[i]);
    if (tracing) {
      std::fprintf(stderr, "sliced call %d budget %d: result %08X pc %08X total %u\n", i,
                   s.budgets[i], out.lastResult, cpuReadPc(), totalCycles());
    }
    checkBetweenCalls(before, out.lastResult, s.budgets[i]);
    if (!isBudgetResult(out.lastResult)) break;
  }
  cpuGetContext(&out.context);
  out.cycles = totalCycles();
}

// The next step runs a STOP: the one at the PC, or the first instruction of
// the interrupt handler that the step takes at its start.
bool stopsNext(const Memory& m) {
  CpuContext c;
  cpuGetContext(&c);
  uint32_t pc = c.pc;
  bool super = c.sr & 0x2000;
  const uint32_t mask = c.sr >> 8 & 7;
  for (uint32_t level = 7; level >= 1; --level) {
    if ((c.interrupts[0] >> level & 1) && (level == 7 || level > mask)) {
      const uint32_t vector = c.interrupts[level];
      pc = uint32_t(m.rom[vector * 2]) << 16 | m.rom[vector * 2 + 1];
      super = true;
      break;
    }
  }
  return super && (c.interrupts[0] & 1) == 0 && cpuFetch(pc) == 0x4e72;
}

// Which of its own table sets a context has in force (each run has its own
// tables): one bit per current pointer that equals its supervisor pointer,
// and one per pointer that equals its user pointer.
uint32_t tableSet(const CpuContext& c) {
  const void* current[] = {c.fetch, c.readByte, c.readWord, c.writeByte, c.writeWord};
  const void* super[] = {c.superFetch, c.superReadByte, c.superReadWord, c.superWriteByte,
                         c.superWriteWord};
  const void* user[] = {c.userFetch, c.userReadByte, c.userReadWord, c.userWriteByte,
                        c.userWriteWord};
  uint32_t bits = 0;
  for (int i = 0; i < 5; ++i)
    bits |= (current[i] == super[i]) << i | (current[i] == user[i]) << (i + 8);
  return bits;
}

bool sameState(const CpuContext& a, const CpuContext& b) {
  return std::memcmp(a.dreg, b.dreg, sizeof a.dreg) == 0 &&
         std::memcmp(a.areg, b.areg, sizeof a.areg) == 0 && a.otherSp == b.otherSp &&
         a.pc == b.pc && a.sr == b.sr &&
         std::memcmp(a.interrupts, b.interrupts, sizeof a.interrupts) == 0 &&
         tableSet(a) == tableSet(b);
}

bool sameMemory(const Memory& a, const Memory& b) {
  return a.ram == b.ram && a.small == b.small && a.rom == b.rom && a.tiny == b.tiny;
}

void copyInto(Memory& to, const Memory& from) {
  std::copy(from.rom.begin(), from.rom.end(), to.rom.begin());
  std::copy(from.ram.begin(), from.ram.end(), to.ram.begin());
  std::copy(from.tiny.begin(), from.tiny.end(), to.tiny.begin());
  std::copy(from.small.begin(), from.small.end(), to.small.begin());
}

struct QuietStep {
  uint32_t charged;
  uint8_t before;   // the pending levels at its start
  uint8_t pending;  // the pending levels it left
};

// Runs the next step with handlers that give the same answers but call
// nothing in the core, then puts everything back.
QuietStep quietStep(Memory& m) {
  CpuContext before, after;
  cpuGetContext(&before);
  const Memory saved = m;
  const uint32_t calls = state.calls;
  state.quiet = true;
  cpuExec(1);
  cpuGetContext(&after);
  state.quiet = false;
  state.calls = calls;
  copyInto(m, saved);
  cpuSetContext(&before);
  return {after.cycleCount - before.cycleCount, uint8_t(before.interrupts[0] & 0xfe),
          uint8_t(after.interrupts[0] & 0xfe)};
}

// Requests, releases and trips from handlers change what a step charges
// only by the interrupts it takes (44 cycles each). A pending bit is cleared
// only by taking its interrupt, so the step took (pending before + requests
// recorded - pending after) interrupts, the quiet one (pending before -
// pending after).
// No instruction starts while an interrupt is due: when a handler raises a
// request while the step's start takes an interrupt (vector read, frame
// push), the step takes that one too and ends there, its budget used, with
// no instruction run; it then charges exactly its interrupts.
void checkAgainstQuiet(uint32_t charged, const QuietStep& quiet) {
  CpuContext c;
  cpuGetContext(&c);
  const int32_t after = std::popcount(uint8_t(c.interrupts[0] & 0xfe));
  const int32_t extra = int32_t(state.recorded) + std::popcount(quiet.pending) - after;
  const int32_t taken = int32_t(state.recorded) + std::popcount(quiet.before) - after;
  const bool interruptsOnly = state.recorded > 0 && taken >= 2 && int64_t(charged) == 44 * taken;
  if (int64_t(charged) != int64_t(quiet.charged) + 44 * extra && !interruptsOnly) {
    std::fprintf(stderr,
                 "step charged %u, the same step without handler effects %u, %d more "
                 "interrupts taken\n",
                 charged, quiet.charged, extra);
    fail("handler calls changed what a step charged");
  }
}

// Run 2: one instruction per call, up to the first run's cycle total. Calls
// that charge nothing (a fetch that fails) may follow the last instruction;
// a few of them are run while the state still differs.
void runStepped(const Setup& s, Tables& t, const Outcome& sliced, Memory& m, Outcome& out) {
  CpuContext c = s.context;
  bind(c, t, s.resetHandler);
  cpuSetContext(&c);
  const uint32_t limit = sliced.cycles / 4 + 64;
  int idle = 0;
  for (uint32_t step = 0; step < limit; ++step) {
    const uint32_t now = totalCycles();
    if (now > sliced.cycles) break;
    if (now == sliced.cycles) {
      cpuGetContext(&c);
      if (++idle > 4 || (state.seen.size() == sliced.seen.size() && sameState(c, sliced.context) &&
                         sameMemory(m, sliced.memory)))
        break;
    }
    // STOP charges the rest of a slice: the runs part from here.
    if (stopsNext(m)) {
      out.parted = true;
      break;
    }
    if (tracing) {
      cpuGetContext(&c);
      std::fprintf(stderr, "step at %08X word %04X sr %04X pending %02X total %u calls %zu\n", c.pc,
                   cpuFetch(c.pc), c.sr, c.interrupts[0], now, state.seen.size());
    }
    const QuietStep quiet = quietStep(m);
    state.recorded = 0;
    out.lastResult = cpuExec(1);
    checkBetweenCalls(now, out.lastResult, 1);
    checkAgainstQuiet(totalCycles() - now, quiet);
    if (!isBudgetResult(out.lastResult)) break;
  }
  cpuGetContext(&out.context);
  out.cycles = totalCycles();
}

void printObservation(const char* run, size_t i, const Observation& o) {
  std::fprintf(stderr, "  %s #%zu: kind %u address %06X data %X pc %08X cycles %u answer %u\n", run,
               i, o.kind, o.address, o.data, o.pc, o.cycles, o.answer);
}

void printContext(const char* run, const CpuContext& c, uint32_t result) {
  std::fprintf(stderr, "  %s: result %08X pc %08X sr %04X usp/ssp %08X pending %02X fetch %s\n   ",
               run, result, c.pc, c.sr, c.otherSp, c.interrupts[0],
               c.fetch == c.superFetch ? "super" : "user");
  for (uint32_t d : c.dreg) std::fprintf(stderr, " %08X", d);
  std::fprintf(stderr, "\n   ");
  for (uint32_t a : c.areg) std::fprintf(stderr, " %08X", a);
  std::fprintf(stderr, "\n");
}

void compare(const Outcome& a, const Outcome& b) {
  const size_t n = b.parted ? b.seen.size() : std::max(a.seen.size(), b.seen.size());
  for (size_t i = 0; i < n; ++i) {
    if (i < a.seen.size() && i < b.seen.size() && a.seen[i] == b.seen[i]) continue;
    std::fprintf(stderr, "handler call %zu differs between sliced and stepped runs\n", i);
    if (i < a.seen.size()) printObservation("sliced", i, a.seen[i]);
    if (i < b.seen.size()) printObservation("stepped", i, b.seen[i]);
    fail("sliced and stepped runs disagree");
  }
  if (b.parted) return;
  if (a.cycles != b.cycles) {
    std::fprintf(stderr, "sliced run charged %u cycles, stepped run %u (results %08X, %08X)\n",
                 a.cycles, b.cycles, a.lastResult, b.lastResult);
    fail("cycle totals differ");
  }
  if (!sameState(a.context, b.context)) {
    printContext("sliced", a.context, a.lastResult);
    printContext("stepped", b.context, b.lastResult);
    fail("final states differ");
  }
  if (!sameMemory(a.memory, b.memory)) fail("final memory differs");
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
  const bool byteTables = seed & 1;

  Outcome sliced, stepped;
  {
    Memory m = initial;
    Tables t;
    buildTables(t, m, byteTables);
    state = HandlerState{};
    state.seed = seed;
    runSliced(setup, t, sliced);
    sliced.memory = m;
    sliced.seen = std::move(state.seen);
  }
  {
    Memory m = initial;
    Tables t;
    buildTables(t, m, byteTables);
    state = HandlerState{};
    state.seed = seed;
    runStepped(setup, t, sliced, m, stepped);
    stepped.memory = m;
    stepped.seen = std::move(state.seen);
  }
  compare(sliced, stepped);
  return 0;
}
