// The GDB server end to end: gdb-multiarch in batch mode against the demo
// (its master program's symbols) and the C demo (by source line), whose
// logs, last frames and final machine states must be those of the same runs
// without a debugger; and a raw client sending bad input.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <string>
#include <thread>

#include "debugger/debugger.h"
#include "tests/support/files.h"

namespace {

namespace fs = std::filesystem;
const std::string runDir = SB_RUN_DIR;
const std::string binaryDir = SB_BINARY_DIR;

int freePort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof a;
  bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size);
  close(fd);
  return ntohs(a.sin_port);
}

struct DemoRun {
  std::string log, frame, state, gdb, status;
};

// 90 frames of game (a driver file's name without .drv), headless, in dir;
// serving GDB on port (0: not), with client (a shell command) run beside it.
DemoRun runDemo(const support::ScratchDir& dir, int port, const std::string& client,
                const std::string& game = "demo") {
  fs::create_directory_symlink(runDir + "/drv", dir / "drv");
  fs::create_directory_symlink(runDir + "/roms", dir / "roms");
  std::string command = "cd '" + dir.path.string() + "' || exit 1; (timeout 120 " + binaryDir +
                        "/stonebreaker --headless --play " + game + ".drv --frames 90 " +
                        "--screenshot last.png --save-state end.sbs";
  if (port > 0) command += " --gdb " + std::to_string(port);
  command += " >program.txt 2>&1; echo $? >status)";
  if (!client.empty()) command += " & " + client + " >client.txt 2>&1; wait";
  EXPECT_EQ(std::system(command.c_str()), 0);
  DemoRun run{support::readText(dir / "s000.log"), support::readText(dir / "last.png"),
              support::readText(dir / "end.sbs"), "", support::readText(dir / "status")};
  if (fs::exists(dir / "client.txt")) run.gdb = support::readText(dir / "client.txt");
  run.log.resize(std::min(run.log.size(), run.log.find("Memory usage:")));
  return run;
}

bool haveDemo() {
  return fs::exists(runDir + "/drv/demo.drv") && fs::exists(binaryDir + "/demo/master.elf") &&
         fs::exists(runDir + "/drv/cdemo.drv") && fs::exists(binaryDir + "/cdemo/master.elf");
}

struct Session {
  const char* name;
  const char* game;  // its master program's ELF gives the symbols
  const char* commands;
  std::vector<const char*> expected;  // in GDB's output
  // Marks (echo <X>) whose following output, to the next mark, must be the
  // same, in groups apart: the machine at each mark of a group is the same.
  std::string sameBlocks = "";
};

// What GDB printed after the mark <letter>, up to the next mark.
std::string block(const std::string& output, char letter) {
  const std::string mark = std::string("<") + letter + ">\n";
  const size_t at = output.find(mark);
  if (at == std::string::npos) return "no mark " + mark;
  const size_t from = at + mark.size();
  return output.substr(from, output.find("\n<", from) - from);
}

