/* Text into shared RAM, for the game log's closing dump. */
#ifndef CDEMO_TEXT_H
#define CDEMO_TEXT_H

#include <stdint.h>

/* Copies text without its zero; returns where the next character goes. */
volatile char* putText(volatile char* to, const char* text);
/* Four hexadecimal digits. */
volatile char* putHex4(volatile char* to, uint16_t value);

#endif
