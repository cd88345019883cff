// The log of unknown accesses: each distinct access written once, repeats
// only counted, at most a set number of lines, and a summary by range.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "system21/system21.h"
#include "tests/support/log_capture.h"

namespace {

// A master that runs `code` from 0x400 and a slave that spins.
GameRom runaway(std::initializer_list<uint16_t> code) {
  auto image = [](uint16_t stackHigh, std::initializer_list<uint16_t> words) {
    std::vector<uint8_t> bytes(0x600);
    uint32_t at = 0;
    for (uint16_t w : std::initializer_list<uint16_t>{stackHigh, 0, 0, 0x400}) {
      bytes[at++] = static_cast<uint8_t>(w);
      bytes[at++] = static_cast<uint8_t>(w >> 8);
    }
    at = 0x400;
    for (uint16_t w : words) {
      bytes[at++] = static_cast<uint8_t>(w);
      bytes[at++] = static_cast<uint8_t>(w >> 8);
    }
    return bytes;
  };
  return GameRom{"", {}, 0, image(0x11, code), image(0x14, {0x60fe}), {}};
}

size_t count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) n++;
  return n;
}

TEST(UnknownAccesses, LoggedOnceCountedAndSummed) {
  const std::initializer_list<uint16_t> poll = {0x3039, 0x0040, 0x0000,
                                                0x60f8};  // MOVE.W $400000,D0
  const std::initializer_list<uint16_t> scribble = {0x41f8, 0x0000, 0x30c0,
                                                    0x60fc};  // MOVE.W D0,(A0)+
  struct Row {
    const char* what;
    std::initializer_list<uint16_t> code;
    int64_t limit;
    size_t accessLines;  // "unknown word" lines written as they happen
    bool limitLine;
    std::vector<std::string> summary;  // after the stop lines
  } rows[] = {
      {"one hole polled",
       poll,
       defaultLogLimit,
       1,
       false,
       {"system21(cpu1): 7877 unknown accesses in 1 ranges",
        "system21(cpu1): 0x400000..0x400000 word read x7877, first at PC 0x000406 in frame 0, "
        "last at PC 0x000406",
        "system21(cpu2): 0 unknown accesses in 0 ranges"}},
      {"every access written", poll, 0, 7877, false, {}},
      {"ranges joined below, above and between",
       {0x33c0, 0x0060, 0x0010, 0x33c0, 0x0060, 0x0000, 0x33c0, 0x0060, 0x0030, 0x33c0, 0x0060,
        0x0020, 0x60fe},
       defaultLogLimit,
       4,
       false,
       {"system21(cpu1): 4 unknown accesses in 1 ranges",
        "system21(cpu1): 0x600000..0x600030 word write x4, first at PC 0x000406 in frame 0, "
        "last at PC 0x000418"}},
      {"a sweep past the limit",
       scribble,
       100,
       100,
       true,
       {"system21(cpu1): 11378 unknown accesses in 1 ranges",
        "system21(cpu1): 0x000000..0x0058e2 word write x11378, first at PC 0x000406 in frame 0, "
        "last at PC 0x000406"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    support::LogCapture log;
    buildMachine(runaway(row.code));
    beginAccessLog(row.limit);
    ASSERT_EQ(startCpus(), 1);
    runFrame();
    logEndOfRun();
    const std::string text = log.text();
    EXPECT_EQ(count(text, "unknown word"), row.accessLines);
    EXPECT_EQ(count(text, "unknown-access lines written"), row.limitLine ? 1u : 0u);
    for (const std::string& line : row.summary)
      EXPECT_NE(text.find(line + "\n"), std::string::npos) << line;
  }
}

}  // namespace
