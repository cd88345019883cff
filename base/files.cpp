// File access every reader of the program's input shares: only regular
// files are opened (a FIFO, a device or a directory would block a read or
// never end it), and names read from files must not leave their directory.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
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
    return nullptr;
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  FILE* file = fdopen(fd, forWriting ? "w" : "r");
  if (file == nullptr) close(fd);
  return file;
}

bool isPlainFileName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of(std::string("/\\\0", 3)) == std::string::npos;
}
