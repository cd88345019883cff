// Compiled into every test program: it runs headless whatever starts it
// (Qt offscreen, SDL's dummy video, no windows or boxes), and the font
// library's caches, kept for the life of the process, are no leaks.
#include <cstdlib>

namespace {

const bool headless = [] {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  setenv("SDL_VIDEODRIVER", "dummy", 0);
  setenv("SB_HEADLESS", "1", 0);
  return true;
}();

}  // namespace

extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig\n";
}
