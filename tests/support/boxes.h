// Message boxes recorded instead of shown, while a BoxRecord lives.
#pragma once

#include <string>

namespace support {

// Every box shown, one "caption: text" line each, with " (informative)"
// when it has one (the form a headless box takes on standard error), and the
// owner of the last one.
struct BoxRecord {
  BoxRecord();
  ~BoxRecord();
  BoxRecord(const BoxRecord&) = delete;
  BoxRecord& operator=(const BoxRecord&) = delete;
  std::string lines;
  void* lastOwner = nullptr;
};

}  // namespace support
