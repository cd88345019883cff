// Deflate decoder (RFC 1951, raw streams) for the data of deflated zip
// members: one buffer of compressed data in, one buffer of output out, through
// a 32768-byte sliding window that is flushed to the output each time it
// fills.
//
// Bounds: the decoder never fetches a byte at or past inputEnd (a stream that
// needs one fails with inflateInputOverrun) and never writes at or past
// outputEnd (a stream that gives more fails with inflateOutputOverflow). A
// back-reference to bytes before the start of the stream is invalid data.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/base.h"
#include "romfs/romfs.h"

InflateState inflateState;

namespace {

constexpr uint32_t windowMask = inflateWindowSize - 1;
constexpr uint32_t longestMatch = 258;
constexpr uint8_t invalidCode = 99;
constexpr uint8_t endOfBlock = 15;
constexpr uint8_t literal = 16;
constexpr uint32_t maxSymbols = 288 + 32;

// Lengths of the literal/length symbols 257 to 287 (RFC 1951, 3.2.5); the
// two symbols past 285 decode as invalid codes.
constexpr uint16_t lengthBases[31] = {3,  4,   5,   6,   7,   8,   9,   10, 11, 13, 15,
                                      17, 19,  23,  27,  31,  35,  43,  51, 59, 67, 83,
                                      99, 115, 131, 163, 195, 227, 258, 0,  0};
constexpr uint8_t lengthExtraBits[31] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2,  2, 2,
                                         3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0, 99, 99};
// Distances of the distance symbols 0 to 31; 30 and 31 are invalid codes.
constexpr uint16_t distanceBases[32] = {
    1,   2,   3,   4,   5,    7,    9,    13,   17,   25,   33,   49,    65,    97,    129, 193,
    257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577, 0,   0};
constexpr uint8_t distanceExtraBits[32] = {0,  0,  0,  0,  1,  1,  2,  2,  3,  3, 4,
                                           4,  5,  5,  6,  6,  7,  7,  8,  8,  9, 9,
                                           10, 10, 11, 11, 12, 12, 13, 13, 99, 99};
// Order in which a dynamic header lists the code-length code's lengths.
constexpr uint8_t codeLengthOrder[19] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                         11, 4,  12, 3, 13, 2, 14, 1, 15};

constexpr uint64_t mask(uint32_t n) {
  return (uint64_t{1} << n) - 1;
}

// First-level widths asked of buildHuffmanTable.
constexpr uint32_t dynamicLiteralWidth = 9;
constexpr uint32_t dynamicDistanceWidth = 6;
constexpr uint32_t codeLengthWidth = 7;
constexpr uint32_t fixedLiteralWidthRequest = 7;
constexpr uint32_t fixedDistanceWidthRequest = 5;

// ---- Table building -----------------------------------------------------

uint32_t reverseBits(uint32_t value, uint32_t count) {
  uint32_t result = 0;
  for (uint32_t i = 0; i < count; ++i) {
    result = (result << 1) | (value & 1);
    value >>= 1;
  }
  return result;
}

struct TableBuilder {
  const uint8_t* lengths;
  uint32_t simpleCount;
  const uint16_t* bases;
  const uint8_t* extraBits;
  uint32_t rootWidth;
  uint32_t endOfBlockLength;  // 0 when the code has no end-of-block symbol
  uint32_t codeCount;
  uint16_t symbols[maxSymbols];  // in canonical order: by length, then symbol
  uint8_t codeLength[maxSymbols];
  uint32_t code[maxSymbols];  // canonical code, first bit read as its top bit
  HuftEntry* entries;         // null while only measuring
  uint32_t used;
};

HuftEntry entryFor(const TableBuilder& b, uint32_t symbol, uint32_t bits) {
  if (symbol < b.simpleCount)
    return {static_cast<uint8_t>(symbol < 256 ? literal : endOfBlock), static_cast<uint8_t>(bits),
            static_cast<uint16_t>(symbol)};
  return {b.extraBits[symbol - b.simpleCount], static_cast<uint8_t>(bits),
          b.bases[symbol - b.simpleCount]};
}

uint32_t countOfLength(const TableBuilder& b, uint32_t first, uint32_t last, uint32_t length) {
  uint32_t n = 0;
  for (uint32_t i = first; i < last; ++i) n += b.codeLength[i] == length;
  return n;
}

