#include "app/Downloads.h"

#include "fsutil/PathText.h"
#include "platform/Files.h"

namespace ravo {
namespace {

// Names tried before giving up on a free one: a folder holding them all is
// no place to save into.
constexpr int kMaxNameAttempts = 10000;

bool Taken(const std::string& folder, const std::string& name) {
  platform::FileInfo info = platform::QueryFile(JoinPath(folder, name));
  return info.exists || info.queryFailed;
}

}  // namespace

std::string DownloadFolder(const UserEnvironment& env) {
  return UserFolder(env, "DOWNLOAD", "Downloads");
}

std::string FreeSaveName(const std::string& folder, std::string_view suggested) {
  std::string name = TrimControls(NameOf(suggested));
  // A name of dots only would name a folder.
  if (name.find_first_not_of('.') == std::string::npos) name = "download";
  if (!Taken(folder, name)) return name;
  std::string ext = ExtOf(name);
  // A name that starts with its only dot (".bashrc") has no extension to keep.
  if (ext.size() == name.size()) ext.clear();
  std::string stem = name.substr(0, name.size() - ext.size());
  for (int n = 1; n < kMaxNameAttempts; ++n) {
    std::string candidate = stem + " (" + std::to_string(n) + ")" + ext;
    if (!Taken(folder, candidate)) return candidate;
  }
  return {};
}

bool IsEngineTemporaryName(std::string_view name) {
  return name.starts_with(".org.chromium.Chromium.") || name.starts_with(".com.google.Chrome.") ||
         name.ends_with(".crdownload") || name.ends_with(".download");
}

}  // namespace ravo
