// Zip archive reader: one named member out of a single-disk archive, stored
// or deflated, read into a new buffer as far as the caller asks. Between
// beginArchiveCache and endArchiveCache each archive is opened and its
// central directory read once; otherwise nothing is kept between calls.
//
// Every offset and length read from the archive is checked against the
// archive's size before it is used; the central directory is loaded whole;
// member names of any length are compared; a local header that leaves its
// sizes to a data descriptor (flag bit 3) is read with the central
// directory's sizes; the local header must carry the directory entry's name,
// and a member read whole must have the directory's CRC-32.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "base/base.h"
#include "romfs/romfs.h"

namespace {

constexpr uint32_t tailSize = 4096;  // how far from the end the end record is sought
constexpr uint32_t endRecordSize = 22;
constexpr uint32_t entrySize = 46;
constexpr uint32_t localHeaderSize = 30;
constexpr uint8_t endSignature[4] = {0x50, 0x4B, 0x05, 0x06};
constexpr uint16_t methodStored = 0;
constexpr uint16_t methodDeflated = 8;
constexpr uint8_t newestVersion = 20;       // 2.0: Deflate, folders
constexpr uint16_t flagDataDescriptor = 8;  // sizes follow the data
// Deflate gives at most 258 bytes for two bits.
constexpr uint64_t deflateMostBytesPerByte = 1032;

struct ZipEndRecord {
  uint16_t diskNumber, directoryDisk, entriesOnDisk, totalEntries;
  uint32_t directorySize, directoryOffset;
  uint16_t commentLength;
};

struct ZipEntry {
  uint8_t versionNeeded, osByte;
  uint16_t flags, method;
  uint32_t crc, compressedSize, uncompressedSize;
  uint16_t nameLength, extraLength, commentLength, startDisk;
  uint32_t localHeaderOffset;
};

struct ZipLocalHeader {
  uint16_t flags, method;
  uint32_t compressedSize, uncompressedSize;
  uint16_t nameLength, extraLength;
};

uint16_t get16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | p[1] << 8);
}
uint32_t get32(const uint8_t* p) {
  return get16(p) | static_cast<uint32_t>(get16(p + 2)) << 16;
}

ZipEndRecord parseEndRecord(const uint8_t* p) {
  return {get16(p + 4),  get16(p + 6),  get16(p + 8), get16(p + 10),
          get32(p + 12), get32(p + 16), get16(p + 20)};
}

ZipEntry parseEntry(const uint8_t* p) {
  return {p[6],          p[7],          get16(p + 8),  get16(p + 10), get32(p + 16), get32(p + 20),
          get32(p + 24), get16(p + 28), get16(p + 30), get16(p + 32), get16(p + 34), get32(p + 42)};
}

ZipLocalHeader parseLocalHeader(const uint8_t* p) {
  return {get16(p + 6), get16(p + 8), get32(p + 18), get32(p + 22), get16(p + 26), get16(p + 28)};
}

std::string upperCase(const char* text, size_t length) {
  std::string result(text, length);
  for (char& c : result) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return result;
}

// Same length: equal. Otherwise the last "/"-separated piece of the entry
// name must equal the sought name; a folder entry ("/" last) never matches.
bool namesMatch(const std::string& entry, const std::string& sought) {
  if (entry.size() == sought.size()) return entry == sought;
  if (entry.empty() || entry.back() == '/') return false;
  const size_t slash = entry.rfind('/');
  return slash != std::string::npos && entry.compare(slash + 1, std::string::npos, sought) == 0;
}

// The line that ends the message about a damaged archive.
int corrupted(int status) {
  std::printf("Corrupted zip file\n");
  return status;
}

void methodUnsupported(const char* sought, uint16_t method) {
  std::printf("Error in zipfile: compression method for file %s unsupported.\n", sought);
  std::printf("Method: $%04x  must be $0000 (Stored) or $0008 (Deflated)\n", method);
}

bool entryAccepted(const ZipEntry& e, const ZipEndRecord& end, const std::string& sought) {
  bool accepted = true;
  if (e.method != methodStored && e.method != methodDeflated) {
    methodUnsupported(sought.c_str(), e.method);
    accepted = false;
  }
  if (e.versionNeeded > newestVersion) {
    std::printf("Error in zipfile: version for file %s too new.\n", sought.c_str());
    std::printf("Version: $%02x must be $14 or less\n", e.versionNeeded);
    accepted = false;
  }
  if (e.osByte != 0) {
    std::printf("Error in zipfile: OS for file %s not supported.\n", sought.c_str());
    std::printf("OS: $%02x must be $00\n", e.osByte);
    accepted = false;
  }
  if (e.startDisk != end.diskNumber) {
    std::printf("Error in zipfile: zipfile cannot span disks\n");
    accepted = false;
  }
  return accepted;
}

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<FILE, FileCloser>;

