#include "app/Categories.h"

#include "fsutil/PathText.h"

namespace ravo {

bool BelongsTo(std::string_view type, std::string_view list) {
  return ContainsBytes(list, LowerAscii(type));
}

bool BelongsToTicked(std::string_view type, const CategorySelection& ticked) {
  return (ticked.music && BelongsTo(type, kMusicExts)) ||
         (ticked.video && BelongsTo(type, kVideoExts)) ||
         (ticked.flash && BelongsTo(type, kFlashExts)) ||
         (ticked.pictures && BelongsTo(type, kPictureExts)) ||
         (ticked.modern && BelongsTo(type, kModernExts));
}

std::string JoinTickedLists(const CategorySelection& ticked) {
  std::string list;
  if (ticked.music) list += kMusicExts;
  if (ticked.video) list += kVideoExts;
  if (ticked.flash) list += kFlashExts;
  if (ticked.pictures) list += kPictureExts;
  if (ticked.modern) list += kModernExts;
  return list;
}

}  // namespace ravo
