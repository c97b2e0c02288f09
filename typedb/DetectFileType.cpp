#include "typedb/DetectFileType.h"

#include <algorithm>
#include <span>

#include "fsutil/PathText.h"
#include "platform/FileRead.h"
#include "platform/Process.h"
#include "typedb/CacheEntry.h"
#include "typedb/velScanext.h"

namespace ravo {
namespace {

// The file's first 51 bytes, zero beyond the end of a shorter file, from
// its head as first read. That read lets other programs go on writing the
// file but has to give all 51 bytes; where the system knows another way of
// reading (Windows' share modes), a short or failed first read is followed
// by a second one that takes what there is.
std::optional<FileHeader> ReadFileHeader(const std::string& path,
                                         const std::optional<FileHead>& head) {
  if (head && (head->count == kHeaderSize || !platform::kHeadAttemptsDiffer)) return head->bytes;
  if (!head && !platform::kHeadAttemptsDiffer) return std::nullopt;
  FileHeader header{};
  if (!platform::ReadFileStart(path, header, platform::HeadAttempt::kRefuseWriters)) {
    return std::nullopt;
  }
  return header;
}

// The bytes identification looks at: the file's first 51, or for a complete
// or sparse Chromium cache entry those of the body it holds, and for a
// Firefox cache entry with a body shorter than that, the body padded with
// zeros. Only a file that starts like a Chromium entry, or is named like a
// Firefox one, is read any further.
std::optional<FileHeader> ReadHeader(const std::string& path, const std::optional<FileHead>& head) {
  std::optional<FileHeader> header = ReadFileHeader(path, head);
  if (!header) return header;
  if (HasSimpleCacheHeader(std::string_view(header->data(), header->size()))) {
    if (auto body = SimpleCacheBodyHeader(path)) return body;
  } else if (IsCache2EntryName(NameOf(path))) {
    if (auto length = ShortCache2BodyLength(path, header->size())) {
      std::fill(header->begin() + static_cast<std::ptrdiff_t>(*length), header->end(), '\0');
    }
  }
  return header;
}

// The head that `read` (one of the platform's ways of reading a file's
// start) fills in.
template <typename Read>
std::optional<FileHead> HeadReadBy(Read read) {
  FileHead head;
  std::optional<std::size_t> n = read(std::span<char>(head.bytes));
  if (!n) return std::nullopt;
  head.count = *n;
  return head;
}

}  // namespace

// The executable does not move while it runs: its folder is looked up once.
std::string TypeDatabasePath() {
  static const std::string path = platform::ExecutableDir() + "ext.dll";
  return path;
}

std::string DetectFileType(const std::string& path) {
  return DetectFileType(path, TypeDatabasePath());
}

std::string DetectFileType(const std::string& path, const std::string& databasePath) {
  return DetectFileTypeFromHead(path, ReadFileHead(path), databasePath);
}

std::optional<FileHead> ReadFileHead(const std::string& path, bool knownRegular) {
  return HeadReadBy([&](std::span<char> buffer) {
    return knownRegular ? platform::ReadRegularFileStart(path, buffer)
                        : platform::ReadFileStart(path, buffer, platform::HeadAttempt::kLetOthersWrite);
  });
}

std::optional<FileHead> ReadFileHeadIn(const platform::OpenFolder& folder, const std::string& name) {
  return HeadReadBy(
      [&](std::span<char> buffer) { return platform::ReadRegularFileStartIn(folder, name, buffer); });
}

std::string DetectFileTypeFromHead(const std::string& path, const std::optional<FileHead>& head,
                                   const std::string& databasePath) {
  std::string ext = ExtOf(path);
  std::string ext10 = ext.substr(0, kExtCapacity);
  // The content's verdict. A file that cannot be read, or a database that
  // cannot, simply gives none: the name decides then.
  std::shared_ptr<const TypeDatabase> database;
  try {
    if (std::optional<FileHeader> header = ReadHeader(path, head)) {
      database = LoadTypeDatabase(databasePath);
      if (database) {
        if (auto verdict = MatchSignature(*database, ext10, *header)) return *verdict;
      }
    }
  } catch (...) {
    database.reset();
  }
  // The name's: here a database that cannot be read is an error.
  if (!database) database = LoadTypeDatabase(databasePath);
  if (!database) return ext10;
  auto found = LookupByExt(*database, ext);
  if (found && !IsBlank(found->Description)) return found->Ext;
  return ext10;
}

}  // namespace ravo
