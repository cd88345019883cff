// Any bytes as a raw Deflate stream, after a first byte that sets the room
// for the output: the decoder must end inside its buffers and leak nothing.
#include <cstdlib>
#include <vector>

#include "romfs/romfs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // Exact-size copies, so that any access past either end is caught.
  std::vector<uint8_t> input(data + 1, data + size), output(data[0] * 1031u),
      window(inflateWindowSize);
  InflateState& s = inflateState;
  s.input = input.data();
  s.inputEnd = input.data() + input.size();
  s.output = output.data();
  s.outputEnd = output.data() + output.size();
  s.window = window.data();
  const int result = inflate();
  if (s.input > s.inputEnd || s.output > s.outputEnd || result < 0) std::abort();
  if (result > inflateOutputOverflow) std::abort();
  return 0;
}
