// Where a download that a page starts is saved: the user's download folder,
// under the name the page suggests, never over a file that is there.
#pragma once

#include <string>
#include <string_view>

#include "app/BrowsingFolders.h"

namespace ravo {

// The XDG download folder (user-dirs.dirs), else HOME/Downloads; empty
// without a home.
std::string DownloadFolder(const UserEnvironment& env);

// The name to save a file into folder under, a download or a copy the user
// asks for: the suggested name without any folder part or control
// characters ("download" when nothing is left), and where a file of that
// name is in the folder, the first free of "name (1).ext", "name (2).ext",
// ...; empty when none of them is free.
std::string FreeSaveName(const std::string& folder, std::string_view suggested);

// True for the names the browser engine gives files it is still writing
// (".org.chromium.Chromium.XXXXXX", ".com.google.Chrome.XXXXXX",
// "*.crdownload", and "*.download" of the panes' downloads): no file of the
// user's yet, renamed or removed when done.
bool IsEngineTemporaryName(std::string_view name);

}  // namespace ravo
