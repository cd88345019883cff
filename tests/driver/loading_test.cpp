// ROM-set loading: the driver files of the case list, loaded one by one, with
// the log lines, message boxes and region images each must give.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <sstream>
#include <string>

#include "driver/driver.h"
#include "romfs/romfs.h"
#include "tests/support/boxes.h"
#include "tests/support/log_capture.h"

namespace {

std::vector<std::string> boxes;

std::string hex(const std::vector<uint8_t>& bytes) {
  std::string out;
  char digits[4];
  for (uint8_t b : bytes) out += (std::snprintf(digits, sizeof digits, "%02x", b), digits);
  return out;
}

TEST(Loading, DriverFiles) {
  support::ScratchDir dir;
  settings.Drvdir = settings.Romdir = settings.AlternateRomdir1 = settings.AlternateRomdir2 =
      settings.AlternateRomdir3 = dir / "";
  support::writeFile(dir.path / "a.bin", support::Bytes{0xa0, 0xa1, 0xa2, 0xa3});
  support::writeFile(dir.path / "b.bin", support::Bytes{0xb0, 0xb1, 0xb2, 0xb3});
  support::writeFile(dir.path / "s.bin", support::Bytes{0x11, 0x22, 0x33, 0x44});
  setMessageBoxHook(
      [](const char* text, const char*, void*, const char*) { boxes.push_back(text); });
  std::istringstream cases(support::readText(SB_SOURCE_DIR "/tests/driver/drivers.txt"));
  int count = 0;
  for (std::string text, line; std::getline(cases, text);) {
    if (text.empty() || text[0] == '#') continue;
    support::writeFile(dir.path / "t.drv", text);
    support::LogCapture log;
    boxes.clear();
    GameRom rom;
    testing::internal::CaptureStdout();  // the lookup's own report of a missing image
    const int loaded = loadGame("t.drv", rom);
    testing::internal::GetCapturedStdout();
    std::getline(cases, line);
    EXPECT_EQ(
        "loaded " + std::to_string(loaded) +
            (rom.gameName.empty() ? "" : " game " + rom.gameName + " set " + romSetDirectory()) +
            (boxes.empty() ? "" : " box " + boxes[0]),
        line);
    std::string logEnd;
    while (std::getline(cases, line) && !line.empty()) {
      if (line[0] != '@') {
        logEnd += line + "\n";
        continue;
      }
      std::istringstream image(line);
      std::string region, expected;
      size_t size = 0, at = 0;
      image >> region >> std::hex >> size >> at >> expected;
      const std::vector<uint8_t>& bytes = region == "@gfx"      ? rom.graphicsData
                                          : region == "@master" ? rom.masterCodeRom
                                          : region == "@slave"  ? rom.slaveCodeRom
                                                                : rom.collisionRom;
      const std::string actual = hex(bytes);
      EXPECT_EQ(bytes.size(), size) << text << region;
      EXPECT_EQ(actual.substr(2 * at, expected.size()), expected) << text << region;
      EXPECT_GE(actual.find_first_not_of('0'), 2 * at) << text << region;
      EXPECT_EQ(actual.find_first_not_of('0', 2 * at + expected.size()), std::string::npos);
      EXPECT_EQ(region == "@gfx" ? rom.graphicsBlockCount * 256 : size, size);
    }
    EXPECT_TRUE(log.text().ends_with(logEnd)) << text << "\n" << log.text();
    count++;
  }
  EXPECT_EQ(count, 30);
  support::LogCapture log;
  GameRom rom;
  EXPECT_EQ(loadGame("absent.drv", rom), 0);
  EXPECT_EQ(log.text(), "Driver file " + dir / "absent.drv" + " cannot be opened\n");
  setMessageBoxHook(nullptr);
}

// Driver and configuration files are regular files named plainly: a FIFO, a
// device or a directory is refused at once (never read or written without
// end), and a name that leaves its directory is refused with a line.
TEST(Loading, OnlyRegularFilesNamedPlainly) {
  support::ScratchDir dir;
  settings.Drvdir = dir / "";
  mkfifo((dir / "fifo.drv").c_str(), 0600);
  support::fs::create_symlink("/dev/zero", dir.path / "zero.drv");
  support::fs::create_directory(dir.path / "folder.drv");
  const char* refused = "' is not a plain file name\n";
  const std::pair<std::string, std::string> rows[] = {
      {"fifo.drv", "Driver file " + dir / "fifo.drv" + " cannot be opened\n"},
      {"zero.drv", "Driver file " + dir / "zero.drv" + " cannot be opened\n"},
      {"folder.drv", "Driver file " + dir / "folder.drv" + " cannot be opened\n"},
      {"../" + dir.path.filename().string() + "/fifo.drv",
       "Driver file name '../" + dir.path.filename().string() + "/fifo.drv" + refused},
      {"..", std::string("Driver file name '..") + refused},
  };
  for (const auto& [name, line] : rows) {
    support::LogCapture log;
    GameRom rom;
    EXPECT_EQ(loadGame(name.c_str(), rom), 0);
    EXPECT_EQ(log.text(), line);
  }
  for (const char* name : {"fifo.drv", "zero.drv", "folder.drv"}) {
    support::BoxRecord boxes;
    loadConfiguration((dir / name).c_str());
    EXPECT_EQ(settings, defaultSettings()) << name;
    saveConfiguration((dir / name).c_str());
    EXPECT_EQ(boxes.lines, "Warning: Current options cannot be saved (not a regular file)\n")
        << name;
  }
}

}  // namespace
