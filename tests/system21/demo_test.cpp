// The demo ROM set end to end, headless: its log and its last frame against
// committed golden files, and two runs giving identical results.
//
// SB_UPDATE_GOLDEN=1 in the environment rewrites the golden files instead.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/app.h"
#include "console/console.h"
#include "driver/driver.h"
#include "log_capture.h"
#include "system21/system21.h"
#include "tests/system21/png_util.h"

namespace {

namespace fs = std::filesystem;

constexpr int64_t goldenFrames = 300;
const std::string runDir = SB_RUN_DIR;
const std::string goldenDir = SB_GOLDEN_DIR;

bool updating() {
  return std::getenv("SB_UPDATE_GOLDEN") != nullptr;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

struct DemoRun {
  std::string log;
  std::vector<uint32_t> frame;
};

class Demo : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(runDir + "/drv/demo.drv") || !fs::exists(runDir + "/roms/demo.zip")) {
      GTEST_SKIP() << "the demo ROM set has not been built into " << runDir;
    }
    settings = defaultSettings();
    settings.Drvdir = runDir + "/drv/";
    settings.Romdir = settings.AlternateRomdir1 = settings.AlternateRomdir2 =
        settings.AlternateRomdir3 = runDir + "/roms/";
    setHeadless(true);
  }
  void TearDown() override { runOptions = RunOptions{}; }

  static DemoRun play(int64_t frames) {
    LogCapture log;
    runOptions = RunOptions{};
    runOptions.headless = true;
    runOptions.maxFrames = frames;
    EXPECT_EQ(runGame("demo.drv"), 1);
    DemoRun run;
    run.log = log.text();
    const uint32_t* frame = frameBuffer();
    if (frame) run.frame.assign(frame, frame + screenWidth * screenHeight);
    return run;
  }
};

TEST_F(Demo, RunMatchesGoldenLogAndFrameAndRepeatsExactly) {
  DemoRun first = play(goldenFrames);
  const std::string logPath = goldenDir + "/demo_300.log";
  const std::string framePath = goldenDir + "/demo_300.png";
  if (updating()) {
    fs::create_directories(goldenDir);
    std::ofstream(logPath, std::ios::binary) << first.log;
    ASSERT_TRUE(png_util::write(framePath, first.frame.data(), screenWidth, screenHeight));
  }
  EXPECT_EQ(first.log, readFile(logPath));
  int width, height;
  std::vector<uint32_t> golden = png_util::read(framePath, width, height);
  ASSERT_EQ(width, screenWidth);
  ASSERT_EQ(height, screenHeight);
  ASSERT_EQ(first.frame.size(), golden.size());
  size_t differing = 0;
  for (size_t i = 0; i < golden.size(); i++) differing += first.frame[i] != golden[i];
  EXPECT_EQ(differing, 0u) << "pixels differ from " << framePath;

  DemoRun second = play(goldenFrames);
  EXPECT_TRUE(second.log == first.log);
  EXPECT_TRUE(second.frame == first.frame);
}

TEST_F(Demo, LogShowsTheDeliberateUnmappedAccessesOnlyAtStartUp) {
  DemoRun run = play(20);
  const char* lines[] = {
      "system21(cpu1): unknown word read at 0x400000 (PC=0x00100a)\n",
      "system21(cpu1): unknown byte write at 0x000100 (PC=0x00100e)\n",
      "system21(cpu1): unknown word 0x00ab write at 0x600000 (PC=0x001016)\n",
      "system21(cpu1): unknown word read at 0xc00000 (PC=0x00101c)\n",
      "system21(cpu1): unknown word read at 0xc00002 (PC=0x00101c)\n",
      "system21(cpu2): unknown byte read at 0x180000 (PC=0x0068b4)\n",
      "system21(cpu2): unknown word 0x00ff write at 0xb00000 (PC=0x0068ba)\n",
  };
  for (const char* line : lines) EXPECT_NE(run.log.find(line), std::string::npos) << line;
  size_t unknown = 0;
  for (size_t at = run.log.find("unknown"); at != std::string::npos;
       at = run.log.find("unknown", at + 1)) {
    unknown++;
  }
  EXPECT_EQ(unknown, std::size(lines));
  EXPECT_NE(run.log.find("system21: M68000 cpu 1 entry point @ 0x001000\n"), std::string::npos);
  EXPECT_NE(run.log.find("system21: M68000 cpu 2 entry point @ 0x0068aa\n"), std::string::npos);
  EXPECT_NE(run.log.find("STONEBREAKER demo"), std::string::npos);
}

