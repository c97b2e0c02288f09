// The Win32 change record list (FILE_NOTIFY_INFORMATION) as ReadDirectory-
// ChangesW writes it into a read buffer: per record the offset of the next
// record in bytes (0 for the last), the action, the name's length in bytes
// and the name in UTF-16, relative to the watched directory, unterminated.
#pragma once

#include <cstddef>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ChangePort.h"

namespace ravo::platform {

// Turns a UTF-16 name into the program's byte text (the ANSI code page on
// Windows).
using WideToNarrow = std::function<std::string(std::u16string_view)>;

// The records of a read buffer, in order, with their actions as found
// (unknown actions included; an all-zero buffer gives one record of action
// 0). The walk never leaves the buffer: a record whose header or name would
// reach beyond it ends the walk without it, and a next-record offset beyond
// the buffer ends the walk after its record.
std::vector<ChangeRecord> DecodeNotifyBuffer(std::span<const std::byte> buffer,
                                             const WideToNarrow& narrow);

}  // namespace ravo::platform
