// Deflate decoder: zlib's encoder as the oracle for whole streams, and
// hand-made streams for each result code and the corner cases of the format.
#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <tuple>

#include "app/app.h"
#include "romfs/romfs.h"
#include "test_support.h"

namespace {

// ---- Differential: every level and strategy, several kinds of data -------

struct Strategy {
  const char* name;
  int value;
};
const Strategy strategies[] = {{"default", Z_DEFAULT_STRATEGY},
                               {"filtered", Z_FILTERED},
                               {"huffmanOnly", Z_HUFFMAN_ONLY},
                               {"rle", Z_RLE},
                               {"fixed", Z_FIXED}};
using Generator = Bytes (*)(size_t, uint32_t);
struct Kind {
  const char* name;
  Generator make;
};
const Kind kinds[] = {
    {"text", textData}, {"random", randomData}, {"runs", runData}, {"mixed", mixedData}};

class ZlibStreams : public testing::TestWithParam<std::tuple<int, int>> {};

TEST_P(ZlibStreams, DecodeByteIdenticallyAndStopAtTheirLastByte) {
  const Strategy& strategy = strategies[std::get<0>(GetParam())];
  const Kind& kind = kinds[std::get<1>(GetParam())];
  for (size_t size :
       {size_t{0}, size_t{1}, size_t{257}, size_t{32768}, size_t{40000}, size_t{200000}}) {
    Bytes data = kind.make(size, static_cast<uint32_t>(size) * 7 + 1);
    for (int level = 0; level <= 9; ++level) {
      Bytes stream = zlibDeflate(data, level, strategy.value);
      ASSERT_FALSE(stream.empty());
      // Bytes after the stream must be left alone: the cursor stops at the
      // stream's last byte.
      Bytes followed = stream;
      followed.insert(followed.end(), {0xA5, 0x5A, 0xFF, 0x00, 0x13, 0x37, 0x42, 0x99, 0x01});
      Decoded d = decode(followed, size);
      SCOPED_TRACE(testing::Message()
                   << kind.name << " " << strategy.name << " size " << size << " level " << level);
      ASSERT_EQ(d.result, inflateOk);
      ASSERT_TRUE(d.output == data);
      ASSERT_EQ(d.consumed, stream.size());
    }
  }
}

INSTANTIATE_TEST_SUITE_P(AllStrategiesAndKinds, ZlibStreams,
                         testing::Combine(testing::Range(0, 5), testing::Range(0, 4)),
                         [](const testing::TestParamInfo<std::tuple<int, int>>& info) {
                           return std::string(strategies[std::get<0>(info.param)].name) + "_" +
                                  kinds[std::get<1>(info.param)].name;
                         });

TEST(ZlibStreamsOfSeveralMebibytes, DecodeByteIdentically) {
  Bytes data = mixedData(5 << 20, 2026);
  for (auto [level, strategy] :
       {std::pair{1, Z_DEFAULT_STRATEGY}, std::pair{6, Z_DEFAULT_STRATEGY},
        std::pair{9, Z_FILTERED}, std::pair{6, Z_FIXED}, std::pair{6, Z_HUFFMAN_ONLY},
        std::pair{6, Z_RLE}, std::pair{0, Z_DEFAULT_STRATEGY}}) {
    Bytes stream = zlibDeflate(data, level, strategy);
    Decoded d = decode(stream, data.size());
    ASSERT_EQ(d.result, inflateOk) << level << " " << strategy;
    ASSERT_TRUE(d.output == data) << level << " " << strategy;
    EXPECT_EQ(d.consumed, stream.size());
  }
}

// ---- Bounds ------------------------------------------------------------

TEST(Bounds, EveryTruncatedStreamStopsAtTheEndOfItsData) {
  Bytes data = mixedData(90000, 5);
  for (int strategy : {Z_DEFAULT_STRATEGY, Z_FIXED, Z_RLE}) {
    Bytes stream = zlibDeflate(data, 6, strategy);
    for (size_t keep = 0; keep < stream.size(); keep += 1 + keep / 50) {
      // A copy of exactly `keep` bytes, so ASan sees any fetch past it.
      Bytes cut(stream.begin(), stream.begin() + static_cast<long>(keep));
      Decoded d = decode(cut, data.size());
      ASSERT_EQ(d.result, inflateInputOverrun) << "kept " << keep << " of " << stream.size();
    }
    Bytes cut(stream.begin(), stream.end() - 1);
    EXPECT_EQ(decode(cut, data.size()).result, inflateInputOverrun);
  }
}

TEST(Bounds, OutputLongerThanItsBufferStopsAtTheBufferEnd) {
  Bytes data = textData(100000, 9);
  Bytes stream = zlibDeflate(data, 9, Z_DEFAULT_STRATEGY);
  for (size_t room :
       {size_t{0}, size_t{1}, size_t{32767}, size_t{32768}, size_t{65537}, size_t{99999}}) {
    Decoded d = decode(stream, room);
    ASSERT_EQ(d.result, inflateOutputOverflow) << room;
    ASSERT_LE(d.output.size(), room);
    EXPECT_TRUE(std::equal(d.output.begin(), d.output.end(), data.begin()));
  }
  EXPECT_EQ(decode(stream, 100000).result, inflateOk);
  EXPECT_EQ(decode(stream, 100001).output.size(), 100000u);  // fewer bytes is the caller's matter
}

// ---- Hand-made streams --------------------------------------------------

Bytes storedBlock(const Bytes& payload, bool last, uint16_t complement) {
  BitWriter w;
  w.bits(last, 1);
  w.bits(0, 2);
  w.alignToByte();
  w.bits(static_cast<uint32_t>(payload.size()), 16);
  w.bits(complement, 16);
  w.bytes.insert(w.bytes.end(), payload.begin(), payload.end());
  return w.bytes;
}

TEST(StoredBlocks, EmptyLastBlockSucceedsWithNoOutput) {
  Bytes s = storedBlock({}, true, 0xFFFF);
  ASSERT_EQ(s, (Bytes{0x01, 0x00, 0x00, 0xFF, 0xFF}));
  Decoded d = decode(s, 0);
  EXPECT_EQ(d.result, inflateOk);
  EXPECT_TRUE(d.output.empty());
  EXPECT_EQ(d.consumed, 5u);
}

TEST(StoredBlocks, WrongComplementIsInvalidData) {
  EXPECT_EQ(decode(storedBlock({1, 2, 3}, true, 0xFFFC ^ 1), 3).result, inflateBadData);
  EXPECT_EQ(decode(storedBlock({1, 2, 3}, true, 0xFFFC), 3).result, inflateOk);
}

TEST(StoredBlocks, ManyBlocksPastTheWindowArriveInOrder) {
  Bytes data = randomData(100000, 3), stream;
  for (size_t at = 0; at < data.size(); at += 7000) {
    Bytes part(data.begin() + static_cast<long>(at),
               data.begin() + static_cast<long>(std::min(at + 7000, data.size())));
    Bytes block = storedBlock(part, at + 7000 >= data.size(), static_cast<uint16_t>(~part.size()));
    stream.insert(stream.end(), block.begin(), block.end());
  }
  Decoded d = decode(stream, data.size());
  EXPECT_EQ(d.result, inflateOk);
  EXPECT_TRUE(d.output == data);
  EXPECT_EQ(d.consumed, stream.size());
}

TEST(BlockHeaders, TypeThreeIsABadBlock) {
  BitWriter w;
  w.bits(1, 1);
  w.bits(3, 2);
  EXPECT_EQ(decode(w.bytes, 10).result, inflateBadBlock);
}

// Fixed code of a literal/length symbol (RFC 1951, 3.2.6).
void fixedSymbol(BitWriter& w, uint32_t symbol) {
  if (symbol < 144)
    w.code(0x30 + symbol, 8);
  else if (symbol < 256)
    w.code(0x190 + symbol - 144, 9);
  else if (symbol < 280)
    w.code(symbol - 256, 7);
  else
    w.code(0xC0 + symbol - 280, 8);
}

TEST(FixedBlocks, DistanceOneLength258RepeatsOneByte) {
  BitWriter w;
  w.bits(1, 1);
  w.bits(1, 2);
  fixedSymbol(w, 'x');
  fixedSymbol(w, 285);  // length 258
  w.code(0, 5);         // distance 1
  fixedSymbol(w, 256);
  Decoded d = decode(w.bytes, 259);
  ASSERT_EQ(d.result, inflateOk);
  EXPECT_EQ(d.output, Bytes(259, 'x'));
  EXPECT_EQ(d.consumed, w.bytes.size());
}

TEST(FixedBlocks, MatchEndingExactlyAtTheWindowEndIsFlushed) {
  BitWriter w;
  w.bits(1, 1);
  w.bits(1, 2);
  fixedSymbol(w, 'a');
  for (int i = 0; i < 125; ++i) {  // up to 32251
    fixedSymbol(w, 285);
    w.code(0, 5);
  }
  for (uint32_t extra : {14u, 15u}) {  // lengths 129 and 130: up to 32510
    fixedSymbol(w, 280);
    w.bits(extra, 4);
    w.code(0, 5);
  }
  fixedSymbol(w, 285);  // 258 more: the window is full
  w.code(0, 5);
  fixedSymbol(w, 'b');
  fixedSymbol(w, 256);
  const size_t streamSize = w.bytes.size();
  w.bytes.insert(w.bytes.end(), 16, 0xEE);  // room for the fast path to read ahead
  Decoded d = decode(w.bytes, 32770);
  ASSERT_EQ(d.result, inflateOk);
  Bytes expected(32768, 'a');
  expected.push_back('b');
  EXPECT_TRUE(d.output == expected);
  Bytes byZlib;
  ASSERT_TRUE(zlibInflate(w.bytes, byZlib, 32770));
  EXPECT_TRUE(byZlib == expected);
  EXPECT_EQ(d.consumed, streamSize);
}

TEST(FixedBlocks, SymbolsPastTheRfcAreInvalidCodes) {
  for (uint32_t symbol : {286u, 287u}) {
    BitWriter w;
    w.bits(1, 1);
    w.bits(1, 2);
    fixedSymbol(w, 'a');
    fixedSymbol(w, symbol);
    w.bits(0, 16);
    EXPECT_EQ(decode(w.bytes, 100).result, inflateBadData) << symbol;
  }
  for (uint32_t distance : {30u, 31u}) {
    BitWriter w;
    w.bits(1, 1);
    w.bits(1, 2);
    fixedSymbol(w, 'a');
    fixedSymbol(w, 257);
    w.code(distance, 5);
    w.bits(0, 16);
    EXPECT_EQ(decode(w.bytes, 100).result, inflateBadData) << distance;
  }
}

TEST(FixedBlocks, DistancePastTheStartOfTheStreamIsInvalid) {
  BitWriter w;
  w.bits(1, 1);
  w.bits(1, 2);
  fixedSymbol(w, 'a');
  fixedSymbol(w, 257);
  w.code(1, 5);  // distance 2, one byte produced so far
  fixedSymbol(w, 256);
  EXPECT_EQ(decode(w.bytes, 100).result, inflateBadData);
}

TEST(FixedBlocks, TwoStreamsInARowShareTheFixedTables) {
  Bytes a = textData(3000, 1), b = textData(5000, 2);
  Decoded first = decode(zlibDeflate(a, 6, Z_FIXED), a.size());
  Decoded second = decode(zlibDeflate(b, 6, Z_FIXED), b.size());
  EXPECT_EQ(first.result, inflateOk);
  EXPECT_EQ(second.result, inflateOk);
  EXPECT_TRUE(first.output == a);
  EXPECT_TRUE(second.output == b);
}

// Dynamic blocks with chosen code lengths.
struct DynamicCode {
  std::vector<uint8_t> literals, distances;
  std::vector<uint32_t> literalCodes, distanceCodes;
  DynamicCode(std::vector<uint8_t> l, std::vector<uint8_t> d)
      : literals(std::move(l)),
        distances(std::move(d)),
        literalCodes(canonicalCodes(literals)),
        distanceCodes(canonicalCodes(distances)) {}
  void symbol(BitWriter& w, uint32_t s) const { w.code(literalCodes[s], literals[s]); }
  void distance(BitWriter& w, uint32_t s) const { w.code(distanceCodes[s], distances[s]); }
};

// 288 literal/length and 32 distance lengths, the extra symbols included.
DynamicCode widestCode() {
  std::vector<uint8_t> l(288, 0), d(32, 0);
  l['A'] = 2;
  l[256] = 2;
  l[257] = 2;
  l[286] = 3;
  l[287] = 3;
  d[0] = 2;
  d[1] = 2;
  d[30] = 2;
  d[31] = 2;
  return DynamicCode(l, d);
}

TEST(DynamicBlocks, AllCountsTheFieldsCanExpressAreAccepted) {
  DynamicCode c = widestCode();
  BitWriter w;
  writeDynamicHeader(w, true, c.literals, c.distances);
  c.symbol(w, 'A');
  c.symbol(w, 257);  // length 3
  c.distance(w, 0);  // distance 1
  c.symbol(w, 256);
  Decoded d = decode(w.bytes, 4);
  ASSERT_EQ(d.result, inflateOk);
  EXPECT_EQ(d.output, Bytes(4, 'A'));
  EXPECT_EQ(d.consumed, w.bytes.size());
}

TEST(DynamicBlocks, TheExtraSymbolsFailOnlyWhenDecoded) {
  DynamicCode c = widestCode();
  for (uint32_t extra : {286u, 287u}) {
    BitWriter w;
    writeDynamicHeader(w, true, c.literals, c.distances);
    c.symbol(w, 'A');
    c.symbol(w, extra);
    w.bits(0, 32);
    EXPECT_EQ(decode(w.bytes, 10).result, inflateBadData);
  }
  for (uint32_t extra : {30u, 31u}) {
    BitWriter w;
    writeDynamicHeader(w, true, c.literals, c.distances);
    c.symbol(w, 'A');
    c.symbol(w, 257);
    c.distance(w, extra);
    w.bits(0, 32);
    EXPECT_EQ(decode(w.bytes, 10).result, inflateBadData);
  }
}

TEST(DynamicBlocks, CountsOf287And31AreAcceptedToo) {
  std::vector<uint8_t> l(287, 0), d(31, 0);
  l['A'] = 2;
  l[256] = 2;
  l[257] = 2;
  l[286] = 2;
  d[0] = 2;
  d[1] = 2;
  d[30] = 1;
  DynamicCode c(l, d);
  BitWriter ok;
  writeDynamicHeader(ok, true, c.literals, c.distances);
  c.symbol(ok, 'A');
  c.symbol(ok, 257);
  c.distance(ok, 0);
  c.symbol(ok, 256);
  Decoded r = decode(ok.bytes, 4);
  EXPECT_EQ(r.result, inflateOk);
  EXPECT_EQ(r.output, Bytes(4, 'A'));

  BitWriter length286;
  writeDynamicHeader(length286, true, c.literals, c.distances);
  c.symbol(length286, 286);
  length286.bits(0, 32);
  EXPECT_EQ(decode(length286.bytes, 10).result, inflateBadData);

  BitWriter distance30;
  writeDynamicHeader(distance30, true, c.literals, c.distances);
  c.symbol(distance30, 'A');
  c.symbol(distance30, 257);
  c.distance(distance30, 30);
  distance30.bits(0, 32);
  EXPECT_EQ(decode(distance30.bytes, 10).result, inflateBadData);
}

TEST(DynamicBlocks, IncompleteDistanceCodeDecodes) {
  std::vector<uint8_t> l(258, 0), d(1, 2);  // one distance code of length 2
  l['B'] = 1;
  l[256] = 2;
  l[257] = 2;
  DynamicCode c(l, d);
  BitWriter w;
  writeDynamicHeader(w, true, c.literals, c.distances);
  c.symbol(w, 'B');
  c.symbol(w, 257);
  c.distance(w, 0);
  c.symbol(w, 256);
  Decoded r = decode(w.bytes, 4);
  EXPECT_EQ(r.result, inflateOk);
  EXPECT_EQ(r.output, Bytes(4, 'B'));
}

TEST(DynamicBlocks, LiteralOnlyBlockNeedsNoDistanceCode) {
  std::vector<uint8_t> l(257, 0), d(1, 0);
  l['C'] = 1;
  l[256] = 1;
  DynamicCode c(l, d);
  BitWriter w;
  writeDynamicHeader(w, true, c.literals, c.distances);
  c.symbol(w, 'C');
  c.symbol(w, 'C');
  c.symbol(w, 256);
  Decoded r = decode(w.bytes, 2);
  EXPECT_EQ(r.result, inflateOk);
  EXPECT_EQ(r.output, Bytes(2, 'C'));
  EXPECT_EQ(r.consumed, w.bytes.size());
}

// The decoder's two table messages go to the log when it is open.
class DecoderLog : public testing::Test {
 protected:
  std::string path = freshDirectory("decoder_log") + "s000.log";
  void SetUp() override { ASSERT_EQ(openLog(path.c_str()), 1); }
  std::string logText() {
    closeLog();
    Bytes b = readFile(path);
    return std::string(b.begin(), b.end());
  }
};

TEST_F(DecoderLog, EmptyDistanceCodeWithLengthSymbolsIsAnIncompleteDTree) {
  std::vector<uint8_t> l(258, 0), d(1, 0);
  l['C'] = 1;
  l[256] = 2;
  l[257] = 2;
  BitWriter w;
  writeDynamicHeader(w, true, l, d);
  w.bits(0, 16);
  EXPECT_EQ(decode(w.bytes, 10).result, inflateBadData);
  EXPECT_EQ(logText(), "(incomplete d-tree)  ");
}

TEST_F(DecoderLog, IncompleteLiteralCodeIsAnIncompleteLTree) {
  std::vector<uint8_t> l(257, 0), d(1, 0);
  l['C'] = 2;
  l[256] = 2;
  BitWriter w;
  writeDynamicHeader(w, true, l, d);
  w.bits(0, 16);
  EXPECT_EQ(decode(w.bytes, 10).result, inflateBadData);
  EXPECT_EQ(logText(), "(incomplete l-tree)  ");
}

TEST_F(DecoderLog, EmptyLiteralCodeIsAnIncompleteLTree) {
  BitWriter w;
  writeDynamicHeader(w, true, std::vector<uint8_t>(257, 0), std::vector<uint8_t>(1, 0));
  w.bits(0, 16);
  EXPECT_EQ(decode(w.bytes, 10).result, inflateBadData);
  EXPECT_EQ(logText(), "(incomplete l-tree)  ");
}

TEST(DynamicBlocks, OverSubscribedLiteralCodeIsABadBlock) {
  std::vector<uint8_t> l(257, 0), d(1, 0);
  l['A'] = 1;
  l['B'] = 1;
  l[256] = 1;
  BitWriter w;
  writeDynamicHeader(w, true, l, d);
  w.bits(0, 16);
  EXPECT_EQ(decode(w.bytes, 10).result, inflateBadBlock);
}

TEST(DynamicBlocks, EmptyCodeLengthCodeIsInvalid) {
  BitWriter w;
  w.bits(1, 1);
  w.bits(2, 2);
  w.bits(0, 5);
  w.bits(0, 5);
  w.bits(15, 4);
  w.bits(0, 19 * 3);
  w.bits(0, 16);
  EXPECT_EQ(decode(w.bytes, 10).result, inflateBadData);
}

TEST(DynamicBlocks, RepeatPastTheLastLengthIsInvalid) {
  // Code-length code: symbols 0, 8 and 18 with lengths 1, 2, 2.
  BitWriter w;
  w.bits(1, 1);
  w.bits(2, 2);
  w.bits(0, 5);  // 257 literal/length codes
  w.bits(0, 5);  // 1 distance code
  w.bits(19 - 4, 4);
  static const uint8_t order[19] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                    11, 4,  12, 3, 13, 2, 14, 1, 15};
  std::vector<uint8_t> cl(19, 0);
  cl[0] = 1;
  cl[8] = 2;
  cl[18] = 2;
  for (int i = 0; i < 19; ++i) w.bits(cl[order[i]], 3);
  std::vector<uint32_t> codes = canonicalCodes(cl);
  // 2 x 138 zeros = 276 > 258 lengths.
  w.code(codes[18], 2);
  w.bits(127, 7);
  w.code(codes[18], 2);
  w.bits(127, 7);
  w.bits(0, 16);
  EXPECT_EQ(decode(w.bytes, 10).result, inflateBadData);
}

