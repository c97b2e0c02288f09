// Copies of captured files that the desktop can open. A browser's cache
// entry means nothing to a picture viewer or a player; the body it wraps
// does. Bodies are copied into a private temporary folder, each under the
// entry's name with the body's real extension, and the folder goes with
// every copy in it when the object does: the window keeps one for the
// program's life.
#pragma once

#include <string>

namespace ravo {

class OpenableCopies {
 public:
  OpenableCopies() = default;
  ~OpenableCopies();
  OpenableCopies(const OpenableCopies&) = delete;
  OpenableCopies& operator=(const OpenableCopies&) = delete;

  // The file to open for the captured file at capturedPath: for a browser's
  // cache entry a fresh copy of its body; for any other file, or when no
  // copy can be made, capturedPath itself.
  std::string PathToOpen(const std::string& capturedPath);

  // The private folder of the copies; empty until the first copy is made.
  const std::string& Folder() const { return folder_; }

 private:
  // A new, empty folder inside the private one for the next copy, or an
  // empty text. Entries of different caches share names, and a copy handed
  // out earlier may still be open, so no copy ever replaces another.
  std::string NextCopyFolder();

  std::string folder_;
  int copies_ = 0;
};

}  // namespace ravo
