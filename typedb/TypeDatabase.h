// The records of a type database file, read as the file is at the moment.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "typedb/ExtRecord.h"

namespace ravo {

// The valid records of a database, in file order. A trailing part shorter
// than a record is ignored, and so are invalid records: they name no type,
// match no header and end no scan.
class TypeDatabase {
 public:
  explicit TypeDatabase(std::string_view bytes);

  const std::vector<ExtRecord>& Records() const { return records_; }

 private:
  std::vector<ExtRecord> records_;
};

// The database at the path as it is now. nullptr when no file is there (a
// directory counts as none). Throws TypeDbIoError when a file is there but
// cannot be read.
//
// Each call looks at the file again. The parsed records are kept for the
// calling thread while the file keeps its device, inode, size and change
// times; a file changed so recently that a further change could leave its
// times as they are is read anew on every call.
std::shared_ptr<const TypeDatabase> LoadTypeDatabase(const std::string& path);

}  // namespace ravo
