#include "typedb/DetectFileType.h"

#include <algorithm>

#include "fsutil/PathText.h"
#include "platform/FileRead.h"
#include "platform/Process.h"
#include "typedb/CacheEntry.h"
#include "typedb/velScanext.h"

namespace ravo {
namespace {

// The file's first 51 bytes, zero beyond the end of a shorter file. The
// first attempt lets other programs go on writing the file but needs all 51
// bytes; the second, made when the first fails, takes what there is.
std::optional<FileHeader> ReadFileHeader(const std::string& path) {
  FileHeader header{};
  auto first = platform::ReadFileStart(path, header, platform::HeadAttempt::kLetOthersWrite);
  if (first == header.size()) return header;
  header.fill(0);
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
std::optional<FileHeader> ReadHeader(const std::string& path) {
  std::optional<FileHeader> header = ReadFileHeader(path);
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

// The verdict of the file's content. A file that cannot be read, or a
// database that cannot, simply gives none: the name decides then.
std::optional<std::string> SignatureVerdict(const std::string& path, const std::string& ext10,
                                            const std::string& databasePath) {
  try {
    auto header = ReadHeader(path);
    if (!header) return std::nullopt;
    return MatchSignature(databasePath, ext10, *header);
  } catch (...) {
    return std::nullopt;
  }
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
  std::string ext = ExtOf(path);
  std::string ext10 = ext.substr(0, kExtCapacity);
  if (auto verdict = SignatureVerdict(path, ext10, databasePath)) return *verdict;
  auto found = LookupByExt(databasePath, ext);
  if (found && !IsBlank(found->Description)) return found->Ext;
  return ext10;
}

}  // namespace ravo