bool holdsEndOfBlock(const TableBuilder& b, uint32_t first, uint32_t last) {
  for (uint32_t i = first; i < last; ++i)
    if (b.symbols[i] == 256 && b.simpleCount > 256) return true;
  return false;
}

// Lays out, at b.used, the table of `width` bits for the codes first..last-1,
// which share their first `start` bits; longer codes continue in sub-tables.
void layTable(TableBuilder& b, uint32_t first, uint32_t last, uint32_t start, uint32_t width) {
  const uint32_t base = b.used;
  b.used += 1u << width;
  if (b.entries != nullptr)
    for (uint32_t j = 0; j < (1u << width); ++j)
      b.entries[base + j] = {invalidCode, static_cast<uint8_t>(width), 0};
  const uint32_t end = start + width;
  uint32_t i = first;
  while (i < last) {
    const uint32_t length = b.codeLength[i];
    if (length <= end) {
      if (b.entries != nullptr) {
        const uint32_t here = length - start;
        const HuftEntry entry = entryFor(b, b.symbols[i], here);
        for (uint32_t j = reverseBits(b.code[i] & static_cast<uint32_t>(mask(here)), here);
             j < (1u << width); j += 1u << here)
          b.entries[base + j] = entry;
      }
      ++i;
      continue;
    }
    // Codes that share their first `end` bits continue in one sub-table.
    const uint32_t prefix = b.code[i] >> (length - end);
    uint32_t next = i + 1;
    while (next < last && (b.code[next] >> (b.codeLength[next] - end)) == prefix) ++next;
    const uint32_t longest = b.codeLength[next - 1];
    uint32_t sub = std::min(length - end, b.rootWidth);
    int64_t left = (int64_t{1} << sub) - countOfLength(b, i, next, end + sub);
    while (left > 0 && end + sub < longest && sub < b.rootWidth) {
      ++sub;
      left = left * 2 - countOfLength(b, i, next, end + sub);
    }
    // A valid stream must never need bits past its final end-of-block code.
    if (b.endOfBlockLength != 0 && end + sub > b.endOfBlockLength && holdsEndOfBlock(b, i, next))
      sub = b.endOfBlockLength - end;
    const uint32_t subBase = b.used;
    layTable(b, i, next, end, sub);
    if (b.entries != nullptr)
      b.entries[base + reverseBits(prefix & static_cast<uint32_t>(mask(width)), width)] = {
          static_cast<uint8_t>(literal + sub), static_cast<uint8_t>(width),
          static_cast<uint16_t>(subBase)};
    i = next;
  }
}

}  // namespace

int buildHuffmanTable(const uint8_t* lengths, uint32_t count, uint32_t simpleCount,
                      const uint16_t* bases, const uint8_t* extraBits, HuftEntry** table,
                      uint32_t* width) {
  *table = nullptr;
  if (count > maxSymbols) return inflateBadBlock;
  uint32_t counts[16] = {};
  for (uint32_t i = 0; i < count; ++i) {
    if (lengths[i] > 15) return inflateBadBlock;
    ++counts[lengths[i]];
  }
  if (counts[0] == count) {
    *width = 0;
    return inflateOk;
  }
  uint32_t shortest = 1, longest = 15;
  while (counts[shortest] == 0) ++shortest;
  while (counts[longest] == 0) --longest;
  uint32_t w = std::clamp(*width, shortest, longest);

  int32_t left = 1;
  for (uint32_t length = 1; length <= 15; ++length) {
    left = left * 2 - static_cast<int32_t>(counts[length]);
    if (left < 0) return inflateBadBlock;
  }
  const bool incomplete = left > 0;

  static TableBuilder b;
  b.lengths = lengths;
  b.simpleCount = simpleCount;
  b.bases = bases;
  b.extraBits = extraBits;
  b.endOfBlockLength = (count > 256 && simpleCount > 256) ? lengths[256] : 0;
  if (b.endOfBlockLength != 0 && w > b.endOfBlockLength) w = b.endOfBlockLength;
  b.rootWidth = w;

  // Canonical codes, assigned in order of length, then symbol.
  uint32_t nextCode[16] = {};
  uint32_t offsets[16] = {};
  for (uint32_t length = 1, c = 0, o = 0; length <= 15; ++length) {
    c = (c + (length > 1 ? counts[length - 1] : 0)) << 1;
    nextCode[length] = c;
    offsets[length] = o;
    o += counts[length];
  }
  b.codeCount = count - counts[0];
  for (uint32_t symbol = 0; symbol < count; ++symbol) {
    const uint32_t length = lengths[symbol];
    if (length == 0) continue;
    const uint32_t at = offsets[length]++;
    b.symbols[at] = static_cast<uint16_t>(symbol);
    b.codeLength[at] = static_cast<uint8_t>(length);
    b.code[at] = nextCode[length]++;
  }

  // Measure, then fill one block that holds the leading link entry and every
  // table; links name their sub-table by its index from the first level.
  b.entries = nullptr;
  b.used = 0;
  layTable(b, 0, b.codeCount, 0, w);
  if (b.used > 0xFFFF) return inflateNoMemory;
  auto* block = static_cast<HuftEntry*>(std::malloc((b.used + 1) * sizeof(HuftEntry)));
  if (block == nullptr) return inflateNoMemory;
  block[0] = {0, 0, 0};
  b.entries = block + 1;
  b.used = 0;
  layTable(b, 0, b.codeCount, 0, w);

  *table = block + 1;
  *width = w;
  return (incomplete && longest != 1) ? inflateBadData : inflateOk;
}

