// The machine's lines in the program log.
#pragma once

#if defined(__GNUC__)
__attribute__((format(printf, 1, 2)))
#endif
void machineLog(const char* format, ...);
