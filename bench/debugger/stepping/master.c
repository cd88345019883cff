/* The program of the `next` benchmark (next_bench.py): the line marked
   below runs a loop of about 10,000 instructions. */
#include "system21.h"

#define COUNT 2500
volatile uint16_t values[COUNT];
uint32_t total;

int main(void) {
  for (;;) {
    uint32_t sum = 0;
    for (unsigned i = 0; i < COUNT; i++) sum += values[i]; /* the line stepped over */
    total = sum;
  }
}
