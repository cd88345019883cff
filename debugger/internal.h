// The debugger's state and the parts its files share.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "system21/system21.h"

// Longest packet taken from a client (qSupported's PacketSize, in bytes).
constexpr size_t maxPacket = 0x4000;
constexpr size_t maxBreakpoints = 64;
constexpr size_t maxWatchpoints = 16;
constexpr int registerCount = 18;  // d0-d7, a0-a7, sr, pc: GDB's order
// The machine's probes and steps the debugger owns.
constexpr int debuggerOwner = 1;

enum WatchKind { watchWrite = 2, watchRead = 3, watchAccess = 4 };

// A breakpoint (type 0 or 1) or watchpoint (2 to 4) as the client set it,
// and the machine's probe that stands for it.
struct ClientPoint {
  uint32_t type, address, length;
  int probe;
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
  bool endRun = false;
  bool interruptRequested = false;  // Ctrl-C from the client
  bool haltForClient = false;       // a client attached to the running game
  std::string stopReply = "T05thread:1;";
  std::vector<ClientPoint> points;
  WatchKind kindOfProbe(int probe) const;
};
extern GdbServer server;

// ---- protocol.cpp
void takeBytes(const uint8_t* data, size_t size);
void sendPacket(const std::string& data);
std::string hexOf(const std::string& text);

// ---- target.cpp
// The stop reply for a stop of the machine.
std::string stopReplyFor(const StopEvent& stop);
std::string readRegisters(int cpu);
// Text of the monitor commands.
std::string regionsText(int cpu);
std::string frameText();
std::string logTail();

// ---- server.cpp
// Reports a stop of a thread and waits, serving the client, until it
// resumes the target.
void haltWith(const std::string& reply, int thread);
// The client's breakpoints and watchpoints go; the machine's probes with them.
void dropPoints();
