// GDB's remote serial protocol: framing of packets and the commands a
// debugging session uses.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "debugger/debugger.h"
#include "debugger/internal.h"

GdbServer server;

namespace {

constexpr char hexDigits[] = "0123456789abcdef";
constexpr uint8_t interruptByte = 0x03;

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A hex number of at most eight digits from text at pos, which moves past it.
bool parseHex(const std::string& text, size_t& pos, uint32_t& value) {
  value = 0;
  size_t digits = 0;
  for (; pos < text.size() && hexValue(text[pos]) >= 0; ++pos, ++digits) {
    if (digits == 8) return false;
    value = value << 4 | uint32_t(hexValue(text[pos]));
  }
  return digits > 0;
}

bool expect(const std::string& text, size_t& pos, char c) {
  if (pos >= text.size() || text[pos] != c) return false;
  ++pos;
  return true;
}

// "addr,len" starting at pos.
bool parseRange(const std::string& text, size_t& pos, uint32_t& address, uint32_t& length) {
  return parseHex(text, pos, address) && expect(text, pos, ',') && parseHex(text, pos, length);
}

std::string hexByte(uint8_t b) {
  return {hexDigits[b >> 4], hexDigits[b & 15]};
}

std::string hexWord(uint32_t v) {
  char text[9];
  snprintf(text, sizeof text, "%x", v);
  return text;
}

const char* const targetXml =
    "<?xml version=\"1.0\"?><!DOCTYPE target SYSTEM \"gdb-target.dtd\">"
    "<target version=\"1.0\"><architecture>m68k:68000</architecture>"
    "<feature name=\"org.gnu.gdb.m68k.core\">"
    "<reg name=\"d0\" bitsize=\"32\"/><reg name=\"d1\" bitsize=\"32\"/>"
    "<reg name=\"d2\" bitsize=\"32\"/><reg name=\"d3\" bitsize=\"32\"/>"
    "<reg name=\"d4\" bitsize=\"32\"/><reg name=\"d5\" bitsize=\"32\"/>"
    "<reg name=\"d6\" bitsize=\"32\"/><reg name=\"d7\" bitsize=\"32\"/>"
    "<reg name=\"a0\" bitsize=\"32\" type=\"data_ptr\"/>"
    "<reg name=\"a1\" bitsize=\"32\" type=\"data_ptr\"/>"
    "<reg name=\"a2\" bitsize=\"32\" type=\"data_ptr\"/>"
    "<reg name=\"a3\" bitsize=\"32\" type=\"data_ptr\"/>"
    "<reg name=\"a4\" bitsize=\"32\" type=\"data_ptr\"/>"
    "<reg name=\"a5\" bitsize=\"32\" type=\"data_ptr\"/>"
    "<reg name=\"fp\" bitsize=\"32\" type=\"data_ptr\"/>"
    "<reg name=\"sp\" bitsize=\"32\" type=\"data_ptr\"/>"
    "<reg name=\"ps\" bitsize=\"32\"/><reg name=\"pc\" bitsize=\"32\" type=\"code_ptr\"/>"
    "</feature></target>";

const char* const threadNames[] = {"", "master 68000", "slave 68000"};

// The thread a packet names: 1 or 2, 0 for "any" (0 or -1); -2 for none.
int threadOf(const std::string& text, size_t pos) {
  if (text.compare(pos, std::string::npos, "-1") == 0) return 0;
  uint32_t n;
  if (!parseHex(text, pos, n) || pos != text.size() || n > 2) return -2;
  return int(n);
}

int registerCpu() {
  return server.registerThread == 2 ? 2 : 1;
}

// ---- Commands ------------------------------------------------------------------
// Each one answers the packet p (whose first characters matched its name).

void querySupported(const std::string&) {
  std::string features = "PacketSize=" + hexWord(maxPacket) +
                         ";qXfer:features:read+;vContSupported+;QStartNoAckMode+;swbreak+;hwbreak+";
  if (historyOn()) features += ";ReverseStep+;ReverseContinue+";
  sendPacket(features);
}

void startNoAck(const std::string&) {
  sendPacket("OK");
  server.noAck = true;
}

void readFeatures(const std::string& p) {
  const std::string prefix = "qXfer:features:read:target.xml:";
  size_t pos = prefix.size();
  uint32_t offset, length;
  if (p.compare(0, prefix.size(), prefix) != 0 || !parseRange(p, pos, offset, length)) {
    return sendPacket("E00");
  }
  const size_t size = strlen(targetXml);
  if (offset >= size) return sendPacket("l");
  const size_t chunk = std::min<size_t>({length, size - offset, maxPacket / 2});
  std::string reply(1, offset + chunk < size ? 'm' : 'l');
  reply.append(targetXml + offset, chunk);
  sendPacket(reply);
}

void stopReason(const std::string&) {
  sendPacket(server.stopReply);
}

void threadList(const std::string&) {
  sendPacket("m1,2");
}

void threadListEnd(const std::string&) {
  sendPacket("l");
}

void currentThread(const std::string&) {
  sendPacket("QC" + hexWord(uint32_t(registerCpu())));
}

void threadExtraInfo(const std::string& p) {
  const int thread = threadOf(p, strlen("qThreadExtraInfo,"));
  if (thread < 1) return sendPacket("E01");
  sendPacket(hexOf(threadNames[thread]));
}

void threadAlive(const std::string& p) {
  sendPacket(threadOf(p, 1) >= 1 ? "OK" : "E01");
}

void setThread(const std::string& p) {
  const int thread = p.size() > 2 ? threadOf(p, 2) : -2;
  if (thread < 0) return sendPacket("E01");
  if (p[1] == 'g')
    server.registerThread = thread == 0 ? 1 : thread;
  else
    server.resumeThread = thread;
  sendPacket("OK");
}

void readAllRegisters(const std::string&) {
  sendPacket(readRegisters(registerCpu()));
}

void writeAllRegisters(const std::string& p) {
  constexpr size_t digits = 8;
  if (p.size() < 1 + registerCount * digits) return sendPacket("E01");
  uint32_t values[registerCount] = {};
  for (size_t i = 0; i < registerCount * digits; ++i) {
    const int digit = hexValue(p[1 + i]);
    if (digit < 0) return sendPacket("E01");
    values[i / digits] = values[i / digits] << 4 | uint32_t(digit);
  }
  for (int n = 0; n < registerCount; ++n) writeCpuRegister(registerCpu(), n, values[n]);
  sendPacket("OK");
}

void readOneRegister(const std::string& p) {
  size_t pos = 1;
  uint32_t number;
  if (!parseHex(p, pos, number) || number >= registerCount) return sendPacket("E01");
  char text[9];
  snprintf(text, sizeof text, "%08x", readCpuRegister(registerCpu(), int(number)));
  sendPacket(text);
}

void writeOneRegister(const std::string& p) {
  size_t pos = 1;
  uint32_t number, value;
  if (!parseHex(p, pos, number) || !expect(p, pos, '=') || !parseHex(p, pos, value) ||
      number >= registerCount) {
    return sendPacket("E01");
  }
  writeCpuRegister(registerCpu(), int(number), value);
  sendPacket("OK");
}

void readMemory(const std::string& p) {
  size_t pos = 1;
  uint32_t address, length;
  if (!parseRange(p, pos, address, length)) return sendPacket("E01");
  // A shorter answer than asked is allowed; the reply stays within a packet.
  length = std::min<uint32_t>(length, maxPacket / 2 - 8);
  std::string reply;
  for (uint32_t i = 0; i < length; ++i) reply += hexByte(peekByte(registerCpu(), address + i));
  sendPacket(reply);
}

void writeMemoryHex(const std::string& p) {
  size_t pos = 1;
  uint32_t address, length;
  if (!parseRange(p, pos, address, length) || !expect(p, pos, ':') ||
      p.size() - pos != size_t{length} * 2) {
    return sendPacket("E01");
  }
  for (uint32_t i = 0; i < length; ++i) {
    const int high = hexValue(p[pos + 2 * i]), low = hexValue(p[pos + 2 * i + 1]);
    if (high < 0 || low < 0) return sendPacket("E01");
    pokeByte(registerCpu(), address + i, uint8_t(high << 4 | low));
  }
  sendPacket("OK");
}

void writeMemoryBinary(const std::string& p) {
  size_t pos = 1;
  uint32_t address, length;
  if (!parseRange(p, pos, address, length) || !expect(p, pos, ':') || p.size() - pos != length) {
    return sendPacket("E01");
  }
  for (uint32_t i = 0; i < length; ++i) pokeByte(registerCpu(), address + i, uint8_t(p[pos + i]));
  sendPacket("OK");
}

// Z and z: 0 and 1 breakpoints, 2 to 4 watchpoints, on both processors.
void changePoint(const std::string& p) {
  const bool insert = p[0] == 'Z';
  size_t pos = 1;
  uint32_t type, address, length;
  if (!parseHex(p, pos, type) || !expect(p, pos, ',') || !parseRange(p, pos, address, length)) {
    return sendPacket("E01");
  }
  if (type > watchAccess) return sendPacket("");
  const bool watch = type >= watchWrite;
  address &= 0xFFFFFF;
  std::vector<ClientPoint>& points = server.points;
  // The same point set again replaces it; removing one not set is no error.
  auto same = [&](const ClientPoint& o) {
    return (o.type >= watchWrite) == watch && o.address == address &&
           (!watch || (o.type == type && o.length == length));
  };
  for (const ClientPoint& o : points) {
    if (same(o)) removeProbe(o.probe);
  }
  std::erase_if(points, same);
  if (insert) {
    const size_t count = size_t(std::count_if(
        points.begin(), points.end(), [&](auto& o) { return (o.type >= watchWrite) == watch; }));
    if (watch ? (length == 0 || length > 0x10000 || count >= maxWatchpoints)
              : (address & 1 || count >= maxBreakpoints)) {
      return sendPacket("E01");
    }
    const uint8_t kinds = type == watchWrite  ? cpuWatchWrite
                          : type == watchRead ? cpuWatchRead
                                              : uint8_t(cpuWatchRead | cpuWatchWrite);
    const int probe = watch ? addWatchpoint(debuggerOwner, 0, address, address + length - 1, kinds)
                            : addBreakpoint(debuggerOwner, 0, address);
    points.push_back({type, address, length, probe});
  }
  sendPacket("OK");
}

void resumeWith(Resume how, int cpu, uint32_t rangeStart = 0, uint32_t rangeEnd = 0) {
  server.resume = how;
  if (how == resumeStep) requestStep(debuggerOwner, cpu == 2 ? 2 : 1, rangeStart, rangeEnd);
}

// bs and bc: back through the run's history, then halted there.
void reportTravel(TravelResult result, const StopEvent& stop) {
  if (result == historyOff) return sendPacket("E01");
  std::string reply = stopReplyFor(stop);
  if (result == historyBegins) reply.insert(3, "replaylog:begin;");
  server.stopReply = reply;
  server.registerThread = stop.cpu;
  sendPacket(reply);
}

void stepBackOne(const std::string&) {
  StopEvent stop;
  const int cpu = server.resumeThread != 0 ? server.resumeThread : registerCpu();
  reportTravel(stepBack(cpu, stop), stop);
}

void continueBackwards(const std::string&) {
  StopEvent stop;
  reportTravel(continueBack(stop), stop);
}

void continueAll(const std::string&) {
  resumeWith(resumeContinue, 0);
}

void stepOne(const std::string&) {
  resumeWith(resumeStep, server.resumeThread != 0 ? server.resumeThread : registerCpu());
}

void contActions(const std::string&) {
  sendPacket("vCont;c;C;s;S;r");
}

// vCont;ACTION[:thread];...: in all-stop only the first step counts, the
// rest of the machine runs with it. A range step, rSTART,END, is a step
// that goes on while the PC stays in [START, END). The whole packet is
// checked first: an action the server does not offer, or a thread that is
// malformed or not there, refuses it and the machine stays halted.
void contResume(const std::string& p) {
  int stepThread = 0;
  size_t pos = strlen("vCont");
  uint32_t rangeStart = 0, rangeEnd = 0;
  while (pos < p.size()) {
    if (p[pos++] != ';') return sendPacket("E01");
    const size_t end = std::min(p.find(';', pos), p.size());
    const std::string action = p.substr(pos, end - pos);
    const size_t colon = std::min(action.find(':'), action.size());
    const char verb = colon > 0 ? action[0] : 0;
    const bool withSignal = verb == 'C' || verb == 'S';
    size_t at = 1;
    uint32_t signal, low = 0, high = 0;
    const bool ranged = verb == 'r' && parseRange(action, at, low, high);
    if (!(verb == 'c' || verb == 's' || withSignal || ranged) ||
        (withSignal && (!parseHex(action, at, signal) || at != 3)) ||
        colon != (withSignal ? 3 : ranged ? at : 1))
      return sendPacket("E01");
    int thread = colon < action.size() ? threadOf(action, colon + 1) : 0;
    if (thread < 0) return sendPacket("E01");
    if (thread == 0) thread = registerCpu();
    if ((verb == 's' || verb == 'S' || ranged) && stepThread == 0) {
      stepThread = thread;
      rangeStart = low, rangeEnd = high;
    }
    pos = end;
  }
  if (stepThread != 0) return resumeWith(resumeStep, stepThread, rangeStart, rangeEnd);
  resumeWith(resumeContinue, 0);
}

void detach(const std::string&) {
  sendPacket("OK");
  dropPoints();
  resumeWith(resumeContinue, 0);
  server.noAck = false;
}

void kill(const std::string&) {
  server.endRun = true;
  resumeWith(resumeContinue, 0);
}

// Monitor commands, answered as console output.
void monitor(const std::string& p) {
  const std::string hex = p.substr(strlen("qRcmd,"));
  std::string command;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    const int high = hexValue(hex[i]), low = hexValue(hex[i + 1]);
    if (high < 0 || low < 0) return sendPacket("E01");
    command += char(high << 4 | low);
  }
  std::string text;
  if (command == "frame")
    text = frameText();
  else if (command == "regions")
    text = regionsText(registerCpu());
  else if (command == "log")
    text = logTail();
  else if (command == "history")
    text = historyText();
  else
    text = "monitor commands: frame, regions, log, history\n";
  // Console output goes in packets of its own, at most half a packet each.
  for (size_t at = 0; at < text.size(); at += maxPacket / 4) {
    std::string line = "O";
    line += hexOf(text.substr(at, maxPacket / 4));
    sendPacket(line);
  }
  sendPacket("OK");
}

