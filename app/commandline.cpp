// The command line. Without arguments the program starts its launcher as
// it always has; the options serve servers, scripts and tests.
#include <cstring>
#include <string>

#include "app/app.h"

namespace {

constexpr int64_t largestCount = int64_t{1} << 53;
constexpr int64_t maxPort = 65535;

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
         "\n"
         "Exit status: 0 normally, 1 when the game named by --play cannot be loaded,\n"
         "2 for a bad command line.\n";
}

namespace {

// One option: its names, whether it takes an argument, and what it sets
// (false with a message in error for a bad argument).
struct OptionRow {
  const char* name;
  const char* shortName;
  bool takesArgument;
  bool (*apply)(CommandLine& line, const std::string& argument, std::string& error);
};

bool needsText(const std::string& argument, const char* message, std::string& error) {
  if (argument.empty()) error = message;
  return !argument.empty();
}

const OptionRow optionRows[] = {
    {"--help", "-h", false,
     [](CommandLine& l, const std::string&, std::string&) { return l.help = true; }},
    {"--version", nullptr, false,
     [](CommandLine& l, const std::string&, std::string&) { return l.version = true; }},
    {"--headless", nullptr, false,
     [](CommandLine& l, const std::string&, std::string&) { return l.headless = true; }},
    {"--play", nullptr, true,
     [](CommandLine& l, const std::string& a, std::string& e) {
       l.play = a;
       return needsText(a, "option '--play' needs a driver file name", e);
     }},
    {"--frames", nullptr, true,
     [](CommandLine& l, const std::string& a, std::string& e) {
       if (parseCount(a, l.frames)) return true;
       e = "option '--frames' needs a whole number of frames, not '" + a + "'";
       return false;
     }},
    {"--log-limit", nullptr, true,
     [](CommandLine& l, const std::string& a, std::string& e) {
       if (parseCount(a, l.logLimit)) return true;
       e = "option '--log-limit' needs a whole number of lines, not '" + a + "'";
       return false;
     }},
    {"--screenshot", nullptr, true,
     [](CommandLine& l, const std::string& a, std::string& e) {
       l.screenshot = a;
       return needsText(a, "option '--screenshot' needs a file name", e);
     }},
    {"--record", nullptr, true,
     [](CommandLine& l, const std::string& a, std::string& e) {
       l.record = a;
       return needsText(a, "option '--record' needs a directory", e);
     }},
    {"--record-every", nullptr, true,
     [](CommandLine& l, const std::string& a, std::string& e) {
       if (parseCount(a, l.recordEvery) && l.recordEvery > 0) return true;
       e = "option '--record-every' needs a whole number of frames above 0, not '" + a + "'";
       return false;
     }},
    {"--save-state", nullptr, true,
     [](CommandLine& l, const std::string& a, std::string& e) {
       l.saveState = a;
       return needsText(a, "option '--save-state' needs a file name", e);
     }},
    {"--gdb", nullptr, true,
     [](CommandLine& l, const std::string& a, std::string& e) {
       if (parseCount(a, l.gdbPort) && l.gdbPort > 0 && l.gdbPort <= maxPort) return true;
       e = "option '--gdb' needs a port number from 1 to 65535, not '" + a + "'";
       return false;
     }},
    {"--load-state", nullptr, true,
     [](CommandLine& l, const std::string& a, std::string& e) {
       l.loadState = a;
       return needsText(a, "option '--load-state' needs a file name", e);
     }},
};

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
    if (!row->takesArgument && attached) {
      error = "option '" + option + "' takes no argument";
      return 0;
    }
    if (row->takesArgument && !attached) {
      if (i + 1 >= argc || argv[i + 1] == nullptr) {
        error = "option '" + option + "' needs an argument";
        return 0;
      }
      argument = argv[++i];
    }
    if (!row->apply(line, argument, error)) return 0;
  }
  return 1;
}
