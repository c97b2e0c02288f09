// The capture categories, their extension lists and the membership test
// that monitoring and the full-disk search share: the four of old, and the
// formats of today's web after them.
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
// Today's web: WebP, AVIF and HEIF pictures, WebM and Matroska video, Ogg,
// Opus, FLAC and AAC audio, MP4 audio and video under their own names.
inline constexpr std::string_view kModernExts =
    ".webp;.avif;.heic;.heif;.webm;.mkv;.ogg;.oga;.opus;.flac;.m4a;.m4v;.aac";

// Which of the check boxes are ticked.
struct CategorySelection {
  bool music = true;
  bool video = true;
  bool flash = true;
  bool pictures = true;
  bool modern = true;
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
