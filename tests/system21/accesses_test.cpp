// The log of unknown accesses: each distinct access written once, repeats
// only counted, at most a set number of lines, and a summary by range.
#include <gtest/gtest.h>

#include "system21/system21.h"
#include "tests/support/log_capture.h"
#include "tests/support/m68k_image.h"

namespace {

TEST(UnknownAccesses, LoggedOnceCountedAndSummed) {
  const std::vector<uint16_t> poll = {0x3039, 0x0040, 0x0000, 0x60f8},  // MOVE.W $400000,D0
      sweep = {0x41f8, 0x0000, 0x30c0, 0x60fc},                         // MOVE.W D0,(A0)+
      // MOVE.W D0,$600010 / $600000 / $600030 / $600020, then BRA.S *
      joins = {0x33c0, 0x60, 0x10, 0x33c0, 0x60, 0, 0x33c0, 0x60, 0x30, 0x33c0, 0x60, 0x20, 0x60fe};
  struct Row {
    const std::vector<uint16_t>& code;
    int64_t limit;
    size_t lines;  // "unknown word" lines written as the accesses happen, before any notice
    bool notice;   // that further accesses are only counted
    std::vector<std::string> found;
  } rows[] = {
      {poll,
       defaultLogLimit,
       1,
       false,
       {"7877 unknown accesses in 1 ranges\n",
        "0x400000..0x400000 word read x7877, first at PC 0x000406 in frame 0, last at PC "
        "0x000406\n",
        "system21(cpu2): 0 unknown accesses in 0 ranges\n"}},
      {poll, 0, 7877, false, {}},
      {joins, 4, 4, false, {}},  // as many distinct accesses as the limit: none dropped
      {joins,
       defaultLogLimit,
       4,
       false,
       {"0x600000..0x600030 word write x4, first at PC 0x000406 in frame 0, last at PC "
        "0x000418\n"}},
      {sweep,
       100,
       100,
       true,
       {"system21: 100 unknown-access lines written; further accesses are only counted",
        "0x000000..0x0058e2 word write x11378, first at PC 0x000406"}},
  };
  for (const Row& row : rows) {
    support::LogCapture log;
    buildMachine(GameRom{"",
                         {},
                         0,
                         support::m68kImage(0x600, {{0, {0x11, 0, 0, 0x400}}, {0x400, row.code}}),
                         support::m68kImage(0x600, {{0, {0x14, 0, 0, 0x400}}, {0x400, {0x60fe}}}),
                         {}});
    beginAccessLog(row.limit);
    ASSERT_EQ(startCpus(), 1);
    runFrame();
    logEndOfRun();
    const std::string text = log.text();
    const size_t notice = text.find("unknown-access lines written");
    size_t lines = 0;
    for (size_t at = text.find("unknown word"); at < notice; at = text.find("unknown word", at + 1))
      lines++;
    EXPECT_EQ(lines, row.lines) << row.code[0];
    EXPECT_EQ(notice != std::string::npos, row.notice) << row.code[0];
    for (const std::string& line : row.found) EXPECT_NE(text.find(line), std::string::npos) << line;
  }
}

}  // namespace
