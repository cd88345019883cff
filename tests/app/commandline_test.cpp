// The command line: every option, its arguments and the errors.
#include <string>
#include <vector>

#include "app/app.h"
#include "support.h"

namespace {

struct Parsed {
  int ok;
  CommandLine line;
  std::string error;
};

Parsed parse(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), "stonebreaker");
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  Parsed parsed;
  parsed.line.play = "stale";  // parsing starts from a fresh line
  parsed.ok =
      parseCommandLine(static_cast<int>(arguments.size()), argv.data(), parsed.line, parsed.error);
  return parsed;
}

TEST(CommandLineTest, NoArgumentsIsTheLauncher) {
  Parsed p = parse({});
  ASSERT_EQ(p.ok, 1);
  EXPECT_FALSE(p.line.help);
  EXPECT_FALSE(p.line.version);
  EXPECT_FALSE(p.line.headless);
  EXPECT_EQ(p.line.play, "");
  EXPECT_EQ(p.line.frames, -1);
  EXPECT_EQ(p.line.screenshot, "");
  EXPECT_EQ(p.error, "");
}

TEST(CommandLineTest, Flags) {
  EXPECT_TRUE(parse({"--help"}).line.help);
  EXPECT_TRUE(parse({"-h"}).line.help);
  EXPECT_TRUE(parse({"--version"}).line.version);
  EXPECT_TRUE(parse({"--headless"}).line.headless);
}

TEST(CommandLineTest, OptionsWithArgumentsSeparateOrAttached) {
  Parsed p = parse({"--headless", "--play", "sample.drv", "--frames", "120", "--screenshot",
                    "out dir/shot.png"});
  ASSERT_EQ(p.ok, 1) << p.error;
  EXPECT_TRUE(p.line.headless);
  EXPECT_EQ(p.line.play, "sample.drv");
  EXPECT_EQ(p.line.frames, 120);
  EXPECT_EQ(p.line.screenshot, "out dir/shot.png");
  p = parse({"--play=a.drv", "--frames=0", "--screenshot=x.png"});
  ASSERT_EQ(p.ok, 1) << p.error;
  EXPECT_EQ(p.line.play, "a.drv");
  EXPECT_EQ(p.line.frames, 0);
  EXPECT_EQ(p.line.screenshot, "x.png");
  EXPECT_EQ(parse({"--gdb", "65535"}).line.gdbPort, 65535);
  // An argument may itself begin with dashes.
  p = parse({"--play", "--odd.drv"});
  ASSERT_EQ(p.ok, 1) << p.error;
  EXPECT_EQ(p.line.play, "--odd.drv");
}

TEST(CommandLineTest, ErrorsNameTheOption) {
  struct Case {
    std::vector<std::string> arguments;
    std::string error;
  };
  const Case cases[] = {
      {{"--bogus"}, "unknown option '--bogus'"},
      {{"-x"}, "unknown option '-x'"},
      {{"--headless", "--bogus=1"}, "unknown option '--bogus'"},
      {{"game.drv"}, "unexpected argument 'game.drv'"},
      {{"--play"}, "option '--play' needs an argument"},
      {{"--frames"}, "option '--frames' needs an argument"},
      {{"--screenshot"}, "option '--screenshot' needs an argument"},
      {{"--play="}, "option '--play' needs a driver file name"},
      {{"--screenshot", ""}, "option '--screenshot' needs a file name"},
      {{"--frames", "abc"}, "option '--frames' needs a whole number of frames, not 'abc'"},
      {{"--frames", "-5"}, "option '--frames' needs a whole number of frames, not '-5'"},
      {{"--frames", "12x"}, "option '--frames' needs a whole number of frames, not '12x'"},
      {{"--frames", ""}, "option '--frames' needs a whole number of frames, not ''"},
      {{"--frames", "99999999999999999999"},
       "option '--frames' needs a whole number of frames, not '99999999999999999999'"},
      {{"--headless=yes"}, "option '--headless' takes no argument"},
      {{"--gdb", "0"}, "option '--gdb' needs a port number from 1 to 65535, not '0'"},
      {{"--gdb=65536"}, "option '--gdb' needs a port number from 1 to 65535, not '65536'"},
  };
  for (const Case& c : cases) {
    Parsed p = parse(c.arguments);
    EXPECT_EQ(p.ok, 0) << c.arguments[0];
    EXPECT_EQ(p.error, c.error);
    EXPECT_EQ(p.error.find('\n'), std::string::npos);
  }
}

TEST(CommandLineTest, UsageNamesEveryOption) {
  std::string usage = usageText();
  for (const char* option :
       {"--help", "--version", "--headless", "--play", "--frames", "--screenshot"})
    EXPECT_NE(usage.find(option), std::string::npos) << option;
  EXPECT_EQ(usage.rfind("Usage: stonebreaker", 0), 0u);
  EXPECT_EQ(usage.back(), '\n');
}

}  // namespace
