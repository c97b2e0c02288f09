#include "typedb/TypeDatabase.h"

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

// The last database read by this thread, while it may be reused.
struct CachedDatabase {
  std::string path;
  platform::FileInfo info;
  std::shared_ptr<const TypeDatabase> database;
};

thread_local CachedDatabase cached;

}  // namespace

TypeDatabase::TypeDatabase(std::string_view bytes) {
  std::size_t count = bytes.size() / kExtInfoSize;
  records_.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    if (auto record = DecodeExtRecord(bytes.substr(i * kExtInfoSize, kExtInfoSize))) {
      records_.push_back(std::move(*record));
    }
  }
}

std::shared_ptr<const TypeDatabase> LoadTypeDatabase(const std::string& path) {
  if (cached.database && cached.path == path) {
    platform::FileInfo now = platform::QueryFile(path);
    if (now.exists && SameState(now, cached.info)) return cached.database;
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
  if (SettledAt(file.info, readAt)) cached = {path, file.info, database};
  return database;
}

}  // namespace ravo
