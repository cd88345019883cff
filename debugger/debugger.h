// A GDB remote-protocol server for a game run: both 68000s are the threads of
// one target (1 master, 2 slave), stopped and resumed together.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "system21/system21.h"

// Hooks that make each run listen on 127.0.0.1:port and start halted after
// both processors' reset until a client resumes it.
RunHooks gdbRunHooks(int port);

// The packet layer without a socket, for tests and the fuzzer: bytes from a
// client are taken in, the replies collect in gdbTakeOutput. A halted target
// stays halted; resuming only records the request.
void gdbResetSession();
void gdbReceive(const uint8_t* data, size_t size);
std::string gdbTakeOutput();
