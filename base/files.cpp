// File access every reader of the program's input shares: only regular
// files are opened (a FIFO, a device or a directory would block a read or
// never end it), names read from files must not leave their directory, and
// the CRC-32 tells whether what was read is what was written.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "base/base.h"

FILE* openRegularFile(const char* path, bool forWriting) {
  if (path == nullptr) return nullptr;
  // Non-blocking, so that opening a FIFO returns at once; checked after
  // opening, so that what is read is what was checked.
  const int flags = forWriting ? O_WRONLY | O_CREAT | O_TRUNC : O_RDONLY;
  const int fd = open(path, flags | O_NONBLOCK | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;
  struct stat status;
  if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    close(fd);
    errno = notRegularFile;
    return nullptr;
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  FILE* file = fdopen(fd, forWriting ? "w" : "r");
  if (file == nullptr) close(fd);
  return file;
}

const char* openFailureReason(int error) {
  return error == notRegularFile ? "not a regular file" : strerror(error);
}

bool isPlainFileName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of(std::string("/\\\0", 3)) == std::string::npos;
}

namespace {

// The reflected CRC-32 of zip archives (polynomial 0xEDB88320), a byte at a
// time from a 256-entry table.
struct Crc32Table {
  uint32_t entries[256];
  constexpr Crc32Table() : entries() {
    for (uint32_t n = 0; n < 256; n++) {
      uint32_t c = n;
      for (int k = 0; k < 8; k++) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      entries[n] = c;
    }
  }
};
constexpr Crc32Table crc32Table;

}  // namespace

uint32_t crc32(const uint8_t* data, size_t size, uint32_t crc) {
  crc = ~crc;
  for (size_t i = 0; i < size; i++) crc = crc32Table.entries[(crc ^ data[i]) & 0xff] ^ (crc >> 8);
  return ~crc;
}
