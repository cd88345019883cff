// Saved states: a run saved and loaded goes on exactly as one that never
// stopped, and a state that does not fit is refused without a trace.
#include <gtest/gtest.h>

#include <functional>

#include "base/base.h"
#include "system21/system21.h"
#include "tests/support/files.h"
#include "tests/support/m68k_image.h"

namespace {

constexpr const char* driver = "counting.drv";

// Both processors count their level-1 interrupts in work RAM while their
// main programs add to D0 (MOVE #$2000,SR; ADDQ.L #1,D0; BRA; the handler:
// ADDQ.W #1,$100000; RTE). romByte stands in the collision data.
void buildCounting(uint8_t romByte = 0) {
  auto image = [](uint16_t stackHigh) {
    return support::m68kImage(0x600, {{0, {stackHigh, 0xfff0, 0, 0x400}},
                                      {100, {0, 0x500}},
                                      {0x400, {0x46fc, 0x2000, 0x5280, 0x60fc}},
                                      {0x500, {0x5279, 0x0010, 0x0000, 0x4e73}}});
  };
  buildMachine(GameRom{"counting", {}, 0, image(0x10), image(0x13), {romByte, romByte}});
  ASSERT_EQ(startCpus(), 1);
}

// Frames run, each leaving a mark in the frame.
void runFrames(int from, int to, std::vector<uint32_t>& frame) {
  for (int i = from; i < to; i++) runFrame(), frame[i] += machine.cpu1Context.dreg[0];
}

TEST(SavedState, GoesOnExactly) {
  support::ScratchDir dir;
  std::vector<uint32_t> straight(size_t{screenWidth} * screenHeight), resumed = straight;
  buildCounting();
  runFrames(0, 200, straight);
  const support::Bytes expected = stateBytes(driver, straight.data());
  buildCounting();
  runFrames(0, 100, resumed);
  std::string error;
  ASSERT_EQ(saveState((dir / "half.sbs").c_str(), driver, resumed.data(), error), 1);
  buildCounting();
  std::fill(resumed.begin(), resumed.end(), 0);
  ASSERT_EQ(loadState((dir / "half.sbs").c_str(), driver, resumed.data(), error), 1) << error;
  runFrames(100, 200, resumed);
  EXPECT_EQ(stateBytes(driver, resumed.data()), expected);
  EXPECT_EQ(machine.frameNumber, 200);
  EXPECT_GT(machine.masterWorkRam[0] | machine.slaveWorkRam[0], 190);  // interrupts were taken
}

TEST(SavedState, RefusedWhenItDoesNotFit) {
  std::vector<uint32_t> frame(size_t{screenWidth} * screenHeight, 7);
  buildCounting();
  runFrames(0, 3, frame);
  const support::Bytes good = stateBytes(driver, frame.data());
  auto sealed = [](support::Bytes b) {  // with a CRC-32 that fits again
    const uint32_t crc = crc32(b.data(), b.size() - 4);
    for (int i = 0; i < 4; i++) b[b.size() - 4 + i] = uint8_t(crc >> (8 * i));
    return b;
  };
  auto changed = [&](size_t at) {
    support::Bytes b = good;
    b[at] ^= 2;
    return b;
  };
  const struct {
    support::Bytes bytes;
    const char* game;
    uint8_t romByte;
    const char* error;
  } rows[] = {
      {good, "other.drv", 0, "made for another game (counting.drv)"},
      {good, driver, 1, "made with other ROM images of this game"},
      {sealed(changed(8)), driver, 0, "made by another version of the program (format 3)"},
      {support::Bytes(good.begin(), good.end() - 9), driver, 0, "damaged or truncated"},
      {changed(good.size() / 2), driver, 0, "damaged or truncated"},
      {sealed(changed(290)), driver, 0, "damaged or truncated"},  // the first area's size
      {{'S', 'B'}, driver, 0, "not a saved state"},
  };
  for (const auto& row : rows) {
    buildCounting(row.romByte);
    runFrames(3, 4, frame);
    const support::Bytes before = stateBytes(driver, frame.data());
    std::vector<uint32_t> loaded = frame;
    std::string error;
    EXPECT_EQ(applyState(row.bytes, row.game, loaded.data(), error), 0);
    EXPECT_EQ(error, row.error);
    EXPECT_TRUE(loaded == frame && stateBytes(driver, frame.data()) == before)
        << row.error;  // untouched
  }
}

}  // namespace
