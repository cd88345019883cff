// Timing program: (1) Deflate decoding throughput in MB/s of output, ours
// against zlib's inflate, on the same 64 MiB of mixed content in the same
// run, as one stream and as 64 members of 1 MiB; (2) the time to load a
// 20 MiB ROM set from a zip archive of 40 deflated members through the ROM
// lookup; (3) the time to load 4 KiB named by a zip bomb's member. Prints one
// line per figure; the best of several rounds counts.
#include <unistd.h>
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "base/base.h"
#include "romfs/romfs.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

// Text, random bytes, runs, and 68000-like code, in chunks of 4-64 KiB.
Bytes mixedContent(size_t size, uint32_t seed) {
  static const char* words[] = {"the ",   "sprite ", "board ", "68000 ",     "master ", "slave ",
                                "video ", "ram ",    "rom ",   "of ",        "and ",    "tile ",
                                "\n",     ", ",      "frame ", "interrupt ", "palette "};
  std::mt19937 rng(seed);
  Bytes out;
  out.reserve(size);
  for (uint32_t part = 0; out.size() < size; ++part) {
    const size_t chunk = std::min<size_t>(size - out.size(), 4096 + rng() % 61440);
    const size_t end = out.size() + chunk;
    switch (part % 4) {
      case 0:
        while (out.size() < end) {
          const char* w = words[rng() % (sizeof words / sizeof *words)];
          for (; *w && out.size() < end; ++w) out.push_back(static_cast<uint8_t>(*w));
        }
        break;
      case 1:
        while (out.size() < end) out.push_back(static_cast<uint8_t>(rng()));
        break;
      case 2:
        while (out.size() < end) {
          const uint8_t v = static_cast<uint8_t>(rng() % 3);
          for (size_t n = 1 + rng() % 300; n-- && out.size() < end;) out.push_back(v);
        }
        break;
      default: {
        // Opcode-like words drawn from a small vocabulary, with operands.
        static const uint16_t ops[] = {0x4E75, 0x4E71, 0x2F00, 0x201F, 0x41F9, 0x4EB9,
                                       0x6600, 0x6700, 0x3028, 0x3140, 0xD080, 0x0C40};
        while (out.size() + 1 < end) {
          const uint16_t w = rng() % 4 ? ops[rng() % 12] : static_cast<uint16_t>(rng() & 0x0FFF);
          out.push_back(static_cast<uint8_t>(w >> 8));
          out.push_back(static_cast<uint8_t>(w));
        }
        while (out.size() < end) out.push_back(0);
      }
    }
  }
  return out;
}

