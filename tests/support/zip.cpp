#include "tests/support/zip.h"

#include <zlib.h>

namespace support {

Bytes zlibDeflate(const Bytes& data, int level, int strategy) {
  z_stream z{};
  if (deflateInit2(&z, level, Z_DEFLATED, -15, 8, strategy) != Z_OK) return {};
  Bytes out(deflateBound(&z, data.size()));
  z.next_in = const_cast<Bytef*>(data.data());
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  const int r = deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return r == Z_STREAM_END ? out : Bytes{};
}

void put16(Bytes& bytes, size_t at, uint16_t value) {
  bytes[at] = static_cast<uint8_t>(value);
  bytes[at + 1] = static_cast<uint8_t>(value >> 8);
}

void put32(Bytes& bytes, size_t at, uint32_t value) {
  put16(bytes, at, static_cast<uint16_t>(value));
  put16(bytes, at + 2, static_cast<uint16_t>(value >> 16));
}

namespace {
// Appends fields of 4 bytes (field i when bit i of longs is set) or 2 bytes,
// then text.
void record(Bytes& out, std::initializer_list<uint32_t> fields, uint32_t longs,
            const std::string& text) {
  for (uint32_t value : fields) {
    const size_t at = out.size();
    const bool isLong = longs & 1;
    longs >>= 1;
    out.resize(at + (isLong ? 4 : 2));
    isLong ? put32(out, at, value) : put16(out, at, static_cast<uint16_t>(value));
  }
  out.insert(out.end(), text.begin(), text.end());
}
}  // namespace

Bytes buildZip(const std::vector<ZipMember>& members, const std::string& comment) {
  Bytes file, directory;
  for (const ZipMember& m : members) {
    const Bytes stored = m.method == 8 ? zlibDeflate(m.data) : m.data;
    const uint32_t crc = crc32(0, m.data.data(), static_cast<uInt>(m.data.size()));
    const uint32_t packed = static_cast<uint32_t>(stored.size()), size = m.data.size(),
                   nameLength = m.name.size(), offset = file.size();
    // Version 2.0 of Unix zip, no flags, time, date, extra field or comment.
    record(file, {0x04034B50, 20, 0, m.method, 0, crc, packed, size, nameLength, 0}, 0xF1, m.name);
    file.insert(file.end(), stored.begin(), stored.end());
    record(directory,
           {0x02014B50, 0x314, 20, 0, m.method, 0, crc, packed, size, nameLength, 0, 0, 0, 0, 0,
            offset},
           0xC1E1, m.name);
  }
  const uint32_t count = members.size(), directoryOffset = file.size();
  file.insert(file.end(), directory.begin(), directory.end());
  record(file,
         {0x06054B50, 0, 0, count, count, static_cast<uint32_t>(directory.size()), directoryOffset,
          static_cast<uint32_t>(comment.size())},
         0x61, comment);
  return file;
}

}  // namespace support
