// The records of a type database file, read as the file is at the moment.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
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

  // The first record, in file order, whose signature the header shows; or
  // nullptr. Only the records whose signature starts with the header's byte
  // at their offset are compared.
  const ExtRecord* FirstSignatureMatch(const FileHeader& header) const;

  // What a lookup by this lower-cased extension answered before, kept for
  // the database's life (a few thousand extensions at most); the outer
  // nullopt: not asked yet. Safe on any thread.
  std::optional<std::optional<TExtInfo>> RememberedLookup(const std::string& ext) const;
  void RememberLookup(const std::string& ext, const std::optional<TExtInfo>& found) const;

 private:
  std::vector<ExtRecord> records_;
  // Per signature offset in use: the records' indexes by the signature's
  // first byte, in file order.
  struct OffsetIndex {
    std::int32_t offset;
    std::array<std::vector<std::uint32_t>, 256> byFirstByte;
  };
  std::vector<OffsetIndex> signatures_;
  mutable std::mutex lookupsMutex_;
  mutable std::unordered_map<std::string, std::optional<TExtInfo>> lookups_;
};

// The database at the path as it is now. nullptr when no file is there (a
// directory counts as none). Throws TypeDbIoError when a file is there but
// cannot be read.
//
// Each call looks at the file again. The parsed records are kept for the
// calling thread while the file keeps its device, inode, size and change
// times; a file changed so recently that a further change could leave its
// times as they are is read anew on every call.
//
// Inside a TypeDatabaseBatch the file is looked at again only when the last
// look is more than kBatchRecheck old.
std::shared_ptr<const TypeDatabase> LoadTypeDatabase(const std::string& path);

inline constexpr std::chrono::milliseconds kBatchRecheck{5};

// While one lives on a thread, that thread's lookups form a batch (a walk,
// a list of files): the database is checked for changes once every few
// milliseconds, not at every lookup.
class TypeDatabaseBatch {
 public:
  TypeDatabaseBatch();
  ~TypeDatabaseBatch();
  TypeDatabaseBatch(const TypeDatabaseBatch&) = delete;
  TypeDatabaseBatch& operator=(const TypeDatabaseBatch&) = delete;
};

}  // namespace ravo
