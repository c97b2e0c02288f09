#include "fsutil/PathText.h"

#include <algorithm>

namespace ravo {
namespace {

bool IsGbkLead(unsigned char c) { return c >= 0x81 && c <= 0xFE; }

// Calls visit(index) for every byte that starts a character, skipping the
// trail byte of a GBK double-byte character under the Windows syntax.
template <typename Visit>
void ForEachCharStart(std::string_view path, PathSyntax syntax, Visit visit) {
  for (std::size_t i = 0; i < path.size(); ++i) {
    visit(i);
    if (syntax == PathSyntax::Windows && IsGbkLead(static_cast<unsigned char>(path[i])) &&
        i + 1 < path.size()) {
      ++i;
    }
  }
}

bool IsSeparatorByte(char c, PathSyntax syntax) {
  return syntax == PathSyntax::Windows ? (c == '\\' || c == ':') : c == '/';
}

}  // namespace

char SeparatorOf(PathSyntax syntax) { return syntax == PathSyntax::Windows ? '\\' : '/'; }

std::size_t LastSeparator(std::string_view path, PathSyntax syntax) {
  std::size_t last = std::string_view::npos;
  ForEachCharStart(path, syntax, [&](std::size_t i) {
    if (IsSeparatorByte(path[i], syntax)) last = i;
  });
  return last;
}

bool EndsWithSeparator(std::string_view path, PathSyntax syntax) {
  std::size_t last = LastSeparator(path, syntax);
  return last != std::string_view::npos && last + 1 == path.size();
}

std::string NameOf(std::string_view path, PathSyntax syntax) {
  std::size_t last = LastSeparator(path, syntax);
  return std::string(last == std::string_view::npos ? path : path.substr(last + 1));
}

std::string FolderOf(std::string_view path, PathSyntax syntax) {
  std::size_t last = LastSeparator(path, syntax);
  return last == std::string_view::npos ? std::string() : std::string(path.substr(0, last + 1));
}

std::string ExtOf(std::string_view path, PathSyntax syntax) {
  std::size_t dot = std::string_view::npos;
  ForEachCharStart(path, syntax, [&](std::size_t i) {
    if (path[i] == '.') {
      dot = i;
    } else if (IsSeparatorByte(path[i], syntax)) {
      dot = std::string_view::npos;
    }
  });
  return dot == std::string_view::npos ? std::string() : std::string(path.substr(dot));
}

std::string WithTrailingSeparator(std::string_view dir, PathSyntax syntax) {
  std::string out(dir);
  std::size_t last = LastSeparator(dir, syntax);
  bool endsWithSeparator =
      last != std::string_view::npos && last + 1 == dir.size() && dir[last] == SeparatorOf(syntax);
  if (!endsWithSeparator) out.push_back(SeparatorOf(syntax));
  return out;
}

std::string JoinPath(std::string_view dir, std::string_view name, PathSyntax syntax) {
  return WithTrailingSeparator(dir, syntax) + std::string(name);
}

std::size_t LastCharStart(std::string_view text, PathSyntax syntax) {
  std::size_t last = 0;
  if (syntax == PathSyntax::Windows) {
    ForEachCharStart(text, syntax, [&](std::size_t i) { last = i; });
    return last;
  }
  last = text.empty() ? 0 : text.size() - 1;
  while (last > 0 && (static_cast<unsigned char>(text[last]) & 0xC0) == 0x80) --last;
  return last;
}

std::string LowerAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
  }
  return out;
}

bool ContainsBytes(std::string_view haystack, std::string_view needle) {
  return !needle.empty() && haystack.find(needle) != std::string_view::npos;
}

bool EqualsIgnoreAsciiCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && LowerAscii(a) == LowerAscii(b);
}

bool IsBlank(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) <= 0x20; });
}

std::string TrimControls(std::string_view text) {
  auto isControl = [](char c) { return static_cast<unsigned char>(c) <= 0x20; };
  std::size_t b = 0, e = text.size();
  while (b < e && isControl(text[b])) ++b;
  while (e > b && isControl(text[e - 1])) --e;
  return std::string(text.substr(b, e - b));
}

}  // namespace ravo
