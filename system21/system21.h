// The System 21 machine: memory maps, start-up, run loop, diagnostics and
// sprite renderer.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "driver/driver.h"
#include "m68k/cpu.h"

// Unknown-access lines a run writes by default before it only counts them.
constexpr int64_t defaultLogLimit = 100000;

// ---- Watching a run (control.cpp) -------------------------------------------
// A point of a run, named exactly. cpu 0: between frames, before frame
// `frame` begins. cpu 1 or 2: in that processor's share of frame `frame`,
// the processor having started `count` instructions and about to start the
// next; with shareEnd, at the end of its share instead, before its frame
// interrupt (where a watchpoint hit by the share's last instruction stops).
struct RunPoint {
  int64_t frame = 0;
  int cpu = 0;
  uint64_t count = 0;
  bool shareEnd = false;
  auto operator<=>(const RunPoint&) const = default;
};
RunPoint currentPoint();

// Breakpoints and watchpoints that tools set (the debugger, a script): each
// has an id and an owner, and holds for one processor (1 or 2) or both (0).
int addBreakpoint(int owner, int cpu, uint32_t address);
int addWatchpoint(int owner, int cpu, uint32_t first, uint32_t last, uint8_t kinds);
void removeProbe(int id);
void removeProbes(int owner);

// Why the machine stopped in the middle of a frame.
enum StopKind { stopNone, stopBreakpoint, stopWatchpoint, stopStep };
struct StopEvent {
  StopKind kind = stopNone;
  int cpu = 0;           // the processor that stopped
  int probe = 0;         // the breakpoint or watchpoint hit (its id)
  int owner = 0;         // its owner, or the owner of the step
  uint32_t address = 0;  // the breakpoint's, or the watched access's address
  uint32_t data = 0;     // the data the watched access read or wrote
  bool write = false;    // the watched access wrote
  RunPoint point;
};
// The machine stops again when processor cpu has run one more instruction,
// or, with rangeLast > rangeFirst, as soon as its PC is outside
// [rangeFirst, rangeLast) after an instruction; a breakpoint or watchpoint
// may stop it first. Cleared by any stop.
void requestStep(int owner, int cpu, uint32_t rangeFirst = 0, uint32_t rangeLast = 0);

// What a tool above the machine (the debugger, a script) does at points of a
// run; null members do nothing.
struct RunHooks {
  void (*runStart)() = nullptr;  // both processors reset, before the first frame
  void (*stopped)(const StopEvent& stop) = nullptr;  // the machine stopped mid-frame
  bool (*frameEnd)() = nullptr;  // before each frame, the last one shown; true ends the run
  void (*runEnd)() = nullptr;    // before the end-of-run lines are logged
};

// How a run ends and what it leaves behind, from the command line.
struct RunOptions {
  bool headless = false;               // no window; frames still rendered
  int64_t maxFrames = -1;              // end the run after this many frames (-1: never)
  std::string screenshotPath;          // PNG of the last frame, written when the run ends
  bool render = true;                  // convert the palette and draw the sprites each frame
  int64_t logLimit = defaultLogLimit;  // unknown-access lines (0: all, repeats included)
  std::string saveStatePath;           // the machine written here when the run ends
  std::string loadStatePath;           // the run starts from this saved state
  std::string recordDirectory;         // frames written here as numbered PNG files
  int64_t recordEvery = 1;             // every how many frames one is written
  bool showFps = false;                // frame rate in the window's title, once a second
  int64_t historyBytes = 0;            // the debugger's history of the run (0: none)
  bool fastForward = true;             // polling loops counted instead of run
  std::vector<RunHooks> hooks;         // the tools watching the run, in the order they are told
};

// ---- Board constants --------------------------------------------------------
constexpr int32_t cyclesPerFrame = 204800;
constexpr double boardFrameRate = 60.0;  // frames a second of the real board
constexpr int32_t frameInterruptLevel = 1;
constexpr int screenWidth = 496;
constexpr int screenHeight = 480;
constexpr uint32_t dumpLength = 256;

// Both processors see a 1 MB window of their code ROM and two 1 MB windows of
// the collision data, whatever sizes the driver gives the regions.
constexpr uint32_t codeRomWindow = 0x100000;
constexpr uint32_t collisionRomWindow = 0x200000;

