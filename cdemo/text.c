#include "text.h"

volatile char* putText(volatile char* to, const char* text) {
  while (*text != 0) *to++ = *text++;
  return to;
}

volatile char* putHex4(volatile char* to, uint16_t value) {
  static const char digits[] = "0123456789abcdef";
  for (int shift = 12; shift >= 0; shift -= 4) *to++ = digits[(value >> shift) & 15];
  return to;
}
