#include "app/CaptureList.h"

#include "app/SizeText.h"
#include "fsutil/PathText.h"
#include "fsutil/velFile.h"
#include "platform/Files.h"

namespace ravo {

CaptureList::CaptureList(StringGrid& grid) : grid_(grid) {
  grid_.SetRowCount(10);
  grid_.SetCell(kNameCol, 0, "文件名");
  grid_.SetCell(kTypeCol, 0, "类型");
  grid_.SetCell(kSizeCol, 0, "大小");
}

void CaptureList::WriteRow(int row, const std::string& path, const std::string& fileType) {
  grid_.SetCell(kNameCol, row, NameOf(path));
  grid_.SetCell(kTypeCol, row, fileType);
  grid_.SetCell(kSizeCol, row, SizeToText(FileSizeOf(path)));
}

void CaptureList::AddCapturedRow(const std::string& path, const std::string& fileType) {
  paths_.push_back(path);
  int row = CapturedCount();
  grid_.SetRowCount(row + 1);
  WriteRow(row, path, fileType);
}

void CaptureList::Reset() { paths_.clear(); }

std::optional<std::string> CaptureList::PathOfRow(int row) const {
  if (row < 1 || row > CapturedCount()) return std::nullopt;
  return paths_[static_cast<std::size_t>(row - 1)];
}

int CaptureList::RowOfPath(const std::string& path) const {
  for (int i = CapturedCount(); i >= 1; --i) {
    if (paths_[static_cast<std::size_t>(i - 1)] == path) return i;
  }
  return 0;
}

void CaptureList::ReplaceRow(int row, const std::string& path, const std::string& fileType) {
  if (row < 1 || row > CapturedCount()) return;
  paths_[static_cast<std::size_t>(row - 1)] = path;
  WriteRow(row, path, fileType);
}

void CaptureList::MoveFolder(const std::string& oldFolder, const std::string& newFolder) {
  const std::string oldPrefix = WithTrailingSeparator(oldFolder);
  const std::string newPrefix = WithTrailingSeparator(newFolder);
  for (std::string& path : paths_) {
    if (path.compare(0, oldPrefix.size(), oldPrefix) == 0) {
      path = newPrefix + path.substr(oldPrefix.size());
    }
  }
}

void CaptureList::RemoveRow(int row) {
  if (row < 1 || row > CapturedCount()) return;
  paths_.erase(paths_.begin() + (row - 1));
  for (int r = row; r < grid_.RowCount() - 1; ++r) {
    for (int c = 0; c < grid_.ColCount(); ++c) grid_.SetCell(c, r, grid_.Cell(c, r + 1));
  }
  grid_.SetRowCount(grid_.RowCount() - 1);
}

void CaptureList::RefreshSizes() {
  int last = std::min(grid_.RowCount() - 1, CapturedCount());
  for (int row = 1; row <= last; ++row) {
    const std::string& path = paths_[static_cast<std::size_t>(row - 1)];
    platform::FileInfo info = platform::QueryFile(path);
    std::string text = info.queryFailed ? std::string(kUnknownSize)
                       : info.exists && !info.isDirectory
                           ? SizeToText(static_cast<std::int64_t>(info.size))
                           : std::string("0");
    grid_.SetCell(kSizeCol, row, text);
  }
}

std::string CaptureList::SuggestedSaveName(int row) const {
  std::string name = grid_.Cell(kNameCol, row);
  const std::string& type = grid_.Cell(kTypeCol, row);
  if (!ContainsBytes(name, type)) name += type;
  return name;
}

std::optional<Rgb> CaptureList::CellColour(int col, int row) const {
  if (col == kSizeCol) {
    std::string size = LowerAscii(grid_.Cell(kSizeCol, row));
    std::optional<Rgb> colour;
    if (ContainsBytes(size, "kb")) colour = kKiloColour;
    if (ContainsBytes(size, "mb")) colour = kMegaColour;
    if (ContainsBytes(size, "gb")) colour = kGigaColour;
    return colour;
  }
  if (col == kTypeCol) {
    std::string type = LowerAscii(grid_.Cell(kTypeCol, row));
    std::string name = LowerAscii(grid_.Cell(kNameCol, row));
    if (!ContainsBytes(name, type)) return kHiddenTypeColour;
  }
  return std::nullopt;
}

}  // namespace ravo