const Session sessions[] = {
    {"break at a label, registers, memory, step",
     "demo",
     "break frameInterrupt\ncontinue\ninfo registers pc sp\nx/2xw 0\nstepi\ninfo registers pc\n"
     "continue\ndelete\nbreak *0x6948\ncontinue\ncontinue\nstepi\nstepi\ndelete\ncontinue\n",
     {"Thread 1 hit Breakpoint 1, 0x00001144 in frameInterrupt", "sp             0x10ffe",
      "0x0:\t0x0010fff0\t0x00001000", "pc             0x1148",
      "Thread 2 hit Breakpoint 2, 0x00006948", "exited normally"}},
    {"threads, a watchpoint on shared RAM the slave writes, monitor, detach",
     "demo",
     "info threads\nthread 2\nwatch *(short*)0x200080\ncontinue\nmonitor frame\n"
     "monitor regions\ndelete\ndetach\n",
     {"Thread 1 (master 68000)", "Thread 2 (slave 68000)", "Thread 2 hit Hardware watchpoint 1",
      "New value = ", "frame 1; cycles: master ", "write  200000-20ffff memory", "detached"}},
    // Back to earlier breakpoint hits and to the start; a step back across a
    // frame boundary and forward again; steps undone; a slave's write found
    // backwards. Forward again afterwards, the run ends as a plain one.
    {"reverse execution",
     "demo",
     "break frameInterrupt\ncontinue\ncontinue\necho <A>\\n\ninfo registers\nmonitor frame\n"
     "echo <->\\n\ndelete\nreverse-stepi\nmonitor frame\nstepi\necho <B>\\n\ninfo registers\n"
     "monitor frame\necho <->\\n\nbreak "
     "frameInterrupt\nstepi\nstepi\nstepi\nreverse-stepi\nreverse-stepi\n"
     "reverse-stepi\necho <C>\\n\ninfo registers\nmonitor frame\necho <->\\n\nreverse-continue\n"
     "monitor frame\n"
     "reverse-continue\ninfo registers pc\ncontinue\ncontinue\nmonitor frame\ndelete\n"
     "thread 2\nawatch *(short*)0x200500\ncontinue\ncontinue\necho <E>\\n\nmonitor frame\n"
     "echo <->\\n\ncontinue\nreverse-continue\necho <F>\\n\nmonitor frame\necho <->\\n\n"
     "monitor history\ndelete\ncontinue\n",
     {"frame 1; cycles: master 409596, slave 204802\n", "frame 1; cycles: master 204852",
      "No more reverse-execution history.", "pc             0x1000              0x1000 <start>",
      "Thread 2 hit Hardware access (read/write) watchpoint 3", "history: frames 0 to 2 in",
      "exited normally"},
     "ABC EF"},
    // next and step go by range steps; the second next steps over the frame
    // interrupt taken in waitFrame.
    {"the C demo by source line",
     "cdemo",
     "break master.c:121\ncontinue\nnext\ninfo locals\nstep\nbt\ninfo locals\nprint value\n"
     "finish\nnext\nnext\nprint framesDrawn\nprint banner\ndelete\ncontinue\n",
     {"hit Breakpoint 1, main () at ", "\t    putHex4(line, (uint16_t)frameCount);",
      "line = 0x20006b", "#0  putHex4 (to=0x20006b <scene+107> \"\", value=1) at ", "#1  0x",
      " in main () at ", "digits = \"0123456789abcdef\"", "$1 = 1",
      "Value returned is $2 = 0x20006f", "\t    cycleTitle();", "$3 = 1",
      "$4 = \"STONEBREAKER C demo - System 21", "exited normally"}},
};

TEST(GdbSession, GdbMultiarchDrivesBothProcessorsWithoutChangingTheRun) {
  if (!haveDemo()) GTEST_SKIP() << "the demo has not been built into " << runDir;
  if (std::system("command -v gdb-multiarch >/dev/null") != 0) {
    GTEST_SKIP() << "gdb-multiarch is not installed";
  }
  std::map<std::string, DemoRun> plain;
  for (const Session& s : sessions) {
    SCOPED_TRACE(s.name);
    if (!plain.contains(s.game)) {
      support::ScratchDir plainDir("plain");
      plain[s.game] = runDemo(plainDir, 0, "", s.game);
      ASSERT_EQ(plain[s.game].status, "0\n");
    }
    support::ScratchDir dir("gdb");
    const int port = freePort();
    support::writeFile(dir / "session.gdb", "set confirm off\nfile " + binaryDir + "/" + s.game +
                                                "/master.elf\ntarget remote 127.0.0.1:" +
                                                std::to_string(port) + "\n" + s.commands);
    const DemoRun run =
        runDemo(dir, port, "timeout 120 gdb-multiarch -batch -nx -x session.gdb", s.game);
    for (const char* text : s.expected) {
      EXPECT_NE(run.gdb.find(text), std::string::npos) << text << " not in:\n" << run.gdb;
    }
    for (size_t i = 1; i < s.sameBlocks.size(); ++i) {
      const char first = s.sameBlocks[i - 1], letter = s.sameBlocks[i];
      if (first != ' ' && letter != ' ') {
        EXPECT_EQ(block(run.gdb, letter), block(run.gdb, first)) << "<" << letter << ">";
      }
    }
    EXPECT_EQ(run.status, "0\n");
    EXPECT_EQ(run.log, plain[s.game].log);
    EXPECT_TRUE(run.frame == plain[s.game].frame) << "the last frame differs";
    // Registers, cycle counters and every RAM byte of both processors.
    EXPECT_TRUE(run.state == plain[s.game].state) << "the machine at the end differs";
  }
}

// ---- A raw client -------------------------------------------------------------