void freeHuffmanTable(HuftEntry* table) {
  if (table != nullptr) std::free(table - 1);
}

namespace {

// ---- Bit input and window output ----------------------------------------

// Takes bytes until at least n bits are held; past inputEnd zero bytes are
// counted as padding.
inline void need(InflateState& s, uint32_t n) {
  while (s.bitCount < n) {
    if (s.input < s.inputEnd) {
      s.bitBuffer |= uint64_t{*s.input++} << s.bitCount;
    } else {
      s.bitBuffer &= mask(s.bitCount);
      ++s.paddingBytes;
    }
    s.bitCount += 8;
  }
}

// Drops n bits; false when one of them was padding.
inline bool drop(InflateState& s, uint32_t n) {
  s.bitBuffer >>= n;
  s.bitCount -= n;
  return s.bitCount >= s.paddingBytes * 8;
}

inline uint32_t peek(const InflateState& s, uint32_t n) {
  return static_cast<uint32_t>(s.bitBuffer & mask(n));
}

int flushWindow(uint32_t count) {
  InflateState& s = inflateState;
  const size_t room = static_cast<size_t>(s.outputEnd - s.output);
  if (count > room) {
    if (room > 0) std::memcpy(s.output, s.window, room);
    s.output += room;
    return inflateOutputOverflow;
  }
  if (count > 0) std::memcpy(s.output, s.window, count);
  s.output += count;
  if (count == inflateWindowSize) s.windowWrapped = true;
  return inflateOk;
}

// Flushes the window when it is full and starts it again.
inline int flushIfFull(InflateState& s) {
  if (s.windowPosition != inflateWindowSize) return inflateOk;
  if (int r = flushWindow(inflateWindowSize)) return r;
  s.windowPosition = 0;
  return inflateOk;
}

// Decodes one symbol one byte at a time; op 99 or a padding bit fails.
int decodeSlow(InflateState& s, const HuftEntry* root, uint32_t width, HuftEntry& entry) {
  need(s, width);
  entry = root[peek(s, width)];
  while (entry.operation > literal) {
    if (entry.operation == invalidCode)
      return s.paddingBytes ? inflateInputOverrun : inflateBadData;
    if (!drop(s, entry.bits)) return inflateInputOverrun;
    const uint32_t bits = entry.operation - literal;
    need(s, bits);
    entry = root[entry.value + peek(s, bits)];
  }
  if (!drop(s, entry.bits)) return inflateInputOverrun;
  return inflateOk;
}

// Copies a back-reference in pieces that stay inside the window, each with
// the result of a forward byte-by-byte copy, flushing when the window fills.
int copyMatch(InflateState& s, uint32_t distance, uint32_t length) {
  if (distance > s.windowPosition && !s.windowWrapped) return inflateBadData;
  uint8_t* window = s.window;
  uint32_t from = (s.windowPosition - distance) & windowMask;
  while (length > 0) {
    const uint32_t piece =
        std::min({length, inflateWindowSize - from, inflateWindowSize - s.windowPosition});
    uint8_t* to = window + s.windowPosition;
    const uint8_t* source = window + from;
    if (source < to && static_cast<uint32_t>(to - source) < piece) {
      for (uint32_t i = 0; i < piece; ++i) to[i] = source[i];
    } else {
      std::memmove(to, source, piece);
    }
    s.windowPosition += piece;
    from = (from + piece) & windowMask;
    length -= piece;
    if (int r = flushIfFull(s)) return r;
  }
  return inflateOk;
}

inline void copy8(uint8_t* to, const uint8_t* from) {
  uint64_t v;
  std::memcpy(&v, from, 8);
  std::memcpy(to, &v, 8);
}

inline void copy4(uint8_t* to, const uint8_t* from) {
  uint32_t v;
  std::memcpy(&v, from, 4);
  std::memcpy(to, &v, 4);
}

// A back-reference that lies wholly inside the window before `to`, copied
// with the result of a forward byte-by-byte copy and without writing past
// to + length (the bytes beyond are still history).
inline void copyBack(uint8_t* to, uint32_t distance, uint32_t length) {
  const uint8_t* from = to - distance;
  if (distance >= 8) {
    // Each 8-byte piece reads only bytes that are already final.
    if (length >= 8) {
      uint32_t i = 0;
      for (; i + 8 <= length; i += 8) copy8(to + i, from + i);
      if (i < length) copy8(to + length - 8, from + length - 8);
    } else if (length >= 4) {
      copy4(to, from);
      copy4(to + length - 4, from + length - 4);
    } else {
      for (uint32_t i = 0; i < length; ++i) to[i] = from[i];
    }
  } else if (distance == 1) {
    std::memset(to, *from, length);
  } else {
    for (uint32_t i = 0; i < length; ++i) to[i] = from[i];
  }
}

inline uint64_t load64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, sizeof v);
  return v;  // little-endian host
}

