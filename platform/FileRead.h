// Reading files the program only looks at: the first bytes of any file, and
// the whole of a small data file. Nothing here ever opens a file for writing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "platform/DirSearch.h"
#include "platform/Files.h"

namespace ravo::platform {

// The two ways of reading a file's first bytes. Both ask for read access
// only; on Windows they differ in what other programs may do meanwhile, so
// that a file another program is writing can still be read by the first.
// Linux has no share modes: both open the file read-only.
enum class HeadAttempt {
  kLetOthersWrite,  // others may go on reading and writing the file
  kRefuseWriters,   // others may only read it
};

// Reads up to buffer.size() bytes from the start of the file into buffer and
// returns how many it read (fewer only when the file is shorter). nullopt
// when the path names no regular file, or it cannot be opened, read or
// closed. Never blocks on a pipe or device and never opens one.
std::optional<std::size_t> ReadFileStart(const std::string& path, std::span<char> buffer,
                                         HeadAttempt attempt);

// True where the two attempts differ (Windows' share modes). Where they do
// not, a second attempt after a short read would read the same again.
extern const bool kHeadAttemptsDiffer;

// ReadFileStart (letting others write) for a path that named a regular file,
// not a link, when its directory was read: it is opened at once, without a
// look at what it is first, and a link put there since is not followed.
std::optional<std::size_t> ReadRegularFileStart(const std::string& path, std::span<char> buffer);

// The same for the file `name` in an open folder.
std::optional<std::size_t> ReadRegularFileStartIn(const OpenFolder& folder, const std::string& name,
                                                  std::span<char> buffer);

// The whole content of a file, with the identity of what was read.
struct WholeFile {
  enum class Outcome {
    kRead,     // bytes and info hold the file
    kMissing,  // nothing, or a directory, is at the path
    kFailed,   // something is there but cannot be read; reason says why
  };
  Outcome outcome = Outcome::kMissing;
  std::string bytes;
  FileInfo info;       // taken from the open file, not from its name
  std::string reason;  // kFailed: in the user's language
};

// Reads the whole file in as few system calls as the system allows.
WholeFile ReadWholeFile(const std::string& path);

// A regular file opened for reading only, read at any offset: what the
// readers of structured files (a browser's cache entries) need to look at a
// file's end without reading all of it. Like ReadFileStart it never opens a
// pipe or device.
class ReadOnlyFile {
 public:
  // Opens the regular file at path; IsOpen() tells whether that worked.
  explicit ReadOnlyFile(const std::string& path);
  ~ReadOnlyFile();
  ReadOnlyFile(const ReadOnlyFile&) = delete;
  ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

  bool IsOpen() const { return handle_ >= 0; }

  // The file's size at this moment (another program may be writing it).
  std::optional<std::uint64_t> Size() const;

  // Fills the whole buffer from offset on; false when the file is not open,
  // cannot be read or ends before the buffer is full.
  bool ReadAt(std::uint64_t offset, std::span<char> buffer) const;

  // The system's handle of the open file (a descriptor on POSIX), or -1.
  std::intptr_t NativeHandle() const { return handle_; }

 private:
  std::intptr_t handle_ = -1;
};

}  // namespace ravo::platform
