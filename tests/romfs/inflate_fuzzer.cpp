// Any bytes as a raw Deflate stream: the decoder must stay inside its input
// and output buffers, end, and leak nothing. The first byte picks the room
// given for the output.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "romfs/romfs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const size_t room = size_t{data[0]} * 1031;
  // Exact-size copies, so that any access past either end is caught.
  std::vector<uint8_t> input(data + 1, data + size);
  std::vector<uint8_t> output(room);
  std::vector<uint8_t> window(inflateWindowSize);
  InflateState& s = inflateState;
  s.input = input.data();
  s.inputEnd = input.data() + input.size();
  s.output = output.data();
  s.outputEnd = output.data() + output.size();
  s.window = window.data();
  const int result = inflate();
  if (s.input > s.inputEnd || s.output > s.outputEnd) std::abort();
  if (result < 0 || result > inflateOutputOverflow) std::abort();
  return 0;
}
