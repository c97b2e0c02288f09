// Naming a file's real extension from its first 51 bytes or its name.
#pragma once

#include <stdexcept>
#include <string>

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

}  // namespace ravo
