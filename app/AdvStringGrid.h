// The grid that shows a StringGrid: row 0 of the grid is the view's header,
// rows 1.. are the table rows. It raises the click, double-click and
// cell-colour events the window handles.
#pragma once

#include <QAbstractTableModel>
#include <QBrush>
#include <QTableView>
#include <functional>
#include <vector>

#include "app/StringGrid.h"

namespace ravo {

class GridModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  // Asked for every painted cell; may change the brush.
  using ColourQuery = std::function<void(int row, int col, QBrush& brush)>;

  GridModel(StringGrid& grid, QObject* parent);
  ~GridModel() override;

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  void SetColourQuery(ColourQuery query) { colourQuery_ = std::move(query); }

 private:
  StringGrid& grid_;
  ColourQuery colourQuery_;
};

class TAdvStringGrid : public QTableView {
  Q_OBJECT
 public:
  TAdvStringGrid(StringGrid& grid, QWidget* parent);

  StringGrid& Grid() { return grid_; }

  // Selects a grid row (1..) as the current row.
  void SelectRow(int row);

  // The grid rows (1..) of the selection, in ascending order.
  std::vector<int> SelectedRows() const;

  std::function<void(int row, int col)> OnClickCell;
  // The pointer rests on a row (where a tool tip would show), and has left
  // it: moved to another row or out of the grid.
  std::function<void(int row, QPoint globalPos)> OnRestOnRow;
  std::function<void()> OnLeaveRow;
  std::function<void()> OnDblClick;
  std::function<void(int row, int col, QBrush& brush)> OnGetCellColor;

 protected:
  bool viewportEvent(QEvent* event) override;

 private:
  StringGrid& grid_;
  GridModel* model_;
  int restingRow_ = 0;
};

}  // namespace ravo
