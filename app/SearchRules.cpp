#include "app/SearchRules.h"

#include <utility>

#include "app/Categories.h"
#include "fsutil/PathText.h"
#include "fsutil/velFindFile.h"
#include "platform/Files.h"
#include "typedb/DetectFileType.h"
#include "typedb/HeadPrefetch.h"

namespace ravo {

SearchRules::SearchRules(std::string extList, bool disguised, IdentifyFn identify, ListFn list)
    : extList_(std::move(extList)),
      disguised_(disguised),
      identify_(std::move(identify)),
      list_(std::move(list)) {
  if (identify_) return;
  identify_ = [](const std::string& path) { return DetectFileType(path); };
  // The files a disguised search examines are those whose extension is not
  // in the list; only regular files are read ahead, the rest (links) are
  // looked at first, as always.
  if (disguised_) {
    prefetch_ = std::make_unique<HeadPrefetch>([this](std::string_view name, bool regular) {
      return regular && !BelongsTo(ExtOf(name), extList_);
    });
  }
}

SearchRules::~SearchRules() = default;

FindLookahead* SearchRules::Lookahead() const { return prefetch_.get(); }

std::string SearchRules::DisguisedType(const std::string& path) const {
  if (!disguised_ || BelongsTo(ExtOf(path), extList_)) return {};
  std::string type;
  if (auto head = prefetch_ ? prefetch_->Take(path) : std::nullopt) {
    // A regular file when the walk read its directory.
    type = DetectFileTypeFromHead(path, *head, TypeDatabasePath());
  } else {
    platform::FileInfo info = platform::QueryFile(path);
    if (!info.exists || info.isDirectory) return {};
    type = identify_(path);
  }
  return BelongsTo(type, extList_) ? type : std::string();
}

bool SearchRules::IsDisguisedMedia(const std::string& path) const {
  // An empty type belongs to no list, so an empty answer means "no".
  return !DisguisedType(path).empty();
}

void SearchRules::Handle(const std::string& path, std::int32_t kind) const {
  switch (kind) {
    case kFoundMatch: {
      // The finder matched the extension against the same list, so the
      // file's content is not examined.
      std::string type = ExtOf(path);
      ListIfLongEnough(path, BelongsTo(type, extList_) ? type : identify_(path));
      return;
    }
    case kFoundFile:
      // A file with a listed extension is listed by the kind-0 call that
      // follows; any other is listed only as a disguised file. Its type is
      // identified once and used for both the test and the row.
      ListIfLongEnough(path, DisguisedType(path));
      return;
    default:
      // A directory is never a disguised file.
      return;
  }
}

void SearchRules::ListIfLongEnough(const std::string& path, const std::string& type) const {
  if (type.size() > kLongestUnlistedType) list_(path, type);
}

}  // namespace ravo
