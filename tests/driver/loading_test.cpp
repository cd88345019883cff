// ROM-set loading: region contents from real ROM files and archives, the
// graphics tile order, the log lines in their order, and every way a driver
// file can fail the load.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/app.h"
#include "driver/driver.h"
#include "romfs/romfs.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

std::vector<std::string> boxes;
void recordBox(const char* text, const char*, void*) {
  boxes.push_back(text);
}

Bytes pattern(size_t size, uint8_t start) {
  Bytes b(size);
  for (size_t i = 0; i < size; ++i) b[i] = static_cast<uint8_t>(start + i * 3);
  return b;
}

// A stored-only zip of the given members, written by hand.
Bytes storedZip(const std::vector<std::pair<std::string, Bytes>>& members) {
  Bytes file, directory;
  auto put = [](Bytes& b, uint32_t v, int n) {
    for (int i = 0; i < n; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  for (const auto& [name, data] : members) {
    const uint32_t offset = static_cast<uint32_t>(file.size());
    const uint32_t size = static_cast<uint32_t>(data.size());
    put(file, 0x04034B50, 4);
    put(file, 10, 2);
    put(file, 0, 2);
    put(file, 0, 2);
    put(file, 0, 4);
    put(file, 0, 4);
    put(file, size, 4);
    put(file, size, 4);
    put(file, static_cast<uint32_t>(name.size()), 2);
    put(file, 0, 2);
    file.insert(file.end(), name.begin(), name.end());
    file.insert(file.end(), data.begin(), data.end());
    put(directory, 0x02014B50, 4);
    put(directory, 10, 2);
    put(directory, 10, 2);
    put(directory, 0, 2);
    put(directory, 0, 2);
    put(directory, 0, 4);
    put(directory, 0, 4);
    put(directory, size, 4);
    put(directory, size, 4);
    put(directory, static_cast<uint32_t>(name.size()), 2);
    put(directory, 0, 2);
    put(directory, 0, 2);
    put(directory, 0, 2);
    put(directory, 0, 2);
    put(directory, 0, 4);
    put(directory, offset, 4);
    directory.insert(directory.end(), name.begin(), name.end());
  }
  const uint32_t directoryOffset = static_cast<uint32_t>(file.size());
  file.insert(file.end(), directory.begin(), directory.end());
  put(file, 0x06054B50, 4);
  put(file, 0, 4);
  put(file, static_cast<uint32_t>(members.size()), 2);
  put(file, static_cast<uint32_t>(members.size()), 2);
  put(file, static_cast<uint32_t>(directory.size()), 4);
  put(file, directoryOffset, 4);
  put(file, 0, 2);
  return file;
}

class Loading : public testing::Test {
 protected:
  fs::path root;
  std::string logPath;

  void SetUp() override {
    std::string name = testing::UnitTest::GetInstance()->current_test_info()->name();
    for (char& c : name)
      if (c == '/') c = '_';  // parameterised cases are named "test/index"
    root = fs::temp_directory_path() / ("sb_loading_" + std::to_string(getpid()) + "_" + name);
    fs::remove_all(root);
    fs::create_directories(root / "drv");
    fs::create_directories(root / "roms");
    settings.Drvdir = (root / "drv").string() + "/";
    settings.Romdir = (root / "roms").string() + "/";
    settings.AlternateRomdir1 = settings.AlternateRomdir2 = settings.AlternateRomdir3 =
        settings.Romdir;
    logPath = (root / "s000.log").string();
    ASSERT_EQ(openLog(logPath.c_str()), 1);
    boxes.clear();
    setMessageBoxHook(recordBox);
    resetGameGraphics();
  }
  void TearDown() override {
    closeDriverFile();
    releaseGameGraphics();
    setMessageBoxHook(nullptr);
    closeLog();
    fs::remove_all(root);
  }

  void rom(const std::string& name, const Bytes& data) {
    FILE* f = std::fopen((root / "roms" / name).c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(data.data(), 1, data.size(), f);
    std::fclose(f);
  }
  void driver(const std::string& name, const std::string& text) {
    FILE* f = std::fopen((root / "drv" / name).c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fputs(text.c_str(), f);
    std::fclose(f);
  }
  // Opens a driver of the given text as the current stream.
  void open(const std::string& text) {
    driver("t.drv", text);
    ASSERT_EQ(openDriverFile((root / "drv" / "t.drv").c_str()), 1);
  }
  std::string logText() {
    std::fflush(logFile());
    std::string text;
    FILE* f = std::fopen(logPath.c_str(), "r");
    for (int c; (c = std::fgetc(f)) != EOF;) text.push_back(static_cast<char>(c));
    std::fclose(f);
    return text;
  }
  int loadQuietly(const char* driverName, std::string* printed = nullptr) {
    testing::internal::CaptureStdout();
    int r = loadGame(driverName);
    std::string out = testing::internal::GetCapturedStdout();
    if (printed) *printed = out;
    return r;
  }
};

const char* sampleDriver =
    "# sample driver for the Sample Game set #\n"
    "GAMENAME \" Sample Game\"\n"
    "DIRECTORY sample\n"
    "DATE 1990\n"
    "SYSTEM System21\n"
    "[gfx]\n"
    "SIZE 400\n"
    "LOAD8 gfx0.bin 100 0\n"
    "LOAD8 gfx1.bin 100 100\n"
    "LOADROMEVENODD gfx2h.bin gfx2l.bin 100 200\n"
    "[masterCpu]\n"
    "SIZE 100000\n"
    "LOADROMEVENODD m_even.bin m_odd.bin 40000 0\n"
    "[slaveCpu]\n"
    "SIZE 100000\n"
    "LOADROM16SWAP s_swapped.bin 80000 0\n"
    "[collisionData]\n"
    "SIZE 200000\n"
    "LOADROMEVENODD d_even.bin d_odd.bin 100000 0\n"
    "[end]\n";

void sampleRoms(Loading& t, const fs::path& roms) {
  // Graphics and master code as plain files; slave and collision in the set's archive.
  (void)t;
  auto write = [&](const std::string& name, const Bytes& data) {
    FILE* f = std::fopen((roms / name).c_str(), "wb");
    std::fwrite(data.data(), 1, data.size(), f);
    std::fclose(f);
  };
  write("gfx0.bin", pattern(0x100, 0x00));
  write("gfx1.bin", pattern(0x100, 0x40));
  write("gfx2h.bin", pattern(0x100, 0x80));
  write("gfx2l.bin", pattern(0x100, 0xC0));
  write("m_even.bin", pattern(0x40000, 1));
  write("m_odd.bin", pattern(0x40000, 2));
  write("sample.zip", storedZip({{"s_swapped.bin", pattern(0x80000, 3)},
                                 {"roms/D_EVEN.BIN", pattern(0x100000, 4)},
                                 {"d_odd.bin", pattern(0x100000, 5)}}));
}

TEST_F(Loading, SampleDriverLoadsEveryRegionWithItsLogLinesInOrder) {
  driver("sample.drv", sampleDriver);
  sampleRoms(*this, root / "roms");
  std::string printed;
  ASSERT_EQ(loadQuietly("sample.drv", &printed), 1);
  EXPECT_EQ(printed, "");
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(gameName, "Sample Game");
  EXPECT_STREQ(romSetDirectory(), "sample");
  const std::string expected =
      "compressed graphics size(400): 0x00000400\n"
      "system21: code rom for master 68k cpu sizes 0x00100000 bytes\n"
      "system21: LOADROMEVENODD m_even.bin m_odd.bin 0x00040000 0x00000000\n"
      "system21: code rom for slave 68k cpu sizes 0x00100000 bytes\n"
      "system21: LOADROM16SWAP s_swapped.bin 0x00080000 0x00000000\n"
      "system21: collisionData rom sizes 0x00200000 bytes\n"
      "system21: LOADROMEVENODD d_even.bin d_odd.bin 0x00100000 0x00000000\n";
  EXPECT_EQ(logText().substr(0, expected.size()), expected);

  ASSERT_GE(masterCodeRom.size(), 0x100000u);
  const Bytes even = pattern(0x40000, 1), odd = pattern(0x40000, 2);
  for (size_t i : {size_t{0}, size_t{1}, size_t{0x3FFFF}}) {
    EXPECT_EQ(masterCodeRom[2 * i], odd[i]);
    EXPECT_EQ(masterCodeRom[2 * i + 1], even[i]);
  }
  EXPECT_EQ(masterCodeRom[0x80000], 0);  // no command fills it
  EXPECT_EQ(masterCodeRom[0xFFFFF], 0);
  const Bytes swapped = pattern(0x80000, 3);
  EXPECT_TRUE(std::equal(swapped.begin(), swapped.end(), slaveCodeRom.begin()));
  ASSERT_GE(collisionRom.size(), 0x200000u);
  EXPECT_EQ(collisionRom[0x1FFFFE], pattern(0x100000, 5)[0xFFFFF]);
  EXPECT_EQ(collisionRom[0x1FFFFF], pattern(0x100000, 4)[0xFFFFF]);

  ASSERT_NE(graphicsData, nullptr);
  EXPECT_EQ(graphicsImage, nullptr);  // freed once decoded
  EXPECT_EQ(graphicsBlockCount, 4u);
  // Planes are the quarters: gfx0, gfx1, then the two halves of the
  // interleaved pair (low file's byte first).
  EXPECT_EQ(graphicsData[0], pattern(0x100, 0x00)[0]);
  EXPECT_EQ(graphicsData[1], pattern(0x100, 0x40)[0]);
  EXPECT_EQ(graphicsData[2], pattern(0x100, 0xC0)[0]);
  EXPECT_EQ(graphicsData[3], pattern(0x100, 0xC0)[0x80]);
  EXPECT_EQ(graphicsData[7], pattern(0x100, 0x80)[0x80]);
  EXPECT_EQ(graphicsData[4], pattern(0x100, 0x00)[1]);
}

TEST_F(Loading, EvenOddPairsAndSwappedFilesLandAsThe68000SeesThem) {
  rom("a.bin", {0xA0, 0xA1, 0xA2, 0xA3});
  rom("b.bin", {0xB0, 0xB1, 0xB2, 0xB3});
  rom("s.bin", {0x11, 0x22, 0x33, 0x44});
  open("[masterCpu] SIZE 20 LOADROMEVENODD a.bin b.bin 4 10 LOADROM16SWAP s.bin 4 0 [x]");
  testing::internal::CaptureStdout();
  ASSERT_EQ(loadCodeRegion(RegionKind::master), 1);
  testing::internal::GetCapturedStdout();
  ASSERT_EQ(masterCodeRom.size(), 0x20u);
  const Bytes expected = {0x11, 0x22, 0x33, 0x44, 0,    0,    0,    0,    0, 0, 0, 0, 0, 0, 0, 0,
                          0xB0, 0xA0, 0xB1, 0xA1, 0xB2, 0xA2, 0xB3, 0xA3, 0, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(masterCodeRom, expected);
  // The 68000 word at region offset 0x10 is (a0 << 8) | b0.
  EXPECT_EQ(masterCodeRom[0x10] | masterCodeRom[0x11] << 8, 0xA0B0);
  EXPECT_EQ(logText(),
            "system21: code rom for master 68k cpu sizes 0x00000020 bytes\n"
            "system21: LOADROMEVENODD a.bin b.bin 0x00000004 0x00000010\n"
            "system21: LOADROM16SWAP s.bin 0x00000004 0x00000000\n");
}

TEST_F(Loading, UnfilledBytesAreZeroEvenAfterAnEarlierLoad) {
  rom("s.bin", Bytes(16, 0xFF));
  open("[slaveCpu] SIZE 10 LOADROM16SWAP s.bin 10 0 [x]");
  testing::internal::CaptureStdout();
  ASSERT_EQ(loadCodeRegion(RegionKind::slave), 1);
  open("[slaveCpu] SIZE 10 [x]");
  ASSERT_EQ(loadCodeRegion(RegionKind::slave), 1);
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(slaveCodeRom, Bytes(16, 0));
}

TEST_F(Loading, GraphicsAreReorderedIntoTilesOfFourPlanes) {
  Bytes image(0x400);
  for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 7 + i / 256);
  rom("g.bin", image);
  open("[gfx] SIZE 0x400 LOAD8 g.bin 400 0 [x]");
  ASSERT_EQ(loadGraphicsRegion(), 1);
  EXPECT_EQ(graphicsBlockCount, 4u);
  for (size_t k = 0; k < 256; ++k)
    for (size_t m = 0; m < 4; ++m)
      ASSERT_EQ(graphicsData[4 * k + m], image[m * 0x100 + k]) << k << " " << m;
  EXPECT_EQ(logText(), "compressed graphics size(0x400): 0x00000400\n");
}

TEST_F(Loading, IncompleteLastTileIsDropped) {
  Bytes image(0x3FF);
  for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i);
  rom("g.bin", image);
  open("[gfx] SIZE 3FF LOAD8 g.bin 3FF 0 [x]");
  ASSERT_EQ(loadGraphicsRegion(), 1);
  EXPECT_EQ(graphicsBlockCount, 3u);
  // Planes are quarters of 0xFF bytes; k runs over 3 * 64 bytes of each.
  EXPECT_EQ(graphicsData[4 * 191 + 3], image[3 * 0xFF + 191]);
  open("[gfx] SIZE ff [x]");
  ASSERT_EQ(loadGraphicsRegion(), 1);
  EXPECT_EQ(graphicsBlockCount, 0u);
}

TEST_F(Loading, NumbersWithOrWithoutPrefixInEitherCase) {
  rom("s.bin", pattern(0x1F, 9));
  for (const char* text : {"[masterCpu] SIZE 100 LOADROM16SWAP s.bin 1f AB [x]",
                           "[masterCpu] SIZE 0x100 LOADROM16SWAP s.bin 0X1F 0xab [x]",
                           "[masterCpu] SIZE 0X00000100 LOADROM16SWAP s.bin 1F 0Xab [x]"}) {
    open(text);
    testing::internal::CaptureStdout();
    ASSERT_EQ(loadCodeRegion(RegionKind::master), 1) << text;
    testing::internal::GetCapturedStdout();
    ASSERT_EQ(masterCodeRom.size(), 0x100u);
    EXPECT_EQ(masterCodeRom[0xAB], 9);
    EXPECT_EQ(masterCodeRom[0xAB + 0x1E], pattern(0x1F, 9)[0x1E]);
  }
}

TEST_F(Loading, SectionsInAnyOrderAndCommandWordsInAnyCase) {
  rom("g.bin", pattern(0x100, 1));
  rom("m.bin", pattern(0x10, 2));
  rom("c.bin", pattern(0x10, 3));
  driver("any.drv",
         "[collisionData] size 10 loadromevenodd c.bin c.bin 8 0\n"
         "[slaveCpu] Size 10 LoadRom16Swap m.bin 10 0\n"
         "DIRECTORY any\n"
         "[masterCpu] SIZE 10 loadrom16swap m.bin 10 0\n"
         "[GFX] SIZE 100 load8 g.bin 100 0 LoadRomEvenOdd g.bin g.bin 0 0\n"
         "[end] GAMENAME \" Any Order\"\n");
  ASSERT_EQ(loadQuietly("any.drv"), 1);
  EXPECT_EQ(gameName, "Any Order");
  EXPECT_EQ(graphicsBlockCount, 1u);
  EXPECT_EQ(slaveCodeRom[0xF], pattern(0x10, 2)[0xF]);
  EXPECT_EQ(collisionRom[1], pattern(0x10, 3)[0]);
}

TEST_F(Loading, UnknownWordsOfA68000RegionAreSkippedWithTheirArguments) {
  rom("s.bin", pattern(4, 1));
  open("[masterCpu] SIZE 8 LOADROM8 nothing.bin 4 0 LOADROM16SWAP s.bin 4 4 [x]");
  testing::internal::CaptureStdout();
  ASSERT_EQ(loadCodeRegion(RegionKind::master), 1);
  testing::internal::GetCapturedStdout();
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(masterCodeRom, (Bytes{0, 0, 0, 0, 1, 4, 7, 10}));
}

TEST_F(Loading, UnknownGraphicsWordFailsTheLoadNamingIt) {
  rom("g.bin", pattern(0x100, 1));
  driver("bad.drv", "DIRECTORY bad [gfx] SIZE 100 LOAD8 g.bin 10 0 LOADROM16SWAP g.bin 10 0 [end]");
  EXPECT_EQ(loadQuietly("bad.drv"), 0);
  EXPECT_EQ(logText(),
            "compressed graphics size(100): 0x00000100\n"
            "Unknown graphics loading method: 'LOADROM16SWAP'\n");
  EXPECT_EQ(graphicsImage, nullptr);
}

TEST_F(Loading, MissingRomShowsItsBoxAndFailsTheLoad) {
  driver("sample.drv", sampleDriver);
  sampleRoms(*this, root / "roms");
  fs::remove(root / "roms" / "m_odd.bin");
  std::string printed;
  EXPECT_EQ(loadQuietly("sample.drv", &printed), 0);
  EXPECT_EQ(boxes, std::vector<std::string>{"m_odd.bin"});
  EXPECT_NE(printed.find("\nm_odd.bin [Not found]\n"), std::string::npos);
  const std::string log = logText();
  EXPECT_NE(log.find("system21: LOADROMEVENODD m_even.bin m_odd.bin 0x00040000 0x00000000\n"),
            std::string::npos);  // written before the load that failed
  EXPECT_EQ(log.find("slave"), std::string::npos);
}

TEST_F(Loading, MissingCollisionRomIsReportedButTheGameLoads) {
  driver("sample.drv", sampleDriver);
  sampleRoms(*this, root / "roms");
  fs::remove(root / "roms" / "sample.zip");
  rom("s_swapped.bin", pattern(0x80000, 3));
  EXPECT_EQ(loadQuietly("sample.drv"), 1);
  EXPECT_EQ(boxes, std::vector<std::string>{"d_even.bin"});
}

TEST_F(Loading, DriverFileThatCannotBeOpened) {
  EXPECT_EQ(loadQuietly("absent.drv"), 0);
  EXPECT_EQ(logText(), "");
}

// Each broken driver fails the load with one line that says what is wrong.
struct Broken {
  const char* text;
  const char* lastLine;
};

class BrokenDriver : public Loading, public testing::WithParamInterface<Broken> {};

TEST_P(BrokenDriver, FailsTheLoadWithALineSayingWhy) {
  rom("r.bin", pattern(0x400, 1));
  driver("broken.drv", std::string("DIRECTORY broken\n") + GetParam().text);
  std::string printed;
  EXPECT_EQ(loadQuietly("broken.drv", &printed), 0);
  EXPECT_EQ(printed, "");
  EXPECT_TRUE(boxes.empty());
  const std::string log = logText();
  const std::string last = GetParam().lastLine;
  ASSERT_GE(log.size(), last.size()) << log;
  EXPECT_EQ(log.substr(log.size() - last.size()), last) << log;
  EXPECT_EQ(graphicsImage, nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BrokenDriver,
    testing::Values(
        Broken{"[masterCpu] SIZE 100 [slaveCpu] SIZE 100 [end]",
               "Section [gfx] not found in driver file\n"},
        Broken{"[gfx] SIZE 100 [masterCpu] SIZE 100 [end]",
               "Section [slaveCpu] not found in driver file\n"},
        Broken{"[gfx] LOAD8 r.bin 10 0 [masterCpu] SIZE 100 [end]", "Section [gfx] has no SIZE\n"},
        Broken{"[gfx] SIZE 100 [masterCpu] [slaveCpu] SIZE 100 [end]",
               "Section [masterCpu] has no SIZE\n"},
        Broken{"[gfx] SIZE 12zz [end]",
               "SIZE '12zz' of section [gfx] is not a hexadecimal number\n"},
        Broken{"[gfx] SIZE 0x [end]", "SIZE '0x' of section [gfx] is not a hexadecimal number\n"},
        Broken{"[gfx] SIZE 100000000 [end]",
               "SIZE '100000000' of section [gfx] is not a hexadecimal number\n"},
        Broken{"[gfx] SIZE FFFFFFFF [end]",
               "SIZE 0xffffffff of section [gfx] is larger than 0x10000000\n"},
        Broken{"[gfx] SIZE 100 LOAD8 r.bin 10 -1 [end]",
               "offset '-1' of LOAD8 in section [gfx] is not a hexadecimal number\n"},
        Broken{"[gfx] SIZE 100 LOADROMEVENODD r.bin r.bin ten 0 [end]",
               "size 'ten' of LOADROMEVENODD in section [gfx] is not a hexadecimal number\n"},
        Broken{"[gfx] SIZE 100 LOAD8 r.bin 100 1 [end]",
               "LOAD8 r.bin 0x00000100 0x00000001 passes the end of section [gfx] (SIZE "
               "0x00000100)\n"},
        Broken{"[gfx] SIZE 100 LOADROMEVENODD r.bin r.bin 81 0 [end]",
               "LOADROMEVENODD r.bin r.bin 0x00000081 0x00000000 passes the end of section [gfx] "
               "(SIZE 0x00000100)\n"},
        Broken{"[gfx] SIZE 100 LOAD8 r.bin FFFFFFFF FFFFFFFF [end]",
               "LOAD8 r.bin 0xffffffff 0xffffffff passes the end of section [gfx] (SIZE "
               "0x00000100)\n"},
        Broken{"[gfx] SIZE 100 [masterCpu] SIZE 100 LOADROMEVENODD r.bin r.bin 40 81 [end]",
               "system21: LOADROMEVENODD r.bin r.bin 0x00000040 0x00000081\n"
               "LOADROMEVENODD r.bin r.bin 0x00000040 0x00000081 passes the end of section "
               "[masterCpu] (SIZE 0x00000100)\n"},
        Broken{"[gfx] SIZE 100 [masterCpu] SIZE 100 LOADROM16SWAP r.bin 101 0 [end]",
               "LOADROM16SWAP r.bin 0x00000101 0x00000000 passes the end of section [masterCpu] "
               "(SIZE 0x00000100)\n"},
        Broken{"[gfx] SIZE 100 LOAD8 r.bin 10 0",
               "End of driver file in section [gfx] before the next section header\n"},
        Broken{"[gfx] SIZE 100 LOAD8 r.bin 10",
               "End of driver file in section [gfx] before the next section header\n"},
        Broken{"[gfx] SIZE 100 [masterCpu] SIZE 100 LOADROM16SWAP r.bin 10 0\n",
               "End of driver file in section [masterCpu] before the next section header\n"},
        Broken{"[gfx] SIZE",
               "End of driver file in section [gfx] before the next section header\n"}),
    [](const testing::TestParamInfo<Broken>& info) { return "case" + std::to_string(info.index); });

TEST_F(Loading, CollisionSectionLeftOpenFailsItsRegion) {
  open("[collisionData] SIZE 100");
  EXPECT_EQ(loadCodeRegion(RegionKind::collision), 0);
  EXPECT_EQ(logText(),
            "system21: collisionData rom sizes 0x00000100 bytes\n"
            "End of driver file in section [collisionData] before the next section header\n");
}

}  // namespace
