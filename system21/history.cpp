// The history of a run: snapshots of the whole machine, with the log and the
// access record, taken at frame starts as the run goes. The newest is kept
// whole; each older one as a delta, the bytes where it differs from the one
// after it, so that the oldest can be dropped when the budget is full. An
// earlier point is made again by restoring the nearest snapshot before it
// and running forward to it: runs are deterministic, so the machine, the log
// and the frame on screen come out exactly as they were.
#include <algorithm>
#include <cstring>
#include <ctime>
#include <deque>
#include <string>
#include <vector>

#include "base/base.h"
#include "console/console.h"
#include "system21/control.h"
#include "system21/system21.h"

namespace {

// Snapshots are spaced so that taking them costs about this share of the
// time frames take, and so that going back replays at most about this long.
constexpr double snapshotShare = 0.05;
constexpr double longestReplaySeconds = 0.020;
constexpr int64_t fewestFramesApart = 4, mostFramesApart = 3600;
// A gap between frame starts longer than this was a halt, not a frame.
constexpr double longestFrameSeconds = 0.010;

// Processor time of this thread: what the work took, whatever else the
// machine was doing.
double threadSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

struct Snapshot {
  RunPoint point;
  uint64_t counts[2];          // both processors' instructions
  std::vector<uint8_t> delta;  // this snapshot's bytes where the next one differs
  LogMark log;
  std::shared_ptr<const AccessRecordCopy> accesses;
};

struct HistoryState {
  bool on = false;
  size_t budget = 0;
  std::deque<Snapshot> snapshots;  // oldest first
  std::vector<uint8_t> newest;     // the newest snapshot, whole
  std::vector<uint8_t> scratch;
  size_t deltaBytes = 0;
  bool restartPending = false;
  bool replaying = false;
  // Spacing: what the last snapshot cost and what a frame takes.
  double snapshotSeconds = 0, frameSeconds = 0;
  double lastFrameStart = 0;
  int64_t framesApart = fewestFramesApart;
};
HistoryState history;

// ---- The machine as bytes -------------------------------------------------------
// One layout for the whole run: the frame position, both contexts as they
// stand (their table pointers stay valid while the machine is built), the
// control registers, every RAM area and the frame on screen.
struct Position {
  int64_t frameNumber;
  int32_t slaveRunning, share;
  uint32_t shareStart, unused;
};

size_t screenBytes() {
  return machine.screen != nullptr ? size_t{screenWidth} * screenHeight * 4 : 0;
}

// The pieces of the image in order: where each one lives in the machine.
std::vector<std::span<uint8_t>> pieces(Position& position) {
  std::vector<std::span<uint8_t>> list = {
      {reinterpret_cast<uint8_t*>(&position), sizeof position},
      {reinterpret_cast<uint8_t*>(&machine.cpu1Context), sizeof(CpuContext)},
      {reinterpret_cast<uint8_t*>(&machine.cpu2Context), sizeof(CpuContext)},
      {reinterpret_cast<uint8_t*>(controlRegisters), sizeof controlRegisters},
  };
  for (const MemoryArea& area : memoryAreas()) list.push_back(area.bytes);
  list.push_back({reinterpret_cast<uint8_t*>(machine.screen), screenBytes()});
  return list;
}

void capture(std::vector<uint8_t>& image) {
  Position position{machine.frameNumber, machine.slaveRunning, machine.share, machine.shareStart,
                    0};
  image.clear();
  for (std::span<uint8_t> piece : pieces(position)) {
    image.insert(image.end(), piece.begin(), piece.end());
  }
  image.resize((image.size() + 7) & ~size_t{7}, 0);
}

void apply(const std::vector<uint8_t>& image) {
  Position position{};
  size_t at = 0;
  for (std::span<uint8_t> piece : pieces(position)) {
    if (piece.empty()) continue;
    std::memcpy(piece.data(), image.data() + at, std::min(piece.size(), image.size() - at));
    at += piece.size();
  }
  machine.frameNumber = position.frameNumber;
  machine.slaveRunning = position.slaveRunning;
  machine.share = position.share;
  machine.shareStart = position.shareStart;
}

// ---- Deltas: runs of unchanged and changed 8-byte words ---------------------------
void putCount(std::vector<uint8_t>& out, size_t n) {
  for (; n >= 0x80; n >>= 7) out.push_back(uint8_t(n | 0x80));
  out.push_back(uint8_t(n));
}

size_t getCount(const std::vector<uint8_t>& in, size_t& at) {
  size_t n = 0;
  for (int shift = 0; at < in.size(); shift += 7) {
    const uint8_t b = in[at++];
    n |= size_t(b & 0x7F) << shift;
    if (!(b & 0x80)) break;
  }
  return n;
}

// The words of older where newer differs: applied to newer, gives older.
std::vector<uint8_t> encodeDelta(const std::vector<uint8_t>& older,
                                 const std::vector<uint8_t>& newer) {
  std::vector<uint8_t> out;
  const size_t words = older.size() / 8;
  auto same = [&](size_t w) { return std::memcmp(&older[w * 8], &newer[w * 8], 8) == 0; };
  for (size_t w = 0; w < words;) {
    const size_t from = w;
    while (w < words && same(w)) ++w;
    const size_t changedFrom = w;
    while (w < words && !same(w)) ++w;
    if (w == changedFrom) break;
    putCount(out, changedFrom - from);
    putCount(out, w - changedFrom);
    out.insert(out.end(), older.begin() + long(changedFrom * 8), older.begin() + long(w * 8));
  }
  return out;
}

void applyDelta(const std::vector<uint8_t>& delta, std::vector<uint8_t>& image) {
  size_t at = 0, word = 0;
  while (at < delta.size()) {
    word += getCount(delta, at);
    const size_t bytes = getCount(delta, at) * 8;
    if (word * 8 + bytes > image.size() || at + bytes > delta.size()) return;
    std::memcpy(&image[word * 8], &delta[at], bytes);
    at += bytes;
    word += bytes / 8;
  }
}

// ---- Snapshots --------------------------------------------------------------------
size_t snapshotOverhead(const Snapshot& s) {
  size_t bytes = sizeof s + s.log.pendingLine.size();
  for (const std::string& line : s.log.recentLines) bytes += line.size() + sizeof line;
  return bytes;
}

size_t heldBytes() {
  size_t bytes = history.newest.size() + history.deltaBytes;
  for (const Snapshot& s : history.snapshots) bytes += snapshotOverhead(s);
  return bytes;
}

void takeSnapshot() {
  HistoryState& h = history;
  const double start = threadSeconds();
  capture(h.scratch);
  if (!h.snapshots.empty() && h.scratch.size() == h.newest.size()) {
    h.snapshots.back().delta = encodeDelta(h.newest, h.scratch);
    h.deltaBytes += h.snapshots.back().delta.size();
  } else {
    h.snapshots.clear();  // the layout changed: nothing older can be made again
    h.deltaBytes = 0;
  }
  h.newest.swap(h.scratch);
  Snapshot s;
  s.point = currentPoint();
  s.counts[0] = machine.cpu1Context.instructionCount;
  s.counts[1] = machine.cpu2Context.instructionCount;
  s.log = markLog();
  s.accesses = copyAccessRecord(h.snapshots.empty() ? nullptr : h.snapshots.back().accesses);
  h.snapshots.push_back(std::move(s));
  while (h.snapshots.size() > 1 && heldBytes() > h.budget) {
    h.deltaBytes -= h.snapshots.front().delta.size();
    h.snapshots.pop_front();
  }
  h.snapshotSeconds = threadSeconds() - start;
}

// The snapshot at index made whole in image, from the newest back.
void rebuild(size_t index, std::vector<uint8_t>& image, size_t& builtIndex) {
  HistoryState& h = history;
  if (builtIndex >= h.snapshots.size() || builtIndex < index) {
    image = h.newest;
    builtIndex = h.snapshots.size() - 1;
  }
  for (; builtIndex > index; --builtIndex) applyDelta(h.snapshots[builtIndex - 1].delta, image);
}

void restore(size_t index, const std::vector<uint8_t>& image) {
  const Snapshot& s = history.snapshots[index];
  apply(image);
  rewindLog(s.log);
  restoreAccessRecord(*s.accesses);
}

// The snapshot at index becomes the newest: the run goes on from it.
void keepUpTo(size_t index, std::vector<uint8_t>& image) {
  HistoryState& h = history;
  while (h.snapshots.size() > index + 1) {
    h.snapshots.pop_back();
    h.deltaBytes -= h.snapshots.back().delta.size();
    h.snapshots.back().delta.clear();
  }
  h.newest.swap(image);
}

// The target reached: for a step back the frame is not known beforehand.
bool reached(const RunPoint& target, const RunPoint& at) {
  if (target.frame >= 0) return at == target;
  return at.cpu == target.cpu && at.count == target.count && at.shareEnd == target.shareEnd;
}

// Runs from the restored snapshot to target, no further than limit; hits on
// the way are noted, and frames are drawn when the frame on screen matters.
bool replayTo(const RunPoint& target, const RunPoint& limit, bool draw,
              std::vector<StopEvent>* hits) {
  HistoryState& h = history;
  h.replaying = true;
  setRunTarget(target, true);
  bool found = false;
  for (;;) {
    const RunPoint at = currentPoint();
    if (reached(target, at)) {
      found = true;
      break;
    }
    if (at >= limit) break;
    const int64_t frame = machine.frameNumber;
    continueFrame();
    if (machine.frameNumber != frame && draw) drawFrame();
    if (machine.frameNumber == frame && machine.share != 0 && !reached(target, currentPoint())) {
      break;  // stopped short of a target that is not on the way
    }
  }
  if (hits != nullptr) *hits = takeNotedHits();
  clearRunTarget();
  h.replaying = false;
  return found;
}

void showScreen() {
  if (machine.screen != nullptr) presentFrame(machine.screen);
}

// Goes to the oldest snapshot: the history's start.
TravelResult toHistoryStart(StopEvent& stop) {
  std::vector<uint8_t> image;
  size_t built = ~size_t{0};
  rebuild(0, image, built);
  restore(0, image);
  keepUpTo(0, image);
  setLastStop({});
  stop = {};
  stop.cpu = machine.share != 0 ? machine.share : 1;
  stop.point = currentPoint();
  showScreen();
  return historyBegins;
}

// Travels to a point before the present, from snapshot index, and stops
// there as the run would have on its way.
void travel(size_t index, std::vector<uint8_t>& image, size_t& built, const RunPoint& target,
            const RunPoint& present) {
  rebuild(index, image, built);
  restore(index, image);
  replayTo(target, present, true, nullptr);
  std::vector<uint8_t> kept = image;
  keepUpTo(index, kept);
  showScreen();
}

bool ensureStarted() {
  HistoryState& h = history;
  if (!h.on) return false;
  if (h.restartPending || h.snapshots.empty()) {
    h.restartPending = false;
    takeSnapshot();
  }
  return true;
}

}  // namespace

