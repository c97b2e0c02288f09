#include "typedb/velScanext.h"

#include <algorithm>

#include "fsutil/PathText.h"
#include "typedb/TypeDatabase.h"

namespace ravo {
namespace {

std::string CutToExtCapacity(std::string text) {
  if (text.size() > kExtCapacity) text.resize(kExtCapacity);
  return text;
}

// The lookup itself, over every record (LookupByExt remembers its answers).
std::optional<TExtInfo> FindByExt(const TypeDatabase& database, std::string e) {
  const ExtRecord* exact = nullptr;
  const ExtRecord* mention = nullptr;
  for (const ExtRecord& record : database.Records()) {
    if (record.info.Ext == e) {
      exact = &record;
      if (record.HasSignature()) break;
    }
    if (ContainsBytes(record.info.Description, e)) mention = &record;
  }
  const ExtRecord* found = exact;
  if (!found && mention && !mention->info.Ext.empty()) found = mention;
  if (!found) return std::nullopt;

  TExtInfo result;
  result.Ext = CutToExtCapacity(std::move(e));
  result.Description = found->info.Description;
  return result;
}

}  // namespace

std::optional<TExtInfo> LookupByExt(const std::string& databasePath, std::string_view ext) {
  auto database = LoadTypeDatabase(databasePath);
  if (!database) return std::nullopt;
  return LookupByExt(*database, ext);
}

std::optional<std::string> MatchSignature(const std::string& databasePath, std::string_view ext,
                                          const FileHeader& header) {
  auto database = LoadTypeDatabase(databasePath);
  if (!database) return std::nullopt;
  return MatchSignature(*database, ext, header);
}

std::optional<TExtInfo> LookupByExt(const TypeDatabase& database, std::string_view ext) {
  std::string e = LowerAscii(ext);
  if (auto remembered = database.RememberedLookup(e)) return *remembered;
  std::optional<TExtInfo> found = FindByExt(database, e);
  database.RememberLookup(e, found);
  return found;
}

std::optional<std::string> MatchSignature(const TypeDatabase& database, std::string_view ext,
                                          const FileHeader& header) {
  std::string e = LowerAscii(ext);
  const ExtRecord* match = database.FirstSignatureMatch(header);
  if (!match) return std::nullopt;

  if (!match->family) {
    if (IsBlank(match->info.Description)) return std::nullopt;
    return match->info.Ext;
  }
  if (ContainsBytes(match->info.Description, e)) {
    auto member = LookupByExt(database, e);
    if (member && IsBlank(member->Description)) return std::nullopt;
  }
  return CutToExtCapacity(std::move(e));
}

}  // namespace ravo
