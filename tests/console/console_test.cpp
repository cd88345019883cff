// The console over SDL's dummy video driver: window, frame buffer, keys.
#include "console/console.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>

namespace {

class Console : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setConsoleHeadless(false);
  }
  void TearDown() override {
    closeConsole();
    setConsoleHeadless(false);
  }
};

TEST_F(Console, AcceptsTheDisplayOptionNames) {
  for (const char* name :
       {"DirectX", "windowed output", "fullscreen output", "fixed window", "center window"}) {
    EXPECT_EQ(setConsoleOption(name), 1) << name;
  }
  EXPECT_EQ(setConsoleOption("vsync"), 0);
  EXPECT_EQ(setConsoleOption("directx"), 0);
}

TEST_F(Console, OpensAClearedFrameBufferAndEndsOnAKey) {
  ASSERT_EQ(openConsole("Stonebreaker test", 496, 480, false), 1);
  uint32_t* frame = frameBuffer();
  ASSERT_NE(frame, nullptr);
  for (int i = 0; i < 496 * 480; i++) ASSERT_EQ(frame[i], 0u) << i;
  for (int i = 0; i < 496 * 480; i++) frame[i] = 0x00102030u + i;
  presentFrame(frame);
  EXPECT_FALSE(keyPending());
  SDL_Event key{};
  key.type = SDL_KEYDOWN;
  key.key.keysym.sym = SDLK_SPACE;
  key.key.keysym.scancode = SDL_SCANCODE_SPACE;
  ASSERT_EQ(SDL_PushEvent(&key), 1);
  EXPECT_TRUE(keyPending());
  EXPECT_TRUE(keyPending());  // the key is not consumed by asking
  closeConsole();

  // A new run starts without a pending key and with a cleared frame.
  ASSERT_EQ(openConsole("again", 496, 480, false), 1);
  EXPECT_FALSE(keyPending());
  EXPECT_EQ(frameBuffer()[1000], 0u);
}

TEST_F(Console, ClosingTheWindowEndsTheRun) {
  ASSERT_EQ(openConsole("close", 496, 480, false), 1);
  SDL_Event quit{};
  quit.type = SDL_QUIT;
  ASSERT_EQ(SDL_PushEvent(&quit), 1);
  EXPECT_TRUE(keyPending());
}

TEST_F(Console, HeadlessOpensNoWindowButKeepsTheFrameBuffer) {
  setConsoleHeadless(true);
  ASSERT_EQ(openConsole("headless", 496, 480, false), 1);
  ASSERT_NE(frameBuffer(), nullptr);
  frameBuffer()[0] = 0x123456;
  presentFrame(frameBuffer());
  EXPECT_FALSE(keyPending());
  EXPECT_EQ(SDL_WasInit(SDL_INIT_VIDEO), 0u);
}

TEST_F(Console, AWindowThatCannotOpenEndsTheRunAtOnce) {
  setenv("SDL_VIDEODRIVER", "no-such-driver", 1);
  EXPECT_EQ(openConsole("none", 496, 480, false), 0);
  EXPECT_NE(frameBuffer(), nullptr);  // still drawable
  EXPECT_TRUE(keyPending());
}

}  // namespace
