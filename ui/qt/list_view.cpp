// The report-style list: a table model holding the cells, shown by a
// QTableView with whole-row single selection.  Columns of width 0 are hidden,
// so they take no pixel and the keyboard never lands on them.
#include <QHeaderView>
#include <QMouseEvent>

#include "ui/qt/qt_text.h"
#include "ui/qt/widgets.h"

namespace ui::qt {

// ---- model ------------------------------------------------------------------

int ListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int ListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(headers_.size());
}

QVariant ListModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole) return {};
  const Text* cell = Cell(index.row(), index.column());
  return cell ? QVariant(ToQString(*cell)) : QVariant();
}

QVariant ListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole || orientation != Qt::Horizontal) return {};
  if (section < 0 || section >= static_cast<int>(headers_.size())) return {};
  return headers_[section];
}

Qt::ItemFlags ListModel::flags(const QModelIndex& index) const {
  return index.isValid() ? (Qt::ItemIsEnabled | Qt::ItemIsSelectable) : Qt::NoItemFlags;
}

int ListModel::AppendRow() {
  const int row = static_cast<int>(rows_.size());
  beginInsertRows({}, row, row);
  rows_.emplace_back(headers_.size());
  endInsertRows();
  return row;
}

bool ListModel::SetCell(int row, int column, std::string_view text) {
  if (row < 0 || row >= static_cast<int>(rows_.size())) return false;
  if (column < 0 || column >= static_cast<int>(headers_.size())) return false;
  rows_[row][column] = Text(text);
  const QModelIndex changed = index(row, column);
  emit dataChanged(changed, changed, {Qt::DisplayRole});
  return true;
}

const Text* ListModel::Cell(int row, int column) const {
  if (row < 0 || row >= static_cast<int>(rows_.size())) return nullptr;
  if (column < 0 || column >= static_cast<int>(headers_.size())) return nullptr;
  return &rows_[row][column];
}

bool ListModel::RemoveRow(int row) {
  if (row < 0 || row >= static_cast<int>(rows_.size())) return false;
  beginRemoveRows({}, row, row);
  rows_.erase(rows_.begin() + row);
  endRemoveRows();
  return true;
}

void ListModel::Clear() {
  beginResetModel();
  rows_.clear();
  endResetModel();
}

// ---- view -------------------------------------------------------------------

namespace {
std::vector<QString> Headers(const std::vector<ColumnSpec>& columns) {
  std::vector<QString> headers;
  for (const ColumnSpec& column : columns) headers.push_back(ToQString(column.header));
  return headers;
}
}  // namespace

ListWidget::ListWidget(QWidget* parent, const Rect& rect, const std::vector<ColumnSpec>& columns)
    : QTableView(parent), model_(Headers(columns)) {
  setGeometry(rect.left, rect.top, rect.width, rect.height);
  setModel(&model_);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setShowGrid(true);
  setWordWrap(false);
  setSortingEnabled(false);
  setTabKeyNavigation(false);
  setDragEnabled(false);
  setMouseTracking(false);
  setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);

  verticalHeader()->hide();
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);

  QHeaderView* header = horizontalHeader();
  header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  header->setSectionsClickable(false);  // a press sorts nothing and selects nothing
  header->setSectionsMovable(false);
  header->setHighlightSections(false);
  header->setStretchLastSection(false);
  header->setMinimumSectionSize(0);
  for (int c = 0; c < static_cast<int>(columns.size()); ++c) {
    header->setSectionResizeMode(c, QHeaderView::Fixed);
    header->resizeSection(c, columns[c].width);
    setColumnHidden(c, columns[c].width == 0);
  }

  // The selected row stays highlighted while the list has no focus; black on white.
  QPalette colours = palette();
  colours.setColor(QPalette::Inactive, QPalette::Highlight,
                   colours.color(QPalette::Active, QPalette::Highlight));
  colours.setColor(QPalette::Inactive, QPalette::HighlightedText,
                   colours.color(QPalette::Active, QPalette::HighlightedText));
  for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
    colours.setColor(group, QPalette::Base, Qt::white);
    colours.setColor(group, QPalette::Text, Qt::black);
  }
  setPalette(colours);
}

int ListWidget::SelectedIndex() const {
  const QModelIndexList rows = selectionModel()->selectedRows();
  return rows.isEmpty() ? -1 : rows.first().row();
}

int ListWidget::RowCount() const { return model_.rowCount(); }

int ListWidget::InsertRow() { return model_.AppendRow(); }

bool ListWidget::SetCellText(int row, int column, std::string_view text) {
  return model_.SetCell(row, column, text);
}

Text ListWidget::GetCellText(int row, int column) const {
  const Text* cell = model_.Cell(row, column);
  return cell ? *cell : Text();
}

bool ListWidget::DeleteRow(int row) {
  const bool wasSelected = SelectedIndex() == row;
  if (!model_.RemoveRow(row)) return false;
  // No other row takes over the selection of the removed one.
  if (wasSelected) {
    selectionModel()->clearSelection();
    selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
  }
  return true;
}

void ListWidget::DeleteAllRows() { model_.Clear(); }

void ListWidget::mousePressEvent(QMouseEvent* event) {
  QTableView::mousePressEvent(event);
  // A click beside every row leaves none selected, whichever button.
  if (!indexAt(event->position().toPoint()).isValid()) {
    selectionModel()->clearSelection();
    selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
  }
  if (event->button() == Qt::LeftButton) {
    if (Clicked) Clicked();
  } else if (event->button() == Qt::RightButton) {
    if (RightClicked) RightClicked();
  }
}

// The second press of a double click is a click like the first.
void ListWidget::mouseDoubleClickEvent(QMouseEvent* event) { mousePressEvent(event); }

// Dragging with a button held moves no selection.
void ListWidget::mouseMoveEvent(QMouseEvent* event) { event->accept(); }

}  // namespace ui::qt