// ---- The board ------------------------------------------------------------
// A growable table whose last entry is the end marker; count includes it.
struct ProgramTable {
  std::vector<ProgramRegion> entries;
  uint16_t count = 0;
};
struct DataTable {
  std::vector<DataRegion> entries;
  uint16_t count = 0;
};
struct CpuMap {
  ProgramTable fetch;
  DataTable readByte, readWord, writeByte, writeWord;
};

struct Machine {
  // The game's images: the 68000 images are extended with zeros to their
  // windows when the machine is built; the tiles are released after a run.
  GameRom game;
  CpuContext cpu1Context{};
  CpuContext cpu2Context{};
  CpuMap cpu1Map, cpu2Map;
  // Allocated at every build (68000 words in host order).
  std::vector<uint8_t> masterWorkRam, masterLocalRam, slaveWorkRam;
  std::vector<uint8_t> sharedRamA, sharedRamB, sharedRamC;
  std::vector<uint8_t> writeOnlyRamA, writeOnlyRamB;
  std::vector<uint8_t> videoRam;
  // Bytes the driver actually loaded into each 68000 image, before the image
  // was extended with zeros to its window.
  size_t masterCodeSize = 0, slaveCodeSize = 0, collisionSize = 0;
  int32_t slaveRunning = 0;
  int64_t frameNumber = 0;  // frames run since the machine was built
  uint64_t builds = 0;      // machines built so far, this one included
  // Where the frame stands: the processor whose share is under way (0:
  // between frames), and its cycle counter when that share began.
  int share = 0;
  uint32_t shareStart = 0;
  // The run going on: its driver file (which names its saved states), its
  // tools, the frame on screen, and whether frames are drawn.
  std::string driverFileName;
  std::vector<RunHooks> hooks;
  uint32_t* screen = nullptr;
  bool render = true;
};
extern Machine machine;

// Static areas: zero at program start, kept across builds.
extern uint16_t controlRegisters[32];
extern uint16_t masterStaticRamA[0x800 / 2];
extern uint16_t masterStaticRamB[0x4000 / 2];

// ---- Building the maps (machine.cpp) --------------------------------------
// Every RAM area of the board (host order as the processors see it), in the
// order saved states hold them.
struct MemoryArea {
  const char* name;
  std::span<uint8_t> bytes;
};
std::vector<MemoryArea> memoryAreas();
// Takes the game's images and builds the RAM areas and both processors' maps
// and contexts around them.
void buildMachine(GameRom&& rom);
void initRegionTables();
void bindContexts();

// Handlers of the maps (the entry argument is not used).
uint32_t controlReadByte(uint32_t address, const DataRegion*);
uint32_t controlReadWord(uint32_t address, const DataRegion*);
void controlWriteByte(uint32_t address, uint32_t data, const DataRegion*);
void controlWriteWord(uint32_t address, uint32_t data, const DataRegion*);
uint32_t statusRead(uint32_t address, const DataRegion*);
// The catch-all of processor cpu (1 or 2): answered with all ones, logged
// with the processor's PC.
template <int cpu>
uint32_t unknownReadByte(uint32_t address, const DataRegion*);
template <int cpu>
uint32_t unknownReadWord(uint32_t address, const DataRegion*);
template <int cpu>
void unknownWriteByte(uint32_t address, uint32_t data, const DataRegion*);
template <int cpu>
void unknownWriteWord(uint32_t address, uint32_t data, const DataRegion*);

// ---- Start-up, run loop, diagnostics --------------------------------------
int startCpus();
void resetHandler();
// Loads the game of the driver file, runs it until a key (or the frame
// limit) stops it and releases it. 1 ran, 0 could not be loaded,
// runRefused when the state to start from was refused (a box said why),
// runOutputLost when it ran but a file asked for (saved state, screenshot,
// recorded frame) could not be written whole: a line for each, naming the
// file and why, went to standard error and the log and into lostOutputs.
constexpr int runRefused = 2;
constexpr int runOutputLost = 3;
int runGame(const char* driverFileName, const RunOptions& options,
            std::string* lostOutputs = nullptr);
// Runs the machine on to the end of the frame under way (nothing returned:
// frameNumber has grown), or until breakpoints, watchpoints or a step stop
// it in the middle (what stopped it returned). runFrame runs a whole frame,
// stops or not.
std::vector<StopEvent> continueFrame();
void runFrame();
// Draws the frame that has just ended into the frame on screen (when the run
// draws frames).
void drawFrame();
void logStartupDiagnostics();
void logEndOfRun();  // the shared-RAM dump line, both stop lines, the access summary

