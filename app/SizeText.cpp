#include "app/SizeText.h"

namespace ravo {

std::string SizeToText(std::int64_t size) {
  if (size <= 0) return {};
  static const char* const kUnits[] = {"kB", "MB", "GB"};
  const auto bytes = static_cast<std::uint64_t>(size);
  if (bytes <= 1024) return std::to_string(size) + "B";
  std::uint64_t divisor = 1024;
  int unit = 0;
  while (unit < 2 && bytes > divisor * 1024) {
    divisor *= 1024;
    ++unit;
  }
  // Hundredths of the unit, rounded half away from zero on the exact value.
  // The remainder is below 2^30, so remainder * 100 cannot overflow.
  const std::uint64_t remainder = bytes % divisor;
  std::uint64_t hundredths = bytes / divisor * 100 + remainder * 100 / divisor;
  if ((remainder * 100 % divisor) * 2 >= divisor) ++hundredths;
  const std::uint64_t whole = hundredths / 100;
  const unsigned fraction = static_cast<unsigned>(hundredths % 100);
  return std::to_string(whole) + (fraction < 10 ? ".0" : ".") + std::to_string(fraction) +
         kUnits[unit];
}

}  // namespace ravo
