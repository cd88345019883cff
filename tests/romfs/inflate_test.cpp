// Deflate decoder: zlib's encoder as the oracle for whole streams, and
// hand-made streams for the result codes and corners of the format.
#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <sstream>
#include <string>

#include "app/app.h"
#include "romfs/romfs.h"
#include "tests/support/files.h"
#include "tests/support/zip.h"

namespace {

using support::Bytes;

struct Decoded {
  int result;
  Bytes output;
  size_t consumed;
};

// Our decoder with room bytes of output; the stream is passed as an
// exact-size copy, so the sanitizers see any access past its end.
Decoded decode(const Bytes& stream, size_t room) {
  Decoded d{0, Bytes(room), 0};
  Bytes window(inflateWindowSize);
  InflateState& s = inflateState;
  s.input = stream.data();
  s.inputEnd = stream.data() + stream.size();
  s.output = d.output.data();
  s.outputEnd = d.output.data() + room;
  s.window = window.data();
  d.result = inflate();
  d.output.resize(static_cast<size_t>(s.output - d.output.data()));
  d.consumed = static_cast<size_t>(s.input - stream.data());
  return d;
}

// Words, random bytes, runs of a few values, a two-byte period (its matches
// of 258 end exactly at the window's end) and chunks of all four.
Bytes makeData(int kind, size_t size, uint32_t seed) {
  static const std::string words[] = {"the ", "sprite ", "board ", "68000 ", "\n", "interrupt "};
  std::mt19937 rng(seed);
  Bytes out;
  while (out.size() < size) {
    const std::string word = words[rng() % 6];
    const Bytes part = kind == 0   ? Bytes(word.begin(), word.end())
                       : kind == 1 ? Bytes{static_cast<uint8_t>(rng())}
                       : kind == 2 ? Bytes(1 + rng() % 2000, static_cast<uint8_t>(rng() % 4))
                       : kind == 3 ? Bytes{'a', 'b'}
                                   : makeData(rng() % 4, 4096 + rng() % 60000, rng());
    out.insert(out.end(), part.begin(), part.end());
  }
  out.resize(size);
  return out;
}

TEST(Inflate, DecodesZlibStreamsExactlyAndStopsAtTheirBounds) {
  const int strategies[] = {Z_DEFAULT_STRATEGY, Z_FILTERED, Z_HUFFMAN_ONLY, Z_RLE, Z_FIXED};
  for (int kind = 0; kind < 5; ++kind)
    for (int strategy : strategies)
      for (size_t size : {0, 1, 257, 32768, 40000, 200000}) {
        const Bytes data = makeData(kind, size, static_cast<uint32_t>(size) * 7 + 1);
        for (int level = 0; level <= 9; ++level) {
          SCOPED_TRACE(testing::Message() << "kind " << kind << " strategy " << strategy << " size "
                                          << size << " level " << level);
          const Bytes stream = support::zlibDeflate(data, level, strategy);
          ASSERT_FALSE(stream.empty());
          // Bytes after the stream stay unread: the cursor ends on its last byte.
          Bytes followed = stream;
          followed.insert(followed.end(), {0xA5, 0x5A, 0xFF, 0x00, 0x13, 0x37, 0x42, 0x99, 0x01});
          const Decoded whole = decode(followed, size);
          ASSERT_EQ(whole.result, inflateOk);
          ASSERT_TRUE(whole.output == data);
          ASSERT_EQ(whole.consumed, stream.size());
          // One byte less of room: every byte that fits, then an overflow.
          if (size > 0) {
            const Decoded cramped = decode(stream, size - 1);
            ASSERT_EQ(cramped.result, inflateOutputOverflow);
            ASSERT_TRUE(cramped.output == Bytes(data.begin(), data.end() - 1));
          }
          // Cut short anywhere (at level 6 of 40000 bytes) or by its last byte.
          const bool sweep = level == 6 && size == 40000;
          for (size_t keep = sweep ? 0 : stream.size() - 1; keep < stream.size();
               keep += 1 + keep / 20) {
            const Bytes cut(stream.begin(), stream.begin() + static_cast<long>(keep));
            ASSERT_EQ(decode(cut, size).result, inflateInputOverrun) << "kept " << keep;
          }
        }
      }
}

// Each stream of streams.txt decoded; its "=" lines are the expected results.
TEST(Inflate, HandMadeStreams) {
  const support::ScratchDir dir;
  const std::string expected = support::readText(SB_SOURCE_DIR "/tests/romfs/streams.txt");
  std::istringstream lines(expected);
  std::string results;
  for (std::string line; std::getline(lines, line);) {
    if (line.starts_with("=")) continue;
    results += line + "\n";
    if (line.starts_with("#")) continue;
    Bytes stream;
    for (size_t i = 0; i + 1 < line.size(); i += 2)
      stream.push_back(static_cast<uint8_t>(std::stoi(line.substr(i, 2), nullptr, 16)));
    ASSERT_EQ(openLog((dir / "s000.log").c_str()), 1);
    const Decoded d = decode(stream, 1000);
    closeLog();
    results += "= " + std::to_string(d.result);
    if (d.result == inflateOk)
      results += ", used " + std::to_string(d.consumed) + " of " + std::to_string(stream.size()) +
                 ", output " + std::string(d.output.begin(), d.output.end());
    results += ", log \"" + support::readText(dir / "s000.log") + "\"\n";
  }
  EXPECT_EQ(results, expected);
}

}  // namespace
