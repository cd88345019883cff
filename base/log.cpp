// The log stream and the accounting of labelled allocations.
//
// The accounting keeps its totals in 64 bits and prints sizes unsigned, so
// a report never shows a negative or wrapped size.
#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "base/base.h"

namespace {

struct AllocationRecord {
  void* block;
  const char* label;  // not copied: callers pass string literals
  uint32_t size;
};

struct LogState {
  FILE* logStream = nullptr;
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
  va_list arguments;
  va_start(arguments, format);
  vfprintf(state.logStream, format, arguments);
  va_end(arguments);
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
