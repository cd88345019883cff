// The command line. Without arguments the program starts its launcher as
// it always has; the options serve servers, scripts and tests.
#include <cstring>
#include <string>

#include "app/app.h"

namespace {

constexpr int64_t largestFrameCount = int64_t{1} << 53;

// A decimal count of frames, 0 or more.
bool parseFrameCount(const std::string& text, int64_t& frames) {
  if (text.empty() || text.size() > 16) return false;
  int64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  if (value > largestFrameCount) return false;
  frames = value;
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
         "\n"
         "Exit status: 0 normally, 1 when the game named by --play cannot be loaded,\n"
         "2 for a bad command line.\n";
}

int parseCommandLine(int argc, char** argv, CommandLine& line, std::string& error) {
  line = CommandLine();
  error.clear();
  for (int i = 1; i < argc; ++i) {
    std::string option = argv[i] != nullptr ? argv[i] : "";
    std::string argument;
    bool attached = false;  // --option=value
    size_t equals = option.find('=');
    if (option.rfind("--", 0) == 0 && equals != std::string::npos) {
      argument = option.substr(equals + 1);
      option.resize(equals);
      attached = true;
    }
    auto takeArgument = [&]() {
      if (attached) return true;
      if (i + 1 >= argc || argv[i + 1] == nullptr) {
        error = "option '" + option + "' needs an argument";
        return false;
      }
      argument = argv[++i];
      return true;
    };
    auto noArgument = [&]() {
      if (!attached) return true;
      error = "option '" + option + "' takes no argument";
      return false;
    };
    if (option == "--help" || option == "-h") {
      if (!noArgument()) return 0;
      line.help = true;
    } else if (option == "--version") {
      if (!noArgument()) return 0;
      line.version = true;
    } else if (option == "--headless") {
      if (!noArgument()) return 0;
      line.headless = true;
    } else if (option == "--play") {
      if (!takeArgument()) return 0;
      if (argument.empty()) {
        error = "option '--play' needs a driver file name";
        return 0;
      }
      line.play = argument;
    } else if (option == "--frames") {
      if (!takeArgument()) return 0;
      if (!parseFrameCount(argument, line.frames)) {
        error = "option '--frames' needs a whole number of frames, not '" + argument + "'";
        return 0;
      }
    } else if (option == "--screenshot") {
      if (!takeArgument()) return 0;
      if (argument.empty()) {
        error = "option '--screenshot' needs a file name";
        return 0;
      }
      line.screenshot = argument;
    } else if (option.rfind("-", 0) == 0) {
      error = "unknown option '" + option + "'";
      return 0;
    } else {
      error = "unexpected argument '" + option + "'";
      return 0;
    }
  }
  return 1;
}
