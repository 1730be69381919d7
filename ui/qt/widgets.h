// The Qt widgets behind the controls of ui/ui.h.  Each class is both the
// widget and the control interface, so Qt's parent ownership keeps them
// together; the main window owns them all.
#pragma once

#include <QAbstractTableModel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QWidget>
#include <array>
#include <vector>

#include "ui/ui.h"

namespace ui::qt {

QColor ToQColor(Colour colour, const QPalette& palette);

// Gives the edit boxes their colours: white background,
// the text colour, and the selection drawn the same with and without focus.
void SetEditColours(QWidget& box, Colour textColour, bool keepSelectionVisible);

class MainWidget : public QWidget, public ui::Window {
 public:
  MainWidget(const WindowSpec& design);
  int GetHeight() const override;
  void SetHeight(int height) override;
  // Raises Destroying once, however the window goes.
  void RaiseDestroying();

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool event(QEvent* event) override;

 private:
  // The client size that gives the outer size once the frame is known.
  void ApplyOuterSize();
  QSize outer_;
  bool destroyingRaised_ = false;
};

class SingleLineEdit : public QLineEdit, public ui::EditBox {
 public:
  SingleLineEdit(QWidget* parent, const EditBoxSpec& design);
  Text GetText() const override;
  void SetText(std::string_view text) override;
  Colour GetTextColor() const override { return colour_; }
  void SetTextColor(Colour colour) override;

 protected:
  void focusInEvent(QFocusEvent* event) override;

 private:
  Colour colour_;
};

class MultiLineEdit : public QPlainTextEdit, public ui::EditBox {
 public:
  MultiLineEdit(QWidget* parent, const EditBoxSpec& design);
  // Line breaks cross as CR LF, as the Windows program stores them.
  Text GetText() const override;
  void SetText(std::string_view text) override;
  Colour GetTextColor() const override { return colour_; }
  void SetTextColor(Colour colour) override;

 protected:
  void focusInEvent(QFocusEvent* event) override;

 private:
  Colour colour_;
};

class PushButton : public QPushButton, public ui::Button {
 public:
  PushButton(QWidget* parent, const Rect& rect, std::string_view caption);
  Text GetText() const override;
};

// Paints its caption on one line, left-aligned and vertically centred, cut
// at its right edge; "&" is an ordinary character.
class CaptionLabel : public QWidget, public ui::Label {
 public:
  CaptionLabel(QWidget* parent, const LabelSpec& design);
  Text GetText() const override { return caption_; }
  void SetText(std::string_view text) override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  Text caption_;
  QColor colour_;
};

// The cells of the list, kept as the program's texts so that a cell reads
// back exactly as it was written; converted to UTF-16 only to be painted.
class ListModel : public QAbstractTableModel {
 public:
  explicit ListModel(std::vector<QString> headers) : headers_(std::move(headers)) {}
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  int AppendRow();
  bool SetCell(int row, int column, std::string_view text);
  const Text* Cell(int row, int column) const;
  bool RemoveRow(int row);
  void Clear();

 private:
  std::vector<QString> headers_;
  std::vector<std::vector<Text>> rows_;
};

class ListWidget : public QTableView, public ui::ListView {
 public:
  ListWidget(QWidget* parent, const Rect& rect, const std::vector<ColumnSpec>& columns);
  int SelectedIndex() const override;
  int RowCount() const override;
  int InsertRow() override;
  bool SetCellText(int row, int column, std::string_view text) override;
  Text GetCellText(int row, int column = 0) const override;
  bool DeleteRow(int row) override;
  void DeleteAllRows() override;

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  ListModel model_;
};

class MenuItemImpl : public ui::MenuItem {};

class HiddenMenu : public ui::Menu {
 public:
  HiddenMenu(QWidget* window, std::string_view title, const std::vector<Text>& items);
  MenuItem& Item(int index) override;
  // Runs the menu at (x, y); the chosen item, or nullptr.
  MenuItemImpl* Track(int x, int y);

 private:
  QMenu menu_;
  std::vector<std::unique_ptr<MenuItemImpl>> items_;
  std::vector<QAction*> actions_;  // owned by menu_
};

}  // namespace ui::qt