// ---- Table building -------------------------------------------------------

TEST(HuffmanTables, WidthIsClampedToTheLengthsAndCutAtTheEndOfBlockCode) {
  HuftEntry* table = nullptr;
  std::vector<uint8_t> lengths(257, 0);
  for (int s = 0; s < 4; ++s) lengths[s] = 3;
  for (int s = 4; s < 8; ++s) lengths[s] = 3;  // 8 codes of 3 bits: complete without 256
  uint32_t width = 9;
  EXPECT_EQ(buildHuffmanTable(lengths.data(), 8, 8, nullptr, nullptr, &table, &width), 0);
  EXPECT_EQ(width, 3u);  // no longer than the longest code
  freeHuffmanTable(table);

  // An end-of-block code of 2 bits cuts a 9-bit request to 2.
  std::vector<uint8_t> l(258, 0);
  l[256] = 2;
  l[0] = 2;
  l[1] = 2;
  l[2] = 3;
  l[3] = 4;
  l[257] = 4;
  const uint16_t bases[1] = {3};
  const uint8_t extra[1] = {0};
  width = 9;
  EXPECT_EQ(buildHuffmanTable(l.data(), 258, 257, bases, extra, &table, &width), 0);
  EXPECT_EQ(width, 2u);
  freeHuffmanTable(table);

  width = 1;  // raised to the shortest code
  EXPECT_EQ(buildHuffmanTable(l.data(), 258, 257, bases, extra, &table, &width), 0);
  EXPECT_EQ(width, 2u);
  freeHuffmanTable(table);
}

TEST(HuffmanTables, ResultCodes) {
  HuftEntry* table = nullptr;
  uint32_t width = 7;
  const uint8_t empty[4] = {0, 0, 0, 0};
  EXPECT_EQ(buildHuffmanTable(empty, 4, 4, nullptr, nullptr, &table, &width), 0);
  EXPECT_EQ(width, 0u);
  EXPECT_EQ(table, nullptr);
  freeHuffmanTable(table);  // an empty reference is allowed

  const uint8_t single[3] = {0, 1, 0};  // one code of one bit: accepted
  width = 7;
  EXPECT_EQ(buildHuffmanTable(single, 3, 3, nullptr, nullptr, &table, &width), 0);
  freeHuffmanTable(table);

  const uint8_t incomplete[3] = {2, 2, 0};
  width = 7;
  EXPECT_EQ(buildHuffmanTable(incomplete, 3, 3, nullptr, nullptr, &table, &width), 1);
  freeHuffmanTable(table);

  const uint8_t over[3] = {1, 1, 1};
  width = 7;
  EXPECT_EQ(buildHuffmanTable(over, 3, 3, nullptr, nullptr, &table, &width), 2);
  EXPECT_EQ(table, nullptr);
}

}  // namespace
