// Saved states: a run saved and loaded goes on exactly as one that never
// stopped, and a state that does not fit is refused without a trace.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "base/base.h"
#include "system21/system21.h"
#include "tests/support/files.h"
#include "tests/support/log_capture.h"

namespace {

constexpr const char* driver = "counting.drv";

// Both processors count their level-1 interrupts in work RAM while their
// main programs keep adding to D0; the frame is filled with a pattern.
GameRom countingGame(uint8_t romByte = 0) {
  auto image = [](uint16_t stackHigh, uint16_t counterHigh) {
    std::vector<uint8_t> bytes(0x600);
    auto put = [&](uint32_t at, std::initializer_list<uint16_t> words) {
      for (uint16_t w : words) {
        bytes[at++] = static_cast<uint8_t>(w);
        bytes[at++] = static_cast<uint8_t>(w >> 8);
      }
    };
    put(0, {stackHigh, 0xfff0, 0, 0x400});
    put(25 * 4, {0, 0x500});
    put(0x400, {0x46fc, 0x2000, 0x5280, 0x60fc});       // MOVE #$2000,SR; ADDQ.L #1,D0; BRA
    put(0x500, {0x5279, counterHigh, 0x0000, 0x4e73});  // ADDQ.W #1,counter; RTE
    return bytes;
  };
  GameRom rom{"counting", {}, 0, image(0x10, 0x0010), image(0x13, 0x0010), {}};
  rom.collisionRom.assign(2, romByte);
  return rom;
}

std::vector<uint8_t> stateOf(const support::ScratchDir& dir, const std::vector<uint32_t>& frame) {
  std::string error;
  EXPECT_EQ(saveState((dir / "now.sbs").c_str(), driver, frame.data(), error), 1) << error;
  return support::readBytes(dir.path / "now.sbs");
}

void runFrames(int frames, std::vector<uint32_t>& frame) {
  for (int i = 0; i < frames; i++) {
    runFrame();
    frame[i % frame.size()] += machine.cpu1Context.dreg[0];
  }
}

TEST(SavedState, GoesOnExactly) {
  support::ScratchDir dir;
  std::vector<uint32_t> frame(size_t{screenWidth} * screenHeight);
  buildMachine(countingGame());
  ASSERT_EQ(startCpus(), 1);
  runFrames(200, frame);
  const std::vector<uint8_t> straight = stateOf(dir, frame);

  std::vector<uint32_t> resumed(frame.size());
  buildMachine(countingGame());
  ASSERT_EQ(startCpus(), 1);
  runFrames(100, resumed);
  std::string error;
  ASSERT_EQ(saveState((dir / "half.sbs").c_str(), driver, resumed.data(), error), 1);
  buildMachine(countingGame());
  ASSERT_EQ(startCpus(), 1);
  std::fill(resumed.begin(), resumed.end(), 0);
  ASSERT_EQ(loadState((dir / "half.sbs").c_str(), driver, resumed.data(), error), 1) << error;
  for (int i = 100; i < 200; i++) {
    runFrame();
    resumed[i % resumed.size()] += machine.cpu1Context.dreg[0];
  }
  EXPECT_EQ(stateOf(dir, resumed), straight);
  EXPECT_EQ(machine.frameNumber, 200);
  EXPECT_GT(machine.masterWorkRam[0] | machine.masterWorkRam[1] << 8, 190);
}

TEST(SavedState, RefusedWhenItDoesNotFit) {
  support::ScratchDir dir;
  std::vector<uint32_t> frame(size_t{screenWidth} * screenHeight, 7);
  buildMachine(countingGame());
  ASSERT_EQ(startCpus(), 1);
  runFrames(3, frame);
  const std::vector<uint8_t> good = stateOf(dir, frame);
  auto resealed = [](std::vector<uint8_t> bytes) {
    const uint32_t crc = crc32(bytes.data(), bytes.size() - 4);
    for (int i = 0; i < 4; i++) bytes[bytes.size() - 4 + i] = static_cast<uint8_t>(crc >> (8 * i));
    return bytes;
  };
  struct Row {
    const char* what;
    std::function<std::vector<uint8_t>()> bytes;
    const char* game;
    uint8_t romByte;
    const char* error;
  } rows[] = {
      {"another game", [&] { return good; }, "other.drv", 0,
       "made for another game (counting.drv)"},
      {"other ROM images", [&] { return good; }, driver, 1,
       "made with other ROM images of this game"},
      {"another version",
       [&] {
         auto b = good;
         b[8] = 2;
         return resealed(b);
       },
       driver, 0, "made by another version of the program (format 2)"},
      {"truncated", [&] { return std::vector<uint8_t>(good.begin(), good.end() - 9); }, driver, 0,
       "damaged or truncated"},
      {"a byte changed",
       [&] {
         auto b = good;
         b[b.size() / 2] ^= 1;
         return b;
       },
       driver, 0, "damaged or truncated"},
      // The size of the first memory area lies at byte 290.
      {"an area of another size",
       [&] {
         auto b = good;
         b[290] ^= 1;
         return resealed(b);
       },
       driver, 0, "damaged or truncated"},
      {"no state at all",
       [] {
         return std::vector<uint8_t>{'S', 'B'};
       },
       driver, 0, "not a saved state"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    buildMachine(countingGame(row.romByte));
    ASSERT_EQ(startCpus(), 1);
    runFrames(1, frame);
    const std::vector<uint8_t> before = stateOf(dir, frame);
    std::string error;
    std::vector<uint32_t> loaded = frame;
    EXPECT_EQ(applyState(row.bytes(), row.game, loaded.data(), error), 0);
    EXPECT_EQ(error, row.error);
    EXPECT_EQ(loaded, frame);
    EXPECT_EQ(stateOf(dir, frame), before);  // the machine is as it was
  }
}

}  // namespace