// Decodes literal/length and distance codes until the end of the block.
int inflateCodes(const HuftEntry* literals, const HuftEntry* distances, uint32_t literalWidth,
                 uint32_t distanceWidth) {
  InflateState& s = inflateState;
  for (;;) {
    // Fast path: eight input bytes and a whole longest match of window room
    // at hand, so neither bounds nor flushes need checking per step.
    const uint8_t* in = s.input;
    uint64_t bits = s.bitBuffer;
    uint32_t count = s.bitCount;
    uint8_t* const window = s.window;
    uint32_t position = s.windowPosition;
    const uint64_t literalMask = mask(literalWidth);
    const uint64_t distanceMask = mask(distanceWidth);
    // Locals, since every byte stored to the window may alias the state.
    const uint8_t* const inputEnd = s.paddingBytes == 0 ? s.inputEnd : in;
    int result = -1;
    while (inputEnd - in >= 8 && position <= inflateWindowSize - longestMatch) {
      bits |= load64(in) << count;
      in += (63 - count) >> 3;
      count |= 56;
      HuftEntry e = literals[bits & literalMask];
      while (e.operation > literal) {
        if (e.operation == invalidCode) return inflateBadData;
        bits >>= e.bits;
        count -= e.bits;
        e = literals[e.value + (bits & mask(e.operation - literal))];
      }
      bits >>= e.bits;
      count -= e.bits;
      if (e.operation == literal) {
        window[position++] = static_cast<uint8_t>(e.value);
        continue;
      }
      if (e.operation == endOfBlock) {
        result = inflateOk;
        break;
      }
      const uint32_t length = e.value + static_cast<uint32_t>(bits & mask(e.operation));
      bits >>= e.operation;
      count -= e.operation;
      if (distances == nullptr) return inflateBadData;
      e = distances[bits & distanceMask];
      while (e.operation > literal) {
        if (e.operation == invalidCode) return inflateBadData;
        bits >>= e.bits;
        count -= e.bits;
        e = distances[e.value + (bits & mask(e.operation - literal))];
      }
      bits >>= e.bits;
      count -= e.bits;
      const uint32_t distance = e.value + static_cast<uint32_t>(bits & mask(e.operation));
      bits >>= e.operation;
      count -= e.operation;
      if (distance <= position) {
        copyBack(window + position, distance, length);
        position += length;
      } else {
        s.windowPosition = position;
        if (int r = copyMatch(s, distance, length)) return r;
        position = s.windowPosition;
      }
    }
    // Give back whole bytes fetched ahead, so the slow path below and the
    // caller see the cursor just past the last bit used.
    const uint32_t ahead = count >> 3;
    s.input = in - ahead;
    s.bitCount = count & 7;
    s.bitBuffer = bits & mask(s.bitCount);
    s.windowPosition = position;
    if (int r = flushIfFull(s)) return r;  // a match of the fast path may have filled it
    if (result == inflateOk) return inflateOk;

    // Slow path: one code, byte by byte, with flushes.
    HuftEntry e;
    if (int r = decodeSlow(s, literals, literalWidth, e)) return r;
    if (e.operation == literal) {
      s.window[s.windowPosition++] = static_cast<uint8_t>(e.value);
      if (int r = flushIfFull(s)) return r;
      continue;
    }
    if (e.operation == endOfBlock) return inflateOk;
    need(s, e.operation);
    const uint32_t length = e.value + peek(s, e.operation);
    if (!drop(s, e.operation)) return inflateInputOverrun;
    if (distances == nullptr) return inflateBadData;
    if (int r = decodeSlow(s, distances, distanceWidth, e)) return r;
    need(s, e.operation);
    const uint32_t distance = e.value + peek(s, e.operation);
    if (!drop(s, e.operation)) return inflateInputOverrun;
    if (int r = copyMatch(s, distance, length)) return r;
  }
}

