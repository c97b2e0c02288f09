// Byte-string text and path helpers shared by the whole engine.
//
// Paths are byte strings: UTF-8 on Linux, the ANSI code page (GBK) on Windows.
// Two path syntaxes exist side by side as pure functions so that both can be
// tested on any machine; kNativeSyntax (defined by the platform layer) picks
// the one the running system uses.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace ravo {

enum class PathSyntax {
  Posix,    // separator '/'
  Windows,  // separators '\' and ':'; a GBK trail byte is never a separator
};

// The syntax of the system the program was built for (platform layer).
extern const PathSyntax kNativeSyntax;

// The separator that joins folder and name ('\\' or '/').
char SeparatorOf(PathSyntax syntax = kNativeSyntax);

// Index of the last separator of the path, or npos when it has none.
std::size_t LastSeparator(std::string_view path, PathSyntax syntax = kNativeSyntax);

// True when the last byte of the path is a separator (a GBK trail byte is not).
bool EndsWithSeparator(std::string_view path, PathSyntax syntax = kNativeSyntax);

// Everything after the last separator.
std::string NameOf(std::string_view path, PathSyntax syntax = kNativeSyntax);

// The path up to and including its last separator; empty when it has none.
std::string FolderOf(std::string_view path, PathSyntax syntax = kNativeSyntax);

// The part from the last dot on, dot included, provided no separator follows
// that dot; otherwise empty.
std::string ExtOf(std::string_view path, PathSyntax syntax = kNativeSyntax);

// The directory with exactly one separator appended unless it already ends
// with one.
std::string WithTrailingSeparator(std::string_view dir, PathSyntax syntax = kNativeSyntax);

// dir + separator + name, without doubling a separator dir already ends with.
std::string JoinPath(std::string_view dir, std::string_view name,
                     PathSyntax syntax = kNativeSyntax);

// Index of the first byte of the text's last character (UTF-8 under the
// Posix syntax, GBK under the Windows one); 0 for an empty text.
std::size_t LastCharStart(std::string_view text, PathSyntax syntax = kNativeSyntax);

// Changes only the bytes 'A'..'Z' (also inside double-byte text).
std::string LowerAscii(std::string_view text);

// Byte-wise, case-sensitive substring test; an empty needle is never found.
bool ContainsBytes(std::string_view haystack, std::string_view needle);

// Equality ignoring the case of ASCII letters only.
bool EqualsIgnoreAsciiCase(std::string_view a, std::string_view b);

// True when the text is empty or made only of bytes 0x00..0x20.
bool IsBlank(std::string_view text);

// The text without leading and trailing bytes 0x00..0x20.
std::string TrimControls(std::string_view text);

}  // namespace ravo
