// Zip archive reader: one named member out of a single-disk archive, stored
// or deflated, read whole into a new buffer. Nothing is kept between calls.
//
// Every offset and length read from the archive is checked against the
// archive's size before it is used; the central directory is loaded whole;
// member names of any length are compared; a local header that leaves its
// sizes to a data descriptor (flag bit 3) is read with the central
// directory's sizes.
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

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
  uint32_t compressedSize, uncompressedSize;
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
  return {p[6],          p[7],          get16(p + 8),  get16(p + 10), get32(p + 20), get32(p + 24),
          get16(p + 28), get16(p + 30), get16(p + 32), get16(p + 34), get32(p + 42)};
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

bool entryAccepted(const ZipEntry& e, const ZipEndRecord& end, const std::string& sought) {
  bool accepted = true;
  if (e.method != methodStored && e.method != methodDeflated) {
    std::printf("Error in zipfile: compression method for file %s unsupported.\n", sought.c_str());
    std::printf("Method: $%04x  must be $0000 (Stored) or $0008 (Deflated)\n", e.method);
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

}  // namespace

int readZipMember(const char* archivePath, const char* memberName, RomBuffer& data,
                  uint32_t& size) {
  File file(std::fopen(archivePath, "rb"));
  if (!file) {
    std::printf("Could not open zipfile %s\n", archivePath);
    return -1;
  }
  FILE* f = file.get();
  if (std::fseek(f, 0, SEEK_END) != 0) {
    std::printf("Error in zipfile.\n");
    return -1;
  }
  const long lengthOrError = std::ftell(f);
  if (lengthOrError < 0) {
    std::printf("Error in zipfile.\n");
    return -1;
  }
  const uint64_t length = static_cast<uint64_t>(lengthOrError);

  // The end record: the signature nearest the end within the last 4096 bytes.
  const uint32_t tail = static_cast<uint32_t>(length < tailSize ? length : tailSize);
  uint8_t scratch[tailSize];
  if (int r = std::fseek(f, static_cast<long>(length - tail), SEEK_SET)) {
    std::printf("Error in zipfile: fseek failed\n");
    std::printf("Corrupted zip file\n");
    return r;
  }
  if (std::fread(scratch, 1, tail, f) != tail) {
    std::printf("Error in zipfile: couldn't read %ld bytes from end of file\n",
                static_cast<long>(tail));
    std::printf("Corrupted zip file\n");
    return -1;
  }
  int64_t at = static_cast<int64_t>(tail) - endRecordSize;
  while (at >= 0 && std::memcmp(scratch + at, endSignature, 4) != 0) --at;
  if (at < 0) {
    std::printf("Error in zipfile: couldn't find 'end of central dir' signature\n");
    std::printf("Corrupted zip file\n");
    return 1;
  }
  const ZipEndRecord end = parseEndRecord(scratch + at);
  if (end.diskNumber != end.directoryDisk || end.entriesOnDisk != end.totalEntries ||
      end.totalEntries < 1) {
    std::printf("Unsupported zipfile: zipfile cannot span disks\n");
    return -1;
  }
  const std::string sought = upperCase(memberName, std::strlen(memberName));

  // The whole central directory.
  if (end.directoryOffset > length ||
      std::fseek(f, static_cast<long>(end.directoryOffset), SEEK_SET) != 0) {
    std::printf("Error in zipfile: couldn't fseek to start of central directory\n");
    return -1;
  }
  RomBuffer directory;
  if (uint64_t{end.directoryOffset} + end.directorySize <= length)
    directory = allocate(end.directorySize);
  if (!directory || std::fread(directory.get(), 1, end.directorySize, f) != end.directorySize) {
    std::printf("Error in zipfile: couldn't read %ld bytes from central directory\n",
                static_cast<long>(end.directorySize));
    return -1;
  }
  const uint8_t* dir = directory.get();
  uint64_t position = 0;
  bool found = false;
  ZipEntry entry{};
  for (uint32_t i = 0; i < end.totalEntries && !found; ++i) {
    if (position + entrySize > end.directorySize) {
      std::printf("Error in zipfile: central directory ends inside entry %u\n", i + 1);
      std::printf("Corrupted zip file\n");
      return -1;
    }
    entry = parseEntry(dir + position);
    const uint64_t next =
        position + entrySize + entry.nameLength + entry.extraLength + entry.commentLength;
    if (next > end.directorySize) {
      std::printf("Error in zipfile: central directory ends inside entry %u\n", i + 1);
      std::printf("Corrupted zip file\n");
      return -1;
    }
    const std::string name =
        upperCase(reinterpret_cast<const char*>(dir + position + entrySize), entry.nameLength);
    found = namesMatch(name, sought) && entryAccepted(entry, end, sought);
    position = next;
  }
  directory.reset();
  if (!found) return -1;

  // The local header: the method, and the sizes unless a data descriptor has them.
  if (entry.localHeaderOffset > length ||
      std::fseek(f, static_cast<long>(entry.localHeaderOffset), SEEK_SET) != 0) {
    std::printf("Error in zipfile: couldn't fseek to local file header\n");
    std::printf("Corrupted zip file\n");
    return -1;
  }
  if (std::fread(scratch, 1, localHeaderSize, f) != localHeaderSize) {
    std::printf("Error in zipfile: couldn't read %ld bytes from local file header",
                static_cast<long>(localHeaderSize));
    std::printf("Corrupted zip file\n");
    return -1;
  }
  ZipLocalHeader local = parseLocalHeader(scratch);
  if (local.flags & flagDataDescriptor) {
    local.compressedSize = entry.compressedSize;
    local.uncompressedSize = entry.uncompressedSize;
  }

  // The member's data, in one piece.
  const uint64_t dataOffset =
      uint64_t{entry.localHeaderOffset} + localHeaderSize + local.nameLength + local.extraLength;
  // After a data failure the line of the member's method follows.
  auto dataFailed = [&]() {
    if (local.method == methodStored) std::printf("Couldn't extract uncompressed file\n");
    if (local.method == methodDeflated) std::printf("Not enough memory\n");
    return -1;
  };
  auto shortData = [&]() {
    std::printf("Error in zipfile: couldn't read %ld bytes of compressed data\n",
                static_cast<long>(local.compressedSize));
    return dataFailed();
  };
  if (dataOffset > length) {
    std::printf("Error reading zipfile: fseek to compressed data failed\n");
    return dataFailed();
  }
  if (dataOffset + local.compressedSize > length) return shortData();
  RomBuffer compressed = allocate(local.compressedSize);
  if (!compressed) {
    std::printf("Not enough memory\n");
    return dataFailed();
  }
  if (std::fseek(f, static_cast<long>(dataOffset), SEEK_SET) != 0) {
    std::printf("Error reading zipfile: fseek to compressed data failed\n");
    return dataFailed();
  }
  if (std::fread(compressed.get(), 1, local.compressedSize, f) != local.compressedSize)
    return shortData();
  file.reset();

  if (local.method == methodStored) {
    if (local.uncompressedSize != local.compressedSize) {
      std::printf("Error in zipfile: stored file %s has %lu bytes but claims %lu\n", sought.c_str(),
                  static_cast<unsigned long>(local.compressedSize),
                  static_cast<unsigned long>(local.uncompressedSize));
      return -1;
    }
    data = std::move(compressed);
    size = local.uncompressedSize;
    return 0;
  }
  if (local.method != methodDeflated) {
    std::printf("Error in zipfile: compression method for file %s unsupported.\n", sought.c_str());
    std::printf("Method: $%04x  must be $0000 (Stored) or $0008 (Deflated)\n", local.method);
    return -1;
  }
  if (local.uncompressedSize > (uint64_t{local.compressedSize} + 1) * deflateMostBytesPerByte) {
    std::printf("Error in zipfile: file %s claims %lu bytes from %lu compressed bytes\n",
                sought.c_str(), static_cast<unsigned long>(local.uncompressedSize),
                static_cast<unsigned long>(local.compressedSize));
    return -1;
  }
  RomBuffer output = allocate(local.uncompressedSize);
  RomBuffer window = allocate(inflateWindowSize);
  if (!output || !window) {
    std::printf("Not enough memory\n");
    return -1;
  }
  InflateState& s = inflateState;
  s.input = compressed.get();
  s.inputEnd = compressed.get() + local.compressedSize;
  s.output = output.get();
  s.outputEnd = output.get() + local.uncompressedSize;
  s.window = window.get();
  if (int r = inflate()) {
    std::printf("Error inflating compressed file: %d", r);
    return r;
  }
  if (s.output != s.outputEnd) {
    std::printf("Error in zipfile: file %s inflates to %lu bytes but claims %lu\n", sought.c_str(),
                static_cast<unsigned long>(s.output - output.get()),
                static_cast<unsigned long>(local.uncompressedSize));
    return -1;
  }
  data = std::move(output);
  size = local.uncompressedSize;
  return 0;
}
