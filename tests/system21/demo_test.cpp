// The demo ROM sets (the assembly demo and the C demo of sdk/ and cdemo/)
// played headless, twice: their logs against the lines their sources
// promise, and their last frames against the committed golden ones, checked
// by eye. SB_UPDATE_GOLDEN=1 rewrites the frames instead.
#include <gtest/gtest.h>

#include <cstdlib>

#include "system21/system21.h"
#include "tests/support/log_capture.h"
#include "tests/support/png.h"
#include "tests/support/table.h"

namespace {

namespace fs = support::fs;

TEST(Demo, GoldenRun) {
  const std::string run = SB_RUN_DIR, golden = SB_GOLDEN_DIR;
  if (!fs::exists(run + "/drv/demo.drv")) GTEST_SKIP() << "no demo ROM set in " << run;
  settings = defaultSettings();
  settings.Drvdir = run + "/drv/";
  settings.Romdir = settings.AlternateRomdir1 = settings.AlternateRomdir2 =
      settings.AlternateRomdir3 = run + "/roms/";
  support::ScratchDir dir;
  RunOptions options;
  options.headless = true, options.maxFrames = 300;
  int width, height, goldenWidth, goldenHeight;
  for (const std::string game : {"demo", "cdemo"}) {
    SCOPED_TRACE(game);
    std::string logs[2];
    for (int i = 0; i < 2; i++) {
      support::LogCapture log;
      options.screenshotPath = dir / ("shot" + std::to_string(i) + ".png");
      options.fastForward = i == 0;  // the second runs every pass of the polling loops
      ASSERT_EQ(runGame((game + ".drv").c_str(), options), 1);
      const std::string onDisk = support::readText(log.dir / "s000.log");  // before any flush
      logs[i] = log.text();
      EXPECT_EQ(onDisk, logs[i]);  // the log is whole on disk when the run ends
    }
    const std::string goldenFrame = golden + "/" + game + "_300.png";
    if (std::getenv("SB_UPDATE_GOLDEN") != nullptr)
      fs::copy_file(dir / "shot0.png", goldenFrame, fs::copy_options::overwrite_existing);
    size_t at = 0;
    for (const auto& [source, line] :
         support::readTable(SB_SOURCE_DIR "/tests/system21/" + game + "_300.table"))
      EXPECT_NE(at = logs[0].find(line, at), std::string::npos) << source << ": " << line;
    EXPECT_EQ(logs[1], logs[0]);
    EXPECT_EQ(support::readBytes(dir / "shot1.png"), support::readBytes(dir / "shot0.png"));
    const std::vector<uint32_t> frame = support::readPng(dir / "shot0.png", width, height);
    EXPECT_EQ(width * height, screenWidth * screenHeight);
    EXPECT_TRUE(frame == support::readPng(goldenFrame, goldenWidth, goldenHeight))
        << "the last frame differs from the golden one";
  }
  // A run that ends before its first frame stops the processors where reset left them.
  options.maxFrames = 0;
  support::LogCapture log;
  EXPECT_EQ(runGame("demo.drv", options), 1);
  EXPECT_NE(log.text().find("system21: 68000 cpu 1 stopped @ 0x001000\n"
                            "system21: 68000 cpu 2 stopped @ 0x0068aa\n"),
            std::string::npos);
  EXPECT_EQ(runGame("absent.drv", options), 0);

  // 200 frames straight (every 100th recorded), and 100 saved then 100 more
  // from the saved state, end in the same state (machine and frame) with the
  // same dump and stop lines.
  auto endLines = [](const std::string& text) {
    const size_t stop = text.find("system21: 68000 cpu 1 stopped");
    const size_t from = text.rfind('\n', stop - 2) + 1;
    return text.substr(from, text.find('\n', text.find("cpu 2 stopped")) - from);
  };
  const char* loads[] = {"", "", "half.sbs"};
  const char* saves[] = {"straight.sbs", "half.sbs", "resumed.sbs"};
  std::string ends[3];
  for (int i = 0; i < 3; i++) {
    support::LogCapture runLog;
    options.maxFrames = i == 0 ? 200 : 100;
    options.loadStatePath = *loads[i] ? dir / loads[i] : "";
    options.saveStatePath = dir / saves[i];
    options.recordDirectory = i == 0 ? dir / "frames" : "";
    options.recordEvery = 100;
    options.fastForward = i != 0;
    ASSERT_EQ(runGame("demo.drv", options), 1);
    if (i == 0) {
      EXPECT_EQ(std::distance(fs::directory_iterator(dir / "frames"), {}), 2);
      EXPECT_TRUE(support::readPng(dir / "frames/frame-000200.png", width, height) ==
                  support::readPng(options.screenshotPath, width, height));
    }
    ends[i] = endLines(runLog.text());
  }
  EXPECT_EQ(ends[2], ends[0]);
  EXPECT_NE(ends[1], ends[0]);
  EXPECT_EQ(support::readBytes(dir / "resumed.sbs"), support::readBytes(dir / "straight.sbs"));
}

}  // namespace