int inflateStored() {
  InflateState& s = inflateState;
  if (!drop(s, s.bitCount & 7)) return inflateInputOverrun;
  need(s, 16);
  const uint32_t length = peek(s, 16);
  if (!drop(s, 16)) return inflateInputOverrun;
  need(s, 16);
  if (peek(s, 16) != (~length & 0xFFFF))
    return s.paddingBytes ? inflateInputOverrun : inflateBadData;
  if (!drop(s, 16)) return inflateInputOverrun;
  uint32_t left = length;
  // Whole bytes still held come first, then straight from the input.
  while (left > 0 && s.bitCount >= 8) {
    s.window[s.windowPosition++] = static_cast<uint8_t>(s.bitBuffer);
    if (!drop(s, 8)) return inflateInputOverrun;
    --left;
    if (int r = flushIfFull(s)) return r;
  }
  s.bitBuffer &= mask(s.bitCount);
  if (left > static_cast<size_t>(s.inputEnd - s.input)) return inflateInputOverrun;
  while (left > 0) {
    const uint32_t piece = std::min(left, inflateWindowSize - s.windowPosition);
    std::memcpy(s.window + s.windowPosition, s.input, piece);
    s.input += piece;
    s.windowPosition += piece;
    left -= piece;
    if (int r = flushIfFull(s)) return r;
  }
  return inflateOk;
}

int inflateFixed() {
  InflateState& s = inflateState;
  if (s.fixedLiteralTable == nullptr) {
    uint8_t lengths[288];
    std::fill(lengths, lengths + 144, 8);
    std::fill(lengths + 144, lengths + 256, 9);
    std::fill(lengths + 256, lengths + 280, 7);
    std::fill(lengths + 280, lengths + 288, 8);
    HuftEntry* literals = nullptr;
    uint32_t literalWidth = fixedLiteralWidthRequest;
    if (int r = buildHuffmanTable(lengths, 288, 257, lengthBases, lengthExtraBits, &literals,
                                  &literalWidth)) {
      freeHuffmanTable(literals);
      return r;
    }
    std::fill(lengths, lengths + 30, 5);
    HuftEntry* distances = nullptr;
    uint32_t distanceWidth = fixedDistanceWidthRequest;
    int r = buildHuffmanTable(lengths, 30, 0, distanceBases, distanceExtraBits, &distances,
                              &distanceWidth);
    if (r > inflateBadData) {
      freeHuffmanTable(literals);
      return r;
    }
    s.fixedLiteralTable = literals;
    s.fixedLiteralWidth = literalWidth;
    s.fixedDistanceTable = distances;
    s.fixedDistanceWidth = distanceWidth;
  }
  int r = inflateCodes(s.fixedLiteralTable, s.fixedDistanceTable, s.fixedLiteralWidth,
                       s.fixedDistanceWidth);
  return r == inflateOk ? inflateOk : (r == inflateBadBlock ? inflateBadData : r);
}

void logLine(const char* text) {
  if (FILE* log = logFile()) std::fputs(text, log);
}