Bytes deflateRaw(const uint8_t* data, size_t size, int level) {
  z_stream z{};
  deflateInit2(&z, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
  Bytes out(deflateBound(&z, size));
  z.next_in = const_cast<Bytef*>(data);
  z.avail_in = static_cast<uInt>(size);
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

struct Stream {
  Bytes packed;
  size_t size;
};

bool oursDecode(const Stream& s, uint8_t* out, uint8_t* window) {
  InflateState& st = inflateState;
  st.input = s.packed.data();
  st.inputEnd = s.packed.data() + s.packed.size();
  st.output = out;
  st.outputEnd = out + s.size;
  st.window = window;
  return inflate() == 0 && st.output == out + s.size;
}

bool zlibDecode(const Stream& s, uint8_t* out) {
  z_stream z{};
  inflateInit2(&z, -15);
  z.next_in = const_cast<Bytef*>(s.packed.data());
  z.avail_in = static_cast<uInt>(s.packed.size());
  z.next_out = out;
  z.avail_out = static_cast<uInt>(s.size);
  const int r = ::inflate(&z, Z_FINISH);
  inflateEnd(&z);
  return r == Z_STREAM_END;
}

double seconds(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

// Best time of several rounds for decoding every stream, ours or zlib's.
double bestTime(const std::vector<Stream>& streams, Bytes& out, bool ours, int rounds) {
  Bytes window(inflateWindowSize);
  double best = 1e30;
  for (int r = 0; r < rounds; ++r) {
    const auto start = Clock::now();
    size_t at = 0;
    for (const Stream& s : streams) {
      const bool ok =
          ours ? oursDecode(s, out.data() + at, window.data()) : zlibDecode(s, out.data() + at);
      if (!ok) {
        std::fprintf(stderr, "decoding failed\n");
        std::exit(1);
      }
      at += s.size;
    }
    best = std::min(best, seconds(start, Clock::now()));
  }
  return best;
}

void throughput(const char* label, const Bytes& data, size_t memberSize, int level) {
  std::vector<Stream> streams;
  for (size_t at = 0; at < data.size(); at += memberSize) {
    const size_t n = std::min(memberSize, data.size() - at);
    streams.push_back({deflateRaw(data.data() + at, n, level), n});
  }
  size_t packed = 0;
  for (const Stream& s : streams) packed += s.packed.size();
  Bytes out(data.size());
  // Rounds alternate between the two, so a busy moment of the machine
  // weighs on both alike.
  double zlibTime = 1e30, oursTime = 1e30;
  for (int round = 0; round < 5; ++round) {
    zlibTime = std::min(zlibTime, bestTime(streams, out, false, 1));
    oursTime = std::min(oursTime, bestTime(streams, out, true, 1));
  }
  if (out != data) {
    std::fprintf(stderr, "output differs\n");
    std::exit(1);
  }
  const double mb = static_cast<double>(data.size()) / 1e6;
  std::printf("%-34s level %d, %5.1f%% packed: ours %7.1f MB/s, zlib %7.1f MB/s, ratio %.2f\n",
              label, level, 100.0 * static_cast<double>(packed) / static_cast<double>(data.size()),
              mb / oursTime, mb / zlibTime, zlibTime / oursTime);
}

// A deflated member: its name, data, CRC-32 and size.
struct Packed {
  std::string name;
  Bytes packed;
  uint32_t crc;
  uint32_t size;
};

Packed packedMember(const std::string& name, const Bytes& data) {
  return {name, deflateRaw(data.data(), data.size(), 9),
          static_cast<uint32_t>(crc32(0, data.data(), static_cast<uInt>(data.size()))),
          static_cast<uint32_t>(data.size())};
}

// count zero bytes, deflated a mebibyte at a time so that they are never
// held whole: a zip bomb's member.
Packed zeroMember(const std::string& name, uint64_t count) {
  z_stream z{};
  deflateInit2(&z, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
  const Bytes piece(1 << 20, 0);
  Bytes packed, chunk(1 << 16);
  uLong crc = 0;
  for (uint64_t left = count;;) {
    const uInt n = static_cast<uInt>(std::min<uint64_t>(left, piece.size()));
    left -= n;
    crc = crc32(crc, piece.data(), n);
    z.next_in = const_cast<Bytef*>(piece.data());
    z.avail_in = n;
    do {
      z.next_out = chunk.data();
      z.avail_out = static_cast<uInt>(chunk.size());
      deflate(&z, left != 0 ? Z_NO_FLUSH : Z_FINISH);
      packed.insert(packed.end(), chunk.data(), chunk.data() + (chunk.size() - z.avail_out));
    } while (z.avail_out == 0);
    if (left == 0) break;
  }
  deflateEnd(&z);
  return {name, packed, static_cast<uint32_t>(crc), static_cast<uint32_t>(count)};
}

// A stored-free zip of deflated members, written as the ROM lookup reads it.
Bytes zipOf(const std::vector<Packed>& members) {
  Bytes file, dir;
  auto put = [](Bytes& b, uint32_t v, int n) {
    for (int i = 0; i < n; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  for (const auto& [name, packed, crc, size] : members) {
    const uint32_t offset = static_cast<uint32_t>(file.size());
    for (Bytes* b : {&file, &dir}) {
      const bool central = b == &dir;
      put(*b, central ? 0x02014B50 : 0x04034B50, 4);
      if (central) put(*b, 20, 2);
      put(*b, 20, 2);
      put(*b, 0, 2);
      put(*b, 8, 2);
      put(*b, 0, 4);
      put(*b, crc, 4);
      put(*b, static_cast<uint32_t>(packed.size()), 4);
      put(*b, size, 4);
      put(*b, static_cast<uint32_t>(name.size()), 2);
      put(*b, 0, 2);
      if (central) {
        put(*b, 0, 2);
        put(*b, 0, 2);
        put(*b, 0, 2);
        put(*b, 0, 4);
        put(*b, offset, 4);
      }
      b->insert(b->end(), name.begin(), name.end());
      if (!central) b->insert(b->end(), packed.begin(), packed.end());
    }
  }
  const uint32_t dirOffset = static_cast<uint32_t>(file.size());
  file.insert(file.end(), dir.begin(), dir.end());
  put(file, 0x06054B50, 4);
  put(file, 0, 4);
  put(file, static_cast<uint32_t>(members.size()), 2);
  put(file, static_cast<uint32_t>(members.size()), 2);
  put(file, static_cast<uint32_t>(dir.size()), 4);
  put(file, dirOffset, 4);
  put(file, 0, 2);
  return file;
}

namespace fs = std::filesystem;

// The archive written as the set's in a new directory that every ROM
// directory names.
fs::path romSetIn(const Bytes& zip, const char* set) {
  const fs::path dir = fs::temp_directory_path() / ("sb_romfs_bench_" + std::to_string(getpid()));
  fs::create_directories(dir);
  FILE* f = std::fopen((dir / (std::string(set) + ".zip")).c_str(), "wb");
  std::fwrite(zip.data(), 1, zip.size(), f);
  std::fclose(f);
  settings.Romdir = settings.AlternateRomdir1 = settings.AlternateRomdir2 =
      settings.AlternateRomdir3 = dir.string() + "/";
  setRomSetDirectory(set);
  return dir;
}

void romSetLoad() {
  constexpr int memberCount = 40;
  constexpr size_t memberSize = 512 * 1024;  // 40 x 512 KiB = 20 MiB
  std::vector<std::pair<std::string, Bytes>> members;
  std::vector<Packed> packed;
  for (int i = 0; i < memberCount; ++i) {
    members.push_back({"rom" + std::to_string(i) + ".bin", mixedContent(memberSize, 100 + i)});
    packed.push_back(packedMember(members.back().first, members.back().second));
  }
  const Bytes zip = zipOf(packed);
  const fs::path dir = romSetIn(zip, "benchset");
  double best = 1e30;
  for (int round = 0; round < 5; ++round) {
    const auto start = Clock::now();
    for (const auto& [name, data] : members) {
      RomBuffer image = loadRomFile(name.c_str(), memberSize);
      if (!image || std::memcmp(image.get(), data.data(), memberSize) != 0) {
        std::fprintf(stderr, "%s did not load\n", name.c_str());
        std::exit(1);
      }
    }
    best = std::min(best, seconds(start, Clock::now()));
  }
  fs::remove_all(dir);
  std::printf("ROM set of %d x 512 KiB (20 MiB) from a %.1f MiB zip: %.1f ms (%.1f MB/s)\n",
              memberCount, static_cast<double>(zip.size()) / 1048576.0, best * 1000.0,
              20.0 * 1048576.0 / 1e6 / best);
}

// Zip bombs named by a load that asks for 4 KiB: a member of 1 GiB of zeros
// (1032 times its packed size passes as Deflate's most), and one of the
// largest size a member can claim.
void zipBombs() {
  for (uint64_t count : {uint64_t{1} << 30, uint64_t{0xFFFFFFFF}}) {
    const Bytes zip = zipOf({zeroMember("bomb.bin", count)});
    const fs::path dir = romSetIn(zip, "bomb");
    double best = 1e30;
    for (int round = 0; round < 5; ++round) {
      const auto start = Clock::now();
      if (!loadRomFile("bomb.bin", 4096)) {
        std::fprintf(stderr, "bomb.bin did not load\n");
        std::exit(1);
      }
      best = std::min(best, seconds(start, Clock::now()));
    }
    fs::remove_all(dir);
    std::printf("Zip bomb of %.0f MiB of zeros in a %.1f MiB zip, 4 KiB asked: %.2f ms\n",
                static_cast<double>(count) / 1048576.0, static_cast<double>(zip.size()) / 1048576.0,
                best * 1000.0);
  }
}

}  // namespace

int main() {
  setHeadless(true);
  const Bytes data = mixedContent(64u << 20, 2026);
  throughput("64 MiB mixed, one stream", data, data.size(), 6);
  throughput("64 MiB mixed, 64 members of 1 MiB", data, 1u << 20, 6);
  throughput("64 MiB mixed, 64 members of 1 MiB", data, 1u << 20, 9);
  throughput("64 MiB mixed, 64 members of 1 MiB", data, 1u << 20, 1);
  romSetLoad();
  zipBombs();
  return 0;
}
