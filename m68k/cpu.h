// The 68000 core's whole public interface.
//
// One interpreter, one loaded processor at a time. A client that emulates
// several processors keeps one CpuContext each and swaps it in with
// cpuSetContext before running it and out with cpuGetContext afterwards.
//
// Contract a client must keep:
// - Every ProgramRegion / DataRegion table ends with an entry whose
//   lowAddress is 0xFFFFFFFF (write it as an all-ones range, null pointers).
// - Tables are owned by the client and must not change while a context that
//   points at them may run. After rebuilding tables in place, call cpuInit
//   again so that any lookup index the core keeps is dropped.
// - Regions start at even addresses; direct memory holds 16-bit words in host
//   (little-endian) order: the 68000 byte at A is host byte (A - low) ^ 1.
// - From inside a handler only cpuInterrupt, cpuReleaseTimeslice, cpuReadPc
//   and the cycle-count operations may be called (cpuExec then returns at
//   once, cpuSetContext does nothing, cpuReset refuses).
// The core never reads or writes host memory outside the regions it is
// given: instructions run only where all their words lie in one fetch region
// of the current mode, and a word or long reaching past the end of a direct
// data entry reads the missing bytes as all ones and does not write them.
#pragma once

#include <cstdint>

struct DataRegion;

// Called with the 24-bit address and the matching entry; the core keeps the
// low 8 (byte tables) or 16 (word tables) bits of the result.
using ReadHandler = uint32_t (*)(uint32_t address, const DataRegion* region);
// Called with the 24-bit address, the data zero-extended and the entry.
using WriteHandler = void (*)(uint32_t address, uint32_t data, const DataRegion* region);
// Called by the RESET instruction.
using ResetHandler = void (*)();

struct ProgramRegion {
  uint32_t lowAddress;   // 0xFFFFFFFF ends the table
  uint32_t highAddress;  // inclusive
  intptr_t offset;       // host address = 24-bit address + offset
};

struct DataRegion {
  uint32_t lowAddress;   // 0xFFFFFFFF ends the table
  uint32_t highAddress;  // inclusive
  void* handler;         // ReadHandler or WriteHandler; null = direct memory
  void* memory;          // host address of lowAddress for direct memory
};

constexpr uint32_t cpuTableEnd = 0xFFFFFFFFu;

struct CpuContext {
  const ProgramRegion* fetch;
  const DataRegion* readByte;
  const DataRegion* readWord;
  const DataRegion* writeByte;
  const DataRegion* writeWord;
  const ProgramRegion* superFetch;
  const DataRegion* superReadByte;
  const DataRegion* superReadWord;
  const DataRegion* superWriteByte;
  const DataRegion* superWriteWord;
  const ProgramRegion* userFetch;
  const DataRegion* userReadByte;
  const DataRegion* userReadWord;
  const DataRegion* userWriteByte;
  const DataRegion* userWriteWord;
  ResetHandler resetHandler;
  uint32_t dreg[8];
  uint32_t areg[8];
  uint32_t otherSp;
  uint32_t pc;
  uint32_t cycleCount;
  uint8_t interrupts[8];  // [0]: bit n = level n pending, bit 0 = stopped; [n]: vector for level n
  uint16_t sr;
  // Instructions started since the context was made: with the frame, it
  // names any point of a run exactly.
  uint64_t instructionCount;
};

// Status register bits a 68000 implements: T, S, the interrupt mask, X N Z V C.
constexpr uint16_t cpuSrImplemented = 0xA71F;
constexpr uint16_t cpuSrSupervisor = 0x2000;

// Results of cpuExec.
constexpr uint32_t cpuExecBudgetUsed = 0x80000000u;  // budget used up, or stopped
// PC in no fetch region, or the instruction there does not lie wholly in one
// (code that ran or branched off the end of its region): nothing of it ran,
// pc holds its address.
constexpr uint32_t cpuExecFetchFailed = 0x80000001u;
constexpr uint32_t cpuExecHalted = 0xFFFFFFFFu;  // processor halted
// The PC reached a breakpoint: nothing of the instruction there ran.
constexpr uint32_t cpuExecBreakpoint = 0x80000002u;
// The instructions allowed by cpuExecInstructions have started; the next
// one has not.
constexpr uint32_t cpuExecInstructionLimit = 0x80000003u;
// Any other result: 24-bit address of a RESET met with a null resetHandler.