int inflateDynamic() {
  InflateState& s = inflateState;
  need(s, 14);
  const uint32_t literalCount = 257 + peek(s, 5);
  if (!drop(s, 5)) return inflateInputOverrun;
  const uint32_t distanceCount = 1 + peek(s, 5);
  if (!drop(s, 5)) return inflateInputOverrun;
  const uint32_t codeLengthCount = 4 + peek(s, 4);
  if (!drop(s, 4)) return inflateInputOverrun;

  uint8_t lengths[288 + 32] = {};
  for (uint32_t i = 0; i < codeLengthCount; ++i) {
    need(s, 3);
    lengths[codeLengthOrder[i]] = static_cast<uint8_t>(peek(s, 3));
    if (!drop(s, 3)) return inflateInputOverrun;
  }
  HuftEntry* codeLengths = nullptr;
  uint32_t codeLengthBits = codeLengthWidth;
  int r = buildHuffmanTable(lengths, 19, 19, nullptr, nullptr, &codeLengths, &codeLengthBits);
  if (r == inflateOk && codeLengthBits == 0) r = inflateBadData;
  if (r != inflateOk) {
    freeHuffmanTable(codeLengths);
    return r;
  }

  const uint32_t total = literalCount + distanceCount;
  uint32_t previous = 0;
  for (uint32_t i = 0; i < total;) {
    HuftEntry e;
    if ((r = decodeSlow(s, codeLengths, codeLengthBits, e)) != inflateOk) break;
    const uint32_t symbol = e.value;
    if (symbol < 16) {
      lengths[i++] = static_cast<uint8_t>(symbol);
      previous = symbol;
      continue;
    }
    // 16: repeat the previous length 3-6 times; 17, 18: runs of zeros.
    const uint32_t extra = symbol == 16 ? 2 : (symbol == 17 ? 3 : 7);
    const uint32_t base = symbol == 18 ? 11 : 3;
    need(s, extra);
    const uint32_t repeat = base + peek(s, extra);
    if (!drop(s, extra)) {
      r = inflateInputOverrun;
      break;
    }
    if (symbol != 16) previous = 0;
    if (i + repeat > total) {
      r = inflateBadData;
      break;
    }
    for (uint32_t k = 0; k < repeat; ++k) lengths[i++] = static_cast<uint8_t>(previous);
  }
  freeHuffmanTable(codeLengths);
  if (r != inflateOk) return r;

  HuftEntry* literals = nullptr;
  uint32_t literalWidth = dynamicLiteralWidth;
  r = buildHuffmanTable(lengths, literalCount, 257, lengthBases, lengthExtraBits, &literals,
                        &literalWidth);
  if (r == inflateOk && literalWidth == 0) r = inflateBadData;
  if (r != inflateOk) {
    if (r == inflateBadData) logLine("(incomplete l-tree)  ");
    freeHuffmanTable(literals);
    return r;
  }
  HuftEntry* distances = nullptr;
  uint32_t distanceWidth = dynamicDistanceWidth;
  r = buildHuffmanTable(lengths + literalCount, distanceCount, 0, distanceBases, distanceExtraBits,
                        &distances, &distanceWidth);
  if (distanceWidth == 0 && literalCount > 257) {
    logLine("(incomplete d-tree)  ");
    freeHuffmanTable(literals);
    freeHuffmanTable(distances);
    return inflateBadData;
  }
  if (r > inflateBadData) {
    freeHuffmanTable(literals);
    freeHuffmanTable(distances);
    return r;
  }
  r = inflateCodes(literals, distances, literalWidth, distanceWidth);
  freeHuffmanTable(literals);
  freeHuffmanTable(distances);
  return r == inflateOk ? inflateOk : (r == inflateBadBlock ? inflateBadData : r);
}

int inflateBlock(bool& last) {
  InflateState& s = inflateState;
  need(s, 3);
  last = (s.bitBuffer & 1) != 0;
  const uint32_t type = static_cast<uint32_t>(s.bitBuffer >> 1) & 3;
  if (!drop(s, 3)) return inflateInputOverrun;
  switch (type) {
    case 0:
      return inflateStored();
    case 1:
      return inflateFixed();
    case 2:
      return inflateDynamic();
    default:
      return inflateBadBlock;
  }
}

}  // namespace

int inflate() {
  InflateState& s = inflateState;
  s.windowPosition = 0;
  s.bitBuffer = 0;
  s.bitCount = 0;
  s.paddingBytes = 0;
  s.windowWrapped = false;
  bool last = false;
  do {
    if (int r = inflateBlock(last)) return r;
  } while (!last);
  if (int r = flushWindow(s.windowPosition)) return r;
  // Whole bytes still held were fetched for nothing: give them back.
  s.input -= (s.bitCount - s.paddingBytes * 8) / 8;
  return inflateOk;
}