RomBuffer allocate(uint64_t size) {
  return RomBuffer(static_cast<uint8_t*>(std::malloc(size > 0 ? size : 1)));
}

// An open archive with its end record and central directory.
struct Archive {
  std::string path;
  File file;
  uint64_t length = 0;
  ZipEndRecord end{};
  RomBuffer directory;
};

// The archives kept open between beginArchiveCache and endArchiveCache.
struct ArchiveCache {
  bool active = false;
  std::vector<std::unique_ptr<Archive>> archives;
};
ArchiveCache archiveCache;

// One read of one member, carried from step to step. Each step returns 0 to
// go on, or the status the read ends with after it has printed why.
struct ZipRead {
  Archive* archive = nullptr;
  std::string sought;     // the member's name in capitals
  std::string entryName;  // as the directory has it
  uint32_t wanted = 0;    // the most bytes to deliver
  ZipEntry entry{};
  ZipLocalHeader local{};
  RomBuffer compressed;
};

// Only a regular file is opened: a FIFO or a device would block the reads or
// never end them.
int openArchive(Archive& z) {
  const char* archivePath = z.path.c_str();
  z.file.reset(openRegularFile(archivePath, false));
  if (!z.file) {
    std::printf("Could not open zipfile %s\n", archivePath);
    return -1;
  }
  if (std::fseek(z.file.get(), 0, SEEK_END) != 0) {
    std::printf("Error in zipfile.\n");
    return -1;
  }
  const long lengthOrError = std::ftell(z.file.get());
  if (lengthOrError < 0) {
    std::printf("Error in zipfile.\n");
    return -1;
  }
  z.length = static_cast<uint64_t>(lengthOrError);
  return 0;
}

// The end record: the signature nearest the end within the last 4096 bytes.
int findEndRecord(Archive& z) {
  FILE* f = z.file.get();
  const uint32_t tail = static_cast<uint32_t>(z.length < tailSize ? z.length : tailSize);
  uint8_t scratch[tailSize];
  if (int r = std::fseek(f, static_cast<long>(z.length - tail), SEEK_SET)) {
    std::printf("Error in zipfile: fseek failed\n");
    return corrupted(r);
  }
  if (std::fread(scratch, 1, tail, f) != tail) {
    std::printf("Error in zipfile: couldn't read %ld bytes from end of file\n",
                static_cast<long>(tail));
    return corrupted(-1);
  }
  int64_t at = static_cast<int64_t>(tail) - endRecordSize;
  while (at >= 0 && std::memcmp(scratch + at, endSignature, 4) != 0) --at;
  if (at < 0) {
    std::printf("Error in zipfile: couldn't find 'end of central dir' signature\n");
    return corrupted(1);
  }
  z.end = parseEndRecord(scratch + at);
  if (z.end.diskNumber != z.end.directoryDisk || z.end.entriesOnDisk != z.end.totalEntries ||
      z.end.totalEntries < 1) {
    std::printf("Unsupported zipfile: zipfile cannot span disks\n");
    return -1;
  }
  return 0;
}

// The whole central directory.
int readDirectory(Archive& z) {
  const ZipEndRecord& end = z.end;
  if (end.directoryOffset > z.length ||
      std::fseek(z.file.get(), static_cast<long>(end.directoryOffset), SEEK_SET) != 0) {
    std::printf("Error in zipfile: couldn't fseek to start of central directory\n");
    return -1;
  }
  if (uint64_t{end.directoryOffset} + end.directorySize <= z.length)
    z.directory = allocate(end.directorySize);
  if (!z.directory ||
      std::fread(z.directory.get(), 1, end.directorySize, z.file.get()) != end.directorySize) {
    std::printf("Error in zipfile: couldn't read %ld bytes from central directory\n",
                static_cast<long>(end.directorySize));
    return -1;
  }
  return 0;
}

