// Map lookup: first match in table order over 24-bit addresses, the page
// index that serves it faster, the slow accesses with their straddling and
// handler rules, and the re-basing of the instruction fetch.
#include <algorithm>
#include <memory>
#include <vector>

#include "m68k/core.h"

namespace m68k {
namespace {

constexpr uint32_t kAddressMask = 0xFFFFFF;
constexpr int kPageShift = 12;
constexpr int kPageCount = 1 << (24 - kPageShift);
// Tables longer than this are searched linearly only.
constexpr size_t kMaxIndexedEntries = 512;
constexpr size_t kMaxCachedIndexes = 32;
constexpr uint64_t kLongestInstruction = 10;  // bytes: opcode and four extension words

template <class Region>
const Region* findRegion(const Region* table, uint32_t a) {
  if (!table) return nullptr;
  for (; table->lowAddress != cpuTableEnd; ++table) {
    if (table->lowAddress <= a && a <= table->highAddress) return table;
  }
  return nullptr;
}

bool sameEntry(const DataRegion& a, const DataRegion& b) {
  return a.lowAddress == b.lowAddress && a.highAddress == b.highAddress && a.handler == b.handler &&
         a.memory == b.memory;
}

// An index stays valid while its table holds the entries it was built from;
// the copy is compared on every use so that a table rebuilt in place is
// never served from a stale index.
struct PageIndex {
  const DataRegion* table = nullptr;
  std::vector<DataRegion> entries;
  std::unique_ptr<uintptr_t[]> pages;
  // Per page, the first entry that touches it (entries.size() for none): no
  // entry before it can hold an address of the page, so a search of a slow
  // page starts there.
  std::unique_ptr<uint16_t[]> firstEntry;
  uint64_t lastUse = 0;
};

std::vector<PageIndex> indexes;
uint64_t useClock = 0;
uintptr_t allSlow[kPageCount];
bool allSlowReady = false;

bool matches(const PageIndex& index, const DataRegion* table) {
  size_t i = 0;
  for (; table[i].lowAddress != cpuTableEnd; ++i) {
    if (i >= index.entries.size() || !sameEntry(table[i], index.entries[i])) return false;
  }
  return i == index.entries.size();
}

// Grows whenever an index is built, so that a copy made from one knows
// whether it is still what the index holds.
uint64_t indexBuilds = 0;

void build(PageIndex& index, const DataRegion* table) {
  ++indexBuilds;
  index.table = table;
  index.entries.clear();
  for (size_t i = 0; table[i].lowAddress != cpuTableEnd; ++i) index.entries.push_back(table[i]);
  if (!index.pages) index.pages = std::make_unique<uintptr_t[]>(kPageCount);
  if (!index.firstEntry) index.firstEntry = std::make_unique<uint16_t[]>(kPageCount);
  for (int p = 0; p < kPageCount; ++p) {
    const uint32_t first = uint32_t(p) << kPageShift;
    const uint32_t last = first + (1u << kPageShift) - 1;
    uintptr_t value = kSlowPage;
    index.firstEntry[p] = static_cast<uint16_t>(index.entries.size());
    for (const DataRegion& e : index.entries) {
      if (e.lowAddress > last || e.highAddress < first) continue;
      index.firstEntry[p] = static_cast<uint16_t>(&e - index.entries.data());
      // The first entry that touches the page: it serves all of it only
      // when it covers all of it.
      if (e.lowAddress <= first && e.highAddress >= last && !e.handler && e.memory &&
          (e.lowAddress & 1) == 0) {
        value = reinterpret_cast<uintptr_t>(e.memory) - e.lowAddress;
      }
      break;
    }
    index.pages[p] = value;
  }
}

// The index of a table; null when it has none (no table, or too long).
const PageIndex* indexFor(const DataRegion* table) {
  if (!table) return nullptr;
  size_t length = 0;
  while (table[length].lowAddress != cpuTableEnd) {
    if (++length > kMaxIndexedEntries) return nullptr;
  }
  ++useClock;
  for (PageIndex& index : indexes) {
    if (index.table == table) {
      if (!matches(index, table)) build(index, table);
      index.lastUse = useClock;
      return &index;
    }
  }
  PageIndex* slot;
  if (indexes.size() < kMaxCachedIndexes) {
    indexes.emplace_back();
    slot = &indexes.back();
  } else {
    slot = &*std::min_element(
        indexes.begin(), indexes.end(),
        [](const PageIndex& a, const PageIndex& b) { return a.lastUse < b.lastUse; });
  }
  build(*slot, table);
  slot->lastUse = useClock;
  return slot;
}

// The first entries of the current tables' pages, beside g.page; null for a
// table without an index.
const uint16_t* firstEntries[4];

// ---- Breakpoints and watchpoints ----
std::vector<uint32_t> breakpoints;  // sorted 24-bit addresses

struct WatchState {
  std::vector<CpuWatch> ranges;
  WatchHandler handler = nullptr;
  uint64_t version = 0;
  // Per kind, the page index in force with the watched pages made slow, so
  // that every access to them reaches the check; rebuilt when the index it
  // was copied from or the ranges change.
  std::unique_ptr<uintptr_t[]> pages[4];
  const uintptr_t* copiedFrom[4] = {};
  uint64_t copiedVersion[4] = {};
  uint64_t copiedBuilds[4] = {};
};
WatchState watch;

bool watchesKind(const CpuWatch& w, int kind) {
  const bool write = kind == kWriteByte || kind == kWriteWord;
  return (w.kinds & (write ? cpuWatchWrite : cpuWatchRead)) != 0;
}

// The page index of a kind with the pages of its watched ranges made slow.
const uintptr_t* watchedPages(int kind, const uintptr_t* plain) {
  bool any = false;
  for (const CpuWatch& w : watch.ranges) any = any || watchesKind(w, kind);
  if (!any) return plain;
  std::unique_ptr<uintptr_t[]>& copy = watch.pages[kind];
  if (copy && watch.copiedFrom[kind] == plain && watch.copiedVersion[kind] == watch.version &&
      watch.copiedBuilds[kind] == indexBuilds) {
    return copy.get();
  }
  if (!copy) copy = std::make_unique<uintptr_t[]>(kPageCount);
  std::copy(plain, plain + kPageCount, copy.get());
  for (const CpuWatch& w : watch.ranges) {
    if (!watchesKind(w, kind)) continue;
    // A word or long that starts on the page before reaches into the range.
    const uint32_t first = (w.first >= 3 ? w.first - 3 : 0) >> kPageShift;
    for (uint32_t p = first; p <= (w.last >> kPageShift); ++p) copy[p] = kSlowPage;
  }
  watch.copiedFrom[kind] = plain;
  watch.copiedVersion[kind] = watch.version;
  watch.copiedBuilds[kind] = indexBuilds;
  return copy.get();
}

void checkWatches(uint32_t a, uint32_t size, bool write, uint32_t data) {
  for (size_t i = 0; i < watch.ranges.size(); ++i) {
    const CpuWatch& w = watch.ranges[i];
    if (!(w.kinds & (write ? cpuWatchWrite : cpuWatchRead))) continue;
    if (a + size - 1 < w.first || a > w.last) continue;
    watch.handler(int32_t(i), a, size, write, data);
  }
}

SB_INLINE uint32_t watchedRead(uint32_t a, uint32_t size, uint32_t data) {
  if (SB_UNLIKELY(!watch.ranges.empty())) checkWatches(a, size, false, data);
  return data;
}
SB_INLINE void watchedWrite(uint32_t a, uint32_t size, uint32_t data) {
  if (SB_UNLIKELY(!watch.ranges.empty())) checkWatches(a, size, true, data);
}

// Where the search for an address in the current table of a kind starts.
const DataRegion* searchFrom(int kind, const DataRegion* table, uint32_t a) {
  const uint16_t* first = firstEntries[kind];
  return first && table ? table + first[a >> kPageShift] : table;
}

uint32_t callRead(const DataRegion* r, uint32_t a) {
  return reinterpret_cast<ReadHandler>(r->handler)(a & kAddressMask, r);
}
void callWrite(const DataRegion* r, uint32_t a, uint32_t v) {
  reinterpret_cast<WriteHandler>(r->handler)(a & kAddressMask, v, r);
}

// Direct memory of an entry, guarded so that no access leaves it: a byte
// whose host position lies outside the entry reads as all ones and is not
// written.
uint8_t* hostByte(const DataRegion* r, uint32_t offset) {
  if (!r->memory || offset > r->highAddress - r->lowAddress) return nullptr;
  return static_cast<uint8_t*>(r->memory) + offset;
}
uint32_t directWord(const DataRegion* r, uint32_t a) {
  const uint32_t off = a - r->lowAddress;
  uint8_t* lo = hostByte(r, off);
  uint8_t* hi = off + 1 > off ? hostByte(r, off + 1) : nullptr;
  return (lo ? *lo : 0xFFu) | ((hi ? *hi : 0xFFu) << 8);
}
void directWriteWord(const DataRegion* r, uint32_t a, uint32_t v) {
  const uint32_t off = a - r->lowAddress;
  if (uint8_t* lo = hostByte(r, off)) *lo = uint8_t(v);
  if (uint8_t* hi = off + 1 > off ? hostByte(r, off + 1) : nullptr) *hi = uint8_t(v >> 8);
}

uint32_t entryWord(const DataRegion* r, uint32_t a) {
  return r->handler ? callRead(r, a) & 0xFFFF : directWord(r, a);
}
void entryWriteWord(const DataRegion* r, uint32_t a, uint32_t v) {
  if (r->handler)
    callWrite(r, a, v & 0xFFFF);
  else
    directWriteWord(r, a, v);
}

}  // namespace

void dropPageIndexes() {
  indexes.clear();
  ++indexBuilds;
  useClock = 0;
  // Nothing points into the dropped indexes until the next refresh.
  std::fill(std::begin(firstEntries), std::end(firstEntries), nullptr);
}

void refreshPageIndexes() {
  if (!allSlowReady) {
    std::fill(std::begin(allSlow), std::end(allSlow), kSlowPage);
    allSlowReady = true;
  }
  const std::pair<int, const DataRegion*> tables[] = {{kReadByte, g.ctx.readByte},
                                                      {kReadWord, g.ctx.readWord},
                                                      {kWriteByte, g.ctx.writeByte},
                                                      {kWriteWord, g.ctx.writeWord}};
  for (const auto& [kind, table] : tables) {
    const PageIndex* index = indexFor(table);
    g.page[kind] = index ? index->pages.get() : allSlow;
    firstEntries[kind] = index ? index->firstEntry.get() : nullptr;
    if (!watch.ranges.empty()) g.page[kind] = watchedPages(kind, g.page[kind]);
  }
}

namespace {

uint32_t plainReadByte(uint32_t a) {
  const DataRegion* r = findRegion(searchFrom(kReadByte, g.ctx.readByte, a), a);
  if (!r) return 0xFF;
  if (r->handler) return callRead(r, a) & 0xFF;
  const uint8_t* p = hostByte(r, (a - r->lowAddress) ^ 1);
  return p ? *p : 0xFF;
}

uint32_t plainReadWord(uint32_t a) {
  const DataRegion* r = findRegion(searchFrom(kReadWord, g.ctx.readWord, a), a);
  if (!r) return 0xFFFF;
  return entryWord(r, a);
}

void plainWriteWord(uint32_t a, uint32_t v) {
  const DataRegion* r = findRegion(searchFrom(kWriteWord, g.ctx.writeWord, a), a);
  if (!r) return;
  entryWriteWord(r, a, v);
}

}  // namespace

uint32_t slowReadByte(uint32_t a) {
  ++g.slowAccesses;
  a &= kAddressMask;
  return watchedRead(a, 1, plainReadByte(a));
}

uint32_t slowReadWord(uint32_t a) {
  ++g.slowAccesses;
  a &= kAddressMask;
  return watchedRead(a, 2, plainReadWord(a));
}

uint32_t slowReadLong(uint32_t a) {
  ++g.slowAccesses;
  a &= kAddressMask;
  const DataRegion* r = findRegion(searchFrom(kReadWord, g.ctx.readWord, a), a);
  uint32_t value = 0xFFFFFFFF;
  if (r) {
    const uint32_t high = entryWord(r, a);
    // The low word straddles the end of the entry: it is an access of its own.
    const uint32_t low =
        a + 2 <= r->highAddress ? entryWord(r, a + 2) : plainReadWord((a + 2) & kAddressMask);
    value = (high << 16) | low;
  }
  return watchedRead(a, 4, value);
}

void slowWriteByte(uint32_t a, uint32_t v) {
  ++g.slowAccesses;
  a &= kAddressMask;
  const DataRegion* r = findRegion(searchFrom(kWriteByte, g.ctx.writeByte, a), a);
  if (r && r->handler) {
    callWrite(r, a, v & 0xFF);
  } else if (r) {
    if (uint8_t* p = hostByte(r, (a - r->lowAddress) ^ 1)) *p = uint8_t(v);
  }
  watchedWrite(a, 1, v & 0xFF);
}

void slowWriteWord(uint32_t a, uint32_t v) {
  ++g.slowAccesses;
  a &= kAddressMask;
  plainWriteWord(a, v);
  watchedWrite(a, 2, v & 0xFFFF);
}

void slowWriteLong(uint32_t a, uint32_t v) {
  ++g.slowAccesses;
  a &= kAddressMask;
  const DataRegion* r = findRegion(searchFrom(kWriteWord, g.ctx.writeWord, a), a);
  if (r) {
    entryWriteWord(r, a, v >> 16);
    if (a + 2 <= r->highAddress)
      entryWriteWord(r, a + 2, v & 0xFFFF);
    else
      plainWriteWord((a + 2) & kAddressMask, v & 0xFFFF);
  }
  watchedWrite(a, 4, v);
}

void closeWindow() {
  g.windowFirst = 0xFFFFFFFF;
  g.windowLast = 0;
  // Far from anything base + 32-bit PC can reach: every fetch goes the slow way.
  g.fetchLo = g.base + (uintptr_t(1) << 40);
  g.fetchSafe = 0;
}

bool rebase(uint32_t pc) {
  const ProgramRegion* r = findRegion(g.ctx.fetch, pc & kAddressMask);
  if (!r) {
    closeWindow();
    g.fetchFailed = true;
    return false;
  }
  const uint32_t top = pc & 0xFF000000;
  g.windowFirst = r->lowAddress | top;
  g.windowLast = r->highAddress | top;
  g.base = uintptr_t(r->offset) - top;
  const uint64_t size = uint64_t(r->highAddress) - r->lowAddress + 1;
  if (size >= kLongestInstruction) {
    g.fetchLo = g.base + g.windowFirst;
    g.fetchSafe = uintptr_t(size - kLongestInstruction);
  } else {
    g.fetchLo = g.base + (uintptr_t(1) << 40);
    g.fetchSafe = 0;
  }
  if (g.breakpointsSet) narrowToBreakpoints(pc);
  return true;
}

bool isBreakpoint(uint32_t address) {
  return std::binary_search(breakpoints.begin(), breakpoints.end(), address);
}

// The fast range takes the starts between the breakpoints on either side of
// the PC (a breakpoint at the PC itself is left out too), within the window.
void narrowToBreakpoints(uint32_t pc) {
  const uint32_t top = pc & 0xFF000000, at = pc & kAddressMask;
  const uint32_t first = g.windowFirst & kAddressMask, last = g.windowLast & kAddressMask;
  if (uint64_t(last) - first + 1 < kLongestInstruction || at < first || at > last) {
    g.fetchLo = g.base + (uintptr_t(1) << 40);
    g.fetchSafe = 0;
    return;
  }
  uint64_t low = first, high = uint64_t(last) + 1 - kLongestInstruction;
  auto above = std::upper_bound(breakpoints.begin(), breakpoints.end(), at);
  if (above != breakpoints.end()) high = std::min<uint64_t>(high, uint64_t(*above) - 1);
  auto atOrBelow = above;
  if (atOrBelow != breakpoints.begin()) {
    --atOrBelow;
    low = std::max<uint64_t>(low, uint64_t(*atOrBelow) + 1);
  }
  if (low > high) {
    g.fetchLo = g.base + (uintptr_t(1) << 40);
    g.fetchSafe = 0;
    return;
  }
  g.fetchLo = g.base + (uint32_t(low) | top);
  g.fetchSafe = uintptr_t(high - low);
}

}  // namespace m68k

