// A directory search: the entries of one directory, one after the other, for
// the recursive finder. Every kind of entry is delivered (hidden ones too),
// but never "." and "..".
//
// The entries are read with as few system calls as the system allows, and
// directories are told from files by what the directory read says, without a
// query per entry. A search never leads anywhere a walk should not go: a
// subdirectory is searched only when it is a real directory (a symbolic link
// is never followed) on the same filesystem as its parent, and the kernel's
// own filesystems (/proc, /sys and the like) deliver nothing.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace ravo::platform {

// The attribute bit that marks a directory entry.
inline constexpr std::uint32_t kAttrDirectory = 16;

struct SearchEntry {
  std::string_view name;         // valid as long as the search lives
  std::uint32_t attributes = 0;  // kAttrDirectory for a directory, else 0
  // A regular file, not a link, pipe or device, where the directory read
  // says so (Linux); false where it does not tell.
  bool regular = false;
};

// A searched directory kept open for reading the files in it by name,
// without the whole path being looked up again. Copies share it; it stays
// open while a copy lives, also after the search is gone.
class OpenFolder {
 public:
  struct State;  // the system's handle of the directory
  bool IsOpen() const { return state_ != nullptr; }
  const State& Get() const { return *state_; }
  explicit OpenFolder(std::shared_ptr<const State> state = nullptr) : state_(std::move(state)) {}

 private:
  std::shared_ptr<const State> state_;
};

class DirSearch {
 public:
  // Searches the directory at path (a symbolic link naming it is followed).
  // A path that names no directory, cannot be read or lies on a kernel
  // filesystem gives a search that delivers nothing.
  explicit DirSearch(const std::string& path);

  // Searches the subdirectory `name` of the parent's directory. It delivers
  // nothing when that entry is no directory, is a symbolic link, cannot be
  // read or is a mount point (where the system tells mount points apart
  // (Linux), a btrfs subvolume that is mounted nowhere is no mount point).
  DirSearch(const DirSearch& parent, std::string_view name);

  ~DirSearch();  // closes the search
  DirSearch(DirSearch&&) noexcept;
  DirSearch& operator=(DirSearch&&) noexcept;

  // Fetches the next entry; false when there is none left.
  bool Next(SearchEntry& entry);

  // The directory searched, held open; not open when the search delivers
  // nothing.
  OpenFolder Folder() const;

 private:
  struct State;  // the system's handle and the entries read
  std::unique_ptr<State> state_;
};

}  // namespace ravo::platform
