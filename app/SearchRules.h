// The rules by which the full-disk search lists what the finder reports:
// files whose extension is in the search's list by that extension, and, when
// asked for, disguised files (whose extension hides a listed type) by their
// real type. Shared by the window's search and the ravo-scan tool.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "fsutil/velFindFile.h"
#include "typedb/TypeDatabase.h"

namespace ravo {

// Names the real type of a file (DetectFileType; tests put a stand-in).
using IdentifyFn = std::function<std::string(const std::string& path)>;

// Receives each file the rules list, with its type.
using ListFn = std::function<void(const std::string& path, const std::string& type)>;

// A type must be longer than this to be listed: ".rm" and every empty or
// two-letter type never are.
inline constexpr std::size_t kLongestUnlistedType = 3;

class HeadPrefetch;

class SearchRules {
 public:
  // extList: the search's extension list (SearchExtList); disguised: also
  // look for files whose extension hides a listed type. Without an identify
  // function the rules identify files with DetectFileType themselves, and
  // for a disguised search read the heads of the files they will examine
  // ahead of the walk (Lookahead).
  SearchRules(std::string extList, bool disguised, IdentifyFn identify, ListFn list);
  ~SearchRules();

  const std::string& ExtList() const { return extList_; }

  // What the walk tells of the files ahead (FindFiles), or nullptr when the
  // rules read nothing ahead.
  FindLookahead* Lookahead() const;

  // True when disguised files are searched, the path's extension is not in
  // the list, a file (not a directory) is at the path and its real type is
  // in the list.
  bool IsDisguisedMedia(const std::string& path) const;

  // Handles one finder call (kinds of FindFiles): a matching file (kind 0) is
  // listed with its extension as written, a disguised file (kind 2) with its
  // real type. A failure to identify a file propagates.
  void Handle(const std::string& path, std::int32_t kind) const;

 private:
  // The real type of a disguised media file; empty for any other path.
  std::string DisguisedType(const std::string& path) const;
  void ListIfLongEnough(const std::string& path, const std::string& type) const;

  std::string extList_;
  bool disguised_;
  IdentifyFn identify_;
  ListFn list_;
  std::unique_ptr<HeadPrefetch> prefetch_;
  // The database is checked for changes every few milliseconds of a walk,
  // not at every file.
  TypeDatabaseBatch batch_;
};

}  // namespace ravo
