// Any configuration file loads; from the first save on (which cuts what a file
// cannot hold, such as a quote in a directory) loading and saving again gives
// the same settings and bytes. The reader's other operations end on any input.
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "base/base.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  setMessageBoxHook([](const char*, const char*, void*, const char*) { abort(); });  // saving must work
  const std::string input = "/tmp/sb_configuration_fuzz_" + std::to_string(getpid());
  const std::string saved = input + "_saved";
  const auto saveAndRead = [&saved] {
    saveConfiguration(saved.c_str());
    std::ifstream in(saved, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  std::ofstream(input, std::ios::binary).write(reinterpret_cast<const char*>(data), size);
  loadConfiguration(input.c_str());
  saveAndRead();
  loadConfiguration(saved.c_str());
  const Settings once = settings;
  const std::string text = saveAndRead();
  loadConfiguration(saved.c_str());
  if (!(settings == once) || saveAndRead() != text) abort();

  if (openDriverFile(input.c_str())) {
    findKey("[gfx]"), findNextKey("SIZE"), readValue();
    for (int i = 0; i < 64 && !driverFileAtEnd(); ++i) readToken();
    closeDriverFile();
  }
  remove(input.c_str());
  remove(saved.c_str());
  return 0;
}
