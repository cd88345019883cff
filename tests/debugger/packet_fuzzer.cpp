// Any bytes a client may send, through the framing and every command, on a
// machine built from small blank images with two frames of history, then a
// frame run with whatever breakpoints, watchpoints and steps they left:
// never a crash.
#include <cstddef>
#include <cstdint>
#include <utility>

#include "debugger/debugger.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool built = [] {
    GameRom rom;
    rom.gameName = "fuzz";
    rom.masterCodeRom.assign(0x1000, 0);
    rom.slaveCodeRom.assign(0x1000, 0);
    rom.collisionRom.assign(0x1000, 0);
    buildMachine(std::move(rom));
    startCpus();
    return true;
  }();
  (void)built;
  gdbResetSession();
  // Each input has a short history of its own to go back through with bs
  // and bc: a whole fuzzing session's would make going back ever longer.
  startHistory(size_t{16} << 20);
  runFrame();
  runFrame();
  gdbReceive(data, size);
  runFrame();
  gdbTakeOutput();
  return 0;
}
