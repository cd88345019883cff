#include "tests/support/m68k_vectors.h"

#include "tests/support/files.h"

namespace support {
namespace {

constexpr uint32_t kFileMagic = 0x1A3F5D71;

// Little-endian fields; records start with their byte count and a magic.
struct Cursor {
  const Bytes& b;
  size_t at = 0;
  bool bad = false;
  uint32_t get(size_t n) {
    uint32_t v = 0;
    if (at + n > b.size()) bad = true;
    for (size_t i = 0; i < n && !bad; ++i) v |= uint32_t(b[at++]) << 8 * i;
    return v;
  }
  uint32_t skip(size_t n) { return at += n, 0; }
};

void readState(Cursor& c, M68kState& s) {
  c.skip(8);
  for (uint32_t& v : s.r) v = c.get(4);
  for (uint32_t n = c.get(4); n > 0 && !c.bad; --n) {
    const uint32_t address = c.get(4) & 0xFFFFFE;
    s.ram.emplace_back(address, uint16_t(c.get(2)));
  }
}

}  // namespace

std::vector<M68kVector> readM68kVectors(const std::string& path, uint32_t& count) {
  const Bytes bytes = readBytes(path);
  Cursor c{bytes};
  std::vector<M68kVector> out;
  count = 0;
  if (c.get(4) != kFileMagic) return out;
  count = c.get(4);
  for (uint32_t i = 0; i < count && !c.bad; ++i) {
    M68kVector v;
    c.skip(8);  // the vector's record, then the name's
    const size_t nameEnd = c.at + c.get(4);
    c.skip(4);
    const size_t length = c.get(4);
    if (c.bad || c.at + length > bytes.size()) break;
    v.name.assign(bytes.begin() + c.at, bytes.begin() + c.at + length);
    const size_t space = v.name.find(' ');
    v.group = v.name.substr(space + 1, v.name.find(' ', space + 1) - space - 1);
    c.at = nameEnd;
    readState(c, v.in);
    readState(c, v.out);
    c.skip(8);
    v.cycles = c.get(4);
    for (uint32_t n = c.get(4); n > 0 && !c.bad; --n) {
      const uint32_t kind = c.get(1);
      uint32_t f[6] = {};  // cycles, then fc, address, data, upper and lower strobes
      for (int k = 0; k < (kind ? 6 : 1); ++k) f[k] = c.get(4);
      v.bus.push_back({kind, f[1], f[2], f[4]});
    }
    if (!c.bad) out.push_back(std::move(v));
  }
  return out;
}

}  // namespace support
