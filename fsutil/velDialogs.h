// The yes/no question box.
#pragma once

#include <string>

namespace ravo {

// Asks the question in a topmost box captioned "提示" with a question icon
// and the buttons Yes and No. True when the answer is Yes.
bool AskYesNo(const std::string& question);

}  // namespace ravo
