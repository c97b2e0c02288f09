// The recursive file finder: walks a directory tree depth-first and reports
// every directory it walks, every file and every file whose extension is in
// a list, through a callback that can end the walk.
#pragma once

#include <cstdint>
#include <functional>
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

// True when the search entry is a directory.
bool IsDirectoryEntry(const platform::SearchEntry& entry);

}  // namespace ravo
