// Deflate decoder: zlib's encoder as the oracle for whole streams, and
// hand-made streams for the result codes and corners of the format.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <random>
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

// Kinds of data: words, random bytes, runs of a few values, a two-byte
// period (whose matches of 258 end exactly at the window's end) and chunks
// of the four.
const char* const kinds[] = {"text", "random", "runs", "pairs", "mixed"};
Bytes makeData(int kind, size_t size, uint32_t seed) {
  static const char* const words[] = {"the ",    "sprite ", "board ",      "68000 ", "slave ",
                                      "video ",  "rom ",    "interrupt ",  "\n",     ", ",
                                      "System ", "21 ",     "decodes the "};
  std::mt19937 rng(seed);
  Bytes out;
  while (out.size() < size) {
    if (kind == 0) {
      const char* word = words[rng() % std::size(words)];
      out.insert(out.end(), word, word + std::strlen(word));
    } else if (kind == 1) {
      out.push_back(static_cast<uint8_t>(rng()));
    } else if (kind == 2) {
      out.insert(out.end(), 1 + rng() % 2000, static_cast<uint8_t>(rng() % 4));
    } else if (kind == 3) {
      out.insert(out.end(), {'a', 'b'});
    } else {
      const Bytes part = makeData(static_cast<int>(rng() % 4), 4096 + rng() % 60000, rng());
      out.insert(out.end(), part.begin(), part.end());
    }
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
          SCOPED_TRACE(testing::Message() << kinds[kind] << " strategy " << strategy << " size "
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
            ASSERT_TRUE(std::equal(cramped.output.begin(), cramped.output.end(), data.begin()));
            ASSERT_EQ(cramped.output.size(), size - 1);
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

struct HandMade {
  const char* what;
  const char* hex;  // the stream
  int result;
  std::string text;  // the output when it decodes, else what goes to an open log
};
const HandMade handMade[] = {
    {"stored block whose length complement is wrong", "010300fdff010203", inflateBadData, ""},
    {"block type 3", "07", inflateBadBlock, ""},
    {"fixed: length 258 at distance 1", "ab180500", inflateOk, std::string(259, 'x')},
    {"fixed: literal/length symbol 286", "4b1c030000", inflateBadData, ""},
    {"fixed: literal/length symbol 287", "4b1c070000", inflateBadData, ""},
    {"fixed: distance symbol 30", "4b043e0000", inflateBadData, ""},
    {"fixed: distance symbol 31", "4b047e0000", inflateBadData, ""},
    {"fixed: distance past the start of the stream", "4b044200", inflateBadData, ""},
    {"288 and 32 codes, the extra ones unused", "fdff21b56ddbb66ddb6a4bfe4da56424e7948ca44408",
     inflateOk, "AAAA"},
    {"288 codes, symbol 286 decoded", "fdff21b56ddbb66ddb6a4bfe4da56424e7948ca4c40000000000",
     inflateBadData, ""},
    {"288 codes, symbol 287 decoded", "fdff21b56ddbb66ddb6a4bfe4da56424e7948ca4c40100000000",
     inflateBadData, ""},
    {"32 codes, distance 30 decoded", "fdff21b56ddbb66ddb6a4bfe4da56424e7948ca4440100000000",
     inflateBadData, ""},
    {"32 codes, distance 31 decoded", "fdff21b56ddbb66ddb6a4bfe4da56424e7948ca4440300000000",
     inflateBadData, ""},
    {"287 and 31 codes", "f5fe21b56ddbb66ddb6a4bfe4da56424a564245202", inflateOk, "AAAA"},
    {"287 codes, symbol 286 decoded", "f5fe21b56ddbb66ddb6a4bfe4da56424a564240e00000000",
     inflateBadData, ""},
    {"31 codes, distance 30 decoded", "f5fe21b56ddbb66ddb6a4bfe4da56424a564241200000000",
     inflateBadData, ""},
    {"one distance code of 2 bits", "0de021b56ddbb66ddb7a8bfe45a5944c", inflateOk, "BBBB"},
    {"literals only, no distance code", "05e021b56ddbb66ddb8a8bfe3dc540", inflateOk, "CC"},
    {"length codes without a distance code", "0de021b56ddbb66ddb8a8bfe3da514000000", inflateBadData,
     "(incomplete d-tree)  "},
    {"incomplete literal/length code", "05e021b56ddbb66ddb8a4bfe3da5000000", inflateBadData,
     "(incomplete l-tree)  "},
    {"empty literal/length code", "05e021b56ddbb66ddbfab70d0000", inflateBadData,
     "(incomplete l-tree)  "},
    {"over-subscribed literal/length code", "05e021b56ddbb66ddb6a8bd1bfa818000000", inflateBadBlock,
     ""},
    {"empty code-length code", "05e001000000000000000000", inflateBadData, ""},
    {"zero runs past the last length", "05e001450000000000fcff0f0000", inflateBadData, ""},
};

TEST(Inflate, HandMadeStreams) {
  const support::ScratchDir dir;
  for (const HandMade& row : handMade) {
    SCOPED_TRACE(row.what);
    Bytes stream;
    for (const char* p = row.hex; *p != 0; p += 2)
      stream.push_back(static_cast<uint8_t>(std::stoi(std::string(p, 2), nullptr, 16)));
    ASSERT_EQ(openLog((dir / "s000.log").c_str()), 1);
    const Decoded d = decode(stream, 1000);
    closeLog();
    EXPECT_EQ(d.result, row.result);
    const std::string log = support::readText(dir / "s000.log");
    EXPECT_EQ(row.result == inflateOk ? std::string(d.output.begin(), d.output.end()) : log,
              row.text);
    EXPECT_EQ(row.result == inflateOk ? d.consumed : stream.size(), stream.size());
    EXPECT_TRUE(row.result != inflateOk || log.empty());
  }
}

}  // namespace
