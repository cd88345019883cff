// Frames per second of the demo ROM set, headless with rendering, as a run
// goes with a Lua script: none; a script that registers nothing; an
// on_frame callback that reads four words of shared RAM; a breakpoint at
// the master's frame interrupt handler (hit once a frame) whose callback
// counts; and, to compare, the debugger's breakpoint there with a client
// that continues at each stop, with its history on (as under --gdb) and
// off. The frame loop is the one of a run: the hooks before each frame and
// after each stop. The median of the runs of each, the modes taking turns.
//
// Usage: script_bench [frames per run, default 3000] [run directory] [runs, default 5]
//                     [the one mode to run, by number from 0]
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "base/base.h"
#include "bench/gdb_client.h"
#include "bench/run_directory.h"
#include "console/console.h"
#include "debugger/debugger.h"
#include "script/script.h"
#include "system21/system21.h"

namespace {

constexpr int port = 47233;
// The level-1 autovector: the address of the frame interrupt's handler.
constexpr uint32_t frameVector = 0x64;

enum Tool { noTool, script, debugger, debuggerNoHistory };

struct Mode {
  const char* name;
  Tool tool;
  const char* lua;
};

// A client that sets a breakpoint, continues, and continues again after
// every stop reply, until the run ends.
void client(uint32_t address, const std::atomic<bool>& done) {
  const int fd = connectToServer(port);
  char z0[32];
  snprintf(z0, sizeof z0, "Z0,%x,2", address);
  const std::string start = packet("QStartNoAckMode") + "+" + packet(z0) + packet("c");
  send(fd, start.data(), start.size(), MSG_NOSIGNAL);
  const std::string resume = packet("c");
  std::string seen;
  char buffer[4096];
  while (!done) {
    const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    seen.append(buffer, size_t(n));
    for (size_t at; (at = seen.find("$T")) != std::string::npos;) {
      seen.erase(0, at + 2);
      send(fd, resume.data(), resume.size(), MSG_NOSIGNAL);
    }
  }
  close(fd);
}

uint32_t frameHandler() {
  uint32_t address = 0;
  for (uint32_t i = 0; i < 4; i++) address = address << 8 | peekByte(1, frameVector + i);
  return address;
}

// The frame loop of a run, hooks and all; a function of its own, so that
// callgrind can count its instructions alone (--toggle-collect='*runFrames*').
[[gnu::noinline]] void runFrames(int frames, uint32_t* frame) {
  for (int i = 0; i < frames; i++) {
    for (;;) {
      for (const RunHooks& hooks : machine.hooks) hooks.frameEnd();
      const std::vector<StopEvent> stops = continueFrame();
      if (stops.empty()) break;
      for (const RunHooks& hooks : machine.hooks) {
        for (const StopEvent& stop : stops) hooks.stopped(stop);
      }
    }
    drawFrame();
    presentFrame(frame);
  }
}

double timeRun(const char* driver, int frames, const Mode& mode, const std::string& scriptPath) {
  if (!startHeadlessGame(driver)) return 0;
  uint32_t* frame = machine.screen;
  std::atomic<bool> done = false;
  std::thread attached;
  if (mode.tool == script) {
    std::FILE* file = std::fopen(scriptPath.c_str(), "w");
    std::fputs(mode.lua, file);
    std::fclose(file);
    machine.hooks = {scriptRunHooks(scriptPath)};
  } else if (mode.tool != noTool) {
    machine.hooks = {gdbRunHooks(port)};
    if (mode.tool == debugger) startHistory(size_t{256} << 20);
    attached = std::thread(client, frameHandler(), std::cref(done));
  }
  for (const RunHooks& hooks : machine.hooks)
    hooks.runStart();  // the debugger waits for its client
  const auto begin = std::chrono::steady_clock::now();
  runFrames(frames, frame);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
  for (const RunHooks& hooks : machine.hooks) hooks.runEnd();
  done = true;
  if (attached.joinable()) attached.join();
  stopHistory();
  machine.hooks.clear();
  machine.screen = nullptr;
  closeConsole();
  return frames / seconds;
}

}  // namespace

int main(int argc, char** argv) {
  const int frames = argc > 1 && std::atoi(argv[1]) > 0 ? std::atoi(argv[1]) : 3000;
  const std::string runDir = argc > 2 ? argv[2] : SB_RUN_DIR;
  const int rounds = argc > 3 && std::atoi(argv[3]) > 0 ? std::atoi(argv[3]) : 5;
  const int only = argc > 4 ? std::atoi(argv[4]) : -1;
  useRunDirectory(runDir);
  const std::string scriptPath = (std::filesystem::temp_directory_path() /
                                  ("script_bench_" + std::to_string(getpid()) + ".lua"))
                                     .string();
  const Mode modes[] = {
      {"no script", noTool, ""},
      {"a script that registers nothing", script, "local x = 1\n"},
      {"on_frame reading four words", script,
       "local sum = 0\n"
       "sb.on_frame(function(n)\n"
       "  sum = sum + sb.read16(1, 0x200500) + sb.read16(1, 0x200502)\n"
       "            + sb.read16(2, 0x200508) + sb.read16(2, 0x20050a)\n"
       "end)\n"},
      {"script breakpoint, once a frame", script,
       "local hits = 0\n"
       "sb.breakpoint(1, sb.read32(1, 0x64), function() hits = hits + 1 end)\n"},
      {"debugger breakpoint, once a frame", debugger, ""},
      {"the same, history off", debuggerNoHistory, ""},
  };
  constexpr size_t modeCount = sizeof modes / sizeof modes[0];
  std::vector<double> runs[modeCount];
  for (int r = 0; r < rounds; r++) {
    for (size_t m = 0; m < modeCount; m++) {
      if (only < 0 || size_t(only) == m)
        runs[m].push_back(timeRun("demo.drv", frames, modes[m], scriptPath));
    }
  }
  std::filesystem::remove(scriptPath);
  for (size_t m = 0; m < modeCount; m++) {
    std::vector<double>& fps = runs[m];
    std::sort(fps.begin(), fps.end());
    if (fps.empty()) continue;
    if (fps[0] <= 0) {
      fprintf(stderr, "cannot load demo.drv from %s\n", runDir.c_str());
      return 1;
    }
    printf("%-34s median %6.0f fps (runs %.0f .. %.0f), %.3fx the time of no script\n",
           modes[m].name, fps[fps.size() / 2], fps.front(), fps.back(),
           runs[0].empty() ? 0 : runs[0][fps.size() / 2] / fps[fps.size() / 2]);
  }
  closeLog();
  return 0;
}
