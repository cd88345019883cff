// Fuzzes the reader through the configuration file: any file loads, and
// what is written back is stable: loading and saving it again gives the
// same settings and the same bytes.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/app.h"
#include "driver/driver.h"

namespace {

std::string scratch(const char* name) {
  return "/tmp/sb_configuration_fuzz_" + std::to_string(getpid()) + "_" + name;
}

std::string readAll(const std::string& path) {
  std::string text;
  FILE* file = fopen(path.c_str(), "rb");
  if (file == nullptr) abort();
  for (int c = getc(file); c != EOF; c = getc(file)) text.push_back(static_cast<char>(c));
  fclose(file);
  return text;
}

void ignoreBox(const char*, const char*, void*) {
  abort();
}  // saving must work

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  setMessageBoxHook(ignoreBox);
  const std::string input = scratch("input.ini");
  const std::string first = scratch("first.ini");
  const std::string second = scratch("second.ini");
  FILE* file = fopen(input.c_str(), "wb");
  if (file == nullptr) abort();
  fwrite(data, 1, size, file);
  fclose(file);

  loadConfiguration(input.c_str());
  saveConfiguration(first.c_str());
  // A value the file cannot hold (a quote or a NUL inside a directory) is
  // cut by the first save; from then on the file is a fixed point.
  loadConfiguration(first.c_str());
  const Settings once = settings;
  saveConfiguration(first.c_str());
  loadConfiguration(first.c_str());
  if (!(settings == once)) abort();
  saveConfiguration(second.c_str());
  if (readAll(first) != readAll(second)) abort();

  // The reader itself over the raw input: every operation ends.
  if (openDriverFile(input.c_str())) {
    findKey("[gfx]");
    findNextKey("SIZE");
    readValue();
    for (int i = 0; i < 64 && !driverFileAtEnd(); ++i) readToken();
    closeDriverFile();
  }
  remove(input.c_str());
  remove(first.c_str());
  remove(second.c_str());
  return 0;
}
