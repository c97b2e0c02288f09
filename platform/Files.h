// File queries, the copies the program makes, and its private temporary folder.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <stop_token>
#include <string>

namespace ravo::platform {

class ReadOnlyFile;

struct FileInfo {
  bool exists = false;
  bool queryFailed = false;  // something may be there, but it could not be examined
  bool isDirectory = false;
  std::uint64_t size = 0;
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::int64_t changeTimeNs = 0;  // status change time (ctime)
  std::int64_t writeTimeNs = 0;   // last write time (mtime)
};

// What the path names, following symbolic links; exists is false when the
// path names nothing or cannot be examined, and queryFailed tells the
// second from the first (no permission to search a folder, an I/O error).
FileInfo QueryFile(const std::string& path);

// How a copy may end, beyond success and failure: stopped on request
// between two chunks of at most 1 MiB (a large file need not be copied to
// its end before a stop is heard), or refused because the target is there
// and must be kept. Either way nothing is left of the copy.
struct CopyControl {
  std::stop_token stop;
  bool keepExisting = false;  // fail with kTargetExists rather than replace
};
inline constexpr char kCopyStopped[] = "复制已停止";
inline constexpr char kTargetExists[] = "目标文件已存在，未复制";

// Copies source over target. The copy is written to a temporary file beside
// the target and renamed over it, so a failed copy never leaves a truncated
// target. Copying a file onto itself (or onto another name of the same file)
// is refused and leaves it intact. Returns an empty text on success, else
// the reason, in the user's language.
// Only a regular file is copied: a pipe or device named as the source is
// refused, never opened.
std::string CopyFileReplacing(const std::string& source, const std::string& target,
                              const CopyControl& control = {});

// `length` bytes of a file from `offset` on.
struct FileRange {
  std::uint64_t offset = 0;
  std::uint64_t length = 0;
  bool operator==(const FileRange&) const = default;
};

// Copies the ranges of the open file, one after another, over target, with
// the same care as CopyFileReplacing. When the file holds fewer bytes in one
// of them (it shrank since the ranges were worked out) nothing is replaced
// and the copy fails. Returns an empty text on success, else the reason.
std::string CopyFileRangesReplacing(const ReadOnlyFile& source, std::span<const FileRange> ranges,
                                    const std::string& target, const CopyControl& control = {});

// Makes the folder and every folder above it that is missing. An empty text
// on success (also when it was there), else the reason, in the user's
// language.
std::string MakeFolders(const std::string& path);

// The bytes that an ordinary user may still write on the filesystem that
// holds the path; nullopt when the system does not say.
std::optional<std::uint64_t> FreeSpace(const std::string& path);

// Renames a file over another of the same filesystem, replacing it; the
// reason on failure, else an empty text.
std::string RenameReplacing(const std::string& from, const std::string& to);

// Removes the file at path; false when there is none or it cannot go.
bool RemoveFile(const std::string& path);

// Makes a new, empty folder in the system's temporary folder that only this
// user may enter, its name starting with prefix. Its path, or an empty text
// when it cannot be made.
std::string MakePrivateTempDir(const std::string& prefix);

}  // namespace ravo::platform