void startHistory(size_t budgetBytes) {
  stopHistory();
  history.on = budgetBytes > 0;
  history.budget = budgetBytes;
  if (history.on) takeSnapshot();
  history.lastFrameStart = threadSeconds();
}

void stopHistory() {
  history = HistoryState{};
}

bool historyOn() {
  return history.on;
}

void historyMachineChanged() {
  HistoryState& h = history;
  if (!h.on || h.replaying) return;
  h.snapshots.clear();
  h.newest.clear();
  h.deltaBytes = 0;
  h.restartPending = true;
}

void historyBeforeRunning() {
  HistoryState& h = history;
  if (!h.on || h.replaying) return;
  if (h.restartPending) {
    ensureStarted();
    return;
  }
  if (machine.share != 0) return;
  // Frame start: learn what a frame takes (halts left out), and snapshot
  // when enough frames have gone by.
  const double now = threadSeconds();
  const double seconds = now - h.lastFrameStart;
  h.lastFrameStart = now;
  if (seconds < longestFrameSeconds) {
    h.frameSeconds = h.frameSeconds == 0 ? seconds : 0.9 * h.frameSeconds + 0.1 * seconds;
  }
  const Snapshot& last = h.snapshots.back();
  if (machine.frameNumber - last.point.frame < h.framesApart || last.point == currentPoint())
    return;
  takeSnapshot();
  if (h.frameSeconds > 0) {
    const double frames =
        std::min(h.snapshotSeconds / snapshotShare, longestReplaySeconds) / h.frameSeconds;
    h.framesApart = std::clamp<int64_t>(int64_t(frames) + 1, fewestFramesApart, mostFramesApart);
  }
}

