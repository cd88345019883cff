// Start-up of both processors and the frame loop.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "base/base.h"
#include "console/console.h"
#include "system21/control.h"
#include "system21/system21.h"

void resetHandler() {}

namespace {

// Resets one processor in its own context and logs where it starts.
bool startCpu(CpuContext& context, int number) {
  cpuSetContext(&context);
  if (cpuReset() != cpuResetStarted) return false;
  cpuGetContext(&context);
  logLine("system21: M68000 cpu %d entry point @ 0x%.6x\n", number, context.pc);
  logLine("system21: M68000 cpu %d stack @ 0x%.6x\n", number, context.areg[7]);
  return true;
}

// A share is over: the processor's frame interrupt.
void frameInterrupt(int cpu) {
  CpuContext& context = contextOf(cpu);
  cpuSetContext(&context);
  cpuInterrupt(frameInterruptLevel, cpuAutovector);
  cpuGetContext(&context);
}

// The 68000 byte at an address of sharedRamA.
uint8_t sharedByte(uint32_t offset) {
  const std::vector<uint8_t>& ram = machine.sharedRamA;
  return (offset ^ 1) < ram.size() ? ram[offset ^ 1] : 0;
}

// Frames written as numbered PNG files while a run goes, with a progress
// line on a terminal once a second and at the end.
struct Recorder {
  std::string directory;
  int64_t every = 1;
  int64_t written = 0;
  std::string failure;  // the file that could not be written and why; recording stopped
  bool showProgress = false;
  std::chrono::steady_clock::time_point start, lastProgress;
};

Recorder startRecorder(const RunOptions& options) {
  Recorder r;
  if (options.recordDirectory.empty()) return r;
  r.directory = options.recordDirectory;
  if (r.directory.back() != '/') r.directory += '/';
  r.every = options.recordEvery > 0 ? options.recordEvery : 1;
  std::error_code error;
  std::filesystem::create_directories(r.directory, error);
  if (error) r.failure = r.directory + ": " + error.message();
  r.showProgress = isatty(STDERR_FILENO) != 0;
  r.start = r.lastProgress = std::chrono::steady_clock::now();
  return r;
}

void printProgress(Recorder& r, bool last) {
  const auto now = std::chrono::steady_clock::now();
  if (!r.showProgress || (!last && now - r.lastProgress < std::chrono::seconds(1))) return;
  r.lastProgress = now;
  const double seconds = std::chrono::duration<double>(now - r.start).count();
  fprintf(stderr, "\rrecorded %lld frames to %s (%.0f frames a second)%s",
          static_cast<long long>(r.written), r.directory.c_str(),
          seconds > 0 ? r.written / seconds : 0.0, last ? "\n" : "");
}

void recordFrame(Recorder& r, const uint32_t* frame) {
  if (r.directory.empty() || !r.failure.empty() || machine.frameNumber % r.every != 0) return;
  char name[32];
  snprintf(name, sizeof name, "frame-%06lld.png", static_cast<long long>(machine.frameNumber));
  const std::string path = r.directory + name;
  std::string reason;
  if (!writePng(path.c_str(), frame, screenWidth, screenHeight, reason)) {
    r.failure = path + ": " + reason + "; recording stopped";
    return;
  }
  r.written++;
  printProgress(r, false);
}

// A file asked for that could not be written whole: a line on standard
// error and in the log, and one in the run's account.
void reportLost(std::string& lost, const std::string& what) {
  const std::string line = "Cannot write " + what;
  fprintf(stderr, "%s\n", line.c_str());
  logLine("system21: %s\n", line.c_str());
  lost += (lost.empty() ? "" : "\n") + line;
}

// The frame rate in the window's title, against the real board's.
struct FpsTitle {
  bool shown = false;
  int64_t framesAtStart = 0;
  std::chrono::steady_clock::time_point start;
};

void updateFpsTitle(FpsTitle& t, int64_t framesRun) {
  if (!t.shown) return;
  const auto now = std::chrono::steady_clock::now();
  const double seconds = std::chrono::duration<double>(now - t.start).count();
  if (seconds < 1.0) return;
  const double fps = (framesRun - t.framesAtStart) / seconds;
  char title[256];
  snprintf(title, sizeof title, "%s - %.0f fps (%.0f%% of the board's %.0f Hz)",
           machine.game.gameName.c_str(), fps, 100.0 * fps / boardFrameRate, boardFrameRate);
  setConsoleTitle(title);
  t.framesAtStart = framesRun;
  t.start = now;
}

bool runEnds(const RunOptions& options, int64_t framesRun) {
  if (options.maxFrames >= 0 && framesRun >= options.maxFrames) return true;
  bool ends = false;
  for (const RunHooks& hooks : machine.hooks) {
    if (hooks.frameEnd != nullptr && hooks.frameEnd()) ends = true;
  }
  return ends || keyPending();
}

// Each tool hears of the stops it made, in order, until one of them takes
// the machine elsewhere (back in time).
void deliverStops(const std::vector<StopEvent>& stops) {
  const RunPoint at = currentPoint();
  for (const RunHooks& hooks : machine.hooks) {
    for (const StopEvent& stop : stops) {
      if (hooks.stopped == nullptr || currentPoint() != at) continue;
      hooks.stopped(stop);
    }
  }
}

}  // namespace

