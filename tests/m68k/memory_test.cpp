// Memory maps: first match over 24-bit addresses, all ones where nothing
// answers, straddling longs, the byte-lane rule, handlers' addresses, and
// the page index against a plain linear search over random tables.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <vector>

#include "rig.h"

namespace {


// Runs one instruction with A0 (and D0) set; returns D0 afterwards.
uint32_t runWith(Rig& rig, std::initializer_list<uint16_t> code, uint32_t a0, uint32_t d0 = 0) {
  rig.load(code);
  rig.context.areg[0] = a0;
  rig.context.dreg[0] = d0;
  rig.push();
  rig.run(1);
  return rig.context.dreg[0];
}

constexpr uint16_t kMoveByteIn = 0x1010;   // MOVE.B (A0),D0
constexpr uint16_t kMoveWordIn = 0x3010;   // MOVE.W (A0),D0
constexpr uint16_t kMoveLongIn = 0x2010;   // MOVE.L (A0),D0
constexpr uint16_t kMoveByteOut = 0x1080;  // MOVE.B D0,(A0)
constexpr uint16_t kMoveWordOut = 0x3080;  // MOVE.W D0,(A0)
constexpr uint16_t kMoveLongOut = 0x2080;  // MOVE.L D0,(A0)

TEST(Maps, EmptyTableReadsAllOnesAndDropsWrites) {
  Rig rig;
  DataRegion none[] = {rig.read[2]};
  rig.context.readByte = rig.context.superReadByte = none;
  rig.context.readWord = rig.context.superReadWord = none;
  EXPECT_EQ(runWith(rig, {kMoveByteIn}, Rig::kRam), 0xFFu);
  EXPECT_EQ(runWith(rig, {kMoveWordIn}, Rig::kRam), 0xFFFFu);
  EXPECT_EQ(runWith(rig, {kMoveLongIn}, Rig::kRam), 0xFFFFFFFFu);
  Rig quiet;
  quiet.context.writeByte = quiet.context.superWriteByte = none;
  quiet.context.writeWord = quiet.context.superWriteWord = none;
  runWith(quiet, {kMoveLongOut}, Rig::kRam, 0x12345678);
  runWith(quiet, {kMoveByteOut}, Rig::kRam + 5, 0x12345678);
  EXPECT_EQ(quiet.longAt(Rig::kRam), 0u);
  EXPECT_EQ(quiet.longAt(Rig::kRam + 4), 0u);
}

TEST(Maps, FirstOfOverlappingEntriesServes) {
  Rig rig;
  std::vector<uint16_t> other(0x800, 0xBEEF);
  DataRegion overlap[] = {{Rig::kRam + 0x100, Rig::kRam + 0x1FF, nullptr, other.data()},
                          rig.read[0],
                          rig.read[1],
                          rig.read[2]};
  rig.context.readWord = rig.context.superReadWord = overlap;
  rig.set(Rig::kRam + 0x100, {0x1234});
  EXPECT_EQ(runWith(rig, {kMoveWordIn}, Rig::kRam + 0x100), 0xBEEFu);
  EXPECT_EQ(runWith(rig, {kMoveWordIn}, Rig::kRam + 0x200), 0u);
}

TEST(Maps, LongStraddlingTheEndOfAnEntry) {
  Rig rig;
  std::vector<uint16_t> low(8, 0);
  low[7] = 0xAAAA;  // the word at highAddress - 1
  DataRegion straddle[] = {{0x300000, 0x30000F, nullptr, low.data()}, rig.read[1], rig.read[2]};
  rig.context.readWord = rig.context.superReadWord = straddle;
  EXPECT_EQ(runWith(rig, {kMoveLongIn}, 0x30000E), 0xAAAAFFFFu);  // nothing at 0x300010
  DataRegion next[] = {straddle[0], {0x300010, 0x30001F, nullptr, rig.ram.data()}, rig.read[2]};
  rig.context.readWord = rig.context.superReadWord = next;
  rig.set(Rig::kRam, {0x5555});
  EXPECT_EQ(runWith(rig, {kMoveLongIn}, 0x30000E), 0xAAAA5555u);
}

TEST(Maps, ByteLanes) {
  Rig rig;
  runWith(rig, {kMoveByteOut}, Rig::kRam + 0x10, 0xAB);
  EXPECT_EQ(rig.ram[8], 0xAB00);  // even address: high byte of the host word
  runWith(rig, {kMoveByteOut}, Rig::kRam + 0x13, 0xCD);
  EXPECT_EQ(rig.ram[9], 0x00CD);  // odd address: low byte
  rig.ram[10] = 0x1234;
  EXPECT_EQ(runWith(rig, {kMoveByteIn}, Rig::kRam + 0x14), 0x12u);
  EXPECT_EQ(runWith(rig, {kMoveByteIn}, Rig::kRam + 0x15), 0x34u);
  runWith(rig, {kMoveLongOut}, Rig::kRam + 0x20, 0x11223344);
  EXPECT_EQ(rig.ram[16], 0x1122);
  EXPECT_EQ(rig.ram[17], 0x3344);
}

std::vector<uint32_t> handlerAddresses;
uint32_t recordRead(uint32_t address, const DataRegion*) {
  handlerAddresses.push_back(address);
  return 0x10000 | (address & 0xFFFF);  // bits above 16 are dropped
}
void recordWrite(uint32_t address, uint32_t data, const DataRegion*) {
  handlerAddresses.push_back(address);
  handlerAddresses.push_back(data);
}

TEST(Maps, HandlersSeeTwentyFourBitAddressesAndLongsAsTwoWords) {
  Rig rig;
  DataRegion reads[] = {{0x400000, 0x4FFFFF, reinterpret_cast<void*>(&recordRead), nullptr},
                        rig.read[0],
                        rig.read[1],
                        rig.read[2]};
  DataRegion writes[] = {{0x400000, 0x4FFFFF, reinterpret_cast<void*>(&recordWrite), nullptr},
                         rig.write[0],
                         rig.write[1]};
  rig.context.readWord = rig.context.superReadWord = reads;
  rig.context.readByte = rig.context.superReadByte = reads;
  rig.context.writeWord = rig.context.superWriteWord = writes;
  handlerAddresses.clear();
  EXPECT_EQ(runWith(rig, {kMoveLongIn}, 0xFF401000), 0x10001002u);
  EXPECT_EQ(handlerAddresses, (std::vector<uint32_t>{0x401000, 0x401002}));
  handlerAddresses.clear();
  EXPECT_EQ(runWith(rig, {kMoveByteIn}, 0x12401235), 0x35u);
  EXPECT_EQ(handlerAddresses, (std::vector<uint32_t>{0x401235}));
  handlerAddresses.clear();
  runWith(rig, {kMoveLongOut}, 0x80402000, 0xCAFEF00D);
  EXPECT_EQ(handlerAddresses, (std::vector<uint32_t>{0x402000, 0xCAFE, 0x402002, 0xF00D}));
}

// An entry whose host memory is exactly its size: a word or long at its last
// byte must not reach past it (the sanitizer build checks the host side).
TEST(Maps, AccessesNeverLeaveTheEntry) {
  Rig rig;
  auto exact = std::make_unique<uint8_t[]>(16);
  for (int i = 0; i < 16; ++i) exact[i] = uint8_t(0x10 + i);
  DataRegion reads[] = {{0x500000, 0x50000F, nullptr, exact.get()}, rig.read[0], rig.read[2]};
  DataRegion writes[] = {{0x500000, 0x50000F, nullptr, exact.get()}, rig.write[1]};
  rig.context.readWord = rig.context.superReadWord = reads;
  rig.context.readByte = rig.context.superReadByte = reads;
  rig.context.writeWord = rig.context.superWriteWord = writes;
  rig.context.writeByte = rig.context.superWriteByte = writes;
  // The word at the last (odd) address: its second host byte is outside.
  EXPECT_EQ(runWith(rig, {kMoveWordIn}, 0x50000F), 0xFF1Fu);
  EXPECT_EQ(runWith(rig, {kMoveLongIn}, 0x50000D), 0x1E1DFF1Fu);
  runWith(rig, {kMoveWordOut}, 0x50000F, 0xAABB);
  EXPECT_EQ(exact[15], 0xBB);
  runWith(rig, {kMoveLongOut}, 0x50000D, 0x11223344);
  EXPECT_EQ(exact[13], 0x22);
  EXPECT_EQ(exact[14], 0x11);
  EXPECT_EQ(exact[15], 0x44);
}

// ---- the page index against a linear search ----

struct Model {
  struct Entry {
    uint32_t low, high;
    bool handler;
    std::vector<uint8_t> memory;
  };
  std::vector<Entry> entries;

