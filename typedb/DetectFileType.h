// Naming a file's real extension from its first 51 bytes or its name.
#pragma once

#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>

#include "platform/DirSearch.h"
#include "typedb/ExtRecord.h"

namespace ravo {

// Raised when the type database exists but cannot be read.
class TypeDbIoError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The path of the type database: the folder of the running executable
// followed by "ext.dll".
std::string TypeDatabasePath();

// The real extension of the file (dot included, at most 10 bytes, possibly
// empty): from a signature match of its first 51 bytes (for a complete
// Chromium cache entry, the first 51 bytes of the body it holds), else from
// its name's extension. Throws TypeDbIoError when the database exists but
// cannot be read in the extension stage.
std::string DetectFileType(const std::string& path);

// The same against the database at databasePath.
std::string DetectFileType(const std::string& path, const std::string& databasePath);

// A file's first bytes as identification reads them: `count` of them, the
// rest of the 51 zero.
struct FileHead {
  FileHeader bytes{};
  std::size_t count = 0;
};

// Reads the head of the file at path (letting other programs go on writing
// it); nullopt when it cannot be read. knownRegular: the walk saw a regular
// file, not a link, at the path, so it is opened without a further look.
// Safe on any thread: a walk's heads are read ahead of it.
std::optional<FileHead> ReadFileHead(const std::string& path, bool knownRegular = false);

// The head of the regular file `name` in the open folder.
std::optional<FileHead> ReadFileHeadIn(const platform::OpenFolder& folder, const std::string& name);

// DetectFileType with the head already read by ReadFileHead (nullopt: it
// could not be read): the same verdict as DetectFileType, which reads it
// itself.
std::string DetectFileTypeFromHead(const std::string& path, const std::optional<FileHead>& head,
                                   const std::string& databasePath);

}  // namespace ravo
