// The console over SDL's dummy video driver, and the PNG writer's files read
// back with zlib.
#include "console/console.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include "tests/support/png.h"

namespace {

using namespace support;

TEST(Console, FrameBufferAndTheKeyThatEndsARun) {
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  const std::vector<uint32_t> cleared(496 * 480);
  for (const SDL_EventType type : {SDL_KEYDOWN, SDL_QUIT}) {
    ASSERT_EQ(openConsole("test", 496, 480, false), 1);
    EXPECT_TRUE(std::equal(cleared.begin(), cleared.end(), frameBuffer()));
    std::fill_n(frameBuffer(), cleared.size(), 0x123456u);
    presentFrame(frameBuffer());
    EXPECT_FALSE(keyPending());
    SDL_Event event{type};
    ASSERT_EQ(SDL_PushEvent(&event), 1);
    EXPECT_TRUE(keyPending() && keyPending());  // asking does not take the key
  }
  setConsoleHeadless(true);
  EXPECT_EQ(openConsole("headless", 496, 480, false), 1);
  EXPECT_FALSE(keyPending());
  EXPECT_EQ(SDL_WasInit(SDL_INIT_VIDEO), 0u);
  setConsoleHeadless(false);
  setenv("SDL_VIDEODRIVER", "none such", 1);
  EXPECT_EQ(openConsole("no window", 496, 480, false), 0);
  EXPECT_TRUE(std::equal(cleared.begin(), cleared.end(), frameBuffer()));  // still drawn into
  EXPECT_TRUE(keyPending());                                               // the run ends at once
  closeConsole();
}

TEST(Png, ImagesReadBack) {
  ScratchDir dir;
  // The game's frame, the smallest image, a row one byte past a stored
  // block, and a stream past the checksum's reduction interval.
  for (const auto& [width, height] : {std::pair{496, 480}, {1, 1}, {21845, 1}, {7, 3121}}) {
    std::vector<uint32_t> pixels(size_t(width) * height);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = uint32_t(i * 2654435761u) & 0xffffff;
    std::string reason;
    ASSERT_EQ(writePng((dir / "a.png").c_str(), pixels.data(), width, height, reason), 1);
    int readWidth, readHeight;
    EXPECT_EQ(readPng(dir.path / "a.png", readWidth, readHeight), pixels);
    EXPECT_EQ(std::pair(readWidth, readHeight), std::pair(width, height));
  }
  uint32_t pixel = 0;
  std::string r;
  const std::string file = dir / "b.png", unwritable = dir / "no/b.png";
  EXPECT_EQ(writePng(unwritable.c_str(), &pixel, 1, 1, r) +
                writePng(file.c_str(), nullptr, 1, 1, r) + writePng(file.c_str(), &pixel, 0, 1, r) +
                writePng(file.c_str(), &pixel, 1, 0, r),
            0);
  EXPECT_FALSE(fs::exists(file));
}

}  // namespace
