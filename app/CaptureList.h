// The capture list: the grid rows of captured files and the paths behind
// them. Row r (1 <= r <= CapturedCount) shows the file at CapturedPaths[r-1].
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/StringGrid.h"

namespace ravo {

// Background colours the capture list gives a cell, as RGB.
struct Rgb {
  std::uint8_t r, g, b;
  bool operator==(const Rgb&) const = default;
};
inline constexpr Rgb kKiloColour{203, 254, 254};   // light cyan
inline constexpr Rgb kMegaColour{13, 230, 95};     // green
inline constexpr Rgb kGigaColour{252, 77, 63};     // red
inline constexpr Rgb kHiddenTypeColour{249, 193, 47};  // amber: the name hides the type

// The size cell of a file whose size could not be taken.
inline constexpr char kUnknownSize[] = "未知";

class CaptureList {
 public:
  // Columns of the grid.
  static constexpr int kNameCol = 0;
  static constexpr int kTypeCol = 1;
  static constexpr int kSizeCol = 2;

  // Sets up the grid as the list shows it at start: the header and 9 empty rows.
  explicit CaptureList(StringGrid& grid);

  // Appends one captured file (no duplicate check).
  void AddCapturedRow(const std::string& path, const std::string& fileType);

  // Empties the path list; the grid is not touched.
  void Reset();

  int CapturedCount() const { return static_cast<int>(paths_.size()); }
  const std::vector<std::string>& CapturedPaths() const { return paths_; }

  // The path behind a grid row, if the row has one.
  std::optional<std::string> PathOfRow(int row) const;

  // The row of the last capture of this path, or 0.
  int RowOfPath(const std::string& path) const;

  // Points a captured row at a new path and type (a file that was renamed).
  void ReplaceRow(int row, const std::string& path, const std::string& fileType);

  // Follows a renamed folder: captured paths inside oldFolder move to
  // newFolder (the names shown stay the same).
  void MoveFolder(const std::string& oldFolder, const std::string& newFolder);

  // Takes a captured row out of the list; the rows below move up.
  void RemoveRow(int row);

  // The one-second refresh of every captured row's size cell: "0" for a
  // missing file or a directory.
  void RefreshSizes();

  // The name "另存为" suggests for a row: the name, with the type appended
  // when the name does not contain it (case-sensitive).
  std::string SuggestedSaveName(int row) const;

  // Saves the file of a row as target (SaveCapturedFile: the body alone of a
  // browser's cache entry). Empty on success, else the reason.
  std::string SaveCopy(int row, const std::string& target) const;

  // The background a cell gets, or none to keep the grid's own colour.
  std::optional<Rgb> CellColour(int col, int row) const;

  StringGrid& Grid() { return grid_; }
  const StringGrid& Grid() const { return grid_; }

 private:
  void WriteRow(int row, const std::string& path, const std::string& fileType);

  StringGrid& grid_;
  std::vector<std::string> paths_;
};

}  // namespace ravo
