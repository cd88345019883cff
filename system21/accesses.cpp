// Unknown accesses: the first of each kind at each address from each PC goes
// to the log as it happens, repeats are only counted, and the run ends with a
// summary of them by address range. Runaway code that writes everywhere or
// polls a hole every instruction thus leaves a log of bounded size.
#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <map>
#include <memory>
#include <unordered_set>

#include "base/base.h"
#include "m68k/cpu.h"
#include "system21/system21.h"

namespace {

// Accesses this close to a range (in bytes) join it, so a loop over an area
// gives one range rather than one per address.
constexpr uint32_t rangeJoinDistance = 16;
constexpr int cpuCount = 2;
// Keys known to be in the log already, looked up before the set: code that
// hits the same few addresses over and over costs no hashing.
constexpr size_t recentKeyCount = 256;
constexpr int kindCount = 4;

struct KindText {
  const char* lineFormat;  // the immediate log line
  const char* name;        // in the summary
};
// Indexed by AccessKind.
constexpr KindText kindTexts[kindCount] = {
    {"system21(cpu%d): unknown byte read at 0x%.6x (PC=0x%.6x)\n", "byte read"},
    {"system21(cpu%d): unknown word read at 0x%.6x (PC=0x%.6x)\n", "word read"},
    {"system21(cpu%d): unknown byte write at 0x%.6x (PC=0x%.6x)\n", "byte write"},
    {"system21(cpu%d): unknown word 0x%.4x write at 0x%.6x (PC=0x%.6x)\n", "word write"},
};

struct AccessRange {
  uint32_t last;  // the range's highest address; the map key is its lowest
  uint64_t count;
  uint32_t firstPc, lastPc;
  int64_t firstFrame;
  uint64_t firstOrder, lastOrder;  // when the first and last access came
};
using RangeMap = std::map<uint32_t, AccessRange>;

struct RangeCursor {
  RangeMap* ranges = nullptr;
  RangeMap::iterator recent;  // the range hit last, or ranges->end()
  uint64_t nextFirst = 0;     // the lowest address of the range after it
};

struct AccessLogState {
  int64_t limit = defaultLogLimit;  // 0: every access is written
  int64_t linesWritten = 0;
  bool limitReached = false;  // an access past the limit came: the notice is written
  uint64_t accessesCounted = 0;
  std::unordered_set<uint64_t> written;  // (cpu, kind, address, PC) already in the log
  uint64_t recentKeys[recentKeyCount];   // a slot holds a key of written, or ~0
  RangeMap ranges[cpuCount][kindCount];
  RangeCursor cursors[cpuCount][kindCount];
  uint64_t lastKey = ~uint64_t{0};  // the access before this one
  uint64_t version = 0;             // changes with every access recorded
};
AccessLogState state;

uint64_t accessKey(int cpu, AccessKind kind, uint32_t address, uint32_t pc) {
  return uint64_t(cpu - 1) << 50 | uint64_t(kind) << 48 | uint64_t(address & 0xffffff) << 24 |
         (pc & 0xffffff);
}

// Whether this access gets its own line. The first distinct access past the
// limit gets the notice instead, after the last line; from then on accesses
// are only counted.
bool takesLine(uint64_t key) {
  if (state.limit == 0) return true;
  if (state.limitReached) return false;
  uint64_t& slot = state.recentKeys[(key ^ key >> 24) % recentKeyCount];
  if (slot == key) return false;
  const bool added = state.written.insert(key).second;
  slot = key;
  if (!added) return false;
  if (state.linesWritten < state.limit) return ++state.linesWritten, true;
  logLine("system21: %" PRId64
          " unknown-access lines written; further accesses are only counted in the summary\n",
          state.limit);
  state.limitReached = true;
  state.written.clear();
  return false;
}

bool near(uint32_t address, uint32_t first, uint32_t last) {
  return address + rangeJoinDistance >= first && address <= last + rangeJoinDistance;
}

// Folds the ranges after it that a grown range now reaches into it.
void joinFollowing(RangeMap& ranges, RangeMap::iterator it) {
  AccessRange& range = it->second;
  for (auto next = std::next(it);
       next != ranges.end() && next->first <= uint64_t{range.last} + rangeJoinDistance;
       next = ranges.erase(next)) {
    const AccessRange& other = next->second;
    range.last = std::max(range.last, other.last);
    range.count += other.count;
    if (other.firstOrder < range.firstOrder) {
      range.firstOrder = other.firstOrder;
      range.firstFrame = other.firstFrame;
      range.firstPc = other.firstPc;
    }
    if (other.lastOrder > range.lastOrder) {
      range.lastOrder = other.lastOrder;
      range.lastPc = other.lastPc;
    }
  }
}

// The range an access joins: an existing one near it, or a new one.
RangeMap::iterator rangeFor(RangeMap& ranges, uint32_t address, uint32_t pc, uint64_t order) {
  auto it = ranges.upper_bound(address);
  if (it != ranges.begin() && near(address, std::prev(it)->first, std::prev(it)->second.last)) {
    return std::prev(it);
  }
  if (it != ranges.end() && near(address, it->first, it->second.last)) {
    // The range grows downwards: it takes its new lowest address as key.
    AccessRange moved = it->second;
    ranges.erase(it);
    return ranges.emplace(address, moved).first;
  }
  return ranges.emplace(address, AccessRange{address, 0, pc, pc, machine.frameNumber, order, order})
      .first;
}

// Adds an access to its range. The range hit last, and how far it may grow
// before it reaches the next one, are kept, so that code hitting one address
// or sweeping upwards through an area costs no search.
void countAccess(RangeCursor& cursor, uint32_t address, uint32_t pc) {
  const uint64_t order = state.accessesCounted++;
  RangeMap& ranges = *cursor.ranges;
  auto it = cursor.recent;
  const bool inRecent = it != ranges.end() && address >= it->first &&
                        uint64_t{address} <= uint64_t{it->second.last} + rangeJoinDistance &&
                        uint64_t{address} + rangeJoinDistance < cursor.nextFirst;
  if (!inRecent) {
    it = rangeFor(ranges, address, pc, order);
    auto next = std::next(it);
    cursor.recent = it;
    cursor.nextFirst = next == ranges.end() ? ~uint64_t{0} : next->first;
  }
  AccessRange& range = it->second;
  range.count++;
  range.lastPc = pc;
  range.lastOrder = order;
  if (address > range.last) {
    range.last = address;
    if (!inRecent) {
      joinFollowing(ranges, it);
      auto next = std::next(it);
      cursor.nextFirst = next == ranges.end() ? ~uint64_t{0} : next->first;
    }
  }
}

// Any access but a repeat of the one before.
[[gnu::noinline]] void recordNewAccess(int cpu, AccessKind kind, uint32_t address, uint32_t data,
                                       uint32_t pc, uint64_t key) {
  state.lastKey = key;
  if (state.cursors[cpu - 1][kind].ranges == nullptr) beginAccessLog(state.limit);  // no build yet
  if (takesLine(key)) {
    if (kind == wordWrite) {
      logLine(kindTexts[kind].lineFormat, cpu, data, address, pc);
    } else {
      logLine(kindTexts[kind].lineFormat, cpu, address, pc);
    }
  }
  countAccess(state.cursors[cpu - 1][kind], address, pc);
}

}  // namespace

