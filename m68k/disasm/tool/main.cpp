// stonebreaker-disasm: lists a range of a 68000 ROM image, one instruction a
// line, in the form of the program's log listings.
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "m68k/disasm/disasm.h"

namespace {

constexpr const char* programName = "stonebreaker-disasm";
constexpr int badInput = 2;

// The 68000 addresses 16 MB; an image is placed from address 0.
constexpr size_t addressSpace = size_t{1} << 24;

constexpr const char* usage =
    "Usage: stonebreaker-disasm [--layout be|le|evenodd] [--start HEX] [--end HEX]\n"
    "                           FILE [ODDFILE]\n"
    "Lists the 68000 code of a ROM image from the start address up to the end\n"
    "address, one instruction a line: \"0x<address> <instruction>\". The image\n"
    "occupies the 68000 addresses from 0.\n"
    "\n"
    "  --layout be       FILE is a plain 68000 image, high byte first (default)\n"
    "  --layout le       FILE holds 16-bit words low byte first, as the emulator\n"
    "                    keeps them: the 68000 byte at A is at file offset A^1\n"
    "  --layout evenodd  FILE holds the bytes at even addresses and ODDFILE those\n"
    "                    at odd addresses: the pair of a LOADROMEVENODD command\n"
    "  --start HEX       first address listed, even (default 0)\n"
    "  --end HEX         listing stops at this address, even (default: the image's\n"
    "                    end); the last instruction may reach past it\n"
    "  --help            shows this text\n"
    "\n"
    "Addresses are hexadecimal, with or without \"0x\". Bad input gives a one-line\n"
    "message and exit status 2.\n";

// Bad input: one line on standard error, exit status 2.
[[noreturn]] void fail(const std::string& message) {
  fprintf(stderr, "%s: %s\n", programName, message.c_str());
  exit(badInput);
}

enum class Layout { bigEndian, littleEndian, evenOdd };

struct LayoutName {
  const char* name;
  Layout layout;
};
constexpr LayoutName layoutNames[] = {
    {"be", Layout::bigEndian}, {"le", Layout::littleEndian}, {"evenodd", Layout::evenOdd}};

struct Options {
  Layout layout = Layout::bigEndian;
  uint32_t start = 0;
  bool hasEnd = false;  // else the listing runs to the image's end
  uint32_t end = 0;
  std::vector<std::string> files;
};

Layout parseLayout(const std::string& text) {
  for (const LayoutName& entry : layoutNames) {
    if (text == entry.name) return entry.layout;
  }
  fail("unknown layout '" + text + "' (be, le or evenodd)");
}

// A hexadecimal address within the address space, "0x" optional.
uint32_t parseAddress(const std::string& option, const std::string& text) {
  std::string digits = text;
  if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
    digits = digits.substr(2);
  }
  if (digits.empty() || digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
    fail("bad " + option + " address '" + text + "' (hexadecimal expected)");
  }
  digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size() - 1));
  unsigned long value = digits.size() <= 8 ? strtoul(digits.c_str(), nullptr, 16) : ~0ul;
  if (value > addressSpace) fail(option + " address " + text + " is beyond the 68000's 16 MB");
  return static_cast<uint32_t>(value);
}

Options parseOptions(int argc, char** argv) {
  Options options;
  bool optionsEnded = false;
  for (int i = 1; i < argc; i++) {
    std::string arg = argv[i];
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      options.files.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    if (arg == "--help" || arg == "-h") {
      fputs(usage, stdout);
      exit(0);
    }
    // "--name value" or "--name=value"
    std::string name = arg, value;
    size_t equals = arg.find('=');
    if (equals != std::string::npos) {
      name = arg.substr(0, equals);
      value = arg.substr(equals + 1);
    } else if (name == "--layout" || name == "--start" || name == "--end") {
      if (i + 1 >= argc) fail("option " + name + " needs a value");
      value = argv[++i];
    }
    if (name == "--layout") {
      options.layout = parseLayout(value);
    } else if (name == "--start") {
      options.start = parseAddress("start", value);
    } else if (name == "--end") {
      options.end = parseAddress("end", value);
      options.hasEnd = true;
    } else {
      fail("unknown option '" + arg + "' (see --help)");
    }
  }
  return options;
}