struct CommandRow {
  const char* name;
  bool exact;  // the whole packet, or only its start
  void (*run)(const std::string& packet);
};

// First match wins: longer names before their prefixes.
const CommandRow commandRows[] = {
    {"qSupported", false, querySupported},
    {"QStartNoAckMode", true, startNoAck},
    {"qXfer:features:read:", false, readFeatures},
    {"qfThreadInfo", true, threadList},
    {"qsThreadInfo", true, threadListEnd},
    {"qThreadExtraInfo,", false, threadExtraInfo},
    {"qC", true, currentThread},
    {"qRcmd,", false, monitor},
    {"qAttached", true, [](const std::string&) { sendPacket("1"); }},
    {"vCont?", true, contActions},
    {"vCont;", false, contResume},
    {"?", true, stopReason},
    {"H", false, setThread},
    {"T", false, threadAlive},
    {"g", true, readAllRegisters},
    {"G", false, writeAllRegisters},
    {"p", false, readOneRegister},
    {"P", false, writeOneRegister},
    {"m", false, readMemory},
    {"M", false, writeMemoryHex},
    {"X", false, writeMemoryBinary},
    {"Z", false, changePoint},
    {"z", false, changePoint},
    {"bs", true, stepBackOne},
    {"bc", true, continueBackwards},
    {"c", false, continueAll},
    {"s", false, stepOne},
    {"D", false, detach},
    {"k", true, kill},
};

