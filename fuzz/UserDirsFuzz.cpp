// Arbitrary bytes as the text of user-dirs.dirs: parsed into the user's
// folders, which then order the folders watched first.
//
// Every folder found must be absolute, without a trailing separator (but
// "/"), named by a key that user-dirs.dirs can hold; the folder list starts
// with the program's own cache and ends with the home folder.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "app/BrowsingFolders.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using ravo::fuzz::Expect;
  std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::string home = "/home/ann";
  for (const auto& [key, dir] : ravo::ParseUserDirs(text, home)) {
    Expect(!key.empty() && key.find('\n') == std::string::npos, "a key is one nonempty word");
    Expect(dir.starts_with('/'), "a folder is absolute");
    Expect(dir == "/" || !dir.ends_with('/'), "a folder has no trailing separator");
    Expect(dir.find('\n') == std::string::npos, "a folder is within its line");
  }
  ravo::UserEnvironment env{home, "", "", std::string(text)};
  std::vector<std::string> folders = ravo::BrowsingFolders(env, "/home/ann/.cache/ravo");
  Expect(!folders.empty() && folders.front() == "/home/ann/.cache/ravo", "own cache first");
  Expect(folders.back() == home, "home last");
  return 0;
}
