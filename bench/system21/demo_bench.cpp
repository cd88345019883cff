// Frames per second of the demo ROM set, headless: the frame loop of a run
// (both processors' shares with their interrupts, palette, sprites, present),
// with rendering and with rendering off; the median of 5 runs of each.
//
// Usage: system21_bench [frames per run, default 3000] [run directory] [driver file]
//                       [no-fast-forward]
// The driver file defaults to demo.drv; runaway.py writes poll.drv and
// scribble.drv, whose code hits unmapped addresses all the time. With
// no-fast-forward every pass of the processors' polling loops runs.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "base/base.h"
#include "bench/run_directory.h"
#include "console/console.h"
#include "system21/system21.h"

namespace {

struct Result {
  double fps;
  double cyclesPerFrame1, cyclesPerFrame2;
  double runPerFrame, countedPerFrame;  // instructions run, and fast-forwarded
};

uint64_t instructions() {
  return machine.cpu1Context.instructionCount + machine.cpu2Context.instructionCount;
}

Result timeRun(int frames, bool render) {
  uint32_t start1 = machine.cpu1Context.cycleCount, start2 = machine.cpu2Context.cycleCount;
  const uint64_t started = instructions(), skippedBefore = cpuSkippedInstructions();
  uint32_t* frame = frameBuffer();
  auto begin = std::chrono::steady_clock::now();
  for (int i = 0; i < frames; i++) {
    runFrame();
    if (render) {
      convertPalette();
      drawSprites(frame);
    }
    presentFrame(frame);
  }
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
  const double counted = double(cpuSkippedInstructions() - skippedBefore);
  return {frames / seconds, double(machine.cpu1Context.cycleCount - start1) / frames,
          double(machine.cpu2Context.cycleCount - start2) / frames,
          (double(instructions() - started) - counted) / frames, counted / frames};
}

}  // namespace

int main(int argc, char** argv) {
  int frames = argc > 1 ? std::atoi(argv[1]) : 3000;
  std::string runDir = argc > 2 ? argv[2] : SB_RUN_DIR;
  const char* driver = argc > 3 ? argv[3] : "demo.drv";
  if (frames <= 0) frames = 3000;
  useRunDirectory(runDir);
  cpuSetFastForward(!(argc > 4 && std::string(argv[4]) == "no-fast-forward"));
  for (bool render : {true, false}) {
    std::vector<Result> runs;
    for (int r = 0; r < 5; r++) {
      if (!startHeadlessGame(driver)) {
        fprintf(stderr, "cannot load %s from %s\n", driver, runDir.c_str());
        return 1;
      }
      runs.push_back(timeRun(frames, render));
      closeConsole();
    }
    std::sort(runs.begin(), runs.end(), [](auto& a, auto& b) { return a.fps < b.fps; });
    printf(
        "%s, %d frames a run, rendering %s: median %.0f fps (runs %.0f .. %.0f); "
        "cycles a frame: cpu1 %.0f, cpu2 %.0f; instructions a frame: %.0f run, %.0f "
        "fast-forwarded\n",
        driver, frames, render ? "on " : "off", runs[2].fps, runs[0].fps, runs[4].fps,
        runs[2].cyclesPerFrame1, runs[2].cyclesPerFrame2, runs[2].runPerFrame,
        runs[2].countedPerFrame);
  }
  closeLog();
  return 0;
}
