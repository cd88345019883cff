// Tables of cases kept as data files: one "input -> output" row a line.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "tests/support/files.h"

namespace support {

using TableRow = std::pair<std::string, std::string>;

// The rows of a table file. " -> " splits a row (the spaces may be missing
// at either end of the line); "\n" and "\t" stand for line ends and tabs;
// lines without an arrow are comments. A missing file fails the test and gives no rows.
std::vector<TableRow> readTable(const fs::path& path);

}  // namespace support
