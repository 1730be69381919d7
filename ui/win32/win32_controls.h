// The controls of the Win32 main window behind the ui/ interfaces.  Each is a
// child window of the main window, which owns it (the HWND dies with the
// main window; the C++ object lives in the form until the form goes).
//
// The main window's procedure routes the notifications it receives (WM_COMMAND,
// WM_NOTIFY, WM_CTLCOLOREDIT) to the control they name; the control raises
// its event from there, after the control applied the user's action.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "ui/ui.h"

namespace ui::win32 {

// What every control of the form has: its window.
class NativeControl {
 public:
  explicit NativeControl(HWND hwnd) : hwnd_(hwnd) {}
  virtual ~NativeControl() = default;
  HWND hwnd() const { return hwnd_; }

 protected:
  // For a window whose procedure learns its object during creation.
  void Bind(HWND hwnd) { hwnd_ = hwnd; }

 private:
  HWND hwnd_;
};

// The window behind a control made by the Win32 form, or nullptr.
HWND WindowOf(const ui::Control& control);

class Win32EditBox : public ui::EditBox, public NativeControl {
 public:
  Win32EditBox(HWND parent, int id, const EditBoxSpec& design);
  Text GetText() const override;
  void SetText(std::string_view text) override;
  Colour GetTextColor() const override { return colour_; }
  void SetTextColor(Colour colour) override;
  // WM_CTLCOLOREDIT: the colours the box is painted in.
  HBRUSH PaintColours(HDC dc) const;

 private:
  Colour colour_;
};

class Win32Button : public ui::Button, public NativeControl {
 public:
  Win32Button(HWND parent, int id, const Rect& rect, std::string_view caption);
  Text GetText() const override;
};

// A label paints its own caption: one line, clipped at its right edge, "&"
// drawn as it is, over the button-face colour.
class Win32Label : public ui::Label, public NativeControl {
 public:
  Win32Label(HWND parent, int id, const LabelSpec& design);
  Text GetText() const override;
  void SetText(std::string_view text) override;

  static void RegisterClass(HINSTANCE instance);
  static constexpr const wchar_t* kClassName = L"NorvaneLabel";

 private:
  static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT HandleMessage(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  void Paint(HWND hwnd);

  Colour colour_;
  bool handCursor_;
  HFONT font_ = nullptr;
};

// A report-style list view over rows kept here (LVS_OWNERDATA): the control
// asks for the cells it paints, so 100,000 rows cost no more than their texts.
// The control keeps the selection by row index; DeleteRow moves it along.
class Win32ListView : public ui::ListView, public NativeControl {
 public:
  Win32ListView(HWND parent, int id, const Rect& rect, const std::vector<ColumnSpec>& columns);
  int SelectedIndex() const override;
  int RowCount() const override { return rowCount_; }
  int InsertRow() override;
  bool SetCellText(int row, int column, std::string_view text) override;
  Text GetCellText(int row, int column = 0) const override;
  bool DeleteRow(int row) override;
  void DeleteAllRows() override;

  // LVN_GETDISPINFOW: the cell's text for the control to paint.
  void FillDisplayInfo(NMLVDISPINFOW& info) const;

  // Tells the control of rows inserted since it last learned the count.
  // The form calls it before the window shows, after every message it
  // handled, and before a message box or menu takes over.
  void Publish();

 private:
  void SelectOnly(int row);
  void Resize();
  const Text* Cell(int row, int column) const;
  Text* Cell(int row, int column);

  int columns_;
  int rowCount_ = 0;
  int shownCount_ = 0;       // the row count the control was last told
  std::vector<Text> cells_;  // row by row, columns_ cells each
};

}  // namespace ui::win32