using namespace m68k;

void cpuSetBreakpoints(const uint32_t* addresses, int32_t count) {
  breakpoints.clear();
  for (int32_t i = 0; i < count; ++i) breakpoints.push_back(addresses[i] & kAddressMask);
  std::sort(breakpoints.begin(), breakpoints.end());
  breakpoints.erase(std::unique(breakpoints.begin(), breakpoints.end()), breakpoints.end());
  g.breakpointsSet = !breakpoints.empty();
  forgetPollingMisses();
  // The window was made for the old set: the next fetch or jump makes it again.
  closeWindow();
}

void cpuSetWatchpoints(const CpuWatch* ranges, int32_t count, WatchHandler handler) {
  watch.ranges.clear();
  if (handler != nullptr) {
    for (int32_t i = 0; i < count; ++i) {
      CpuWatch w = ranges[i];
      w.first &= kAddressMask;
      w.last &= kAddressMask;
      if (w.first <= w.last) watch.ranges.push_back(w);
    }
  }
  watch.handler = handler;
  watch.version++;
  forgetPollingMisses();  // the next cpuExec makes the watched pages slow
}

const DataRegion* cpuFindRegion(const DataRegion* table, uint32_t address) {
  return findRegion(table, address & kAddressMask);
}

uint8_t* cpuRegionByte(const DataRegion* region, uint32_t address) {
  if (region == nullptr || region->handler != nullptr) return nullptr;
  return hostByte(region, ((address & kAddressMask) - region->lowAddress) ^ 1);
}