// The whole file, at most the address space.
std::vector<uint8_t> readFile(const std::string& path) {
  FILE* file = fopen(path.c_str(), "rb");
  if (!file) fail("cannot open " + path + ": " + strerror(errno));
  std::vector<uint8_t> bytes;
  uint8_t block[65536];
  size_t got;
  while ((got = fread(block, 1, sizeof block, file)) > 0) {
    bytes.insert(bytes.end(), block, block + got);
    if (bytes.size() > addressSpace) {
      fclose(file);
      fail(path + " is larger than the 68000's 16 MB address space");
    }
  }
  int error = ferror(file) ? errno : 0;
  fclose(file);
  if (error) fail("cannot read " + path + ": " + strerror(error));
  return bytes;
}

// The image as 16-bit words in host order, as the emulator holds its areas.
std::vector<uint16_t> loadImage(const Options& options) {
  size_t wanted = options.layout == Layout::evenOdd ? 2 : 1;
  if (options.files.size() != wanted) {
    fail(options.layout == Layout::evenOdd ? "layout evenodd needs FILE and ODDFILE (see --help)"
                                           : "expected one FILE (see --help)");
  }
  std::vector<uint16_t> words;
  if (options.layout == Layout::evenOdd) {
    std::vector<uint8_t> even = readFile(options.files[0]);
    std::vector<uint8_t> odd = readFile(options.files[1]);
    if (even.size() != odd.size()) {
      fail(options.files[0] + " and " + options.files[1] + " differ in size (" +
           std::to_string(even.size()) + " and " + std::to_string(odd.size()) + " bytes)");
    }
    if (2 * even.size() > addressSpace) fail("the pair is larger than the 68000's 16 MB");
    words.resize(even.size());
    for (size_t i = 0; i < words.size(); i++)
      words[i] = static_cast<uint16_t>(even[i] << 8 | odd[i]);
    return words;
  }
  std::vector<uint8_t> bytes = readFile(options.files[0]);
  if (bytes.size() % 2) {
    fail(options.files[0] + " has an odd size (" + std::to_string(bytes.size()) +
         " bytes); a 68000 image holds whole words");
  }
  bool highFirst = options.layout == Layout::bigEndian;
  words.resize(bytes.size() / 2);
  for (size_t i = 0; i < words.size(); i++) {
    uint8_t first = bytes[2 * i], second = bytes[2 * i + 1];
    words[i] = static_cast<uint16_t>(highFirst ? first << 8 | second : second << 8 | first);
  }
  return words;
}

std::string hex(uint32_t value) {
  char text[16];
  snprintf(text, sizeof text, "0x%x", value);
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  Options options = parseOptions(argc, argv);
  std::vector<uint16_t> words = loadImage(options);
  uint32_t imageEnd = static_cast<uint32_t>(2 * words.size());
  uint32_t start = options.start;
  uint32_t end = options.hasEnd ? options.end : imageEnd;
  if (start % 2) fail("start address " + hex(start) + " is odd");
  if (end % 2) fail("end address " + hex(end) + " is odd");
  if (start > imageEnd)
    fail("start address " + hex(start) + " is past the image's end " + hex(imageEnd));
  if (end > imageEnd) fail("end address " + hex(end) + " is past the image's end " + hex(imageEnd));
  if (start > end) fail("start address " + hex(start) + " is after end address " + hex(end));

  // Each instruction may use every word up to the image's end.
  char line[disasmLineSize];
  for (uint32_t address = start; address < end;) {
    size_t index = address / 2;
    int length = disassemble68kBounded(&words[index], words.size() - index, line, address);
    printf("0x%.6x %s\n", address, line);
    address += static_cast<uint32_t>(length);
  }
  if (fflush(stdout) != 0) {
    fprintf(stderr, "%s: cannot write the listing\n", programName);
    return 1;
  }
  return 0;
}
