#include "app/ErrorText.h"

namespace ravo {

std::string ErrorReportText(const std::string& message) {
  if (message.empty()) return message;
  // Step back over UTF-8 continuation bytes to the last character's first byte.
  std::size_t i = message.size() - 1;
  while (i > 0 && (static_cast<unsigned char>(message[i]) & 0xC0) == 0x80) --i;
  return static_cast<unsigned char>(message[i]) > 0x2E ? message + "." : message;
}

}  // namespace ravo