// ---- Unknown accesses (accesses.cpp) ------------------------------------------
enum AccessKind { byteRead, wordRead, byteWrite, wordWrite };
// Starts a run's record: at most logLimit distinct accesses get a line of
// their own (0: every access, repeats included).
void beginAccessLog(int64_t logLimit);
// An access of processor cpu (1 or 2) that no map entry claims.
void recordUnknownAccess(int cpu, AccessKind kind, uint32_t address, uint32_t data);
// Per processor, the run's unknown accesses by address range and kind.
void logAccessSummary();
// The record as it stands, to go back to; previous is given back when
// nothing was recorded since it was taken.
struct AccessRecordCopy;
std::shared_ptr<const AccessRecordCopy> copyAccessRecord(
    const std::shared_ptr<const AccessRecordCopy>& previous);
void restoreAccessRecord(const AccessRecordCopy& copy);

// ---- Inspecting the machine (inspect.cpp) -------------------------------------
// Tools read and write the machine as a processor (1 or 2) sees it, through
// its own map and free of side effects: a handler-served address reads as
// its value where reading it changes nothing (control registers, status)
// and as all ones elsewhere, and nothing is logged. Writes reach RAM and the
// ROM images, never handlers.
uint8_t peekByte(int cpu, uint32_t address);
void pokeByte(int cpu, uint32_t address, uint8_t value);
CpuContext& contextOf(int cpu);
// Registers by number: D0-D7, A0-A7 (A7 the stack pointer in use), SR, PC,
// then USP and SSP.
enum CpuRegister {
  registerD0 = 0,
  registerA0 = 8,
  registerSr = 16,
  registerPc,
  registerUsp,
  registerSsp,
  cpuRegisterCount
};
uint32_t readCpuRegister(int cpu, int number);
void writeCpuRegister(int cpu, int number, uint32_t value);

// ---- History (history.cpp) -------------------------------------------------------
// Snapshots of the whole machine, the log and the access record as a run
// goes, kept as deltas within a budget (the oldest go first), from which any
// earlier point is made again exactly by running forward from the nearest
// snapshot before it.
void startHistory(size_t budgetBytes);  // from here on; 0 keeps none
void stopHistory();
bool historyOn();
// A tool changed memory or registers: what went before cannot be made
// again, so the history starts afresh here.
void historyMachineChanged();
enum TravelResult { travelled, historyBegins, historyOff };
// Back to just before processor cpu's previous instruction.
TravelResult stepBack(int cpu, StopEvent& stop);
// Back to the latest hit of owner's breakpoints and watchpoints before the
// present point; with none in the history, to its start (historyBegins).
TravelResult continueBack(int owner, StopEvent& stop);
// The frames the history covers, its size and budget, as lines.
std::string historyText();

// ---- Saved states (savestate.cpp) ---------------------------------------------
// The machine and the frame on screen, for the game of driverFileName, as a
// state file holds them; saveState writes them to path: 1 written, 0 with
// the reason (strerror's text) in error and any earlier file at path as it
// was.
std::vector<uint8_t> stateBytes(const char* driverFileName, const uint32_t* frame);
int saveState(const char* path, const char* driverFileName, const uint32_t* frame,
              std::string& error);
// Puts the machine and the frame in the state of the file (or of bytes), which
// must have been written for the same game and ROM images by this version; 0
// with the reason in error and nothing changed.
int loadState(const char* path, const char* driverFileName, uint32_t* frame, std::string& error);
int applyState(std::span<const uint8_t> bytes, const char* driverFileName, uint32_t* frame,
               std::string& error);

// ---- Sprite renderer --------------------------------------------------------
extern uint32_t palette[32768];
void convertPalette();
void drawSprites(uint32_t* frame);
// The sprite whose eight words start at 68000 address spriteAddress.
void drawSprite(uint32_t* frame, uint32_t spriteAddress);
void drawTile(uint32_t* frame, uint32_t tileNumber, uint32_t paletteBank, int x, int y);
// The 68000 word at a video RAM address; 0 outside video RAM.
uint16_t videoWord(uint32_t address);
