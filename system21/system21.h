// The System 21 machine: memory maps, start-up, run loop, diagnostics and
// sprite renderer.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "driver/driver.h"
#include "m68k/cpu.h"

// Unknown-access lines a run writes by default before it only counts them.
constexpr int64_t defaultLogLimit = 100000;

// What a tool above the machine (the debugger) does at points of a run; null
// members do nothing.
struct RunHooks {
  void (*runStart)() = nullptr;  // both processors reset, before the first frame
  // Runs the loaded processor's (1 or 2) share of a frame in place of one
  // cpuExec(cyclesPerFrame).
  void (*share)(int cpu) = nullptr;
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
  RunHooks hooks;
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
  RunHooks hooks;           // those of the run going on
};
extern Machine machine;

// Static areas: zero at program start, kept across builds.
extern uint16_t controlRegisters[32];
extern uint16_t masterStaticRamA[0x800 / 2];
extern uint16_t masterStaticRamB[0x4000 / 2];

// ---- Building the maps (machine.cpp) --------------------------------------
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
void runFrame();
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
