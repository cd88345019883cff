// ROM file access: the Deflate decoder, the zip archive reader and the ROM
// lookup across the four configured ROM directories.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

// Heap buffers handed from the lookup to the loaders; released with free().
struct FreeDeleter {
  void operator()(void* block) const { std::free(block); }
};
using RomBuffer = std::unique_ptr<uint8_t[], FreeDeleter>;

// ---- Deflate decoder (raw RFC 1951 streams) -----------------------------
// Result codes of inflate and of its parts.
enum InflateResult : int {
  inflateOk = 0,
  inflateBadData = 1,         // invalid or incomplete codes, bad stored length
  inflateBadBlock = 2,        // block type 3, over-subscribed code lengths
  inflateNoMemory = 3,        // a table could not be allocated
  inflateInputOverrun = 4,    // the stream needs bytes past the end of its data
  inflateOutputOverflow = 5,  // the stream gives more bytes than the output holds
};

constexpr uint32_t inflateWindowSize = 32768;

// One entry of a decoding table. operation: 0-13 extra bits of a length or
// distance base, 15 end of block, 16 literal, 17-32 link to a sub-table of
// (operation - 16) bits found value entries further on, 99 invalid code.
struct HuftEntry {
  uint8_t operation;
  uint8_t bits;
  uint16_t value;
};

// The decoder's single state. Before inflate the caller sets input and
// inputEnd (the compressed data), output and outputEnd (room for the
// result) and window (inflateWindowSize bytes). On return input stands just
// past the byte holding the last bit used and output just past the last byte
// produced.
struct InflateState {
  const uint8_t* input = nullptr;
  const uint8_t* inputEnd = nullptr;
  uint8_t* output = nullptr;
  uint8_t* outputEnd = nullptr;
  uint8_t* window = nullptr;
  uint32_t windowPosition = 0;
  uint64_t bitBuffer = 0;  // fetched bits not yet used, the next one in bit 0
  uint32_t bitCount = 0;
  // Zero bytes supplied past inputEnd to complete a lookup; a stream that
  // actually uses one of their bits has run past its data.
  uint32_t paddingBytes = 0;
  // Whether the window has been flushed once in this stream, so that every
  // distance up to 32768 refers to bytes of the stream.
  bool windowWrapped = false;
  // The fixed code's tables, built by the first fixed block and kept for the
  // life of the program.
  HuftEntry* fixedLiteralTable = nullptr;
  HuftEntry* fixedDistanceTable = nullptr;
  uint32_t fixedLiteralWidth = 0;
  uint32_t fixedDistanceWidth = 0;
};
extern InflateState inflateState;

int inflate();

// Builds the tables of one code from its code lengths; *table receives the
// first-level table (null when every length is 0) and *width goes in as the
// requested first-level width and comes out as the width used. Returns 0, 1
// (incomplete code set), 2 (over-subscribed) or 3 (out of memory).
int buildHuffmanTable(const uint8_t* lengths, uint32_t count, uint32_t simpleCount,
                      const uint16_t* bases, const uint8_t* extraBits, HuftEntry** table,
                      uint32_t* width);
void freeHuffmanTable(HuftEntry* table);

// ---- Zip archive reader --------------------------------------------------
// Far above any board's ROM: no region, and so no read of a member, is larger.
constexpr uint32_t largestRegion = 0x10000000;

// Reads the member called memberName (ASCII case ignored, also found by the
// last component of a name stored in folders) out of the archive, at most
// wanted bytes of it (and never more than largestRegion): a member that
// claims more is inflated only that far. Returns 0 and sets data and size
// (the bytes delivered) on success; otherwise prints what went wrong on
// standard output and leaves data and size untouched. A member read whole
// must match its CRC-32.
int readZipMember(const char* archivePath, const char* memberName, RomBuffer& data, uint32_t& size,
                  uint32_t wanted = largestRegion);
// Between these calls (a game load) each archive is opened and its central
// directory read once, for every read of its members; outside them each read
// opens the archive anew.
void beginArchiveCache();
void endArchiveCache();

// ---- ROM lookup ----------------------------------------------------------
// The ROM-set name that archive names are formed from ("<dir><set>.zip").
void setRomSetDirectory(const char* name);
const char* romSetDirectory();
// A second archive searched in each directory after the set's own; empty
// (the default) searches none.
void setParentSetDirectory(const char* name);

// The named image with at least length bytes, or null after telling the user
// that it cannot be loaded and where it was sought. Only a regular file is
// read, and a name that is not a plain file name is refused with a log line.
RomBuffer loadRomFile(const char* name, uint32_t length);
// Copies length bytes of the image to destination; 1, or 0 when not found.
int loadRom(const char* name, uint32_t length, uint8_t* destination);
// Interleaves two images of length bytes into 2 * length bytes: byte i of the
// second at 2i, byte i of the first at 2i + 1. 1, or 0 when either is missing.
int loadRomEvenOdd(const char* first, const char* second, uint32_t length, uint8_t* destination);
