// Reader of the single-instruction 68000 test vectors (the shared
// m68000-vectors set and samples of it): one processor state before and after
// one instruction, the bus transactions between and its length in cycles.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace support {

struct M68kState {
  enum { kUsp = 15, kSsp, kSr, kPc, kOpcode, kExtension };
  uint32_t r[21];  // D0-D7, A0-A6, USP, SSP, SR, PC (past two prefetched words), prefetch
  std::vector<std::pair<uint32_t, uint16_t>> ram;  // even address, word
};
struct M68kAccess {
  uint32_t kind, fc, address, uds;  // kind 1 write, 2 read, 4/5 address error
};
struct M68kVector {
  std::string name, group;  // group: the second word of the name
  M68kState in, out;
  uint32_t cycles;
  std::vector<M68kAccess> bus;
};

// The vectors of a file; fewer than `count`, its header's count, when it is
// damaged, none when it is no vector file.
std::vector<M68kVector> readM68kVectors(const std::string& path, uint32_t& count);

}  // namespace support
