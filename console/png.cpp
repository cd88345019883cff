// PNG files through libpng, tuned for speed, since recording writes one a
// frame: no row filters and the fastest Deflate level, which still packs a
// mostly dark 496 x 480 frame into a few kilobytes.
#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <string>

#include "base/base.h"
#include "console/console.h"

namespace {

constexpr int fastestCompression = 1;

// libpng's errors end the write by a long jump, without a word of their
// own: the caller says what failed.
[[noreturn]] void quietError(png_structp png, png_const_charp) {
  png_longjmp(png, 1);
}
void quietWarning(png_structp, png_const_charp) {}

// Only plain data lives between the setjmp and the jump.
bool writeRows(FILE* file, const uint32_t* pixels, int width, int height) {
  png_structp png =
      png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, quietError, quietWarning);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  if (info == nullptr) {
    png_destroy_write_struct(&png, nullptr);
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_filter(png, 0, PNG_FILTER_NONE);
  png_set_compression_level(png, fastestCompression);
  png_write_info(png, info);
  // A pixel 0x00RRGGBB lies in memory as B, G, R, 0.
  png_set_bgr(png);
  png_set_filler(png, 0, PNG_FILLER_AFTER);
  for (int y = 0; y < height; y++) {
    png_write_row(png, reinterpret_cast<png_const_bytep>(pixels + static_cast<size_t>(y) * width));
  }
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

int writePng(const char* path, const uint32_t* pixels, int width, int height, std::string& reason) {
  if (pixels == nullptr || width <= 0 || height <= 0) {
    reason = "no image";
    return 0;
  }
  return replaceFile(
             path, [&](FILE* file) { return writeRows(file, pixels, width, height); }, reason)
             ? 1
             : 0;
}

int readPng(const char* path, std::vector<uint32_t>& pixels, int& width, int& height,
            std::string& reason) {
  FILE* file = openRegularFile(path, false);
  if (file == nullptr) {
    reason = openFailureReason(errno);
    return 0;
  }
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  bool read = png_image_begin_read_from_stdio(&image, file) != 0;
  if (read && size_t{image.width} * image.height > maxPngPixels) {
    reason = "larger than " + std::to_string(maxPngPixels) + " pixels";
    read = false;
  } else if (read) {
    // Pixels 0xAARRGGBB lie in memory as B, G, R, A.
    image.format = PNG_FORMAT_BGRA;
    pixels.assign(size_t{image.width} * image.height, 0);
    read = png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr) != 0;
  }
  if (!read && reason.empty()) reason = image.message;
  png_image_free(&image);
  fclose(file);
  if (!read) return 0;
  for (uint32_t& pixel : pixels) pixel &= 0xFFFFFF;
  width = int(image.width);
  height = int(image.height);
  return 1;
}
