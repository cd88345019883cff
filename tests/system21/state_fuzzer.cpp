// libFuzzer target over the saved-state reader. The input edits a real state
// of a small machine (pairs of an offset and a byte to XOR in, then a length
// to cut it to) and, when its first byte is odd, seals it with a fresh
// CRC-32 so that the edits reach the fields behind the checksum.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/base.h"
#include "system21/system21.h"
#include "tests/support/m68k_image.h"

namespace {

std::vector<uint8_t> baseState() {
  // Stack 0x100000, entry 0x400: BRA.S *
  const std::vector<uint8_t> code =
      support::m68kImage(0x600, {{0, {0x10, 0, 0, 0x400}}, {0x400, {0x60fe}}});
  buildMachine(GameRom{"fuzz", {}, 0, code, code, {}});
  startCpus();
  runFrame();
  const std::vector<uint32_t> frame(size_t{screenWidth} * screenHeight);
  return stateBytes("fuzz.drv", frame.data());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::vector<uint8_t> state = baseState();
  if (size == 0 || state.empty()) return 0;
  std::vector<uint8_t> bytes = state;
  size_t i = 1;
  for (; i + 4 <= size && data[i] != 0xff; i += 4) {
    const size_t at = (data[i] | data[i + 1] << 8 | data[i + 2] << 16) % bytes.size();
    bytes[at] ^= data[i + 3];
  }
  if (i + 3 < size)
    bytes.resize((data[i + 1] | data[i + 2] << 8 | data[i + 3] << 16) % (bytes.size() + 1));
  if ((data[0] & 1) && bytes.size() >= 4) {
    const uint32_t crc = crc32(bytes.data(), bytes.size() - 4);
    for (int k = 0; k < 4; k++) bytes[bytes.size() - 4 + k] = static_cast<uint8_t>(crc >> (8 * k));
  }
  std::vector<uint32_t> frame(size_t{screenWidth} * screenHeight);
  std::string error;
  if (applyState(bytes, "fuzz.drv", frame.data(), error) == 1) {
    runFrame();  // whatever a state holds, the machine runs on from it
  }
  return 0;
}
