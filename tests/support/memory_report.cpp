#include "tests/support/memory_report.h"

#include "base/base.h"
#include "tests/support/files.h"

namespace support {

std::string memoryReportText() {
  ScratchDir dir("report");
  FILE* stream = fopen((dir / "report").c_str(), "w");
  writeMemoryReport(stream);
  if (stream != nullptr) fclose(stream);
  return readText(dir.path / "report");
}

}  // namespace support
