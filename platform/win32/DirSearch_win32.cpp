// Directory searches on Windows: a find-first search over "*.*" that skips
// no entry for its attributes (the attribute mask 63: read-only, hidden,
// system, volume label, directory and archive). A directory's entries are
// read at once, with the large fetch where the system has it, and the
// search is closed before the walk goes on.
#include <vector>

#include "platform/DirSearch.h"
#include "platform/win32/Win32File.h"

namespace ravo::platform {

struct DirSearch::State {
  explicit State(std::string path) : dir(std::move(path)) {}
  void ReadEntries();

  std::string dir;                // the directory searched
  std::string names;              // the entries' names, each ended by a NUL
  std::vector<DWORD> attributes;  // per entry
  std::size_t next = 0;           // index of the next entry
  std::size_t nextName = 0;       // offset of its name
  std::string_view lastName;      // the entry delivered last
  DWORD lastAttributes = 0;
};

namespace {

// dir + "\" + name; a dir that ends with its separator (the root "\") gets
// none added.
std::string Join(const std::string& dir, std::string_view name) {
  bool hasSeparator = !dir.empty() && LastBackslash(dir) == dir.size() - 1;
  return dir + (hasSeparator ? "" : "\\") + std::string(name);
}

bool IsDotOrDotDot(const char* name) {
  return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

HANDLE FindFirst(const std::string& pattern, WIN32_FIND_DATAA& data) {
  HANDLE search = FindFirstFileExA(pattern.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                                   nullptr, FIND_FIRST_EX_LARGE_FETCH);
  // Systems before Windows 7 know neither the basic information level nor
  // the large fetch.
  if (search == INVALID_HANDLE_VALUE && GetLastError() == ERROR_INVALID_PARAMETER) {
    search = FindFirstFileA(pattern.c_str(), &data);
  }
  return search;
}

// A subdirectory is searched only when it is a real directory: a junction,
// a symbolic link or a volume mounted in a folder is a reparse point, and
// following one leads out of the drive or round in a loop.
bool IsPlainDirectory(DWORD attributes) {
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
         !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

}  // namespace

void DirSearch::State::ReadEntries() {
  WIN32_FIND_DATAA data{};
  HANDLE search = FindFirst(Join(dir, "*.*"), data);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    if (IsDotOrDotDot(data.cFileName)) continue;
    names += data.cFileName;
    names += '\0';
    attributes.push_back(data.dwFileAttributes);
  } while (FindNextFileA(search, &data));
  FindClose(search);
}

DirSearch::DirSearch(const std::string& path) : state_(std::make_unique<State>(path)) {
  if (!path.empty()) state_->ReadEntries();
}

DirSearch::DirSearch(const DirSearch& parent, std::string_view name)
    : state_(std::make_unique<State>(Join(parent.state_->dir, name))) {
  const State& from = *parent.state_;
  DWORD attributes =
      name == from.lastName ? from.lastAttributes : GetFileAttributesA(state_->dir.c_str());
  if (IsPlainDirectory(attributes)) state_->ReadEntries();
}

DirSearch::~DirSearch() = default;
DirSearch::DirSearch(DirSearch&&) noexcept = default;
DirSearch& DirSearch::operator=(DirSearch&&) noexcept = default;

OpenFolder DirSearch::Folder() const {
  if (state_->attributes.empty()) return OpenFolder();
  return OpenFolder(std::make_shared<const OpenFolder::State>(OpenFolder::State{Join(state_->dir, "")}));
}

bool DirSearch::Next(SearchEntry& entry) {
  State& s = *state_;
  if (s.next >= s.attributes.size()) return false;
  std::string_view name(s.names.data() + s.nextName);
  s.nextName += name.size() + 1;
  s.lastName = name;
  s.lastAttributes = s.attributes[s.next++];
  entry.name = name;
  entry.attributes = s.lastAttributes & kAttrDirectory;
  return true;
}

}  // namespace ravo::platform
