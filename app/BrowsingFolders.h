// The folders where what the user browses reaches the disk, most likely
// first: monitoring watches them before the rest of a drive, so that they
// are watched early in a long set-up and are among what is watched when the
// system's watch limit is too small for the whole drive.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace ravo {

// Where the folders are looked for: the environment's values (empty when
// unset).
struct UserEnvironment {
  std::string home;           // HOME
  std::string cacheHome;      // XDG_CACHE_HOME
  std::string configHome;     // XDG_CONFIG_HOME
  std::string userDirsText;   // the content of user-dirs.dirs, if any
};

// The environment of this process, with user-dirs.dirs read (at most
// kMaxUserDirsSize bytes of it).
inline constexpr std::size_t kMaxUserDirsSize = 64 * 1024;
UserEnvironment CurrentUserEnvironment();

// The user's cache folder: XDG_CACHE_HOME when it is absolute, else
// HOME/.cache; empty without either.
std::string CacheHome(const UserEnvironment& env);

// The XDG user folders that user-dirs.dirs names (XDG_DOWNLOAD_DIR and the
// like, keyed by the part between "XDG_" and "_DIR"), with "$HOME" put in.
// Lines that are not of the form KEY="value" are skipped; a value must be
// "$HOME/..." or absolute.
std::map<std::string, std::string> ParseUserDirs(std::string_view text, const std::string& home);

// The XDG user folder `key` ("DOWNLOAD", "VIDEOS") that user-dirs.dirs
// names, else HOME/fallback; empty without a home.
std::string UserFolder(const UserEnvironment& env, const std::string& key,
                       const std::string& fallback);

// In order: `ownCache` (the program's own browser panes' cache; where it is
// empty, the program's folder in the cache home), the caches of the
// browsers people use (Chromium-based and Firefox, also as snaps and
// flatpaks), the download, pictures, music and videos folders, the home
// folder. Absolute paths; folders that do not exist are listed all the
// same (the watcher passes over them).
std::vector<std::string> BrowsingFolders(const UserEnvironment& env, const std::string& ownCache);

}  // namespace ravo
