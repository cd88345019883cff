// Any bytes as a zip archive: the reader must report a failure or deliver a
// member of the size it states, and leak nothing. The member sought is
// "A.BIN"; the archive goes through a file, as the reader takes a path.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "romfs/romfs.h"

namespace {
const std::string path = "/tmp/sb_zip_fuzzer_" + std::to_string(getpid()) + ".zip";
void removeArchive() {
  std::remove(path.c_str());
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool removedAtExit = std::atexit(removeArchive) == 0;
  (void)removedAtExit;
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  // Its lines are the reader's business; keep the fuzzer's output readable.
  FILE* out = std::freopen("/dev/null", "w", stdout);
  (void)out;
  RomBuffer member;
  uint32_t memberSize = 0;
  const int status = readZipMember(path.c_str(), "a.bin", member, memberSize);
  if (status == 0) {
    if (!member) std::abort();
    volatile uint8_t sum = 0;
    for (uint32_t i = 0; i < memberSize; ++i) sum = sum + member[i];  // every byte readable
  } else if (member) {
    std::abort();
  }
  return 0;
}
