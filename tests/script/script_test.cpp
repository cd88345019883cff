// Lua scripts over runs of the built program on the demo (scripts.table):
// what each prints, its exit status, and the files it leaves.
#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>

#include "tests/support/shell.h"
#include "tests/support/table.h"

namespace {

using namespace support;

TEST(Script, RunsOfTheDemo) {
  if (!fs::exists(SB_RUN_DIR "/drv/demo.drv")) GTEST_SKIP() << "no demo ROM set in " SB_RUN_DIR;
  setenv("SB", SB_BINARY_DIR "/stonebreaker", 1);
  setenv("ELF", SB_BINARY_DIR "/demo/master.elf", 1);
  setenv("EXAMPLES", SB_SOURCE_DIR "/examples/scripts", 1);
  setenv("GOLDEN", SB_SOURCE_DIR "/tests/system21/golden", 1);
  const std::string sb = "sb() { \"$SB\" --headless --play demo.drv --script t.lua \"$@\"; }; ";
  for (const auto& [row, outcome] : readTable(SB_SOURCE_DIR "/tests/script/scripts.table")) {
    ScratchDir dir;
    for (const std::string link : {"drv", "roms"})
      fs::create_directory_symlink(SB_RUN_DIR "/" + link, dir.path / link);
    const size_t split = row.find(" :: ");
    writeFile(dir.path / "t.lua", split == std::string::npos ? "" : row.substr(split + 4));
    const ShellRun run = runShell("{ " + sb + row.substr(0, split) + "; }", dir.path);
    const std::string seen = std::to_string(run.status) + " | " + run.out + " | " + run.err;
    EXPECT_TRUE(std::regex_match(seen, std::regex(outcome))) << row << "\n" << seen;
  }
}

}  // namespace
