// The display console: the game window, its 32-bit frame buffer and the key
// that ends a run. Headless, nothing is shown and no key ever arrives, but the
// frame buffer is made and drawn into all the same.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Window options, by name: "DirectX" (accepted, no effect), "windowed output",
// "fullscreen output", "fixed window" (not resizable), "center window".
// 1 when the name is one of these, 0 otherwise (ignored).
int setConsoleOption(const char* option);
// Headless consoles open no window; set before openConsole.
void setConsoleHeadless(bool headless);

// Opens a window of width x height pixels (0x00RRGGBB) and makes a cleared
// frame buffer of that size. 1 opened; 0 when no window could be made (the
// reason goes to standard error), in which case keyPending reports a key so
// that the run ends at once.
int openConsole(const char* title, int width, int height, bool fullScreen);
// Rows of width pixels, one after another; null before the first open.
uint32_t* frameBuffer();
// Shows a frame buffer of the open console's size.
void presentFrame(const uint32_t* frame);
// Replaces the window's title (nothing when headless).
void setConsoleTitle(const char* title);
// A key was pressed in the window, or the window was closed.
bool keyPending();
void closeConsole();

// Writes width x height pixels (0x00RRGGBB, rows one after another) as an
// 8-bit RGB PNG, replacing any file at path whole. 1 written; 0 not, with
// the reason in reason and the earlier file as it was.
int writePng(const char* path, const uint32_t* pixels, int width, int height, std::string& reason);
// Reads a PNG file of at most maxPngPixels pixels, of any colour type, as
// 0x00RRGGBB pixels (transparency left out). 1 read; 0 not, with the reason.
constexpr size_t maxPngPixels = size_t{1} << 24;
int readPng(const char* path, std::vector<uint32_t>& pixels, int& width, int& height,
            std::string& reason);
