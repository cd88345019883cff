// The command line. Without arguments the program starts its launcher as
// it always has; the options serve servers, scripts and tests.
#include <cstring>
#include <string>

#include "app/app.h"
#include "base/base.h"

namespace {

constexpr int64_t largestCount = int64_t{1} << 53;
constexpr int64_t maxPort = 65535;
constexpr int64_t maxHistoryMb = 65536;

// A decimal count (of frames, of lines), 0 or more.
bool parseCount(const std::string& text, int64_t& count) {
  if (text.empty() || text.size() > 16) return false;
  int64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  if (value > largestCount) return false;
  count = value;
  return true;
}

}  // namespace

const char* usageText() {
  return "Usage: stonebreaker [OPTION]...\n"
         "Runs the System 21 emulator in the current directory (stoneBreaker.ini, s000.log,\n"
         "drivers in drv/, ROMs in roms/ unless the configuration says otherwise).\n"
         "\n"
         "  --help               show this text and exit\n"
         "  --version            show the version and build date and exit\n"
         "  --headless           no windows: boxes go to standard error, the launcher\n"
         "                       scans the drivers and leaves\n"
         "  --play DRIVER        play the driver file DRIVER (such as sample.drv) once\n"
         "                       instead of showing the launcher\n"
         "  --frames N           end each game run after N frames\n"
         "  --screenshot FILE    write the last frame of the run to FILE as PNG\n"
         "  --log-limit N        write at most N unknown-access lines a run, then only\n"
         "                       count them (default 100000; 0: every access)\n"
         "  --record DIR         write the frames of each run to DIR as numbered PNG files\n"
         "  --record-every N     with --record, only every Nth frame (default 1)\n"
         "  --save-state FILE    write the whole machine to FILE when the run ends\n"
         "  --load-state FILE    start the run from the state in FILE (same game and ROMs)\n"
         "  --gdb PORT           each run waits, halted, for a GDB client on 127.0.0.1:PORT\n"
         "  --no-fast-forward    run every pass of a polling loop rather than counting the\n"
         "                       passes (the same results, slower)\n"
         "  --history-mb N       with --gdb, keep at most N MB of the run's history for\n"
         "                       going back (default 256; 0: no history, no going back)\n"
         "  --script FILE.lua    run the Lua script FILE.lua alongside each game run\n"
         "\n"
         "Exit status: 0 normally, 1 when the game named by --play cannot be loaded or\n"
         "a file asked for by --save-state, --screenshot or --record cannot be written\n"
         "whole or the script failed, the status given to the script's sb.stop, 2 for\n"
         "a bad command line.\n";
}

namespace {

// One option: its names and what it sets: a flag, a text that must not be
// empty, or a count from least to most. `what` says what its argument must
// be.
struct OptionRow {
  const char* name;
  const char* shortName;
  bool CommandLine::*flag;
  std::string CommandLine::*text;
  int64_t CommandLine::*count;
  int64_t least, most;
  const char* what;
};

const OptionRow optionRows[] = {
    {"--help", "-h", &CommandLine::help, nullptr, nullptr, 0, 0, nullptr},
    {"--version", nullptr, &CommandLine::version, nullptr, nullptr, 0, 0, nullptr},
    {"--headless", nullptr, &CommandLine::headless, nullptr, nullptr, 0, 0, nullptr},
    {"--play", nullptr, nullptr, &CommandLine::play, nullptr, 0, 0, "a driver file name"},
    {"--frames", nullptr, nullptr, nullptr, &CommandLine::frames, 0, largestCount,
     "a whole number of frames"},
    {"--log-limit", nullptr, nullptr, nullptr, &CommandLine::logLimit, 0, largestCount,
     "a whole number of lines"},
    {"--screenshot", nullptr, nullptr, &CommandLine::screenshot, nullptr, 0, 0, "a file name"},
    {"--record", nullptr, nullptr, &CommandLine::record, nullptr, 0, 0, "a directory"},
    {"--record-every", nullptr, nullptr, nullptr, &CommandLine::recordEvery, 1, largestCount,
     "a whole number of frames above 0"},
    {"--save-state", nullptr, nullptr, &CommandLine::saveState, nullptr, 0, 0, "a file name"},
    {"--gdb", nullptr, nullptr, nullptr, &CommandLine::gdbPort, 1, maxPort,
     "a port number from 1 to 65535"},
    {"--load-state", nullptr, nullptr, &CommandLine::loadState, nullptr, 0, 0, "a file name"},
    {"--no-fast-forward", nullptr, &CommandLine::noFastForward, nullptr, nullptr, 0, 0, nullptr},
    {"--history-mb", nullptr, nullptr, nullptr, &CommandLine::historyMb, 0, maxHistoryMb,
     "a number of megabytes from 0 to 65536"},
    {"--script", nullptr, nullptr, &CommandLine::script, nullptr, 0, 0, "a Lua file"},
};

// Sets what the row sets; false with a message in error for a bad argument.
bool apply(const OptionRow& row, CommandLine& line, const std::string& argument,
           std::string& error) {
  if (row.flag != nullptr) return line.*row.flag = true;
  const std::string needs = std::string("option '") + row.name + "' needs " + row.what;
  if (row.text != nullptr) {
    line.*row.text = argument;
    if (argument.empty()) error = needs;
    return !argument.empty();
  }
  int64_t value = 0;
  if (parseCount(argument, value) && value >= row.least && value <= row.most) {
    line.*row.count = value;
    return true;
  }
  error = needs + ", not '" + argument + "'";
  return false;
}

const OptionRow* findOption(const std::string& option) {
  for (const OptionRow& row : optionRows) {
    if (option == row.name || (row.shortName != nullptr && option == row.shortName)) return &row;
  }
  return nullptr;
}

}  // namespace

int parseCommandLine(int argc, char** argv, CommandLine& line, std::string& error) {
  line = CommandLine();
  error.clear();
  for (int i = 1; i < argc; ++i) {
    std::string option = argv[i] != nullptr ? argv[i] : "";
    std::string argument;
    bool attached = false;  // --option=value
    const size_t equals = option.find('=');
    if (option.rfind("--", 0) == 0 && equals != std::string::npos) {
      argument = option.substr(equals + 1);
      option.resize(equals);
      attached = true;
    }
    const OptionRow* row = findOption(option);
    if (row == nullptr) {
      error = option.rfind("-", 0) == 0 ? "unknown option '" + option + "'"
                                        : "unexpected argument '" + option + "'";
      return 0;
    }
    const bool takesArgument = row->flag == nullptr;
    if (!takesArgument && attached) {
      error = "option '" + option + "' takes no argument";
      return 0;
    }
    if (takesArgument && !attached) {
      if (i + 1 >= argc || argv[i + 1] == nullptr) {
        error = "option '" + option + "' needs an argument";
        return 0;
      }
      argument = argv[++i];
    }
    if (!apply(*row, line, argument, error)) return 0;
  }
  if (!line.script.empty()) {
    FILE* file = openRegularFile(line.script.c_str(), false);
    if (file == nullptr) {
      error = "cannot read the script '" + line.script + "': " + openFailureReason(errno);
      return 0;
    }
    fclose(file);
  }
  return 1;
}
