// The recursive file finder: walks a directory tree depth-first and reports
// every directory it walks, every file and every file whose extension is in
// a list, through a callback that can end the walk.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "platform/DirSearch.h"

namespace ravo {

// The kinds of finder calls.
inline constexpr std::int32_t kFoundMatch = 0;      // a file whose extension is in the list
inline constexpr std::int32_t kFoundDirectory = 1;  // the directory being walked
inline constexpr std::int32_t kFoundFile = 2;       // any file, before the match test

// Called with a path, its kind and the stop flag of the directory being
// walked; setting the flag ends that directory's walk after the entry at
// hand. A directory is reported (kind 1) when its walk begins and again
// after each of its subdirectories has been walked; a file with kind 2 and,
// when it matches, right after with kind 0.
using TFindCallback = std::function<void(const std::string& path, std::int32_t kind, bool& stop)>;

// Walks startDir (one trailing separator is dropped: "/data/" and "/data" are
// the same start) and returns how many files matched: files whose
// lower-cased extension occurs in the lower-cased list, or every file when
// the list contains "*.*". Entries come in the order the directory read
// delivers them. The callback may be empty.
//
// Each walk of a directory has its own stop flag, so a callback that is to
// end the whole walk sets the flag on every call while it wants the end:
// then each level ends in turn. An exception from the callback is dropped
// with the rest of the entry at hand (from the first report of a directory:
// with that directory's whole walk). A symbolic link is a file to the walk
// and is never followed. Unreadable directories, directories on another
// filesystem than the start (mount points) and the kernel's own filesystems
// are reported but count as empty. The walk never raises.
//
// The root directory "/" is reported as "/", its entries as "/name".
std::int32_t FindFiles(std::string startDir, std::string extList, const TFindCallback& callback);

// Told of what a walk will report before it reports it, so that work on
// the files (reading their heads) can begin ahead of the walk.
class FindLookahead {
 public:
  virtual ~FindLookahead() = default;
  // A directory's walk begins: the files it holds (not its subdirectories),
  // in the order the walk reports them, each reported as prefix + name;
  // folder is the directory held open (not open when it could not be).
  virtual void EnterDirectory(const std::string& prefix, const platform::OpenFolder& folder,
                              std::span<const platform::SearchEntry> files) = 0;
  // That directory's walk is over; the directory below it in the walk (its
  // parent) is the current one again.
  virtual void LeaveDirectory() = 0;
};

// FindFiles, telling lookahead of each directory's files as its walk begins.
std::int32_t FindFiles(std::string startDir, std::string extList, const TFindCallback& callback,
                       FindLookahead* lookahead);

// True when the search entry is a directory.
bool IsDirectoryEntry(const platform::SearchEntry& entry);

}  // namespace ravo
