#include "app/ErrorText.h"

#include "fsutil/PathText.h"

namespace ravo {

std::string ErrorReportText(const std::string& message) {
  if (message.empty()) return message;
  unsigned char first = static_cast<unsigned char>(message[LastCharStart(message)]);
  return first > 0x2E ? message + "." : message;
}

}  // namespace ravo
