// stonebreaker-disasm end to end: tool/program.s assembled by GNU as, listed
// from the three layouts and over ranges; the arguments it refuses.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "tests/support/m68k_program.h"
#include "tests/support/shell.h"

namespace {

support::ShellRun tool(const support::ScratchDir& dir, const std::string& arguments) {
  return support::runShell(std::string(SB_DISASM_TOOL) + " " + arguments, dir.path);
}

// The lines of the listing whose address lies in [first, end).
std::string linesBetween(const std::string& listing, unsigned first, unsigned end) {
  std::istringstream in(listing);
  std::string line, out;
  while (std::getline(in, line)) {
    const unsigned address = unsigned(std::stoul(line, nullptr, 16));
    if (address >= first && address < end) out += line + "\n";
  }
  return out;
}

TEST(DisasmTool, ListsEveryLayoutAndRange) {
  support::ScratchDir dir;
  std::string error;
  const support::Bytes bytes = support::assembleM68k(SB_DISASM_DATA "/program.s", error);
  if (bytes.empty()) GTEST_SKIP() << error;
  const std::string image(bytes.begin(), bytes.end());
  support::writeFile(dir / "image", image);
  const std::string listing = support::readText(SB_DISASM_DATA "/listing.txt");
  std::string le = image, even, odd;
  for (size_t i = 0; i < image.size(); i++) {
    le[i] = image[i ^ 1];
    (i % 2 ? odd : even) += image[i];
  }
  support::writeFile(dir / "le", le);
  support::writeFile(dir / "even", even);
  support::writeFile(dir / "odd", odd);
  const struct {
    const char* arguments;
    unsigned first, end;
  } rows[] = {{"image", 0, 0x28},
              {"--layout be --start 0 --end 28 image", 0, 0x28},
              {"--layout le le", 0, 0x28},
              {"--layout=evenodd even odd", 0, 0x28},
              {"--start 0xE --end 0x16 image", 0xE, 0x16},
              {"--start 16 --end 18 image", 0x16, 0x18},
              {"--start 28 image", 0x28, 0x28}};
  for (const auto& row : rows) {
    const support::ShellRun run = tool(dir, row.arguments);
    EXPECT_EQ(run.status, 0) << row.arguments << run.err;
    EXPECT_EQ(run.out, linesBetween(listing, row.first, row.end)) << row.arguments;
  }
}

// Bad input, a run a line of tool/bad_arguments.txt: status 2, one error line.
TEST(DisasmTool, BadInput) {
  support::ScratchDir dir;
  support::writeFile(dir / "four", std::string("\x4E\x71\x4E\x75", 4));
  support::writeFile(dir / "three", std::string("\x4E\x71\x4E", 3));
  std::istringstream rows(support::readText(SB_DISASM_DATA "/bad_arguments.txt"));
  std::string arguments;
  int count = 0;
  while (std::getline(rows, arguments)) {
    const support::ShellRun run = tool(dir, arguments);
    count++;
    EXPECT_EQ(run.status, 2) << arguments;
    EXPECT_EQ(run.out, "") << arguments;
    EXPECT_EQ(run.err.rfind("stonebreaker-disasm: ", 0), 0u) << arguments;
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
  }
  EXPECT_GT(count, 20);
  EXPECT_EQ(tool(dir, "four").out, "0x000000 NOP\n0x000002 RTS\n");
  EXPECT_EQ(tool(dir, "--help").out.rfind("Usage: stonebreaker-disasm", 0), 0u);
}

}  // namespace
