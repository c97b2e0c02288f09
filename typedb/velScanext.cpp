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

bool SignatureMatches(const ExtRecord& record, const FileHeader& header) {
  // Valid records keep SigOffset + SigLen within the header (DecodeExtRecord).
  if (!record.HasSignature()) return false;
  const std::string& signature = record.info.Signature;
  return std::equal(signature.begin(), signature.end(), header.begin() + record.info.SigOffset);
}

const ExtRecord* FirstSignatureMatch(const TypeDatabase& database, const FileHeader& header) {
  for (const ExtRecord& record : database.Records()) {
    if (SignatureMatches(record, header)) return &record;
  }
  return nullptr;
}

}  // namespace

std::optional<TExtInfo> LookupByExt(const std::string& databasePath, std::string_view ext) {
  std::string e = LowerAscii(ext);
  auto database = LoadTypeDatabase(databasePath);
  if (!database) return std::nullopt;

  const ExtRecord* exact = nullptr;
  const ExtRecord* mention = nullptr;
  for (const ExtRecord& record : database->Records()) {
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

std::optional<std::string> MatchSignature(const std::string& databasePath, std::string_view ext,
                                          const FileHeader& header) {
  std::string e = LowerAscii(ext);
  auto database = LoadTypeDatabase(databasePath);
  if (!database) return std::nullopt;
  const ExtRecord* match = FirstSignatureMatch(*database, header);
  if (!match) return std::nullopt;

  if (!match->family) {
    if (IsBlank(match->info.Description)) return std::nullopt;
    return match->info.Ext;
  }
  if (ContainsBytes(match->info.Description, e)) {
    auto member = LookupByExt(databasePath, e);
    if (member && IsBlank(member->Description)) return std::nullopt;
  }
  return CutToExtCapacity(std::move(e));
}

}  // namespace ravo