  const Entry* find(uint32_t a) const {
    a &= 0xFFFFFF;
    for (const Entry& e : entries) {
      if (e.low <= a && a <= e.high) return &e;
    }
    return nullptr;
  }
  static uint32_t handlerValue(uint32_t a) { return (a * 2654435761u) >> 8; }
  uint32_t hostByte(const Entry& e, uint32_t offset) const {
    return offset < e.memory.size() ? e.memory[offset] : 0xFF;
  }
  uint32_t word(const Entry& e, uint32_t a) const {
    if (e.handler) return handlerValue(a) & 0xFFFF;
    const uint32_t off = a - e.low;
    return hostByte(e, off) | hostByte(e, off + 1) << 8;
  }
  uint32_t readByte(uint32_t a) const {
    a &= 0xFFFFFF;
    const Entry* e = find(a);
    if (!e) return 0xFF;
    if (e->handler) return handlerValue(a) & 0xFF;
    return hostByte(*e, (a - e->low) ^ 1);
  }
  uint32_t readWord(uint32_t a) const {
    a &= 0xFFFFFF;
    const Entry* e = find(a);
    return e ? word(*e, a) : 0xFFFF;
  }
  uint32_t readLong(uint32_t a) const {
    a &= 0xFFFFFF;
    const Entry* e = find(a);
    if (!e) return 0xFFFFFFFF;
    const uint32_t high = word(*e, a);
    const uint32_t low = a + 2 <= e->high ? word(*e, a + 2) : readWord(a + 2);
    return high << 16 | low;
  }
};

uint32_t modelHandler(uint32_t address, const DataRegion*) {
  return Model::handlerValue(address);
}

TEST(Maps, PageIndexGivesTheLinearFirstMatch) {
  std::mt19937 random(12345);
  Rig rig;
  for (int round = 0; round < 40; ++round) {
    Model model;
    std::vector<DataRegion> table;
    const int count = 1 + int(random() % 6);
    for (int i = 0; i < count; ++i) {
      Model::Entry e;
      // Around a few pages, with page-aligned and ragged edges.
      const uint32_t base = 0x600000 + (random() % 4) * 0x1000;
      e.low = base + ((random() & 1) ? 0 : (random() % 0x1000) & ~1u);
      e.high = (e.low + ((random() & 1) ? 0x1FFF : random() % 0x2000)) | 1;
      e.handler = random() % 4 == 0;
      if (!e.handler) {
        e.memory.resize(e.high - e.low + 1);
        for (uint8_t& b : e.memory) b = uint8_t(random());
      }
      model.entries.push_back(std::move(e));
    }
    for (Model::Entry& e : model.entries) {
      table.push_back({e.low, e.high, e.handler ? reinterpret_cast<void*>(&modelHandler) : nullptr,
                       e.handler ? nullptr : e.memory.data()});
    }
    table.push_back(rig.read[0]);
    table.push_back(rig.read[2]);
    rig.context.readByte = rig.context.superReadByte = table.data();
    rig.context.readWord = rig.context.superReadWord = table.data();
    for (int k = 0; k < 200; ++k) {
      const uint32_t a = 0x5FF000 + random() % 0x6000;
      ASSERT_EQ(runWith(rig, {kMoveByteIn}, a) & 0xFF, model.readByte(a)) << std::hex << a;
      ASSERT_EQ(runWith(rig, {kMoveWordIn}, a) & 0xFFFF, model.readWord(a)) << std::hex << a;
      ASSERT_EQ(runWith(rig, {kMoveLongIn}, a), model.readLong(a)) << std::hex << a;
    }
  }
}

TEST(Maps, TableRebuiltInPlaceIsNotServedFromAStaleIndex) {
  Rig rig;
  std::vector<uint16_t> first(0x800, 0x1111), second(0x800, 0x2222);
  DataRegion table[] = {{0x700000, 0x700FFF, nullptr, first.data()}, rig.read[0], rig.read[2]};
  rig.context.readWord = rig.context.superReadWord = table;
  EXPECT_EQ(runWith(rig, {kMoveWordIn}, 0x700010), 0x1111u);
  table[0].memory = second.data();  // no cpuInit in between
  EXPECT_EQ(runWith(rig, {kMoveWordIn}, 0x700010), 0x2222u);
}

}  // namespace