// Results of cpuReset.
constexpr int32_t cpuResetStarted = 0;
constexpr int32_t cpuResetRefused = 1;  // inside cpuExec, no superFetch, or no vector region
constexpr int32_t cpuResetOddVector = -1;

// Results of cpuInterrupt.
constexpr int32_t cpuInterruptRecorded = 0;
constexpr int32_t cpuInterruptAlreadyPending = 1;
constexpr int32_t cpuInterruptOutOfRange = 2;

// Vector arguments of cpuInterrupt besides 0..255.
constexpr int32_t cpuAutovector = -1;      // 24 + level
constexpr int32_t cpuSpuriousVector = -2;  // 24

int32_t cpuInit();
int32_t cpuReset();
uint32_t cpuExec(int32_t cycles);
// As cpuExec, and starts at most maxInstructions instructions.
uint32_t cpuExecInstructions(int32_t cycles, uint64_t maxInstructions);
int32_t cpuInterrupt(int32_t level, int32_t vector);
void cpuFlushInterrupts();
int32_t cpuGetContextSize();
int32_t cpuGetContext(CpuContext* context);
int32_t cpuSetContext(const CpuContext* context);
uint32_t cpuFetch(uint32_t address);
uint32_t cpuReadCycleCount();
uint32_t cpuTripCycleCount();
uint32_t cpuControlCycleCount(int32_t flag);
void cpuReleaseTimeslice();
uint32_t cpuReadPc();
// Instructions the loaded processor has started (the current one included
// when called from a handler).
uint64_t cpuReadInstructionCount();

// ---- Watching execution --------------------------------------------------------
// Breakpoints and watchpoints hold for whichever context runs, until set
// again; with none set the core runs at full speed.
//
// A breakpoint stops cpuExec before the instruction at its (24-bit, even)
// address, with cpuExecBreakpoint and the PC on it; nothing of that
// instruction has run. After cpuPassBreakpoint, the next cpuExec call runs
// the instruction it starts on, breakpoint or not, so that a run goes on
// from a breakpoint it stopped at (cpuExec(1) then runs exactly that one).
void cpuSetBreakpoints(const uint32_t* addresses, int32_t count);
void cpuPassBreakpoint();

// A watched range: every data access of the processor that touches it (the
// operand reads and writes of instructions, exception stacking and vector
// reads) is reported to the handler after it is done, with the index of the
// range, the access's address, size (1, 2 or 4), direction and data. The
// handler may call what handlers may call (cpuReleaseTimeslice, to stop
// after the instruction).
constexpr uint8_t cpuWatchRead = 1, cpuWatchWrite = 2;
struct CpuWatch {
  uint32_t first, last;  // inclusive 24-bit range
  uint8_t kinds;         // cpuWatchRead, cpuWatchWrite or both
};
using WatchHandler = void (*)(int32_t index, uint32_t address, uint32_t size, bool write,
                              uint32_t data);
void cpuSetWatchpoints(const CpuWatch* ranges, int32_t count, WatchHandler handler);

// Polling loops (a short loop that only reads memory and branches back,
// waiting for something that cannot change before the slice ends) are
// fast-forwarded: their passes are counted instead of run, with the cycle
// counter, the PC, the registers, the flags and the instruction count
// exactly where running them would have left them. On by default; off
// makes every pass run. Breakpoints and watched ranges on a loop, steps
// and trace keep it from being fast-forwarded. The count of instructions
// counted instead of run, for tests and benchmarks.
void cpuSetFastForward(bool on);
uint64_t cpuSkippedInstructions();

// ---- Maps and registers for tools ------------------------------------------------
// The entry of a table that serves a 24-bit address (the first that holds
// it), or null.
const DataRegion* cpuFindRegion(const DataRegion* table, uint32_t address);
// The host byte of the 68000 byte at address in a direct entry, or null
// (a handler entry, or outside the entry's memory).
uint8_t* cpuRegionByte(const DataRegion* region, uint32_t address);
// Writes a context's status register as the processor would: unimplemented
// bits cleared, the stack pointers traded and the mode's tables selected
// when S changes.
void cpuWriteSr(CpuContext* context, uint32_t value);
