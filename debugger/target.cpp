// The target as the protocol shows it: stop replies, both processors'
// registers in GDB's order, and the monitor commands' text.
#include <cstdio>
#include <string>

#include "base/base.h"
#include "debugger/internal.h"

WatchKind GdbServer::kindOfProbe(int probe) const {
  for (const ClientPoint& p : points) {
    if (p.probe == probe && p.type >= watchWrite) return WatchKind(p.type);
  }
  return watchWrite;
}

std::string stopReplyFor(const StopEvent& stop) {
  static const char* const watchNames[] = {"", "", "watch", "rwatch", "awatch"};
  const std::string thread = "thread:" + std::to_string(stop.cpu) + ";";
  char text[48];
  switch (stop.kind) {
    case stopBreakpoint:
      return "T05swbreak:;" + thread;
    case stopWatchpoint:
      snprintf(text, sizeof text, "T05%s:%x;", watchNames[server.kindOfProbe(stop.probe)],
               stop.address);
      return text + thread;
    default:
      return "T05" + thread;
  }
}

std::string readRegisters(int cpu) {
  std::string hex;
  for (int n = 0; n < registerCount; ++n) {
    char text[9];
    snprintf(text, sizeof text, "%08x", readCpuRegister(cpu, n));
    hex += text;
  }
  return hex;
}

std::string frameText() {
  char text[128];
  snprintf(text, sizeof text, "frame %lld; cycles: master %u, slave %u\n",
           static_cast<long long>(machine.frameNumber), contextOf(1).cycleCount,
           contextOf(2).cycleCount);
  return text;
}

std::string regionsText(int cpu) {
  const CpuMap& map = cpu == 2 ? machine.cpu2Map : machine.cpu1Map;
  std::string text;
  char line[96];
  for (const ProgramRegion& e : map.fetch.entries) {
    if (e.lowAddress == cpuTableEnd) break;
    snprintf(line, sizeof line, "fetch  %06x-%06x\n", e.lowAddress, e.highAddress);
    text += line;
  }
  const char* const names[] = {"read", "write"};
  const DataTable* tables[] = {&map.readWord, &map.writeWord};
  for (int i = 0; i < 2; ++i) {
    for (const DataRegion& e : tables[i]->entries) {
      if (e.lowAddress == cpuTableEnd) break;
      snprintf(line, sizeof line, "%-6s %06x-%06x %s\n", names[i], e.lowAddress, e.highAddress,
               e.handler != nullptr ? "handler" : "memory");
      text += line;
    }
  }
  return text;
}

// The last lines the log was given.
std::string logTail() {
  constexpr size_t lineCount = 16;
  if (logFile() == nullptr) return "no log\n";
  std::string text;
  for (const std::string& line : recentLogLines(lineCount)) text += line + "\n";
  return text;
}
