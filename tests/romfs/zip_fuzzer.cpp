// Any bytes as a zip archive (a file; lines to /dev/null): the reader must
// fail, or deliver the member "a.bin" with every byte readable, whole and
// (from the archive kept open) its first 100 bytes at most; no leaks.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "romfs/romfs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = "/tmp/sb_zip_fuzzer_" + std::to_string(getpid()) + ".zip";
  [[maybe_unused]] static const int removed = std::atexit([] { std::remove(path.c_str()); });
  [[maybe_unused]] static FILE* const quiet = std::freopen("/dev/null", "w", stdout);
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  RomBuffer member;
  uint32_t memberSize = 0;
  RomBuffer part;
  uint32_t partSize = 0;
  beginArchiveCache();
  const bool read = readZipMember(path.c_str(), "a.bin", member, memberSize) == 0;
  const bool cut = readZipMember(path.c_str(), "a.bin", part, partSize, 100) == 0;
  endArchiveCache();
  if (read != (member != nullptr) || cut != (part != nullptr) || partSize > 100) std::abort();
  volatile uint8_t sum = 0;
  for (uint32_t i = 0; i < memberSize && member; ++i) sum = sum + member[i];
  for (uint32_t i = 0; i < partSize; ++i) sum = sum + part[i];
  return 0;
}
