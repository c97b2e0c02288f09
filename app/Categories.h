// The four capture categories, their extension lists and the membership test
// that monitoring and the full-disk search share.
#pragma once

#include <string>
#include <string_view>

namespace ravo {

// The lists are used exactly as they stand: mixed separators, ".mov" twice,
// and ".acc" spelled with two c.
inline constexpr std::string_view kMusicExts = ".wav;.mp3,.wma,.acc";
inline constexpr std::string_view kVideoExts =
    ".avi;.mp4,.f4v,.flv;.wmv;.mov,.asf,.3gp,.mpg;.vob;.rm;.mov;.mpe";
inline constexpr std::string_view kFlashExts = ".swf";
inline constexpr std::string_view kPictureExts = ".jpg;.jpeg;.bmp;.png;.gif;.psd;.svg";

// Which of the four check boxes are ticked.
struct CategorySelection {
  bool music = true;
  bool video = true;
  bool flash = true;
  bool pictures = true;
};

// A type belongs to a list when its lower-cased text occurs in the list as a
// byte-wise substring; an empty type belongs to no list.
bool BelongsTo(std::string_view type, std::string_view list);

// True when the type belongs to the list of a ticked category.
bool BelongsToTicked(std::string_view type, const CategorySelection& ticked);

// The lists of the ticked categories, in category order, joined with nothing
// between them.
std::string JoinTickedLists(const CategorySelection& ticked);

}  // namespace ravo
