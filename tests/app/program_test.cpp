// End-to-end runs of the built program in an empty working directory.
#include <sys/wait.h>

#include <cstdlib>
#include <regex>
#include <string>

#include "app/app.h"
#include "support.h"

namespace {

using namespace shelltest;

struct Outcome {
  int status;
  std::string out;
  std::string err;
};

class ProgramTest : public ScratchDirectory {
 protected:
  // Runs the program with the arguments (already quoted for the shell) in
  // the scratch directory, with the environment prefix given.
  Outcome run(const std::string& arguments, const std::string& environment = "") {
    std::string program = std::string(SB_BINARY_DIR) + "/stonebreaker";
    if (!fs::exists(program)) ADD_FAILURE() << "not built: " << program;
    std::string command =
        environment + " '" + program + "' " + arguments + " >out.txt 2>err.txt </dev/null";
    int raw = std::system(command.c_str());
    Outcome outcome{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, readFile("out.txt"),
                    readFile("err.txt")};
    fs::remove("out.txt");
    fs::remove("err.txt");
    return outcome;
  }
};

const std::regex logPattern(
    "Stonebreaker 0\\.0\\.1 \\([A-Z][a-z]{2} [ 1-3][0-9] [0-9]{4} [0-9]{2}:[0-9]{2}:[0-9]{2}\\)\n"
    "Memory usage:\n"
    "\n\t               0 bytes total\\(0 Mb\\)\n"
    "\n\t               0 bytes memory peak\\(0 Mb\\)\n");

TEST_F(ProgramTest, HeadlessInAnEmptyDirectoryWritesItsFilesAndExitsZero) {
  Outcome o = run("--headless");
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(readFile("stoneBreaker.ini"), defaultConfigurationText());
  std::string log = readFile("s000.log");
  EXPECT_TRUE(std::regex_match(log, logPattern)) << log;
}

TEST_F(ProgramTest, NoArgumentsWithoutADisplayBehavesTheSame) {
  Outcome o = run("", "env -u DISPLAY -u WAYLAND_DISPLAY -u SB_HEADLESS");
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(readFile("stoneBreaker.ini"), defaultConfigurationText());
  EXPECT_TRUE(std::regex_match(readFile("s000.log"), logPattern));
}

TEST_F(ProgramTest, SecondRunKeepsTheConfiguration) {
  std::string text = std::string(defaultConfigurationText());
  text.replace(text.find("debugMode    \tno"), 16, "debugMode    \tyes");
  writeFile("stoneBreaker.ini", text);
  EXPECT_EQ(run("--headless").status, 0);
  EXPECT_EQ(readFile("stoneBreaker.ini"), text);
}

TEST_F(ProgramTest, UnknownOptionExitsTwoWithTheUsageAndTouchesNothing) {
  Outcome o = run("--bogus");
  EXPECT_EQ(o.status, 2);
  EXPECT_EQ(o.err, "stonebreaker: unknown option '--bogus'\n" + std::string(usageText()));
  EXPECT_EQ(o.out, "");
  EXPECT_FALSE(fs::exists("stoneBreaker.ini"));
  EXPECT_FALSE(fs::exists("s000.log"));
}

TEST_F(ProgramTest, BadArgumentsExitTwo) {
  for (const char* arguments : {"--play", "--frames abc", "--frames", "--screenshot", "stray"}) {
    Outcome o = run(arguments);
    EXPECT_EQ(o.status, 2) << arguments;
    EXPECT_EQ(o.err.rfind("stonebreaker: ", 0), 0u) << arguments;
    EXPECT_FALSE(fs::exists("s000.log")) << arguments;
  }
}

TEST_F(ProgramTest, HelpAndVersion) {
  Outcome help = run("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out, usageText());
  Outcome version = run("--version");
  EXPECT_EQ(version.status, 0);
  EXPECT_TRUE(std::regex_match(
      version.out, std::regex("Stonebreaker 0\\.0\\.1 \\(built [A-Z][a-z]{2} [ 1-3][0-9] "
                              "[0-9]{4} [0-9]{2}:[0-9]{2}:[0-9]{2}\\)\n")))
      << version.out;
  EXPECT_FALSE(fs::exists("stoneBreaker.ini"));
}

TEST_F(ProgramTest, PlayingAMissingDriverExitsOneAfterTheBox) {
  Outcome o = run("--headless --play missing.drv --frames 1");
  EXPECT_EQ(o.status, 1);
  EXPECT_NE(o.err.find("Error while loading: missing.drv\n"), std::string::npos) << o.err;
  std::string log = readFile("s000.log");
  EXPECT_EQ(log.rfind("Stonebreaker 0.0.1 (", 0), 0u);
  EXPECT_NE(log.find("Memory usage:\n"), std::string::npos);
  EXPECT_EQ(readFile("stoneBreaker.ini"), defaultConfigurationText());
}

TEST_F(ProgramTest, LogThatCannotBeOpenedEndsWithStatusZero) {
  fs::create_directory("s000.log");
  Outcome o = run("--headless");
  EXPECT_EQ(o.status, 0);
  EXPECT_NE(o.err.find("Fatal error: Cannot open log file\n"), std::string::npos) << o.err;
  EXPECT_EQ(readFile("stoneBreaker.ini"), defaultConfigurationText());
}

TEST_F(ProgramTest, UnwritableConfigurationWarnsAndExitsZero) {
  fs::create_directory("stoneBreaker.ini");
  Outcome o = run("--headless");
  EXPECT_EQ(o.status, 0);
  EXPECT_NE(o.err.find("Warning: Current options cannot be saved\n"), std::string::npos) << o.err;
  EXPECT_TRUE(std::regex_match(readFile("s000.log"), logPattern));
}

}  // namespace
