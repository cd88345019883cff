// Reader of the single-instruction test-vector files: one processor state
// before and after one instruction, the memory it touches and its length in
// clock cycles.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace vectors {

struct State {
  uint32_t d[8];
  uint32_t a[7];
  uint32_t usp, ssp, sr, pc;
  uint32_t prefetch[2];
  std::vector<std::pair<uint32_t, uint16_t>> ram;  // address, word (high byte at address)
};

struct Transaction {
  uint8_t kind;  // 0 idle, 1 write, 2 read, 3 read-modify-write, 4/5 address error
  uint32_t cycles, fc, address, data, uds, lds;
};

struct Test {
  std::string name;
  std::string group;  // the instruction group, second word of the name
  State initial, final;
  uint32_t cycles;
  std::vector<Transaction> transactions;
};

namespace detail {

constexpr uint32_t kFileMagic = 0x1A3F5D71;
constexpr uint32_t kTestMagic = 0xABC12367;
constexpr uint32_t kNameMagic = 0x89ABCDEF;
constexpr uint32_t kStateMagic = 0x01234567;
constexpr uint32_t kTransactionsMagic = 0x456789AB;

struct Reader {
  const std::vector<uint8_t>& bytes;
  size_t pos;
  size_t end;
  bool ok = true;

  uint32_t u32() {
    if (!ok || end < 4 || pos > end - 4) {
      ok = false;
      return 0;
    }
    uint32_t v = uint32_t(bytes[pos]) | uint32_t(bytes[pos + 1]) << 8 |
                 uint32_t(bytes[pos + 2]) << 16 | uint32_t(bytes[pos + 3]) << 24;
    pos += 4;
    return v;
  }
  uint16_t u16() {
    if (!ok || end < 2 || pos > end - 2) {
      ok = false;
      return 0;
    }
    uint16_t v = uint16_t(bytes[pos] | bytes[pos + 1] << 8);
    pos += 2;
    return v;
  }
  uint8_t u8() {
    if (!ok || pos >= end) {
      ok = false;
      return 0;
    }
    return bytes[pos++];
  }
  // A record that starts with its own byte count: returns its end.
  size_t record(uint32_t magic) {
    const size_t start = pos;
    const uint32_t count = u32();
    if (u32() != magic || count < 8 || count > end - start) ok = false;
    return ok ? start + count : start;
  }
};

inline bool readState(Reader& r, State& s) {
  const size_t stateEnd = r.record(kStateMagic);
  if (!r.ok) return false;
  for (uint32_t& v : s.d) v = r.u32();
  for (uint32_t& v : s.a) v = r.u32();
  s.usp = r.u32();
  s.ssp = r.u32();
  s.sr = r.u32();
  s.pc = r.u32();
  s.prefetch[0] = r.u32();
  s.prefetch[1] = r.u32();
  const uint32_t count = r.u32();
  if (!r.ok || count > (stateEnd - r.pos) / 6) return false;
  s.ram.clear();
  for (uint32_t i = 0; i < count; ++i) {
    const uint32_t address = r.u32();
    const uint16_t word = r.u16();
    s.ram.emplace_back(address, word);
  }
  if (!r.ok || r.pos != stateEnd) return false;
  return true;
}

inline void put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}
inline void put16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(uint8_t(v));
  out.push_back(uint8_t(v >> 8));
}
inline void patch32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + i] = uint8_t(v >> (8 * i));
}

inline void writeState(std::vector<uint8_t>& out, const State& s) {
  const size_t start = out.size();
  put32(out, 0);
  put32(out, kStateMagic);
  for (uint32_t v : s.d) put32(out, v);
  for (uint32_t v : s.a) put32(out, v);
  put32(out, s.usp);
  put32(out, s.ssp);
  put32(out, s.sr);
  put32(out, s.pc);
  put32(out, s.prefetch[0]);
  put32(out, s.prefetch[1]);
  put32(out, uint32_t(s.ram.size()));
  for (auto& [address, word] : s.ram) {
    put32(out, address);
    put16(out, word);
  }
  patch32(out, start, uint32_t(out.size() - start));
}

}  // namespace detail

using namespace detail;

inline bool parse(const std::vector<uint8_t>& bytes, std::vector<Test>& tests, std::string& error) {
  Reader r{bytes, 0, bytes.size()};
  if (r.u32() != kFileMagic) {
    error = "not a test-vector file";
    return false;
  }
  const uint32_t count = r.u32();
  tests.clear();
  for (uint32_t i = 0; i < count; ++i) {
    Test t;
    const size_t testEnd = r.record(kTestMagic);
    if (!r.ok) break;
    const size_t nameEnd = r.record(kNameMagic);
    const uint32_t length = r.u32();
    if (!r.ok || length > nameEnd - r.pos) {
      r.ok = false;
      break;
    }
    t.name.assign(reinterpret_cast<const char*>(bytes.data() + r.pos), length);
    r.pos = nameEnd;
    const size_t space = t.name.find(' ');
    t.group = t.name.substr(space + 1, t.name.find(' ', space + 1) - space - 1);
    if (!readState(r, t.initial) || !readState(r, t.final)) {
      r.ok = false;
      break;
    }
    const size_t transactionsEnd = r.record(kTransactionsMagic);
    t.cycles = r.u32();
    const uint32_t n = r.u32();
    for (uint32_t k = 0; r.ok && k < n && r.pos < transactionsEnd; ++k) {
      Transaction x{};
      x.kind = r.u8();
      x.cycles = r.u32();
      if (x.kind != 0) {
        x.fc = r.u32();
        x.address = r.u32();
        x.data = r.u32();
        x.uds = r.u32();
        x.lds = r.u32();
      }
      t.transactions.push_back(x);
    }
    if (!r.ok || r.pos != transactionsEnd || transactionsEnd != testEnd) {
      r.ok = false;
      break;
    }
    tests.push_back(std::move(t));
  }
  if (!r.ok) {
    error = "malformed or truncated record after test " + std::to_string(tests.size());
    return false;
  }
  return true;
}

inline std::vector<uint8_t> serialize(const std::vector<const Test*>& tests) {
  std::vector<uint8_t> out;
  put32(out, kFileMagic);
  put32(out, uint32_t(tests.size()));
  for (const Test* t : tests) {
    const size_t start = out.size();
    put32(out, 0);
    put32(out, kTestMagic);
    put32(out, uint32_t(12 + t->name.size()));
    put32(out, kNameMagic);
    put32(out, uint32_t(t->name.size()));
    out.insert(out.end(), t->name.begin(), t->name.end());
    writeState(out, t->initial);
    writeState(out, t->final);
    const size_t tx = out.size();
    put32(out, 0);
    put32(out, kTransactionsMagic);
    put32(out, t->cycles);
    put32(out, uint32_t(t->transactions.size()));
    for (const Transaction& x : t->transactions) {
      out.push_back(x.kind);
      put32(out, x.cycles);
      if (x.kind != 0) {
        put32(out, x.fc);
        put32(out, x.address);
        put32(out, x.data);
        put32(out, x.uds);
        put32(out, x.lds);
      }
    }
    patch32(out, tx, uint32_t(out.size() - tx));
    patch32(out, start, uint32_t(out.size() - start));
  }
  return out;
}

inline bool readFile(const std::string& path, std::vector<uint8_t>& bytes) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  bytes.clear();
  uint8_t buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
    bytes.insert(bytes.end(), buffer, buffer + n);
  std::fclose(f);
  return true;
}

}  // namespace vectors
