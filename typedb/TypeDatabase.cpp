#include "typedb/TypeDatabase.h"

#include <algorithm>
#include <chrono>

#include "platform/FileRead.h"
#include "typedb/DetectFileType.h"

namespace ravo {
namespace {

// File systems keep change times with a granularity of up to two seconds
// (FAT) and Linux stamps them from a clock that advances in ticks: two
// writes within one tick leave the same times. A file whose last change is
// closer to the moment it was read than this may change again unseen.
constexpr std::int64_t kTimestampSlackNs = 2'000'000'000;

bool SameState(const platform::FileInfo& a, const platform::FileInfo& b) {
  return a.device == b.device && a.inode == b.inode && a.size == b.size &&
         a.changeTimeNs == b.changeTimeNs && a.writeTimeNs == b.writeTimeNs;
}

std::int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

bool SettledAt(const platform::FileInfo& info, std::int64_t readAtNs) {
  return info.changeTimeNs < readAtNs - kTimestampSlackNs &&
         info.writeTimeNs < readAtNs - kTimestampSlackNs;
}

// The last database read by this thread. Outside a batch it is reused only
// when settled and unchanged; inside one, also until its next check is due.
struct CachedDatabase {
  std::string path;
  platform::FileInfo info;
  std::shared_ptr<const TypeDatabase> database;
  bool settled = false;
  std::chrono::steady_clock::time_point checkedAt;
};

thread_local CachedDatabase cached;
thread_local int batchDepth = 0;

// Extensions remembered per database at most.
constexpr std::size_t kRememberedLookups = 4096;

}  // namespace

TypeDatabase::TypeDatabase(std::string_view bytes) {
  std::size_t count = bytes.size() / kExtInfoSize;
  records_.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    if (auto record = DecodeExtRecord(bytes.substr(i * kExtInfoSize, kExtInfoSize))) {
      records_.push_back(std::move(*record));
    }
  }
  for (std::size_t i = 0; i < records_.size(); ++i) {
    const ExtRecord& record = records_[i];
    if (!record.HasSignature()) continue;
    auto index = std::find_if(signatures_.begin(), signatures_.end(), [&](const OffsetIndex& o) {
      return o.offset == record.info.SigOffset;
    });
    if (index == signatures_.end()) {
      signatures_.push_back({record.info.SigOffset, {}});
      index = signatures_.end() - 1;
    }
    auto first = static_cast<unsigned char>(record.info.Signature[0]);
    index->byFirstByte[first].push_back(static_cast<std::uint32_t>(i));
  }
}

const ExtRecord* TypeDatabase::FirstSignatureMatch(const FileHeader& header) const {
  std::size_t best = records_.size();
  for (const OffsetIndex& index : signatures_) {
    // Valid records keep SigOffset + SigLen within the header (DecodeExtRecord).
    auto at = static_cast<std::size_t>(index.offset);
    for (std::uint32_t i : index.byFirstByte[static_cast<unsigned char>(header[at])]) {
      if (i >= best) break;
      const std::string& signature = records_[i].info.Signature;
      if (std::equal(signature.begin(), signature.end(), header.begin() + index.offset)) {
        best = i;
        break;
      }
    }
  }
  return best < records_.size() ? &records_[best] : nullptr;
}

std::optional<std::optional<TExtInfo>> TypeDatabase::RememberedLookup(const std::string& ext) const {
  std::lock_guard lock(lookupsMutex_);
  auto found = lookups_.find(ext);
  if (found == lookups_.end()) return std::nullopt;
  return found->second;
}

void TypeDatabase::RememberLookup(const std::string& ext,
                                  const std::optional<TExtInfo>& found) const {
  std::lock_guard lock(lookupsMutex_);
  if (lookups_.size() < kRememberedLookups) lookups_.emplace(ext, found);
}

TypeDatabaseBatch::TypeDatabaseBatch() { ++batchDepth; }
TypeDatabaseBatch::~TypeDatabaseBatch() { --batchDepth; }

std::shared_ptr<const TypeDatabase> LoadTypeDatabase(const std::string& path) {
  const auto checkedAt = std::chrono::steady_clock::now();
  if (cached.database && cached.path == path) {
    if (batchDepth > 0 && checkedAt - cached.checkedAt < kBatchRecheck) return cached.database;
    if (cached.settled) {
      platform::FileInfo now = platform::QueryFile(path);
      if (now.exists && SameState(now, cached.info)) {
        cached.checkedAt = checkedAt;
        return cached.database;
      }
    }
  }
  cached = {};

  std::int64_t readAt = NowNs();
  platform::WholeFile file = platform::ReadWholeFile(path);
  switch (file.outcome) {
    case platform::WholeFile::Outcome::kMissing:
      return nullptr;
    case platform::WholeFile::Outcome::kFailed:
      throw TypeDbIoError(file.reason);
    case platform::WholeFile::Outcome::kRead:
      break;
  }
  auto database = std::make_shared<const TypeDatabase>(file.bytes);
  cached = {path, file.info, database, SettledAt(file.info, readAt), checkedAt};
  return database;
}

}  // namespace ravo
