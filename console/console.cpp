// The display console over SDL2: a window, a renderer and a streaming texture.
#include "console/console.h"

#include <SDL.h>

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

struct ConsoleOptions {
  bool fullScreen = false;
  bool fixedSize = false;
  bool centred = false;
};

struct Console {
  bool headless = false;
  ConsoleOptions options;
  int width = 0, height = 0;
  std::vector<uint32_t> frame;
  SDL_Window* window = nullptr;
  SDL_Renderer* renderer = nullptr;
  SDL_Texture* texture = nullptr;
  bool videoStarted = false;
  bool failed = false;  // no window although one was asked for
  bool keySeen = false;
  Uint64 lastPresent = 0;  // performance-counter time of the last frame shown
};
Console console;

// A window shows at most one frame per refresh of a 60 Hz display, as a
// flip to the screen would: without it a game would run far too fast to see.
constexpr double refreshSeconds = 1.0 / 60;

void waitForRefresh() {
  Uint64 frequency = SDL_GetPerformanceFrequency();
  Uint64 period = static_cast<Uint64>(frequency * refreshSeconds);
  Uint64 now = SDL_GetPerformanceCounter();
  if (console.lastPresent && now - console.lastPresent < period) {
    Uint64 waitMs = (period - (now - console.lastPresent)) * 1000 / frequency;
    if (waitMs > 0) SDL_Delay(static_cast<Uint32>(waitMs));
    while (SDL_GetPerformanceCounter() - console.lastPresent < period) {
    }
  }
  console.lastPresent = SDL_GetPerformanceCounter();
}

struct OptionRow {
  const char* name;
  void (*apply)(ConsoleOptions&);
};
const OptionRow optionTable[] = {
    {"DirectX", [](ConsoleOptions&) {}},
    {"windowed output", [](ConsoleOptions& o) { o.fullScreen = false; }},
    {"fullscreen output", [](ConsoleOptions& o) { o.fullScreen = true; }},
    {"fixed window", [](ConsoleOptions& o) { o.fixedSize = true; }},
    {"center window", [](ConsoleOptions& o) { o.centred = true; }},
};

void releaseWindow() {
  if (console.texture) SDL_DestroyTexture(console.texture);
  if (console.renderer) SDL_DestroyRenderer(console.renderer);
  if (console.window) SDL_DestroyWindow(console.window);
  console.texture = nullptr;
  console.renderer = nullptr;
  console.window = nullptr;
  if (console.videoStarted) SDL_QuitSubSystem(SDL_INIT_VIDEO);
  console.videoStarted = false;
}

bool openWindow(const char* title) {
  // Signals keep their usual meaning: SDL's handlers would outlive the window
  // and leave the launcher deaf to SIGTERM.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
  console.videoStarted = true;
  const ConsoleOptions& o = console.options;
  int position = o.centred ? SDL_WINDOWPOS_CENTERED : SDL_WINDOWPOS_UNDEFINED;
  Uint32 flags = o.fullScreen  ? SDL_WINDOW_FULLSCREEN_DESKTOP
                 : o.fixedSize ? 0
                               : SDL_WINDOW_RESIZABLE;
  console.window =
      SDL_CreateWindow(title, position, position, console.width, console.height, flags);
  if (!console.window) return false;
  SDL_RaiseWindow(console.window);  // keys go to the game, not the launcher
  console.renderer = SDL_CreateRenderer(console.window, -1, 0);
  if (!console.renderer) return false;
  SDL_RenderSetLogicalSize(console.renderer, console.width, console.height);
  console.texture = SDL_CreateTexture(console.renderer, SDL_PIXELFORMAT_RGB888,
                                      SDL_TEXTUREACCESS_STREAMING, console.width, console.height);
  return console.texture != nullptr;
}

}  // namespace

int setConsoleOption(const char* option) {
  for (const OptionRow& row : optionTable) {
    if (std::strcmp(row.name, option) == 0) {
      row.apply(console.options);
      return 1;
    }
  }
  return 0;
}

void setConsoleHeadless(bool headless) {
  console.headless = headless;
}

int openConsole(const char* title, int width, int height, bool fullScreen) {
  closeConsole();
  console.options = ConsoleOptions{};
  setConsoleOption("DirectX");
  if (fullScreen) {
    setConsoleOption("fullscreen output");
  } else {
    setConsoleOption("windowed output");
    setConsoleOption("fixed window");
    setConsoleOption("center window");
  }
  console.width = width > 0 ? width : 1;
  console.height = height > 0 ? height : 1;
  console.frame.assign(static_cast<size_t>(console.width) * console.height, 0);
  console.keySeen = false;
  console.failed = false;
  console.lastPresent = 0;
  if (console.headless) return 1;
  if (!openWindow(title)) {
    fprintf(stderr, "Cannot open the game window: %s\n", SDL_GetError());
    releaseWindow();
    console.failed = true;
    return 0;
  }
  return 1;
}

uint32_t* frameBuffer() {
  return console.frame.empty() ? nullptr : console.frame.data();
}

void presentFrame(const uint32_t* frame) {
  if (!console.texture || !frame) return;
  void* pixels;
  int pitch;
  if (SDL_LockTexture(console.texture, nullptr, &pixels, &pitch) != 0) return;
  const size_t rowBytes = static_cast<size_t>(console.width) * 4;
  for (int y = 0; y < console.height; y++) {
    std::memcpy(static_cast<uint8_t*>(pixels) + static_cast<size_t>(y) * pitch,
                frame + static_cast<size_t>(y) * console.width, rowBytes);
  }
  SDL_UnlockTexture(console.texture);
  SDL_RenderClear(console.renderer);
  SDL_RenderCopy(console.renderer, console.texture, nullptr, nullptr);
  waitForRefresh();
  SDL_RenderPresent(console.renderer);
}

bool keyPending() {
  if (console.failed) return true;
  if (!console.window) return false;
  SDL_RaiseWindow(console.window);  // keys go to the game, not the launcher
  SDL_Event event;
  while (SDL_PollEvent(&event)) {
    if (event.type == SDL_KEYDOWN || event.type == SDL_QUIT ||
        (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_CLOSE)) {
      console.keySeen = true;
    }
  }
  return console.keySeen;
}

void setConsoleTitle(const char* title) {
  if (console.window != nullptr && title != nullptr) SDL_SetWindowTitle(console.window, title);
}

void closeConsole() {
  releaseWindow();
  console.failed = false;
}