// The first accepted entry of the sought name in the whole central directory;
// none found fails without a line.
int findEntry(ZipRead& z) {
  const ZipEndRecord& end = z.archive->end;
  const uint8_t* dir = z.archive->directory.get();
  uint64_t position = 0;
  for (uint32_t i = 0; i < end.totalEntries; ++i) {
    const uint64_t fixedEnd = position + entrySize;
    if (fixedEnd <= end.directorySize) z.entry = parseEntry(dir + position);
    const uint64_t next =
        fixedEnd + z.entry.nameLength + z.entry.extraLength + z.entry.commentLength;
    if (fixedEnd > end.directorySize || next > end.directorySize) {
      std::printf("Error in zipfile: central directory ends inside entry %u\n", i + 1);
      return corrupted(-1);
    }
    z.entryName.assign(reinterpret_cast<const char*>(dir + fixedEnd), z.entry.nameLength);
    const std::string name = upperCase(z.entryName.data(), z.entryName.size());
    if (namesMatch(name, z.sought) && entryAccepted(z.entry, end, z.sought)) return 0;
    position = next;
  }
  return -1;
}

// The local header gives the method, and the sizes unless a data descriptor
// has them. Its name must be the entry's: an entry that points at another
// member's header would deliver that member.
int readLocalHeader(ZipRead& z) {
  uint8_t header[localHeaderSize];
  FILE* f = z.archive->file.get();
  if (z.entry.localHeaderOffset > z.archive->length ||
      std::fseek(f, static_cast<long>(z.entry.localHeaderOffset), SEEK_SET) != 0) {
    std::printf("Error in zipfile: couldn't fseek to local file header\n");
    return corrupted(-1);
  }
  if (std::fread(header, 1, localHeaderSize, f) != localHeaderSize) {
    std::printf("Error in zipfile: couldn't read %ld bytes from local file header",
                static_cast<long>(localHeaderSize));
    return corrupted(-1);
  }
  z.local = parseLocalHeader(header);
  std::string name(z.local.nameLength == z.entryName.size() ? z.entryName.size() : 0, '\0');
  if (name.size() != z.entryName.size() ||
      std::fread(name.data(), 1, name.size(), f) != name.size() || name != z.entryName) {
    std::printf("Error in zipfile: the local header of %s in %s has another name\n",
                z.entryName.c_str(), z.archive->path.c_str());
    return -1;
  }
  if (z.local.flags & flagDataDescriptor) {
    z.local.compressedSize = z.entry.compressedSize;
    z.local.uncompressedSize = z.entry.uncompressedSize;
  }
  return 0;
}

// A failure to get the member's data: why (null: the data is short), then
// the line of the member's method.
int dataFailed(const ZipLocalHeader& local, const char* why) {
  if (why != nullptr)
    std::fputs(why, stdout);
  else
    std::printf("Error in zipfile: couldn't read %ld bytes of compressed data\n",
                static_cast<long>(local.compressedSize));
  if (local.method == methodStored) std::printf("Couldn't extract uncompressed file\n");
  if (local.method == methodDeflated) std::printf("Not enough memory\n");
  return -1;
}

// The member's data, in one piece; of stored data only what is wanted.
int readData(ZipRead& z) {
  const char* const seekFailed = "Error reading zipfile: fseek to compressed data failed\n";
  const char* const shortData = nullptr;
  const ZipLocalHeader& local = z.local;
  const uint64_t dataOffset =
      uint64_t{z.entry.localHeaderOffset} + localHeaderSize + local.nameLength + local.extraLength;
  const uint64_t length = z.archive->length;
  FILE* f = z.archive->file.get();
  if (dataOffset > length) return dataFailed(local, seekFailed);
  if (dataOffset + local.compressedSize > length) return dataFailed(local, shortData);
  const uint32_t bytes = local.method == methodStored && local.compressedSize > z.wanted
                             ? z.wanted
                             : local.compressedSize;
  z.compressed = allocate(bytes);
  if (!z.compressed) return dataFailed(local, "Not enough memory\n");
  if (std::fseek(f, static_cast<long>(dataOffset), SEEK_SET) != 0)
    return dataFailed(local, seekFailed);
  if (std::fread(z.compressed.get(), 1, bytes, f) != bytes) return dataFailed(local, shortData);
  return 0;
}