void runCommand(const std::string& p) {
  for (const CommandRow& row : commandRows) {
    const size_t length = strlen(row.name);
    if (row.exact ? p == row.name : p.compare(0, length, row.name) == 0) return row.run(p);
  }
  sendPacket("");
}

void sendAck(char c) {
  if (!server.noAck) server.output += c;
}

// A whole packet arrived: check it, acknowledge it and answer it.
void packetDone(uint8_t checksum) {
  if (server.oversized) {
    sendAck('+');
    sendPacket("E02");
    return;
  }
  if (checksum != server.sum && !server.noAck) return sendAck('-');
  sendAck('+');
  std::string data;
  for (size_t i = 0; i < server.packet.size(); ++i) {
    const char c = server.packet[i];
    if (c == '}' && i + 1 < server.packet.size())
      data += char(server.packet[++i] ^ 0x20);
    else
      data += c;
  }
  if (!data.empty()) runCommand(data);
}

}  // namespace

std::string hexOf(const std::string& text) {
  std::string hex;
  for (unsigned char c : text) hex += hexByte(c);
  return hex;
}

void sendPacket(const std::string& data) {
  std::string framed = "$";
  uint8_t sum = 0;
  for (unsigned char c : data) {
    if (c == '#' || c == '$' || c == '}' || c == '*') {
      framed += '}';
      c ^= 0x20;
      sum = uint8_t(sum + '}');
    }
    framed += char(c);
    sum = uint8_t(sum + c);
  }
  framed += '#' + hexByte(sum);
  server.output += framed;
  server.lastReply = framed;
}

