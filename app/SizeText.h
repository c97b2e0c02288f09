// The short size text of the capture list's size column.
#pragma once

#include <cstdint>
#include <string>

namespace ravo {

// "%.0fB", "%.2fkB", "%.2fMB" or "%.2fGB" by powers of 1024, each step taken
// only when the value divided by 1024 is greater than 1; halves round away
// from zero on the exact value. Empty for 0 and negative sizes.
std::string SizeToText(std::int64_t size);

}  // namespace ravo