// A member read whole must have the CRC-32 its directory entry gives; one
// read in part is not checked, as that would mean inflating all of it.
int checkCrc(const ZipRead& z, const uint8_t* data, uint32_t size) {
  if (size != z.local.uncompressedSize) return 0;
  const uint32_t crc = crc32(data, size);
  if (crc == z.entry.crc) return 0;
  std::printf("Error in zipfile: file %s in %s is damaged (CRC-32 %08x, the directory has %08x)\n",
              z.entryName.c_str(), z.archive->path.c_str(), crc, z.entry.crc);
  return -1;
}

// Stored data is the member; deflated data goes through the decoder into a
// buffer of the size the header claims, which it must fill exactly, or of
// the size wanted when that is less, which it must fill.
int extract(ZipRead& z, RomBuffer& data, uint32_t& size) {
  const ZipLocalHeader& local = z.local;
  const char* sought = z.sought.c_str();
  if (local.method == methodStored) {
    if (local.uncompressedSize != local.compressedSize) {
      std::printf("Error in zipfile: stored file %s has %lu bytes but claims %lu\n", sought,
                  static_cast<unsigned long>(local.compressedSize),
                  static_cast<unsigned long>(local.uncompressedSize));
      return -1;
    }
    const uint32_t bytes = std::min(local.uncompressedSize, z.wanted);
    if (int r = checkCrc(z, z.compressed.get(), bytes)) return r;
    data = std::move(z.compressed);
    size = bytes;
    return 0;
  }
  if (local.method != methodDeflated) {
    methodUnsupported(sought, local.method);
    return -1;
  }
  if (local.uncompressedSize > (uint64_t{local.compressedSize} + 1) * deflateMostBytesPerByte) {
    std::printf("Error in zipfile: file %s claims %lu bytes from %lu compressed bytes\n", sought,
                static_cast<unsigned long>(local.uncompressedSize),
                static_cast<unsigned long>(local.compressedSize));
    return -1;
  }
  const uint32_t bytes = std::min(local.uncompressedSize, z.wanted);
  RomBuffer output = allocate(bytes);
  RomBuffer window = allocate(inflateWindowSize);
  if (!output || !window) {
    std::printf("Not enough memory\n");
    return -1;
  }
  InflateState& s = inflateState;
  s.input = z.compressed.get();
  s.inputEnd = z.compressed.get() + local.compressedSize;
  s.output = output.get();
  s.outputEnd = output.get() + bytes;
  s.window = window.get();
  const int r = inflate();
  const bool cut = r == inflateOutputOverflow && bytes < local.uncompressedSize;
  if (r != inflateOk && !cut) {
    std::printf("Error inflating compressed file: %d", r);
    return r;
  }
  if (!cut && s.output - output.get() != local.uncompressedSize) {
    std::printf("Error in zipfile: file %s inflates to %lu bytes but claims %lu\n", sought,
                static_cast<unsigned long>(s.output - output.get()),
                static_cast<unsigned long>(local.uncompressedSize));
    return -1;
  }
  if (int c = checkCrc(z, output.get(), bytes)) return c;
  data = std::move(output);
  size = bytes;
  return 0;
}

// The archive at the path, from the cache or opened now (and cached when the
// cache is on); owned holds one opened for this read alone.
int openedArchive(ZipRead& z, const char* archivePath, std::unique_ptr<Archive>& owned) {
  for (const std::unique_ptr<Archive>& a : archiveCache.archives)
    if (a->path == archivePath) z.archive = a.get();
  if (z.archive != nullptr) return 0;
  owned = std::make_unique<Archive>();
  owned->path = archivePath;
  for (int (*step)(Archive&) : {openArchive, findEndRecord, readDirectory})
    if (int r = step(*owned)) return r;
  z.archive = owned.get();
  if (archiveCache.active) archiveCache.archives.push_back(std::move(owned));
  return 0;
}

}  // namespace

void beginArchiveCache() {
  archiveCache.archives.clear();
  archiveCache.active = true;
}

void endArchiveCache() {
  archiveCache.archives.clear();
  archiveCache.active = false;
}

int readZipMember(const char* archivePath, const char* memberName, RomBuffer& data, uint32_t& size,
                  uint32_t wanted) {
  ZipRead z;
  z.sought = upperCase(memberName, std::strlen(memberName));
  z.wanted = std::min(wanted, largestRegion);
  std::unique_ptr<Archive> owned;
  if (int r = openedArchive(z, archivePath, owned)) return r;
  for (int (*step)(ZipRead&) : {findEntry, readLocalHeader, readData})
    if (int r = step(z)) return r;
  return extract(z, data, size);
}