int connectTo(int port) {
  for (int attempt = 0; attempt < 300; ++attempt) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(uint16_t(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) return fd;
    close(fd);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return -1;
}

// Sends text, then collects what comes back until it ends with a whole
// packet or a lone NAK (or nothing more comes for two seconds).
std::string exchange(int fd, const std::string& text) {
  send(fd, text.data(), text.size(), MSG_NOSIGNAL);
  std::string got;
  pollfd p{fd, POLLIN, 0};
  while (poll(&p, 1, 2000) > 0) {
    char buffer[4096];
    const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    got.append(buffer, size_t(n));
    const size_t hash = got.rfind('#');
    if (got == "-" || (hash != std::string::npos && got.size() == hash + 3)) break;
  }
  return got;
}

struct Exchange {
  std::string sent, reply;
};

TEST(GdbSession, BadInputIsAnsweredAndTheRunGoesOn) {
  if (!haveDemo()) GTEST_SKIP() << "the demo has not been built into " << runDir;
  const Exchange rows[] = {
      {"$?#00", "-"},  // bad checksum: NAK, then the resend is taken
      {"$?#3f", "+$T05thread:1;#"},
      {"$bs#d5", "+$T05replaylog:begin;thread:1;#"},  // nothing to go back to at the start
      {"$bc#c5\x03", "+$T05replaylog:begin;thread:1;#"},
      {"$Hc3#de", "+$E01#"},
      {std::string("\xff\x00\x7f#zz", 6) + "$qThreadExtraInfo,2#b7", "+$736c617665203638303030#"},
      {"$" + std::string(20000, 'm') + "#00", "+$E02#a7"},  // oversized
      {"$vMustReplyEmpty#3a", "+$#00"},
      {"$m600000,2#f1", "+$ffff#"},  // unmapped: all ones, and no log line
      {"$X1000,2:\x4e\x71#70", "+$OK#9a"},
      {"$m1000,2#8c", "+$4e71#"},
      {"$Z0,zz,2#08", "+$E01#a6"},
      {"$c#63\x03", "+$T02thread:1;#"},               // Ctrl-C stops a running game
      {"$bs#d5", "+$T05replaylog:begin;thread:1;#"},  // before the first frame
      {"$vCont;s:2#24", "+$T05thread:2;#"},  // one slave instruction, the master's share first
      // Refused whole, the machine still halted: an unknown action, a
      // thread not there, a malformed thread, a signal of one digit.
      {"$vCont;x#bd", "+$E01#a6"},
      {"$vCont;s:3#25", "+$E01#a6"},
      {"$vCont;c:zz#d6", "+$E01#a6"},
      {"$vCont;C5#bd", "+$E01#a6"},
      {"$?#3f", "+$T05thread:2;#"},
      {"$vCont?#49", "+$vCont;c;C;s;S;r#"},
      // Steps the master, at the end of its share, until it leaves its main
      // loop: its next instruction is the frame interrupt handler's first.
      {"$vCont;r1000,1144:1#d9", "+$T05thread:1;#"},
      {"$p11#d2", "+$00001148#"},
      {"$Z0,1144,2#de", "+$OK#9a"},
      {"$c#63", "+$T05swbreak:;thread:1;#"},
      {"$z0,1144,2#fe", "+$OK#9a"},
  };
  support::ScratchDir dir("raw");
  const int port = freePort();
  std::thread driver([&] {
    const int fd = connectTo(port);
    ASSERT_GE(fd, 0);
    for (const Exchange& row : rows) {
      EXPECT_EQ(exchange(fd, row.sent).substr(0, row.reply.size()), row.reply) << row.sent;
    }
    // Hundreds of steps back with Ctrl-C among them: one stop reply each, the
    // master going back instruction by instruction.
    std::string many, want;
    for (int i = 0; i < 200; ++i) many += "$bs#d5\x03", want += "+$T05thread:1;#d7";
    send(fd, many.data(), many.size(), MSG_NOSIGNAL);
    std::string replies;
    pollfd p{fd, POLLIN, 0};
    for (char buffer[4096]; replies.size() < want.size() && poll(&p, 1, 60000) > 0;) {
      const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
      if (n <= 0) break;
      replies.append(buffer, size_t(n));
    }
    EXPECT_EQ(replies, want);
    const int second = connectTo(port);  // refused while one is attached
    EXPECT_EQ(exchange(second, "$?#3f"), "");
    close(second);
    send(fd, "$c#63$m0,", 9, MSG_NOSIGNAL);  // goes on, then vanishes mid-packet
    close(fd);
  });
  const DemoRun run = runDemo(dir, port, "");
  driver.join();
  EXPECT_EQ(run.status, "0\n");
  EXPECT_EQ(run.log.find("read at 0x600000"), std::string::npos);
  EXPECT_FALSE(run.frame.empty());
}

// Without a history there is no going back: an error, and no offer of it.
TEST(GdbSession, NoHistoryNoGoingBack) {
  gdbResetSession();
  const std::string sent = "$qSupported#37$bs#d5$bc#c5";
  gdbReceive(reinterpret_cast<const uint8_t*>(sent.data()), sent.size());
  const std::string out = gdbTakeOutput();
  EXPECT_EQ(out.find("Reverse"), std::string::npos) << out;
  EXPECT_NE(out.find("+$E01#a6+$E01#a6"), std::string::npos) << out;
}

}  // namespace
