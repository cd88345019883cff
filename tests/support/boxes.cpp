#include "tests/support/boxes.h"

#include "base/base.h"

namespace support {

namespace {

BoxRecord* current = nullptr;

void record(const char* text, const char* caption, void* owner, const char* informative) {
  current->lines += std::string(caption) + ": " + text +
                    (*informative ? std::string(" (") + informative + ")" : "") + "\n";
  current->lastOwner = owner;
}

}  // namespace

BoxRecord::BoxRecord() {
  current = this;
  setMessageBoxHook(record);
}

BoxRecord::~BoxRecord() {
  setMessageBoxHook(nullptr);
  current = nullptr;
}

}  // namespace support
