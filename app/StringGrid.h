// A grid of text cells addressed by column and row (row 0 is the header),
// with a settable row count and a current row. It holds no widgets: the GUI
// shows it through a model, and observers hear of every change.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace ravo {

class StringGrid {
 public:
  struct Observer {
    std::function<void(int oldRowCount, int newRowCount)> rowCountAboutToChange;
    std::function<void(int oldRowCount, int newRowCount)> rowCountChanged;
    std::function<void(int col, int row)> cellChanged;
    std::function<void()> cellsCleared;
  };

  StringGrid(int colCount, int rowCount);

  int ColCount() const { return colCount_; }
  int RowCount() const { return static_cast<int>(rows_.size()); }

  // Lower drops rows at the end with their texts; higher adds empty rows.
  void SetRowCount(int rowCount);

  // Cells outside the grid read as empty and ignore writes.
  const std::string& Cell(int col, int row) const;
  void SetCell(int col, int row, std::string text);

  // Every cell below the header becomes empty; the row count stays.
  void ClearNonHeader();

  // The row that holds the selection (1 at start; never the header).
  int CurrentRow() const { return currentRow_; }
  void SetCurrentRow(int row);

  void SetObserver(Observer observer) { observer_ = std::move(observer); }

 private:
  int colCount_;
  int currentRow_ = 1;
  std::vector<std::vector<std::string>> rows_;
  Observer observer_;
};

}  // namespace ravo
