#include "app/StringGrid.h"

#include <algorithm>

namespace ravo {

StringGrid::StringGrid(int colCount, int rowCount)
    : colCount_(colCount), rows_(static_cast<std::size_t>(std::max(rowCount, 1)),
                                 std::vector<std::string>(static_cast<std::size_t>(colCount))) {}

void StringGrid::SetRowCount(int rowCount) {
  rowCount = std::max(rowCount, 1);
  int old = RowCount();
  if (rowCount == old) return;
  if (observer_.rowCountAboutToChange) observer_.rowCountAboutToChange(old, rowCount);
  rows_.resize(static_cast<std::size_t>(rowCount),
               std::vector<std::string>(static_cast<std::size_t>(colCount_)));
  if (currentRow_ >= rowCount) currentRow_ = std::max(1, rowCount - 1);
  if (observer_.rowCountChanged) observer_.rowCountChanged(old, rowCount);
}

const std::string& StringGrid::Cell(int col, int row) const {
  static const std::string kEmpty;
  if (col < 0 || col >= colCount_ || row < 0 || row >= RowCount()) return kEmpty;
  return rows_[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)];
}

void StringGrid::SetCell(int col, int row, std::string text) {
  if (col < 0 || col >= colCount_ || row < 0 || row >= RowCount()) return;
  std::string& cell = rows_[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)];
  if (cell == text) return;
  cell = std::move(text);
  if (observer_.cellChanged) observer_.cellChanged(col, row);
}

void StringGrid::ClearNonHeader() {
  for (std::size_t r = 1; r < rows_.size(); ++r) {
    for (std::string& cell : rows_[r]) cell.clear();
  }
  if (observer_.cellsCleared) observer_.cellsCleared();
}

void StringGrid::SetCurrentRow(int row) {
  if (row >= 1 && row < RowCount()) currentRow_ = row;
}

}  // namespace ravo
