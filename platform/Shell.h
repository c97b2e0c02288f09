// Handing files and addresses to the desktop.
#pragma once

#include <string>

namespace ravo::platform {

// Opens the file with the program the desktop associates with it, in the
// given working directory (empty: the current one). True when the opener
// started; it is not waited for, so that a slow opener never blocks the
// caller.
bool ShellOpen(const std::string& file, const std::string& parameters,
               const std::string& workingDir);

// Opens a web address in the desktop's web browser. True when started.
bool OpenInWebBrowser(const std::string& url);

// Opens a target the way the desktop's shell reads it: an existing file or
// folder with its program, an address that names its scheme ("mailto:...",
// "https://...") with that scheme's handler, and anything else, such as a
// bare host name ("www.example.com", "host:8080/page"), as an http address.
// True when the opener started.
bool ShellOpenTarget(const std::string& target);

}  // namespace ravo::platform
