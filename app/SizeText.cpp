#include "app/SizeText.h"

namespace ravo {

std::string SizeToText(std::int64_t size) {
  if (size <= 0) return {};
  static const char* const kUnits[] = {"kB", "MB", "GB"};
  const auto bytes = static_cast<unsigned __int128>(size);
  if (bytes <= 1024) return std::to_string(size) + "B";
  unsigned __int128 divisor = 1024;
  int unit = 0;
  while (unit < 2 && bytes > divisor * 1024) {
    divisor *= 1024;
    ++unit;
  }
  // Hundredths of the unit, rounded half away from zero on the exact value.
  unsigned __int128 hundredths = bytes * 100 / divisor;
  if ((bytes * 100 % divisor) * 2 >= divisor) ++hundredths;
  auto whole = static_cast<std::uint64_t>(hundredths / 100);
  auto fraction = static_cast<unsigned>(hundredths % 100);
  std::string text = std::to_string(whole) + "." + (fraction < 10 ? "0" : "") +
                     std::to_string(fraction) + kUnits[unit];
  return text;
}

}  // namespace ravo