void takeBytes(const uint8_t* data, size_t size) {
  GdbServer& s = server;
  for (size_t i = 0; i < size; ++i) {
    const uint8_t c = data[i];
    switch (s.inputState) {
      case GdbServer::idle:
        if (c == '$') {
          s.inputState = GdbServer::inData;
          s.packet.clear();
          s.oversized = false;
          s.sum = 0;
        } else if (c == '-' && !s.noAck) {
          s.output += s.lastReply;
        } else if (c == interruptByte && (!s.halted || s.resume != resumeNone)) {
          s.interruptRequested = true;
        }
        break;
      case GdbServer::inData:
        if (c == '#') {
          s.inputState = GdbServer::checksumHigh;
        } else if (c == '$') {
          s.packet.clear();  // a new start: the broken packet is dropped
          s.oversized = false;
          s.sum = 0;
        } else {
          s.sum = uint8_t(s.sum + c);
          if (s.packet.size() < maxPacket)
            s.packet += char(c);
          else
            s.oversized = true;
        }
        break;
      case GdbServer::checksumHigh:
        s.checksumHighDigit = hexValue(char(c));
        s.inputState = GdbServer::checksumLow;
        break;
      case GdbServer::checksumLow: {
        s.inputState = GdbServer::idle;
        const int low = hexValue(char(c));
        if (s.checksumHighDigit < 0 || low < 0) {
          if (!s.noAck) s.output += '-';
          break;
        }
        packetDone(uint8_t(s.checksumHighDigit << 4 | low));
        break;
      }
    }
  }
}

void gdbResetSession() {
  dropPoints();
  const int port = server.port;
  server = GdbServer{};
  server.port = port;
  server.halted = true;
}

void gdbReceive(const uint8_t* data, size_t size) {
  takeBytes(data, size);
  server.resume = resumeNone;
  server.endRun = false;
  server.interruptRequested = false;
}

std::string gdbTakeOutput() {
  std::string out;
  out.swap(server.output);
  return out;
}