// The demo redraws everything that moves each frame. A pixel is stale when
// the screen differs there from what the frame's sprites draw on a black
// screen; one that is stale two frames running is a trail, and there is none.
TEST_F(Demo, MovingSpritesLeaveNoTrails) {
  LogCapture log;
  resetGameGraphics();
  ASSERT_EQ(loadGame("demo.drv"), 1);
  ASSERT_EQ(startCpus(), 1);
  std::vector<uint32_t> screen(screenWidth * screenHeight, 0), fresh(screen.size());
  std::vector<bool> stale(screen.size(), false);
  size_t trails = 0, stalePixels = 0;
  int64_t firstTrail = 0;
  // Every eighth frame and the one after it are compared, through all four
  // scenes.
  for (int64_t frame = 1; frame <= 1100; frame++) {
    runFrame();
    convertPalette();
    drawSprites(screen.data());
    if (frame % 8 > 1) continue;
    std::fill(fresh.begin(), fresh.end(), 0);
    drawSprites(fresh.data());
    bool second = frame % 8 == 1;
    for (size_t i = 0; i < screen.size(); i++) {
      bool now = screen[i] != fresh[i];
      if (second && now && stale[i] && !trails++) firstTrail = frame;
      stalePixels += now;
      stale[i] = now;
    }
  }
  releaseGameGraphics();
  EXPECT_EQ(trails, 0u) << "first trail at frame " << firstTrail;
  EXPECT_LT(stalePixels, 200u);  // a few pixels for a frame now and then
}

TEST_F(Demo, NoFrameRunsWhenTheRunEndsAtOnce) {
  DemoRun run = play(0);
  std::string tail = std::string(256, ' ') + "\n" +
                     "system21: 68000 cpu 1 stopped @ 0x001000\n"
                     "system21: 68000 cpu 2 stopped @ 0x0068aa\n";
  ASSERT_GE(run.log.size(), tail.size());
  EXPECT_EQ(run.log.substr(run.log.size() - tail.size()), tail);
  for (uint32_t p : run.frame) ASSERT_EQ(p, 0u);
}

TEST_F(Demo, GameThatCannotLoadReturnsZero) {
  LogCapture log;
  EXPECT_EQ(runGame("no-such-game.drv"), 0);
  EXPECT_EQ(log.text(), "");
}

// The program itself: --headless --play --frames --screenshot.
TEST_F(Demo, ProgramWritesLogAndScreenshot) {
  const std::string program = std::string(SB_BINARY_DIR) + "/stonebreaker";
  if (!fs::exists(program)) GTEST_SKIP() << "no program at " << program;
  fs::path dir = fs::temp_directory_path() / ("sb_demo_" + std::to_string(getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir / "drv");
  fs::create_directories(dir / "roms");
  fs::copy_file(runDir + "/drv/demo.drv", dir / "drv/demo.drv");
  fs::copy_file(runDir + "/roms/demo.zip", dir / "roms/demo.zip");
  std::string command = "cd '" + dir.string() + "' && '" + program +
                        "' --headless --play demo.drv --frames 300 --screenshot shot.png"
                        " >out.txt 2>&1";
  int status = std::system(command.c_str());
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
      << readFile((dir / "out.txt").string());
  std::string log = readFile((dir / "s000.log").string());
  std::string golden = readFile(goldenDir + "/demo_300.log");
  EXPECT_TRUE(log.rfind("Stonebreaker 0.0.1 (", 0) == 0);
  EXPECT_NE(log.find(golden), std::string::npos)
      << "the machine's lines differ from the golden log";
  int width, height;
  std::vector<uint32_t> shot = png_util::read((dir / "shot.png").string(), width, height);
  std::vector<uint32_t> expected = png_util::read(goldenDir + "/demo_300.png", width, height);
  EXPECT_FALSE(shot.empty());
  EXPECT_TRUE(shot == expected);

  std::string missing = "cd '" + dir.string() + "' && '" + program +
                        "' --headless --play missing.drv --frames 1 >out.txt 2>&1";
  status = std::system(missing.c_str());
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1);
  fs::remove_all(dir);
}

}  // namespace
