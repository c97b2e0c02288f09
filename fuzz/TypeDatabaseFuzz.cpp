// Arbitrary bytes as the content of the type database (ext.dll), decoded
// record by record and asked both lookups: by extension and by a file's
// first bytes.
//
// The queries come from the input itself. The bytes after the last whole
// record (which the database ignores) give one: a length byte, that many
// bytes of extension, then the header. Each of the first valid records gives
// another: its own extension, and a header that holds its signature where
// the record looks for it, so that matches are found and the family rules
// run.
//
// The lookups read the database from a file; the records they see must be
// those decoded from the same bytes here, and their answers must keep what
// the lookups promise.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fsutil/PathText.h"
#include "fuzz/FuzzSupport.h"
#include "typedb/ExtRecord.h"
#include "typedb/TypeDatabase.h"
#include "typedb/velScanext.h"

namespace {

using ravo::fuzz::Expect;

// Records that each give a query of their own: enough for the seeds' slices
// of the shipped database, few enough to keep runs quick.
constexpr std::size_t kRecordQueries = 16;

const ravo::fuzz::ScratchDir& Scratch() {
  static const ravo::fuzz::ScratchDir dir;
  return dir;
}

struct Query {
  std::string ext;
  ravo::FileHeader header{};
};

bool SignatureMatches(const ravo::ExtRecord& record, const ravo::FileHeader& header) {
  if (!record.HasSignature()) return false;
  return std::string_view(header.data() + record.info.SigOffset, record.info.Signature.size()) ==
         record.info.Signature;
}

void CheckRecord(const ravo::ExtRecord& record) {
  using namespace ravo;
  const TExtInfo& info = record.info;
  Expect(info.Ext.size() <= kExtCapacity, "Ext fits its area");
  Expect(info.Description.size() <= kDescriptionCapacity, "Description fits its area");
  if (record.HasSignature()) {
    Expect(info.Signature.size() == static_cast<std::size_t>(info.SigLen),
           "a signature holds SigLen bytes");
    Expect(info.SigOffset >= 0 &&
               static_cast<std::int64_t>(info.SigOffset) + info.SigLen <=
                   static_cast<std::int64_t>(kHeaderSize),
           "a signature lies within the header");
  } else {
    Expect(info.Signature.empty(), "a record without a signature compares no bytes");
  }
  if (!info.Ext.empty()) {
    Expect(record.family == (info.Ext[0] == '*'), "a family record's Ext starts with '*'");
  }

  // Writing the fields and reading them back gives the same fields.
  std::optional<ExtRecord> again = DecodeExtRecord(EncodeExtRecord(info));
  Expect(again.has_value(), "an encoded valid record decodes");
  Expect(again->info.Ext == info.Ext && again->info.SigOffset == info.SigOffset &&
             again->info.SigLen == info.SigLen && again->info.Signature == info.Signature &&
             again->info.Description == info.Description,
         "a record's fields survive encoding and decoding");
}

void CheckLookups(const ravo::TypeDatabase& database, const std::string& path, const Query& q) {
  using namespace ravo;
  const std::vector<ExtRecord>& records = database.Records();
  const std::string lower = LowerAscii(q.ext);

  std::optional<TExtInfo> found = LookupByExt(path, q.ext);
  const ExtRecord* exact = nullptr;
  for (const ExtRecord& r : records) {
    if (r.info.Ext != lower) continue;
    exact = &r;
    if (r.HasSignature()) break;
  }
  if (exact) {
    Expect(found.has_value(), "an extension with a record of its own is found");
    Expect(found->Description == exact->info.Description,
           "the first exact record with a signature, else the last exact one, decides");
  }
  if (found) {
    Expect(found->Ext == lower.substr(0, kExtCapacity), "the found Ext is the lower-cased query");
    Expect(found->SigOffset == 0 && found->SigLen == 0 && found->Signature.empty(),
           "a found extension carries no signature");
    Expect(exact || std::any_of(records.begin(), records.end(),
                                [&](const ExtRecord& r) {
                                  return ContainsBytes(r.info.Description, lower) &&
                                         r.info.Description == found->Description;
                                }),
           "without an exact record the description found mentions the extension");
  }

  std::optional<std::string> verdict = MatchSignature(path, q.ext, q.header);
  auto first = std::find_if(records.begin(), records.end(),
                            [&](const ExtRecord& r) { return SignatureMatches(r, q.header); });
  if (first == records.end()) {
    Expect(!verdict, "no verdict without a matching signature");
  } else if (!first->family) {
    if (IsBlank(first->info.Description)) {
      Expect(!verdict, "a matching record with a blank description gives no verdict");
    } else {
      Expect(verdict == first->info.Ext, "the first matching signature names the type");
    }
  } else {
    // A family keeps the file's own extension, unless it lists that
    // extension and the extension's own record has a blank description.
    bool listedAndBlank = ContainsBytes(first->info.Description, lower) && found &&
                          IsBlank(found->Description);
    if (listedAndBlank) {
      Expect(!verdict, "a listed member with a blank description gives no verdict");
    } else {
      Expect(verdict == lower.substr(0, kExtCapacity), "a family keeps the file's own extension");
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace ravo;
  std::string_view bytes(reinterpret_cast<const char*>(data), size);

  TypeDatabase database(bytes);
  const std::vector<ExtRecord>& records = database.Records();
  Expect(records.size() <= size / kExtInfoSize, "at most one record per whole 284 bytes");
  for (const ExtRecord& record : records) CheckRecord(record);

  std::vector<Query> queries;
  std::string_view tail = bytes.substr(size / kExtInfoSize * kExtInfoSize);
  Query fromTail;
  if (!tail.empty()) {
    std::size_t extLength = std::min<std::size_t>(static_cast<unsigned char>(tail[0]) % 16,
                                                  tail.size() - 1);
    fromTail.ext = std::string(tail.substr(1, extLength));
    std::string_view rest = tail.substr(1 + extLength);
    std::copy_n(rest.begin(), std::min(rest.size(), fromTail.header.size()),
                fromTail.header.begin());
  }
  queries.push_back(fromTail);
  for (std::size_t i = 0; i < records.size() && i < kRecordQueries; ++i) {
    const TExtInfo& info = records[i].info;
    Query q;
    q.ext = info.Ext;
    std::copy(info.Signature.begin(), info.Signature.end(), q.header.begin() + info.SigOffset);
    queries.push_back(q);
  }

  const std::string path = Scratch().Write("ext.dll", bytes);
  for (const Query& q : queries) CheckLookups(database, path, q);
  Scratch().Remove(path);
  return 0;
}
