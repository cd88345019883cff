// The log stream and the accounting of labelled allocations.
//
// The accounting keeps its totals in 64 bits and prints sizes unsigned, so
// a report never shows a negative or wrapped size.
#include <unistd.h>

#include <algorithm>
#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <string>
#include <vector>

#include "base/base.h"

namespace {

struct AllocationRecord {
  void* block;
  const char* label;  // not copied: callers pass string literals
  uint32_t size;
};

// How many of the last lines written through logLine are kept.
constexpr size_t recentLineCount = 32;

struct LogState {
  FILE* logStream = nullptr;
  std::string pendingLine;              // the line being written, up to its newline
  std::deque<std::string> recentLines;  // the last whole lines, oldest first
  uint64_t linesWritten = 0;
  // In allocation order; records are never removed.
  std::vector<AllocationRecord> allocations;
  uint64_t currentTotal = 0;
  uint64_t peakTotal = 0;
};
LogState state;

constexpr int megabyteShift = 20;

}  // namespace

int openLog(const char* path) {
  closeLog();
  if (path == nullptr) return 0;
  state.logStream = fopen(path, "w");
  return state.logStream != nullptr ? 1 : 0;
}

FILE* logFile() {
  return state.logStream;
}

void logLine(const char* format, ...) {
  if (state.logStream == nullptr) return;
  char small[256];
  va_list arguments;
  va_start(arguments, format);
  va_list again;
  va_copy(again, arguments);
  const int length = vsnprintf(small, sizeof small, format, arguments);
  va_end(arguments);
  std::string text;
  if (length >= static_cast<int>(sizeof small)) {
    text.resize(static_cast<size_t>(length) + 1);
    vsnprintf(text.data(), text.size(), format, again);
    text.resize(static_cast<size_t>(length));
  } else if (length > 0) {
    text.assign(small, static_cast<size_t>(length));
  }
  va_end(again);
  fwrite(text.data(), 1, text.size(), state.logStream);
  // Whole lines are kept for those who report what the log last said.
  for (char c : text) {
    if (c != '\n') {
      state.pendingLine.push_back(c);
      continue;
    }
    state.recentLines.push_back(std::move(state.pendingLine));
    state.pendingLine.clear();
    if (state.recentLines.size() > recentLineCount) state.recentLines.pop_front();
    state.linesWritten++;
  }
}

uint64_t logLinesWritten() {
  return state.linesWritten;
}

std::vector<std::string> recentLogLines(size_t count) {
  const size_t first = state.recentLines.size() - std::min(count, state.recentLines.size());
  return std::vector<std::string>(state.recentLines.begin() + static_cast<long>(first),
                                  state.recentLines.end());
}

LogMark markLog() {
  LogMark mark;
  if (state.logStream != nullptr) {
    fflush(state.logStream);
    mark.offset = ftell(state.logStream);
  }
  mark.linesWritten = state.linesWritten;
  mark.pendingLine = state.pendingLine;
  mark.recentLines.assign(state.recentLines.begin(), state.recentLines.end());
  return mark;
}

void rewindLog(const LogMark& mark) {
  if (state.logStream != nullptr && mark.offset >= 0) {
    fflush(state.logStream);
    // What was written after the mark goes; writing goes on from there.
    if (ftruncate(fileno(state.logStream), mark.offset) == 0) {
      fseek(state.logStream, mark.offset, SEEK_SET);
    }
  }
  state.linesWritten = mark.linesWritten;
  state.pendingLine = mark.pendingLine;
  state.recentLines.assign(mark.recentLines.begin(), mark.recentLines.end());
}

void closeLog() {
  if (state.logStream != nullptr) fclose(state.logStream);
  state.logStream = nullptr;
}

void resetAllocationAccounting() {
  state.allocations.clear();
  state.currentTotal = 0;
  state.peakTotal = 0;
}

void* trackedAlloc(uint32_t size, const char* label) {
  // A zero-byte request still yields a distinct block, so it is recorded.
  void* block = malloc(size != 0 ? size : 1);
  if (block == nullptr) return nullptr;
  state.allocations.push_back({block, label != nullptr ? label : "", size});
  state.currentTotal += size;
  if (state.currentTotal > state.peakTotal) state.peakTotal = state.currentTotal;
  return block;
}

void writeMemoryReport(FILE* stream) {
  if (stream == nullptr) return;
  uint64_t total = 0;
  fprintf(stream, "Memory usage:\n");
  for (const AllocationRecord& record : state.allocations) {
    fprintf(stream, "\t%16" PRIu32 " bytes : %s (@ 0x%.8" PRIxPTR ")\n", record.size, record.label,
            reinterpret_cast<uintptr_t>(record.block));
    total += record.size;
  }
  fprintf(stream, "\n\t%16" PRIu64 " bytes total(%" PRIu64 " Mb)\n", total, total >> megabyteShift);
  fprintf(stream, "\n\t%16" PRIu64 " bytes memory peak(%" PRIu64 " Mb)\n", state.peakTotal,
          state.peakTotal >> megabyteShift);
}
