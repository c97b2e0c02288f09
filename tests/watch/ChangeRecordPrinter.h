// Readable change records in test failure messages.
#pragma once

#include <ostream>

#include "platform/ChangePort.h"

namespace ravo::platform {

inline void PrintTo(const ChangeRecord& record, std::ostream* out) {
  *out << "{" << record.action << ", \"" << record.name << "\"}";
}

}  // namespace ravo::platform
