/* The slave of the `next` benchmark's program has nothing to do. */
int main(void) {
  for (;;) {
  }
}
