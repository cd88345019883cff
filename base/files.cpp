// File access every part of the program shares: only regular files are
// opened (a FIFO, a device or a directory would block a read or never end
// it), files are replaced whole or not at all, names read from files must
// not leave their directory, and the CRC-32 tells whether what was read is
// what was written.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
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

bool replaceFile(const char* path, const std::function<bool(FILE*)>& write, std::string& reason) {
  if (path == nullptr || *path == '\0') {
    reason = strerror(ENOENT);
    return false;
  }
  std::string target = path;
  char resolved[PATH_MAX];
  struct stat status;
  if (lstat(path, &status) == 0 && S_ISLNK(status.st_mode) && realpath(path, resolved) != nullptr)
    target = resolved;
  const bool exists = stat(target.c_str(), &status) == 0;
  if (exists && !S_ISREG(status.st_mode)) {
    reason = openFailureReason(notRegularFile);
    return false;
  }
  std::string temporary = target + ".XXXXXX";
  const int fd = mkstemp(temporary.data());
  if (fd < 0) {
    reason = strerror(errno);
    return false;
  }
  // The new file gets the old one's permissions, or those a new file gets.
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, exists ? status.st_mode & 07777 : 0666 & ~mask);
  FILE* file = fdopen(fd, "w");
  errno = 0;
  bool ok =
      file != nullptr && write(file) && ferror(file) == 0 && fflush(file) == 0 && fsync(fd) == 0;
  int error = errno;
  const int closed = file != nullptr ? fclose(file) : close(fd);
  if (ok && closed != 0) ok = false, error = errno;
  if (ok && rename(temporary.c_str(), target.c_str()) != 0) ok = false, error = errno;
  if (!ok) {
    unlink(temporary.c_str());
    reason = strerror(error != 0 ? error : EIO);
  }
  return ok;
}

bool isPlainFileName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of(std::string("/\\\0", 3)) == std::string::npos;
}

namespace {

// The reflected CRC-32 of zip archives (polynomial 0xEDB88320). Short pieces
// and the ends of long ones go a byte at a time through a 256-entry table;
// long pieces are folded 64 bytes at a time with carry-less multiplication
// where the processor has it, as a ROM set's CRCs are checked on every load.
constexpr uint32_t crcPolynomial = 0xEDB88320u;

struct Crc32Table {
  uint32_t entries[256];
  constexpr Crc32Table() : entries() {
    for (uint32_t n = 0; n < 256; n++) {
      uint32_t c = n;
      for (int k = 0; k < 8; k++) c = (c & 1) ? crcPolynomial ^ (c >> 1) : c >> 1;
      entries[n] = c;
    }
  }
};
constexpr Crc32Table crc32Table;

// The register without the inversions before and after.
uint32_t crcBytes(uint32_t state, const uint8_t* data, size_t size) {
  for (size_t i = 0; i < size; i++)
    state = crc32Table.entries[(state ^ data[i]) & 0xff] ^ (state >> 8);
  return state;
}

#if defined(__x86_64__)
// x^n mod P, bit-reversed into the upper half of 64 bits: bit i of such a
// value stands for x^(63 - i), as bit i of data loaded little-endian stands
// for the i-th bit of the message.
constexpr uint64_t reflectedPower(uint32_t n) {
  uint32_t r = 0x80000000u;  // x^0, as bit i of the register stands for x^(31 - i)
  for (uint32_t i = 0; i < n; i++) r = (r & 1) ? (r >> 1) ^ crcPolynomial : r >> 1;
  return uint64_t{r} << 32;
}

// A 128-bit piece A followed by d bits of message is A_high x^(d+64) +
// A_low x^d; each half times (x^(d+64) mod P) or (x^d mod P) is congruent and
// fits 96 bits. The product of reflected operands stands one power higher,
// hence the powers taken one lower.
constexpr uint64_t fold512[2] = {reflectedPower(512 + 64 - 1), reflectedPower(512 - 1)};
constexpr uint64_t fold128[2] = {reflectedPower(128 + 64 - 1), reflectedPower(128 - 1)};

__attribute__((target("pclmul,sse2"))) __m128i fold(__m128i a, __m128i k, __m128i next) {
  return _mm_xor_si128(
      _mm_xor_si128(_mm_clmulepi64_si128(a, k, 0x00), _mm_clmulepi64_si128(a, k, 0x11)), next);
}

__m128i load(const uint8_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// The register after size bytes, size a multiple of 16 and at least 64: the
// register goes into the first bytes, four lanes fold 64 bytes at a time,
// the lanes fold into one, and its 16 bytes through the table from a zero
// register give the remainder of the whole.
__attribute__((target("pclmul,sse2"))) uint32_t crcFolded(uint32_t state, const uint8_t* data,
                                                          size_t size) {
  const __m128i k512 =
      _mm_set_epi64x(static_cast<long long>(fold512[1]), static_cast<long long>(fold512[0]));
  const __m128i k128 =
      _mm_set_epi64x(static_cast<long long>(fold128[1]), static_cast<long long>(fold128[0]));
  __m128i x0 = _mm_xor_si128(load(data), _mm_cvtsi32_si128(static_cast<int>(state)));
  __m128i x1 = load(data + 16), x2 = load(data + 32), x3 = load(data + 48);
  size_t at = 64;
  for (; at + 64 <= size; at += 64) {
    x0 = fold(x0, k512, load(data + at));
    x1 = fold(x1, k512, load(data + at + 16));
    x2 = fold(x2, k512, load(data + at + 32));
    x3 = fold(x3, k512, load(data + at + 48));
  }
  __m128i x = fold(fold(fold(x0, k128, x1), k128, x2), k128, x3);
  for (; at < size; at += 16) x = fold(x, k128, load(data + at));
  alignas(16) uint8_t last[16];
  _mm_store_si128(reinterpret_cast<__m128i*>(last), x);
  return crcBytes(0, last, sizeof last);
}

// Before the first use the answer is false and the table serves.
bool processorCanFold() {
  __builtin_cpu_init();  // may run before the runtime's own initialisation
  return __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse2");
}
const bool canFold = processorCanFold();
#endif

}  // namespace

uint32_t crc32(const uint8_t* data, size_t size, uint32_t crc) {
  uint32_t state = ~crc;
#if defined(__x86_64__)
  if (canFold && size >= 64) {
    const size_t folded = size & ~size_t{15};
    state = crcFolded(state, data, folded);
    data += folded;
    size -= folded;
  }
#endif
  return ~crcBytes(state, data, size);
}
