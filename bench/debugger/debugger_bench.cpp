// Frames per second of the demo ROM set, headless with rendering, as a run
// goes with the GDB server: without it, and with a client attached that
// continued at once, with nothing set, with a breakpoint the demo never
// reaches, and with a watchpoint on the shared RAM page the slave writes
// every frame (at an address it never writes). The median of 5 runs of each,
// the modes taking turns.
//
// Usage: debugger_bench [frames per run, default 3000] [run directory]
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "base/base.h"
#include "bench/gdb_client.h"
#include "bench/run_directory.h"
#include "console/console.h"
#include "debugger/debugger.h"
#include "system21/system21.h"

namespace {

constexpr int port = 47231;

struct Mode {
  const char* name;
  bool server, history;
  std::string packets;  // what the client sends before continuing
};

// A client that sends its packets and a continue, then stays until told.
void client(const std::string& packets, const std::atomic<bool>& done) {
  const int fd = connectToServer(port);
  const std::string text = packets + packet("c");
  send(fd, text.data(), text.size(), MSG_NOSIGNAL);
  while (!done) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  close(fd);
}

double timeRun(const char* driver, int frames, const Mode& mode) {
  if (!startHeadlessGame(driver)) return 0;
  uint32_t* frame = machine.screen;
  std::atomic<bool> done = false;
  std::thread attached;
  if (mode.server) {
    machine.hooks = {gdbRunHooks(port)};
    if (mode.history) startHistory(size_t{256} << 20);
    attached = std::thread(client, mode.packets, std::cref(done));
    machine.hooks[0].runStart();  // halted until the client continues
  }
  const auto begin = std::chrono::steady_clock::now();
  for (int i = 0; i < frames; i++) {
    if (mode.server) machine.hooks[0].frameEnd();
    while (!continueFrame().empty()) {
    }
    drawFrame();
    presentFrame(frame);
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
  if (mode.server) {
    machine.hooks[0].runEnd();
    done = true;
    attached.join();
  }
  stopHistory();
  machine.hooks.clear();
  machine.screen = nullptr;
  closeConsole();
  return frames / seconds;
}

double secondsOf(void (*work)()) {
  const auto begin = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
}

void runFrames(int64_t count) {
  for (int64_t i = 0; i < count; i++) {
    while (!continueFrame().empty()) {
    }
    drawFrame();
  }
}

// The history: what 10 minutes of the demo leave in the default budget, and
// how long going back takes from the end of a minute of it.
void timeHistory(const char* driver) {
  if (!startHeadlessGame(driver)) return;
  constexpr int64_t minute = 3600, tenMinutes = 36000;
  startHistory(size_t{256} << 20);
  // A breakpoint hit once, at the start: going back to it searches the whole minute.
  const int probe = addBreakpoint(9, 1, contextOf(1).pc);
  while (!continueFrame().empty()) {
  }
  removeProbe(probe);
  runFrames(minute);
  StopEvent stop;
  std::vector<double> steps;
  for (int i = 0; i < 21; i++) {
    steps.push_back(secondsOf([] {
      StopEvent back;
      stepBack(1, back);
    }));
  }
  std::sort(steps.begin(), steps.end());
  runFrames(1);
  addBreakpoint(9, 1, 0x1000);
  const double search = secondsOf([] {
    StopEvent back;
    continueBack(9, back);
  });
  printf("history after %lld frames: %s", static_cast<long long>(minute), historyText().c_str());
  printf(
      "bs: median %.2f ms (21 steps back, %.2f .. %.2f); bc across %lld frames: %.0f ms, "
      "to frame %lld\n",
      steps[10] * 1e3, steps[0] * 1e3, steps[20] * 1e3, static_cast<long long>(minute),
      search * 1e3, static_cast<long long>(machine.frameNumber));
  removeProbes(9);
  // Ten minutes in the default budget, then in one of 16 MB, whose oldest
  // snapshots go as the run goes.
  for (const size_t budget : {size_t{256} << 20, size_t{16} << 20}) {
    stopHistory();
    startHistory(budget);
    const double run = secondsOf([] { runFrames(tenMinutes); });
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    printf("after %lld more frames (%.1f s): %s", static_cast<long long>(tenMinutes), run,
           historyText().c_str());
    printf("peak resident memory of the process so far: %ld MB\n", usage.ru_maxrss / 1024);
  }
  stopHistory();
  machine.screen = nullptr;
  closeConsole();
}

}  // namespace

int main(int argc, char** argv) {
  const int frames = argc > 1 && std::atoi(argv[1]) > 0 ? std::atoi(argv[1]) : 3000;
  const std::string runDir = argc > 2 ? argv[2] : SB_RUN_DIR;
  useRunDirectory(runDir);
  const Mode modes[] = {
      {"no server", false, false, ""},
      {"client attached, history off", true, false, ""},
      {"client attached, history on", true, true, ""},
      {"a breakpoint set (never reached)", true, true, packet("Z0,126c,2")},
      {"a watchpoint on shared RAM", true, true, packet("Z2,200ffe,2")},
  };
  // The modes take turns, so that load from elsewhere falls on all alike.
  constexpr size_t modeCount = sizeof modes / sizeof modes[0];
  std::vector<double> runs[modeCount];
  for (int r = 0; r < 5; r++) {
    for (size_t m = 0; m < modeCount; m++) runs[m].push_back(timeRun("demo.drv", frames, modes[m]));
  }
  for (size_t m = 0; m < modeCount; m++) {
    std::vector<double>& fps = runs[m];
    std::sort(fps.begin(), fps.end());
    if (fps[0] <= 0) {
      fprintf(stderr, "cannot load demo.drv from %s\n", runDir.c_str());
      return 1;
    }
    printf("%-34s median %6.0f fps (runs %.0f .. %.0f), %.2fx the time of no server\n",
           modes[m].name, fps[2], fps[0], fps[4], runs[0][2] / fps[2]);
  }
  timeHistory("demo.drv");
  closeLog();
  return 0;
}
