// The debugger's state and the parts its files share.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "m68k/cpu.h"

// Longest packet taken from a client (qSupported's PacketSize, in bytes).
constexpr size_t maxPacket = 0x4000;
constexpr size_t maxBreakpoints = 64;
constexpr size_t maxWatchpoints = 16;
constexpr int registerCount = 18;  // d0-d7, a0-a7, sr, pc

enum WatchKind { watchWrite = 2, watchRead = 3, watchAccess = 4 };

struct Watchpoint {
  uint32_t address, length;
  WatchKind kind;
};

// One processor's tables while breakpoints or watchpoints are set: fetch
// with a hole at each breakpoint, data tables with the watched ranges first.
struct DebugTables {
  std::vector<ProgramRegion> fetch;
  std::vector<DataRegion> data[4];  // read byte, read word, write byte, write word
};

enum Resume { resumeNone, resumeContinue, resumeStep };

struct GdbServer {
  int port = 0;
  int listener = -1, client = -1;
  // Framing of the input.
  enum { idle, inData, checksumHigh, checksumLow } inputState = idle;
  std::string packet;
  bool oversized = false;
  uint8_t sum = 0;
  int checksumHighDigit = 0;
  bool noAck = false;
  std::string lastReply;  // sent again on a NAK
  std::string output;     // bytes waiting to go out
  // Threads: 1 master, 2 slave.
  int registerThread = 1, resumeThread = 0;  // 0: any
  // Execution.
  bool halted = false;
  Resume resume = resumeNone;
  int stepCpu = 0;    // the processor a step runs, 0 none
  int loadedCpu = 0;  // the processor whose share is running, 0 between shares
  int rawNext = 0;    // this processor runs its instruction at rawPc with the plain fetch table
  uint32_t rawPc = 0;
  // A range step (vCont;r) goes on while stepCpu's PC stays in
  // [rangeStart, rangeEnd): one reply for a source line. Empty: one instruction.
  uint32_t rangeStart = 0, rangeEnd = 0;
  bool endRun = false;
  bool interruptRequested = false;  // Ctrl-C from the client
  bool haltForClient = false;       // a client attached to the running game
  std::string stopReply = "T05thread:1;";
  std::vector<uint32_t> breakpoints;
  std::vector<Watchpoint> watchpoints;
  bool tablesStale = true;
  DebugTables tables[2];
  // The watchpoint the running instruction hit.
  bool watchHit = false;
  Watchpoint hit{};
  uint32_t hitAddress = 0;
};
extern GdbServer server;

// ---- protocol.cpp
void takeBytes(const uint8_t* data, size_t size);
void sendPacket(const std::string& data);
std::string hexOf(const std::string& text);

// ---- target.cpp
// Both processors' registers in GDB's order, as hex; setting them from hex.
std::string readRegisters(int cpu);
bool readRegister(int cpu, int number, uint32_t& value);
bool writeRegister(int cpu, int number, uint32_t value);
// Memory through the processor's map, free of side effects.
uint8_t peekByte(int cpu, uint32_t address);
void pokeByte(int cpu, uint32_t address, uint8_t value);
void markTablesStale();
// The loaded processor's share with breakpoints, watchpoints and steps.
void debugShare(int cpu);
// Text of the monitor commands.
std::string regionsText(int cpu);
std::string frameText();
std::string logTail();

// ---- server.cpp
// Reports a stop of a thread and waits, serving the client, until it
// resumes the target.
void haltWith(const std::string& reply, int thread);