TravelResult stepBack(int cpu, StopEvent& stop) {
  if (!ensureStarted()) return historyOff;
  HistoryState& h = history;
  const RunPoint present = currentPoint();
  const uint64_t count = contextOf(cpu).instructionCount;
  // The newest snapshot from which the previous instruction is still ahead.
  size_t index = h.snapshots.size();
  while (index > 0 && count > 0 && h.snapshots[index - 1].counts[cpu - 1] > count - 1) --index;
  if (count == 0 || index == 0) return toHistoryStart(stop);
  --index;
  const RunPoint target{-1, cpu, count - 1, false};
  std::vector<uint8_t> image;
  size_t built = ~size_t{0};
  travel(index, image, built, target, present);
  stop = {};
  stop.kind = stopStep;
  stop.cpu = cpu;
  stop.point = currentPoint();
  return travelled;
}

TravelResult continueBack(StopEvent& stop) {
  if (!ensureStarted()) return historyOff;
  HistoryState& h = history;
  const RunPoint present = currentPoint();
  std::vector<uint8_t> image;
  size_t built = ~size_t{0};
  // Each stretch between two snapshots, newest first, run again with the hits
  // noted; the last hit before the present is where the run goes back to.
  RunPoint end = present;
  for (size_t index = h.snapshots.size(); index-- > 0;) {
    const RunPoint start = h.snapshots[index].point;
    if (start >= present) continue;
    rebuild(index, image, built);
    restore(index, image);
    std::vector<StopEvent> hits;
    replayTo(end, end, false, &hits);
    std::erase_if(hits, [&](const StopEvent& hit) { return hit.point >= present; });
    end = start;
    if (hits.empty()) continue;
    const StopEvent hit = hits.back();
    travel(index, image, built, hit.point, present);
    setLastStop(hit);
    stop = hit;
    return travelled;
  }
  return toHistoryStart(stop);
}

std::string historyText() {
  const HistoryState& h = history;
  if (!h.on) return "history: off (--history-mb 0)\n";
  char text[256];
  const int64_t first = h.snapshots.empty() ? machine.frameNumber : h.snapshots.front().point.frame;
  snprintf(text, sizeof text,
           "history: frames %lld to %lld in %zu snapshots, one every %lld frames (%.2f ms each); "
           "%.1f MB held of a %.1f MB budget\n",
           static_cast<long long>(first), static_cast<long long>(machine.frameNumber),
           h.snapshots.size(), static_cast<long long>(h.framesApart), h.snapshotSeconds * 1e3,
           heldBytes() / 1048576.0, h.budget / 1048576.0);
  return text;
}
