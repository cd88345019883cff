// The memory report of the allocations recorded so far, as text.
#pragma once

#include <string>

namespace support {

std::string memoryReportText();

}  // namespace support