int startCpus() {
  machine.slaveRunning = 1;
  if (!startCpu(machine.cpu1Context, 1)) return 0;
  if (!startCpu(machine.cpu2Context, 2)) return 0;
  return 1;
}

std::vector<StopEvent> continueFrame() {
  Machine& m = machine;
  historyBeforeRunning();
  if (m.share == 0) {
    m.share = 1;
    m.shareStart = m.cpu1Context.cycleCount;
  }
  std::vector<StopEvent> stops;
  while (m.share != 0) {
    const int cpu = m.share;
    if (runShare(cpu, stops)) return stops;
    frameInterrupt(cpu);
    if (cpu == 1 && m.slaveRunning == 1) {
      m.share = 2;
      m.shareStart = m.cpu2Context.cycleCount;
    } else {
      m.share = 0;
      m.frameNumber++;
    }
  }
  return stops;
}

void runFrame() {
  const int64_t frame = machine.frameNumber;
  while (machine.frameNumber == frame) continueFrame();
}

void drawFrame() {
  if (!machine.render || machine.screen == nullptr) return;
  convertPalette();
  drawSprites(machine.screen);
}

void logEndOfRun() {
  for (uint32_t i = 0; i < dumpLength; i += 2) {
    for (uint32_t offset : {i, i + 1}) {
      uint8_t byte = sharedByte(offset);
      logLine("%c", byte < 0x20 ? ' ' : byte);
    }
  }
  logLine("\n");
  cpuSetContext(&machine.cpu1Context);
  logLine("system21: 68000 cpu 1 stopped @ 0x%.6x\n", cpuReadPc());
  cpuSetContext(&machine.cpu2Context);
  logLine("system21: 68000 cpu 2 stopped @ 0x%.6x\n", cpuReadPc());
  logAccessSummary();
}

int runGame(const char* driverFileName, const RunOptions& options, std::string* lostOutputs) {
  GameRom rom;
  if (!loadGame(driverFileName, rom)) return 0;
  buildMachine(std::move(rom));
  beginAccessLog(options.logLimit);
  logStartupDiagnostics();
  startCpus();
  setConsoleHeadless(options.headless);
  std::string error;
  std::vector<uint32_t> savedFrame;
  if (!options.loadStatePath.empty()) {
    savedFrame.resize(size_t{screenWidth} * screenHeight);
    if (!loadState(options.loadStatePath.c_str(), driverFileName, savedFrame.data(), error)) {
      const std::string text = options.loadStatePath + ": " + error;
      logLine("system21: saved state %s\n", text.c_str());
      showMessageBox(text.c_str(), "Saved state refused", nullptr);
      return runRefused;
    }
  }
  openConsole(machine.game.gameName.c_str(), screenWidth, screenHeight, false);
  uint32_t* frame = frameBuffer();
  if (!savedFrame.empty() && frame != nullptr)
    std::copy(savedFrame.begin(), savedFrame.end(), frame);
  const int64_t firstFrame = machine.frameNumber;
  Recorder recorder = startRecorder(options);
  machine.driverFileName = driverFileName;
  machine.hooks = options.hooks;
  machine.screen = frame;
  machine.render = options.render;
  machine.share = 0;
  cpuSetFastForward(options.fastForward);
  if (options.historyBytes > 0) startHistory(size_t(options.historyBytes));
  for (const RunHooks& hooks : machine.hooks) {
    if (hooks.runStart != nullptr) hooks.runStart();
  }
  FpsTitle fpsTitle{options.showFps, 0, std::chrono::steady_clock::now()};
  while (!runEnds(options, machine.frameNumber - firstFrame)) {
    const std::vector<StopEvent> stops = continueFrame();
    if (!stops.empty()) {
      deliverStops(stops);
      continue;
    }
    drawFrame();
    presentFrame(frame);
    recordFrame(recorder, frame);
    updateFpsTitle(fpsTitle, machine.frameNumber - firstFrame);
    // What a frame logged is on disk even if the run is killed.
    if (FILE* log = logFile()) fflush(log);
  }
  if (!recorder.directory.empty()) printProgress(recorder, true);
  for (const RunHooks& hooks : machine.hooks) {
    if (hooks.runEnd != nullptr) hooks.runEnd();
  }
  stopHistory();
  machine.hooks.clear();
  machine.screen = nullptr;
  logEndOfRun();
  std::string lost;
  if (!recorder.failure.empty()) reportLost(lost, recorder.failure);
  if (!options.saveStatePath.empty() &&
      !saveState(options.saveStatePath.c_str(), driverFileName, frame, error)) {
    reportLost(lost, options.saveStatePath + ": " + error);
  }
  if (!options.screenshotPath.empty() &&
      !writePng(options.screenshotPath.c_str(), frame, screenWidth, screenHeight, error)) {
    reportLost(lost, options.screenshotPath + ": " + error);
  }
  closeConsole();
  // The tiles go with the run; the 68000 images stay with the machine.
  machine.game.graphicsData = {};
  machine.game.graphicsBlockCount = 0;
  // The log is whole on disk when the launcher comes back.
  if (FILE* log = logFile()) fflush(log);
  if (lostOutputs != nullptr) *lostOutputs = lost;
  return lost.empty() ? 1 : runOutputLost;
}
