// The text of the application's standard error report.
#pragma once

#include <string>

namespace ravo {

// The error's text with a period appended when the first byte of its last
// character lies above the period's code 0x2E, so that a text ending in ")"
// gets none while one ending in a letter or a Chinese character does.
std::string ErrorReportText(const std::string& message);

}  // namespace ravo
