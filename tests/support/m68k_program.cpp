#include "tests/support/m68k_program.h"

#include <cstdlib>

namespace support {

Bytes assembleM68k(const fs::path& source, std::string& error) {
  const char* tools[] = {SB_M68K_AS, SB_M68K_LD, SB_M68K_OBJCOPY};
  for (const char* tool : tools) {
    std::error_code ec;
    if (!fs::is_regular_file(tool, ec)) {
      error = "68000 cross tools (binutils-m68k-linux-gnu) not found";
      return {};
    }
  }
  ScratchDir work("m68k");
  const std::string log = " >'" + work / "tools.log" + "' 2>&1";
  const std::string steps[] = {std::string("'") + SB_M68K_AS + "' -m68000 -o '" + work / "p.o" +
                                   "' '" + source.string() + "'" + log,
                               std::string("'") + SB_M68K_LD + "' -e 0 -Ttext=0 -o '" +
                                   work / "p.elf" + "' '" + work / "p.o" + "'" + log,
                               std::string("'") + SB_M68K_OBJCOPY + "' -O binary '" +
                                   work / "p.elf" + "' '" + work / "p.bin" + "'" + log};
  for (const std::string& step : steps) {
    if (std::system(step.c_str()) != 0) {
      error = "failed: " + step + "\n" + readText(work.path / "tools.log");
      return {};
    }
  }
  return readBytes(work.path / "p.bin");
}

}  // namespace support