void beginAccessLog(int64_t logLimit) {
  state.limit = logLimit < 0 ? defaultLogLimit : logLimit;
  state.linesWritten = 0;
  state.limitReached = false;
  state.accessesCounted = 0;
  state.lastKey = ~uint64_t{0};
  state.written.clear();
  std::fill(std::begin(state.recentKeys), std::end(state.recentKeys), ~uint64_t{0});
  for (int cpu = 0; cpu < cpuCount; cpu++) {
    for (int kind = 0; kind < kindCount; kind++) {
      RangeMap& ranges = state.ranges[cpu][kind];
      ranges.clear();
      state.cursors[cpu][kind] = RangeCursor{&ranges, ranges.end(), 0};
    }
  }
}

void recordUnknownAccess(int cpu, AccessKind kind, uint32_t address, uint32_t data) {
  state.version++;
  const uint32_t pc = cpuReadPc();
  const uint64_t key = accessKey(cpu, kind, address, pc);
  if (key == state.lastKey && state.limit != 0) {
    // The same access as the one before: already logged, and its range is
    // the one hit last.
    AccessRange& range = state.cursors[cpu - 1][kind].recent->second;
    range.count++;
    range.lastOrder = state.accessesCounted++;
    return;
  }
  recordNewAccess(cpu, kind, address, data, pc, key);
}

