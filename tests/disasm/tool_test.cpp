// stonebreaker-disasm end to end: a small program assembled with GNU as,
// stored in each of the three layouts, listed by the tool; and its answers
// to bad input.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

const char* const program = R"(
    .text
start:
    move.l  #0x12345678,%d0
    lea     16(%a0),%a1
    movem.l %d0-%d7/%a0-%a6,-(%sp)
loop:
    addq.w  #1,%d1
    dbf     %d0,loop
    bra.s   start
    jsr     0x12345
    move.b  (-2,%a0,%d1.w),%d2
    rts
    .word   0xa000
    nop
    .word   0x4eb9
)";

// The last word starts a JSR whose address lies past the image's end.
const char* const listing =
    "0x000000 MOVE.L   #$12345678,D0\n"
    "0x000006 LEA      ($10,A0),A1\n"
    "0x00000a MOVEM.L  D0-D7/A0-A6,-(A7)\n"
    "0x00000e ADDQ.W   #1,D1\n"
    "0x000010 DBF      D0,*-$2 [E]\n"
    "0x000014 BRA.S    *-$14 [0]\n"
    "0x000016 JSR      $12345\n"
    "0x00001c MOVE.B   (-$2,A0,D1.W),D2\n"
    "0x000020 RTS\n"
    "0x000022 DC.W     $A000\n"
    "0x000024 NOP\n"
    "0x000026 DC.W     $4EB9\n";

struct ToolRun {
  int status;
  std::string out;
  std::string err;
};

std::string readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeAll(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

bool executable(const char* path) {
  return access(path, X_OK) == 0;
}

class DisasmTool : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(executable(SB_DISASM_TOOL)) << SB_DISASM_TOOL;
    const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
    dir_ = testing::TempDir() + "disasm_tool_" + info->name() + "_" + std::to_string(getpid());
    ASSERT_EQ(system(("rm -rf '" + dir_ + "' && mkdir -p '" + dir_ + "'").c_str()), 0);
  }
  void TearDown() override {
    if (!dir_.empty()) system(("rm -rf '" + dir_ + "'").c_str());
  }

  std::string path(const std::string& name) const { return dir_ + "/" + name; }

  // The path quoted for the shell, as an argument of the tool.
  std::string arg(const std::string& name) const {
    std::string quoted = " '";
    quoted += path(name);
    quoted += "'";
    return quoted;
  }

  // Runs the tool with the arguments (already quoted where needed).
  ToolRun tool(const std::string& arguments) const {
    std::string command = std::string("'") + SB_DISASM_TOOL + "' " + arguments + " >" +
                          arg("out.txt") + " 2>" + arg("err.txt");
    int status = system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readAll(path("out.txt")),
            readAll(path("err.txt"))};
  }

  // The program as a plain big-endian image, or empty when GNU as is missing.
  std::string assemble() const {
    if (!executable(SB_M68K_AS) || !executable(SB_M68K_OBJCOPY)) return {};
    writeAll(path("program.s"), program);
    std::string command = std::string("'") + SB_M68K_AS + "' -m68000 -o" + arg("program.o") +
                          arg("program.s") + " && '" + SB_M68K_OBJCOPY + "' -O binary" +
                          arg("program.o") + arg("program.bin");
    if (system(command.c_str()) != 0) return {};
    return readAll(path("program.bin"));
  }

  void expectBadInput(const std::string& arguments) const {
    ToolRun run = tool(arguments);
    EXPECT_EQ(run.status, 2) << arguments;
    EXPECT_EQ(run.out, "") << arguments;
    ASSERT_FALSE(run.err.empty()) << arguments;
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << "one line: " << run.err;
    EXPECT_EQ(run.err.rfind("stonebreaker-disasm: ", 0), 0u) << run.err;
  }

  std::string dir_;
};

constexpr const char* noAssembler = "m68k-linux-gnu-as or m68k-linux-gnu-objcopy is not installed";

TEST_F(DisasmTool, BigEndianImage) {
  std::string image = assemble();
  if (image.empty()) GTEST_SKIP() << noAssembler;
  ASSERT_EQ(image.size(), 0x28u);
  ToolRun run = tool(arg("program.bin"));
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, listing);
  // The same, with the layout named and the whole range given.
  run = tool("--layout be --start 0 --end 28" + arg("program.bin"));
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, listing);
}

TEST_F(DisasmTool, LittleEndianWords) {
  std::string image = assemble();
  if (image.empty()) GTEST_SKIP() << noAssembler;
  std::string swapped = image;
  for (size_t i = 0; i + 1 < swapped.size(); i += 2) std::swap(swapped[i], swapped[i + 1]);
  writeAll(path("program.le"), swapped);
  ToolRun run = tool("--layout le" + arg("program.le"));
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, listing);
}

TEST_F(DisasmTool, EvenOddPair) {
  std::string image = assemble();
  if (image.empty()) GTEST_SKIP() << noAssembler;
  std::string even, odd;
  for (size_t i = 0; i < image.size(); i++) (i % 2 ? odd : even) += image[i];
  writeAll(path("program.even"), even);
  writeAll(path("program.odd"), odd);
  ToolRun run = tool("--layout=evenodd" + arg("program.even") + arg("program.odd"));
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, listing);
}

// The listing starts and stops where asked; the last instruction may reach
// past the end address but uses only the image's words.
TEST_F(DisasmTool, Range) {
  std::string image = assemble();
  if (image.empty()) GTEST_SKIP() << noAssembler;
  ToolRun run = tool("--start 0xE --end 0x17" + arg("program.bin"));
  EXPECT_EQ(run.status, 2);
  run = tool("--start 0xE --end 0x16" + arg("program.bin"));
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out,
            "0x00000e ADDQ.W   #1,D1\n"
            "0x000010 DBF      D0,*-$2 [E]\n"
            "0x000014 BRA.S    *-$14 [0]\n");
  run = tool("--start 16 --end 18" + arg("program.bin"));
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "0x000016 JSR      $12345\n");
  run = tool("--start 28" + arg("program.bin"));
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "");
}

TEST_F(DisasmTool, Help) {
  ToolRun run = tool("--help");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out.rfind("Usage: stonebreaker-disasm", 0), 0u) << run.out;
}

TEST_F(DisasmTool, BadInput) {
  writeAll(path("four.bin"), std::string("\x4E\x71\x4E\x75", 4));
  writeAll(path("three.bin"), std::string("\x4E\x71\x4E", 3));
  const std::string four = arg("four.bin");
  expectBadInput(arg("missing.bin"));
  expectBadInput("");
  expectBadInput(four + four);
  expectBadInput("--start 1 " + four);
  expectBadInput("--end 3 " + four);
  expectBadInput("--start 6 " + four);
  expectBadInput("--end 6 " + four);
  expectBadInput("--start 4 --end 2 " + four);
  expectBadInput("--start 1000000 " + four);
  expectBadInput("--start xyz " + four);
  expectBadInput("--start 0x " + four);
  expectBadInput("--start -2 " + four);
  expectBadInput("--end 123456789 " + four);
  expectBadInput("--layout middle " + four);
  expectBadInput("--verbose " + four);
  expectBadInput(four + " --start");
  expectBadInput("--layout evenodd " + four);
  expectBadInput("--layout evenodd " + four + arg("three.bin"));
  expectBadInput(arg("three.bin"));
  expectBadInput("--layout le" + arg("three.bin"));
  expectBadInput(arg(""));  // the directory itself
  // The good file itself lists fine.
  ToolRun run = tool(four);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "0x000000 NOP\n0x000002 RTS\n");
}

}  // namespace
