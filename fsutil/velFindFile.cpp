#include "fsutil/velFindFile.h"

#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "fsutil/PathText.h"

namespace ravo {
namespace {

// An entry read ahead of the walk, for a lookahead.
struct HeldEntry {
  std::string name;
  std::uint32_t attributes;
  bool regular;
};

// One directory being walked.
struct Level {
  Level(std::string path, std::size_t prefix) : dir(std::move(path)), prefixLength(prefix) {}

  // The next entry: from those read ahead when there are, else from the search.
  bool Next(platform::SearchEntry& entry) {
    if (!held) return search && search->Next(entry);
    if (nextHeld >= held->size()) return false;
    const HeldEntry& next = (*held)[nextHeld++];
    entry = {next.name, next.attributes, next.regular};
    return true;
  }

  std::string dir;           // its path, as reported
  std::size_t prefixLength;  // its entries are dir[0, prefixLength) + separator + name
  bool stop = false;         // this walk's own stop flag
  std::int32_t count = 0;    // matches in this directory and below
  std::optional<platform::DirSearch> search;  // none once stopped before it was opened
  std::optional<std::vector<HeldEntry>> held;  // every entry, when a lookahead was told
  std::size_t nextHeld = 0;
};

// One FindFiles call. The directories being walked are kept in a list,
// deepest last, instead of a recursion, so that a deep tree costs no stack.
class Walk {
 public:
  Walk(std::string extList, const TFindCallback& callback, FindLookahead* lookahead)
      : list_(LowerAscii(extList)),
        matchAll_(ContainsBytes(list_, "*.*")),
        callback_(callback),
        lookahead_(lookahead) {}

  std::int32_t Run(const std::string& startDir);

 private:
  void Report(const std::string& path, std::int32_t kind, bool& stop) const {
    if (callback_) callback_(path, kind, stop);
  }
  bool Announce(Level& level) const;
  void Open(Level& level, std::optional<platform::DirSearch> search);
  void HandleEntry(const platform::SearchEntry& entry);
  void EnterSubdirectory(std::string_view name);
  void HandleFile(std::string_view name);
  void EndLevel();
  void EndSubdirectory(std::int32_t count);
  bool Matches(std::string_view name) const;

  const std::string list_;
  const bool matchAll_;
  const TFindCallback& callback_;
  FindLookahead* const lookahead_;
  std::vector<Level> levels_;
  std::string path_;  // the path of the file at hand, reused from file to file
  std::int32_t result_ = 0;
};

std::int32_t Walk::Run(const std::string& startDir) {
  std::string base = startDir;
  // Only a real separator goes (not a colon, nor a double-byte character's
  // second byte).
  if (EndsWithSeparator(base) && base.back() == SeparatorOf()) base.pop_back();
  // The root directory keeps its separator as its path; its entries' paths
  // are the separator and their names.
  Level root{base.empty() ? startDir : base, base.size()};
  if (!Announce(root)) return 0;
  if (!root.stop) Open(root, platform::DirSearch(root.dir));
  levels_.push_back(std::move(root));
  while (!levels_.empty()) {
    Level& level = levels_.back();
    platform::SearchEntry entry;
    if (level.stop || !level.Next(entry)) {
      EndLevel();
      continue;
    }
    try {
      HandleEntry(entry);
    } catch (...) {
      // An entry that fails is dropped; the walk goes on with the next one.
    }
  }
  return result_;
}

// Gives the level its search. A lookahead is told of the level's files:
// the entries are read ahead and held, so that the lookahead sees them all.
void Walk::Open(Level& level, std::optional<platform::DirSearch> search) {
  level.search = std::move(search);
  if (!lookahead_) return;
  level.held.emplace();
  platform::SearchEntry entry;
  std::vector<platform::SearchEntry> files;
  while (level.search->Next(entry)) {
    level.held->push_back({std::string(entry.name), entry.attributes, entry.regular});
  }
  for (const HeldEntry& held : *level.held) {
    if (!(held.attributes & platform::kAttrDirectory)) {
      files.push_back({held.name, held.attributes, held.regular});
    }
  }
  std::string prefix = level.dir.substr(0, level.prefixLength);
  prefix += SeparatorOf();
  lookahead_->EnterDirectory(prefix, level.search->Folder(), files);
}

// Reports a directory whose walk begins; false when the report raised,
// which ends that walk before any of its entries.
bool Walk::Announce(Level& level) const {
  try {
    Report(level.dir, kFoundDirectory, level.stop);
    return true;
  } catch (...) {
    return false;
  }
}

void Walk::HandleEntry(const platform::SearchEntry& entry) {
  if (IsDirectoryEntry(entry)) {
    EnterSubdirectory(entry.name);
  } else {
    HandleFile(entry.name);
  }
}

void Walk::EnterSubdirectory(std::string_view name) {
  Level& parent = levels_.back();
  std::string dir = parent.dir.substr(0, parent.prefixLength);
  dir += SeparatorOf();
  dir += name;
  std::size_t prefixLength = dir.size();
  Level child{std::move(dir), prefixLength};
  if (!Announce(child)) {
    EndSubdirectory(0);
    return;
  }
  if (!child.stop) Open(child, platform::DirSearch(*parent.search, name));
  levels_.push_back(std::move(child));
}

void Walk::HandleFile(std::string_view name) {
  Level& level = levels_.back();
  path_.assign(level.dir, 0, level.prefixLength);
  path_ += SeparatorOf();
  path_ += name;
  Report(path_, kFoundFile, level.stop);
  if (Matches(name)) {
    Report(path_, kFoundMatch, level.stop);
    ++level.count;
  }
}

void Walk::EndLevel() {
  std::int32_t count = levels_.back().count;
  if (lookahead_ && levels_.back().held) lookahead_->LeaveDirectory();
  levels_.pop_back();
  if (levels_.empty()) {
    result_ = count;
  } else {
    EndSubdirectory(count);
  }
}

// A subdirectory's walk is over: its matches join its parent's, and the
// parent is reported again.
void Walk::EndSubdirectory(std::int32_t count) {
  Level& parent = levels_.back();
  parent.count += count;
  try {
    Report(parent.dir, kFoundDirectory, parent.stop);
  } catch (...) {
    // Dropped like any failure of an entry.
  }
}

bool Walk::Matches(std::string_view name) const {
  return matchAll_ || ContainsBytes(list_, LowerAscii(ExtOf(name)));
}

}  // namespace

std::int32_t FindFiles(std::string startDir, std::string extList, const TFindCallback& callback) {
  return FindFiles(std::move(startDir), std::move(extList), callback, nullptr);
}

std::int32_t FindFiles(std::string startDir, std::string extList, const TFindCallback& callback,
                       FindLookahead* lookahead) {
  if (startDir.empty()) return 0;
  try {
    return Walk(std::move(extList), callback, lookahead).Run(startDir);
  } catch (...) {
    // Only running out of memory gets here; the finder never raises.
    return 0;
  }
}

bool IsDirectoryEntry(const platform::SearchEntry& entry) {
  return (entry.attributes & platform::kAttrDirectory) != 0;
}

}  // namespace ravo
