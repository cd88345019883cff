#include "tests/support/table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

namespace support {

namespace {

std::string unescape(std::string text) {
  for (const auto& [from, to] : {std::pair<const char*, char>{"\\n", '\n'}, {"\\t", '\t'}}) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + 1))
      text.replace(at, 2, 1, to);
  }
  return text;
}

}  // namespace

std::vector<TableRow> readTable(const fs::path& path) {
  EXPECT_TRUE(fs::exists(path)) << path;
  std::vector<TableRow> rows;
  std::istringstream lines(readText(path));
  for (std::string line; std::getline(lines, line);) {
    const size_t arrow = (" " + line + " ").find(" -> ");  // one past the arrow's space
    if (arrow == std::string::npos) continue;
    rows.emplace_back(unescape(line.substr(0, arrow == 0 ? 0 : arrow - 1)),
                      unescape(line.substr(std::min(arrow + 3, line.size()))));
  }
  return rows;
}

}  // namespace support