void logAccessSummary() {
  for (int cpu = 1; cpu <= cpuCount; cpu++) {
    // Every kind's ranges, by address.
    std::multimap<uint32_t, std::pair<int, const AccessRange*>> rows;
    uint64_t total = 0;
    for (int kind = 0; kind < kindCount; kind++) {
      for (const auto& [first, range] : state.ranges[cpu - 1][kind]) {
        rows.emplace(first, std::make_pair(kind, &range));
        total += range.count;
      }
    }
    logLine("system21(cpu%d): %" PRIu64 " unknown accesses in %zu ranges\n", cpu, total,
            rows.size());
    for (const auto& [first, row] : rows) {
      const AccessRange& range = *row.second;
      logLine("system21(cpu%d): 0x%.6x..0x%.6x %s x%" PRIu64
              ", first at PC 0x%.6x in frame %" PRId64 ", last at PC 0x%.6x\n",
              cpu, first, range.last, kindTexts[row.first].name, range.count, range.firstPc,
              range.firstFrame, range.lastPc);
    }
  }
}

// The record as it stands: the state without its cursors, which point into
// the maps and are made again on the way back.
struct AccessRecordCopy {
  AccessLogState state;
};

std::shared_ptr<const AccessRecordCopy> copyAccessRecord(
    const std::shared_ptr<const AccessRecordCopy>& previous) {
  if (previous != nullptr && previous->state.version == state.version) return previous;
  auto copy = std::make_shared<AccessRecordCopy>();
  copy->state.limit = state.limit;
  copy->state.linesWritten = state.linesWritten;
  copy->state.accessesCounted = state.accessesCounted;
  copy->state.written = state.written;
  std::copy(std::begin(state.recentKeys), std::end(state.recentKeys), copy->state.recentKeys);
  for (int cpu = 0; cpu < cpuCount; cpu++) {
    for (int kind = 0; kind < kindCount; kind++) {
      copy->state.ranges[cpu][kind] = state.ranges[cpu][kind];
    }
  }
  copy->state.lastKey = state.lastKey;
  copy->state.version = state.version;
  return copy;
}

void restoreAccessRecord(const AccessRecordCopy& copy) {
  const AccessLogState& from = copy.state;
  state.limit = from.limit;
  state.linesWritten = from.linesWritten;
  state.accessesCounted = from.accessesCounted;
  state.written = from.written;
  std::copy(std::begin(from.recentKeys), std::end(from.recentKeys), state.recentKeys);
  for (int cpu = 0; cpu < cpuCount; cpu++) {
    for (int kind = 0; kind < kindCount; kind++) {
      RangeMap& ranges = state.ranges[cpu][kind];
      ranges = from.ranges[cpu][kind];
      state.cursors[cpu][kind] = RangeCursor{&ranges, ranges.end(), 0};
    }
  }
  // No access is "the one before" now: the next one looks itself up.
  state.lastKey = ~uint64_t{0};
  state.version = from.version;
}
