// ROM-set loading: where each command puts its bytes, a whole game in its log
// lines, and every way a driver file fails the load.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/base.h"
#include "driver/driver.h"
#include "romfs/romfs.h"
#include "tests/support/files.h"

namespace {

using support::Bytes;

std::vector<std::string> boxes;

// Driver and ROM directories of scratch files, the log and the boxes recorded.
struct RomSet {
  support::ScratchDir dir;
  RomSet() {
    settings.Drvdir = dir / "";
    settings.Romdir = settings.AlternateRomdir1 = settings.AlternateRomdir2 =
        settings.AlternateRomdir3 = dir / "";
    for (const auto& [name, bytes] : {std::pair{"a.bin", Bytes{0xa0, 0xa1, 0xa2, 0xa3}},
                                      {"b.bin", Bytes{0xb0, 0xb1, 0xb2, 0xb3}},
                                      {"s.bin", Bytes{0x11, 0x22, 0x33, 0x44}}})
      support::writeFile(dir.path / name, bytes);
    openLog((dir / "s000.log").c_str());
    boxes.clear();
    setMessageBoxHook([](const char* text, const char*, void*) { boxes.push_back(text); });
  }
  ~RomSet() {
    closeDriverFile();
    closeLog();
    setMessageBoxHook(nullptr);
  }
  std::string log() {
    fflush(logFile());
    return support::readText(dir.path / "s000.log");
  }
  int load(const std::string& text, GameRom& rom) {
    support::writeFile(dir.path / "t.drv", text);
    testing::internal::CaptureStdout();  // the lookup's own report of a missing file
    const int loaded = loadGame("t.drv", rom);
    testing::internal::GetCapturedStdout();
    return loaded;
  }
};

std::string hex(const std::vector<uint8_t>& bytes) {
  std::string out;
  char digits[4];
  for (uint8_t b : bytes) out += (std::snprintf(digits, sizeof digits, "%02x", b), digits);
  return out;
}

// One section at a time: its image as hex (the region's whole length) and
// its log. The graphics region shows its decoded tiles: byte 4k + m of the
// tiles is byte k of quarter m of the image.
TEST(Loading, CommandsPlaceTheirBytes) {
  const struct {
    int kind;  // RegionKind, or -1 for the graphics region
    const char* text;
    const char* image;
    const char* log;
  } rows[] = {
      {0, "[masterCpu] SIZE 18 LOADROMEVENODD a.bin b.bin 4 10 LOADROM16SWAP s.bin 4 0 [x]",
       "11223344000000000000000000000000b0a0b1a1b2a2b3a3",
       "system21: code rom for master 68k cpu sizes 0x00000018 bytes\n"
       "system21: LOADROMEVENODD a.bin b.bin 0x00000004 0x00000010\n"
       "system21: LOADROM16SWAP s.bin 0x00000004 0x00000000\n"},
      {1, "[slaveCpu] SIZE 0x8 LOADROM8 none.bin 4 0 LOADROM16SWAP s.bin 4 0X4 [x]",
       "0000000011223344",
       "system21: code rom for slave 68k cpu sizes 0x00000008 bytes\n"
       "system21: LOADROM16SWAP s.bin 0x00000004 0x00000004\n"},
      {2, "[collisionData] size 0X00000006 loadromevenodd a.bin b.bin 2 2 [x]", "0000b0a0b1a1",
       "system21: collisionData rom sizes 0x00000006 bytes\n"
       "system21: LOADROMEVENODD a.bin b.bin 0x00000002 0x00000002\n"},
      {-1, "[gfx] SIZE 1FF Load8 a.bin 4 7f LOADROMEVENODD a.bin b.bin 2 FE [x]",
       "00a0b00000a1a00000a2b10000a3a100", "compressed graphics size(1FF): 0x000001ff\n"},
      {-1, "[gfx] SIZE 3fF LOAD8 a.bin 4 FF LOAD8 s.bin 4 2FD [x]",
       "00a0001100a1002200a2003300a30044", "compressed graphics size(3fF): 0x000003ff\n"},
      {-1, "[gfx] SIZE ff [x]", "", "compressed graphics size(ff): 0x000000ff\n"},
  };
  for (const auto& row : rows) {
    RomSet set;
    support::writeFile(set.dir.path / "t.drv", std::string(row.text));
    ASSERT_EQ(openDriverFile((set.dir / "t.drv").c_str()), 1);
    GameRom rom;
    const std::vector<uint8_t>* images[] = {&rom.masterCodeRom, &rom.slaveCodeRom,
                                            &rom.collisionRom, &rom.graphicsData};
    const int kind = row.kind < 0 ? 3 : row.kind;
    ASSERT_EQ(row.kind < 0 ? loadGraphicsRegion(rom)
                           : loadCodeRegion(static_cast<RegionKind>(row.kind), rom),
              1);
    // Code regions are given whole; tiles past the given bytes are zero.
    const std::string image = hex(*images[kind]);
    const size_t given = std::string(row.image).size();
    EXPECT_EQ(image.substr(0, given), row.image) << row.text;
    EXPECT_EQ(kind == 3 ? image.find_first_not_of('0', given) : image.size(),
              kind == 3 ? std::string::npos : given);
    if (kind == 3) {
      EXPECT_EQ(rom.graphicsBlockCount * 256, images[kind]->size()) << row.text;
    }
    EXPECT_EQ(set.log(), row.log) << row.text;
  }
}

const std::string gfx = "[gfx] SIZE 100 LOAD8 a.bin 4 0 ";
const std::string master = "[masterCpu] SIZE 10 LOADROMEVENODD a.bin b.bin 4 0 ";
const std::string slave = "[slaveCpu] SIZE 10 LOADROM16SWAP s.bin 4 0 ";
const std::string collision = "[collisionData] SIZE 10 LOADROM16SWAP s.bin 4 8 [end]";

TEST(Loading, WholeGameInAnyOrder) {
  RomSet set;
  GameRom rom;
  ASSERT_EQ(set.load("DIRECTORY sample # GAMENAME \" Hidden\" # " + collision + " " + slave +
                         master + "[GFX] size 100 load8 a.bin 4 0 [end] gamename \" Sample Game\"",
                     rom),
            1);
  EXPECT_EQ(rom.gameName, "Sample Game");
  EXPECT_STREQ(romSetDirectory(), "sample");
  EXPECT_EQ(hex(rom.masterCodeRom) + hex(rom.slaveCodeRom) + hex(rom.collisionRom),
            "b0a0b1a1b2a2b3a30000000000000000"
            "11223344000000000000000000000000"
            "00000000000000001122334400000000");
  EXPECT_EQ(rom.graphicsBlockCount, 1u);
  EXPECT_EQ(set.log(),
            "compressed graphics size(100): 0x00000100\n"
            "system21: code rom for master 68k cpu sizes 0x00000010 bytes\n"
            "system21: LOADROMEVENODD a.bin b.bin 0x00000004 0x00000000\n"
            "system21: code rom for slave 68k cpu sizes 0x00000010 bytes\n"
            "system21: LOADROM16SWAP s.bin 0x00000004 0x00000000\n"
            "system21: collisionData rom sizes 0x00000010 bytes\n"
            "system21: LOADROM16SWAP s.bin 0x00000004 0x00000008\n");
  EXPECT_TRUE(boxes.empty());
  const std::string log = set.log();
  EXPECT_EQ(loadGame("absent.drv", rom), 0);
  EXPECT_EQ(set.log(), log);
}

// A driver file that fails the load (or loads without its collision data)
// and the last lines of the log that say why.
TEST(Loading, BrokenDriversSayWhy) {
  const struct {
    std::string text;
    int loaded;
    const char* logEnd;
    const char* box = nullptr;
  } rows[] = {
      {master + slave, 0, "Section [gfx] not found in driver file\n"},
      {gfx + master + "[end]", 0, "Section [slaveCpu] not found in driver file\n"},
      {"[gfx] LOAD8 a.bin 4 0 " + master, 0, "Section [gfx] has no SIZE\n"},
      {gfx + "[masterCpu] " + slave, 0, "Section [masterCpu] has no SIZE\n"},
      {"[gfx] SIZE 12zz [end]", 0, "SIZE '12zz' of section [gfx] is not a hexadecimal number\n"},
      {"[gfx] SIZE 0x [end]", 0, "SIZE '0x' of section [gfx] is not a hexadecimal number\n"},
      {"[gfx] SIZE 100000000 [end]", 0,
       "SIZE '100000000' of section [gfx] is not a hexadecimal number\n"},
      {"[gfx] SIZE 10000001 [end]", 0,
       "SIZE 0x10000001 of section [gfx] is larger than 0x10000000\n"},
      {"[gfx] SIZE 100 LOAD8 a.bin 4 -1 [end]", 0,
       "offset '-1' of LOAD8 in section [gfx] is not a hexadecimal number\n"},
      {"[gfx] SIZE 100 LOADROMEVENODD a.bin b.bin ten 0 [end]", 0,
       "size 'ten' of LOADROMEVENODD in section [gfx] is not a hexadecimal number\n"},
      {"[gfx] SIZE 100 LOAD8 a.bin 4 FD [end]", 0,
       "LOAD8 a.bin 0x00000004 0x000000fd passes the end of section [gfx] (SIZE 0x00000100)\n"},
      {"[gfx] SIZE 100 LOADROMEVENODD a.bin b.bin 2 FD [end]", 0,
       "LOADROMEVENODD a.bin b.bin 0x00000002 0x000000fd passes the end of section [gfx] (SIZE "
       "0x00000100)\n"},
      {"[gfx] SIZE 100 LOAD8 a.bin FFFFFFFF FFFFFFFF [end]", 0,
       "LOAD8 a.bin 0xffffffff 0xffffffff passes the end of section [gfx] (SIZE 0x00000100)\n"},
      {gfx + "[masterCpu] SIZE 10 LOADROMEVENODD a.bin b.bin 4 9 [end]", 0,
       "system21: LOADROMEVENODD a.bin b.bin 0x00000004 0x00000009\nLOADROMEVENODD a.bin b.bin "
       "0x00000004 0x00000009 passes the end of section [masterCpu] (SIZE 0x00000010)\n"},
      {gfx + "[masterCpu] SIZE 10 LOADROM16SWAP s.bin 4 D [end]", 0,
       "LOADROM16SWAP s.bin 0x00000004 0x0000000d passes the end of section [masterCpu] (SIZE "
       "0x00000010)\n"},
      {gfx + "[masterCpu] SIZE 10 LOADROM8 a.bin 4 0", 0,
       "End of driver file in section [masterCpu] before the next section header\n"},
      {"[gfx] SIZE 100 LOAD8 a.bin 4", 0,
       "End of driver file in section [gfx] before the next section header\n"},
      {"[gfx] SIZE", 0, "End of driver file in section [gfx] before the next section header\n"},
      {gfx + "LOADROM16SWAP a.bin 4 0 [end]", 0,
       "compressed graphics size(100): 0x00000100\nUnknown graphics loading method: "
       "'LOADROM16SWAP'\n"},
      {gfx + "[masterCpu] SIZE 10 LOADROMEVENODD a.bin gone.bin 4 0 [end]", 0,
       "system21: LOADROMEVENODD a.bin gone.bin 0x00000004 0x00000000\n", "gone.bin"},
      {gfx + master + "[slaveCpu] SIZE 10 LOADROM16SWAP gone.bin 4 0 " + collision, 0,
       "system21: code rom for slave 68k cpu sizes 0x00000010 bytes\n", "gone.bin"},
      {gfx + master + slave + "[collisionData] SIZE 10 LOADROM16SWAP gone.bin 4 0 [end]", 1,
       "system21: collisionData rom sizes 0x00000010 bytes\n", "gone.bin"},
      {gfx + master + slave + "[collisionData] SIZE 10", 1,
       "End of driver file in section [collisionData] before the next section header\n"},
  };
  for (const auto& row : rows) {
    RomSet set;
    GameRom rom;
    EXPECT_EQ(set.load(row.text, rom), row.loaded) << row.text;
    EXPECT_TRUE(set.log().ends_with(row.logEnd)) << row.text << "\n" << set.log();
    EXPECT_EQ(boxes, row.box ? std::vector<std::string>{row.box} : std::vector<std::string>{});
  }
}

}  // namespace
