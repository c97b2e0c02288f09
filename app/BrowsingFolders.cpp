#include "app/BrowsingFolders.h"

#include <cstdlib>
#include <fstream>

namespace ravo {
namespace {

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

std::string Join(const std::string& dir, std::string_view rel) {
  return dir + "/" + std::string(rel);
}

// Chromium-based browsers keep their caches in a folder of the cache home
// named after the browser; Firefox below "mozilla".
constexpr std::string_view kCacheFolders[] = {
    "chromium",        "google-chrome", "google-chrome-beta", "google-chrome-unstable",
    "BraveSoftware",   "microsoft-edge", "microsoft-edge-beta", "vivaldi",
    "opera",           "yandex-browser", "mozilla/firefox",     "librewolf",
    "waterfox",
};

// Snap and flatpak browsers keep theirs below the home folder.
constexpr std::string_view kSandboxedCaches[] = {
    "snap/firefox/common/.cache/mozilla/firefox",
    "snap/chromium/common/.cache/chromium",
    ".var/app/org.mozilla.firefox/cache",
    ".var/app/org.chromium.Chromium/cache",
    ".var/app/com.google.Chrome/cache",
    ".var/app/com.brave.Browser/cache",
    ".var/app/com.microsoft.Edge/cache",
};

constexpr std::string_view kMediaDirs[][2] = {
    {"DOWNLOAD", "Downloads"}, {"PICTURES", "Pictures"}, {"MUSIC", "Music"}, {"VIDEOS", "Videos"}};

}  // namespace

UserEnvironment CurrentUserEnvironment() {
  UserEnvironment env{Env("HOME"), Env("XDG_CACHE_HOME"), Env("XDG_CONFIG_HOME"), {}};
  std::string config = env.configHome.starts_with('/') ? env.configHome
                       : env.home.empty()              ? std::string()
                                                       : env.home + "/.config";
  if (!config.empty()) {
    std::ifstream in(config + "/user-dirs.dirs", std::ios::binary);
    std::string text(kMaxUserDirsSize, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    env.userDirsText = std::move(text);
  }
  return env;
}

std::string CacheHome(const UserEnvironment& env) {
  if (env.cacheHome.starts_with('/')) return env.cacheHome;
  return env.home.starts_with('/') ? env.home + "/.cache" : std::string();
}

std::map<std::string, std::string> ParseUserDirs(std::string_view text, const std::string& home) {
  std::map<std::string, std::string> dirs;
  while (!text.empty()) {
    std::size_t end = std::min(text.find('\n'), text.size());
    std::string_view line = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));
    std::size_t eq = line.find('=');
    if (eq == std::string_view::npos || !line.starts_with("XDG_")) continue;
    std::string_view key = line.substr(0, eq);
    std::string_view value = line.substr(eq + 1);
    if (!key.ends_with("_DIR") || key.size() <= 8 || value.size() < 2 ||
        value.front() != '"' || value.back() != '"') {
      continue;
    }
    value = value.substr(1, value.size() - 2);
    std::string path;
    if (value.starts_with("$HOME")) {
      if (!home.starts_with('/')) continue;
      path = home + std::string(value.substr(5));
    } else if (value.starts_with('/')) {
      path = std::string(value);
    } else {
      continue;
    }
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    dirs[std::string(key.substr(4, key.size() - 8))] = std::move(path);
  }
  return dirs;
}

std::string UserFolder(const UserEnvironment& env, const std::string& key,
                       const std::string& fallback) {
  std::map<std::string, std::string> dirs = ParseUserDirs(env.userDirsText, env.home);
  if (auto it = dirs.find(key); it != dirs.end() && it->second != env.home) return it->second;
  return env.home.empty() ? std::string() : Join(env.home, fallback);
}

std::vector<std::string> BrowsingFolders(const UserEnvironment& env, const std::string& ownCache) {
  std::vector<std::string> folders;
  std::string cacheHome = CacheHome(env);
  if (!ownCache.empty()) {
    folders.push_back(ownCache);
  } else if (!cacheHome.empty()) {
    folders.push_back(Join(cacheHome, "ravo"));
  }
  if (!cacheHome.empty()) {
    for (std::string_view rel : kCacheFolders) folders.push_back(Join(cacheHome, rel));
  }
  if (!env.home.starts_with('/')) return folders;
  for (std::string_view rel : kSandboxedCaches) folders.push_back(Join(env.home, rel));
  std::map<std::string, std::string> userDirs = ParseUserDirs(env.userDirsText, env.home);
  for (const auto& [key, fallback] : kMediaDirs) {
    auto it = userDirs.find(std::string(key));
    std::string dir = it != userDirs.end() ? it->second : Join(env.home, fallback);
    // "$HOME" alone means the folder is not set up; the home comes last anyway.
    if (dir != env.home) folders.push_back(dir);
  }
  folders.push_back(env.home);
  return folders;
}

}  // namespace ravo
