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

// Appends fields of the widths in shape (digits, 2 or 4 bytes), then text.
static void record(Bytes& out, const char* shape, std::initializer_list<uint32_t> fields,
                   const std::string& text) {
  for (uint32_t value : fields) {
    out.resize(out.size() + (*shape - '0'));
    *shape++ == '4' ? put32(out, out.size() - 4, value) : put16(out, out.size() - 2, value);
  }
  out.insert(out.end(), text.begin(), text.end());
}

// Made by Unix zip 2.0, version 2.0 needed; no flags, time, date, extra
// fields, entry comments or attributes.
Bytes buildZip(const std::vector<ZipMember>& members, const std::string& comment) {
  Bytes file, directory;
  for (const ZipMember& m : members) {
    const Bytes stored = m.method == 8 ? zlibDeflate(m.data) : m.data;
    const uint32_t crc = crc32(0, m.data.data(), m.data.size()), packed = stored.size(),
                   size = m.data.size(), nameLength = m.name.size(), offset = file.size();
    record(directory, "4222244442222244",
           {0x02014B50, 0x314, 20, 0, m.method, 0, crc, packed, size, nameLength, 0, 0, 0, 0, 0,
            offset},
           m.name);
    record(file, "4222444422", {0x04034B50, 20, 0, m.method, 0, crc, packed, size, nameLength, 0},
           m.name);
    file.insert(file.end(), stored.begin(), stored.end());
  }
  const uint32_t count = members.size(), at = file.size(), length = directory.size();
  file.insert(file.end(), directory.begin(), directory.end());
  record(file, "42222442", {0x06054B50, 0, 0, count, count, length, at, uint32_t(comment.size())},
         comment);
  return file;
}

}  // namespace support
