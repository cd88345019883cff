// Any configuration file loads, and what saving writes is a fixed point from
// the first save on: loading and saving it again gives the same settings and
// bytes. (A value the file cannot hold, a quote or NUL inside a directory, is
// cut by the first save.) The reader's other operations end on any input.
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "base/base.h"

namespace {

std::string scratch(const char* name) {
  return "/tmp/sb_configuration_fuzz_" + std::to_string(getpid()) + "_" + name;
}

std::string saved(const std::string& path) {
  saveConfiguration(path.c_str());
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void noBox(const char*, const char*, void*) {
  abort();
}  // saving must work

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  setMessageBoxHook(noBox);
  const std::string input = scratch("input.ini"), first = scratch("first.ini");
  std::ofstream(input, std::ios::binary).write(reinterpret_cast<const char*>(data), size);
  loadConfiguration(input.c_str());
  saved(first);
  loadConfiguration(first.c_str());
  const Settings once = settings;
  const std::string text = saved(first);
  loadConfiguration(first.c_str());
  if (!(settings == once) || saved(first) != text) abort();

  if (openDriverFile(input.c_str())) {
    findKey("[gfx]");
    findNextKey("SIZE");
    readValue();
    for (int i = 0; i < 64 && !driverFileAtEnd(); ++i) readToken();
    closeDriverFile();
  }
  remove(input.c_str());
  remove(first.c_str());
  return 0;
}
