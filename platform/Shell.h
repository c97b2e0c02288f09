// Handing files and addresses to the desktop.
#pragma once

#include <string>

namespace ravo::platform {

// Opens the file with the program the desktop associates with it, in the
// given working directory (empty: the current one). True when the opener
// started and reported success.
bool ShellOpen(const std::string& file, const std::string& parameters,
               const std::string& workingDir);

// Opens a web address in the desktop's web browser. True when started.
bool OpenInWebBrowser(const std::string& url);

}  // namespace ravo::platform
