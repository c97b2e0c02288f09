#include "app/AdvStringGrid.h"

#include <QHeaderView>
#include <QHelpEvent>
#include <QMouseEvent>
#include <algorithm>

namespace ravo {

GridModel::GridModel(StringGrid& grid, QObject* parent) : QAbstractTableModel(parent), grid_(grid) {
  StringGrid::Observer observer;
  observer.rowCountAboutToChange = [this](int oldCount, int newCount) {
    if (newCount > oldCount) {
      beginInsertRows({}, oldCount - 1, newCount - 2);
    } else {
      beginRemoveRows({}, newCount - 1, oldCount - 2);
    }
  };
  observer.rowCountChanged = [this](int oldCount, int newCount) {
    if (newCount > oldCount) {
      endInsertRows();
    } else {
      endRemoveRows();
    }
  };
  observer.cellChanged = [this](int col, int row) {
    if (row == 0) {
      emit headerDataChanged(Qt::Horizontal, col, col);
    } else {
      QModelIndex cell = index(row - 1, col);
      emit dataChanged(cell, cell);
    }
  };
  observer.cellsCleared = [this] {
    if (rowCount() > 0) emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
  };
  grid_.SetObserver(std::move(observer));
}

GridModel::~GridModel() { grid_.SetObserver({}); }

int GridModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : grid_.RowCount() - 1;
}

int GridModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : grid_.ColCount();
}

QVariant GridModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  int row = index.row() + 1;
  if (role == Qt::DisplayRole) {
    return QString::fromLocal8Bit(grid_.Cell(index.column(), row));
  }
  if (role == Qt::BackgroundRole && colourQuery_) {
    QBrush brush;
    colourQuery_(row, index.column(), brush);
    if (brush.style() != Qt::NoBrush) return brush;
  }
  return {};
}

QVariant GridModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation == Qt::Horizontal && role == Qt::DisplayRole) {
    return QString::fromLocal8Bit(grid_.Cell(section, 0));
  }
  return QAbstractTableModel::headerData(section, orientation, role);
}

TAdvStringGrid::TAdvStringGrid(StringGrid& grid, QWidget* parent)
    : QTableView(parent), grid_(grid), model_(new GridModel(grid, this)) {
  setModel(model_);
  model_->SetColourQuery([this](int row, int col, QBrush& brush) {
    if (OnGetCellColor) OnGetCellColor(row, col, brush);
  });
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setShowGrid(true);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  verticalHeader()->hide();
  verticalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  horizontalHeader()->setHighlightSections(false);
  connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& current) {
            if (current.isValid()) grid_.SetCurrentRow(current.row() + 1);
          });
  connect(this, &QTableView::clicked, this, [this](const QModelIndex& index) {
    grid_.SetCurrentRow(index.row() + 1);
    if (OnClickCell) OnClickCell(index.row() + 1, index.column());
  });
  viewport()->setMouseTracking(true);
  connect(this, &QTableView::doubleClicked, this, [this](const QModelIndex&) {
    if (OnDblClick) OnDblClick();
  });
}

void TAdvStringGrid::SelectRow(int row) {
  if (row < 1 || row >= grid_.RowCount()) return;
  setCurrentIndex(model_->index(row - 1, 0));
  selectRow(row - 1);
}

std::vector<int> TAdvStringGrid::SelectedRows() const {
  std::vector<int> rows;
  for (const QModelIndex& index : selectionModel()->selectedRows()) rows.push_back(index.row() + 1);
  std::sort(rows.begin(), rows.end());
  return rows;
}

bool TAdvStringGrid::viewportEvent(QEvent* event) {
  switch (event->type()) {
    case QEvent::ToolTip: {
      auto* help = static_cast<QHelpEvent*>(event);
      QModelIndex index = indexAt(help->pos());
      if (index.isValid()) {
        restingRow_ = index.row() + 1;
        if (OnRestOnRow) OnRestOnRow(restingRow_, help->globalPos());
      }
      return true;
    }
    case QEvent::MouseMove: {
      QModelIndex index = indexAt(static_cast<QMouseEvent*>(event)->position().toPoint());
      int row = index.isValid() ? index.row() + 1 : 0;
      if (restingRow_ != 0 && row != restingRow_) {
        restingRow_ = 0;
        if (OnLeaveRow) OnLeaveRow();
      }
      break;
    }
    case QEvent::Leave:
      if (restingRow_ != 0) {
        restingRow_ = 0;
        if (OnLeaveRow) OnLeaveRow();
      }
      break;
    default:
      break;
  }
  return QTableView::viewportEvent(event);
}

}  // namespace ravo
