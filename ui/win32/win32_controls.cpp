#include "ui/win32/win32_controls.h"

#include <commctrl.h>

#include <algorithm>
#include <utility>

#include "ui/win32/win32_text.h"

namespace ui::win32 {
namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);

HINSTANCE InstanceOf(HWND parent) {
  return reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(parent, GWLP_HINSTANCE));
}

HWND CreateChild(HWND parent, int id, const wchar_t* className, const std::wstring& text, DWORD style,
                 DWORD exStyle, const Rect& rect, void* createParam = nullptr) {
  HWND hwnd = CreateWindowExW(exStyle, className, text.c_str(), WS_CHILD | WS_VISIBLE | style, rect.left,
                              rect.top, rect.width, rect.height, parent,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), InstanceOf(parent),
                              createParam);
  // Every control speaks in the system's default GUI font.
  SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
  return hwnd;
}

Text WindowText(HWND hwnd) {
  const int length = GetWindowTextLengthW(hwnd);
  if (length <= 0) return Text();
  std::wstring buffer(static_cast<size_t>(length) + 1, L'\0');
  const int copied = GetWindowTextW(hwnd, buffer.data(), length + 1);
  buffer.resize(static_cast<size_t>(std::max(copied, 0)));
  return FromWide(buffer);
}

void SetWindowTextFrom(HWND hwnd, std::string_view text) { SetWindowTextW(hwnd, ToWide(text).c_str()); }

COLORREF ToColorRef(Colour colour) {
  return colour == kButtonFace ? GetSysColor(COLOR_BTNFACE) : static_cast<COLORREF>(colour & 0x00FFFFFF);
}

}  // namespace

HWND WindowOf(const ui::Control& control) {
  const auto* native = dynamic_cast<const NativeControl*>(&control);
  return native ? native->hwnd() : nullptr;
}

// ---- Edit boxes ------------------------------------------------------------

namespace {
DWORD EditStyle(const EditBoxSpec& design) {
  DWORD style = WS_TABSTOP;
  if (design.multiLine) {
    // No ES_AUTOHSCROLL: the lines wrap at the right edge.  ES_NOHIDESEL keeps
    // the selection visible when the box loses the focus.
    style |= ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL | WS_VSCROLL | ES_NOHIDESEL;
  } else {
    style |= ES_AUTOHSCROLL;
  }
  style |= design.centred ? ES_CENTER : ES_LEFT;
  return style;
}
}  // namespace

Win32EditBox::Win32EditBox(HWND parent, int id, const EditBoxSpec& design)
    : NativeControl(CreateChild(parent, id, L"EDIT", ToWide(design.text), EditStyle(design), WS_EX_CLIENTEDGE,
                                design.rect)),
      colour_(design.textColour) {
  // The edit control's own limit (30,000 characters) would cut long notes.
  SendMessageW(hwnd(), EM_SETLIMITTEXT, 0, 0);
  SendMessageW(hwnd(), EM_SETSEL, 0, 0);
}

Text Win32EditBox::GetText() const { return WindowText(hwnd()); }

void Win32EditBox::SetText(std::string_view text) {
  SetWindowTextFrom(hwnd(), text);
  SendMessageW(hwnd(), EM_SETSEL, 0, 0);
}

void Win32EditBox::SetTextColor(Colour colour) {
  colour_ = colour;
  InvalidateRect(hwnd(), nullptr, TRUE);
}

HBRUSH Win32EditBox::PaintColours(HDC dc) const {
  ::SetTextColor(dc, ToColorRef(colour_));
  SetBkColor(dc, kWhite);
  return static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
}

// ---- Buttons ---------------------------------------------------------------

Win32Button::Win32Button(HWND parent, int id, const Rect& rect, std::string_view caption)
    // BS_PUSHBUTTON, never BS_DEFPUSHBUTTON: no button is the default one.
    : NativeControl(CreateChild(parent, id, L"BUTTON", ToWide(caption),
                                WS_TABSTOP | BS_PUSHBUTTON | BS_CENTER | BS_VCENTER, 0, rect)) {}

Text Win32Button::GetText() const { return WindowText(hwnd()); }

// ---- Labels ----------------------------------------------------------------

Win32Label::Win32Label(HWND parent, int id, const LabelSpec& design)
    : NativeControl(nullptr), colour_(design.textColour), handCursor_(design.handCursor) {
  // The procedure binds the window to this object on WM_NCCREATE.
  CreateChild(parent, id, kClassName, ToWide(design.caption), 0, 0, design.rect, this);
}

void Win32Label::RegisterClass(HINSTANCE instance) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = &Win32Label::Procedure;
  wc.hInstance = instance;
  wc.hCursor = nullptr;  // WM_SETCURSOR chooses
  wc.hbrBackground = nullptr;
  wc.lpszClassName = kClassName;
  RegisterClassExW(&wc);
}

LRESULT CALLBACK Win32Label::Procedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
    auto* label = static_cast<Win32Label*>(create->lpCreateParams);
    label->Bind(hwnd);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(label));
  }
  auto* label = reinterpret_cast<Win32Label*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (label == nullptr) return DefWindowProcW(hwnd, message, wparam, lparam);
  return label->HandleMessage(hwnd, message, wparam, lparam);
}

LRESULT Win32Label::HandleMessage(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_SETFONT:
      font_ = reinterpret_cast<HFONT>(wparam);
      if (LOWORD(lparam)) InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(font_);
    case WM_SETTEXT: {
      const LRESULT result = DefWindowProcW(hwnd, message, wparam, lparam);
      InvalidateRect(hwnd, nullptr, TRUE);
      return result;
    }
    case WM_ERASEBKGND:
      return 1;  // WM_PAINT fills the whole area
    case WM_PAINT:
      Paint(hwnd);
      return 0;
    case WM_SETCURSOR:
      if (LOWORD(lparam) == HTCLIENT) {
        SetCursor(LoadCursorW(nullptr, handCursor_ ? IDC_HAND : IDC_ARROW));
        return TRUE;
      }
      break;
    case WM_LBUTTONDOWN:
      if (LeftButtonDown) LeftButtonDown();
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

void Win32Label::Paint(HWND hwnd) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  RECT area;
  GetClientRect(hwnd, &area);
  FillRect(dc, &area, GetSysColorBrush(COLOR_BTNFACE));
  const int length = GetWindowTextLengthW(hwnd);
  if (length > 0) {
    std::wstring caption(static_cast<size_t>(length) + 1, L'\0');
    caption.resize(static_cast<size_t>(GetWindowTextW(hwnd, caption.data(), length + 1)));
    HGDIOBJ oldFont = SelectObject(dc, font_ ? font_ : GetStockObject(DEFAULT_GUI_FONT));
    ::SetTextColor(dc, ToColorRef(colour_));
    SetBkMode(dc, TRANSPARENT);
    // One line, cut off at the right edge (no ellipsis), "&" drawn as it is.
    DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &area,
              DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, oldFont);
  }
  EndPaint(hwnd, &ps);
}

Text Win32Label::GetText() const { return WindowText(hwnd()); }

void Win32Label::SetText(std::string_view text) { SetWindowTextFrom(hwnd(), text); }

// ---- The list --------------------------------------------------------------

Win32ListView::Win32ListView(HWND parent, int id, const Rect& rect, const std::vector<ColumnSpec>& columns)
    : NativeControl(CreateChild(parent, id, WC_LISTVIEWW, L"",
                                WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_OWNERDATA,
                                WS_EX_CLIENTEDGE, rect)),
      columns_(static_cast<int>(columns.size())) {
  ListView_SetExtendedListViewStyleEx(hwnd(), LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES,
                                      LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
  ListView_SetBkColor(hwnd(), RGB(255, 255, 255));
  ListView_SetTextBkColor(hwnd(), RGB(255, 255, 255));
  ListView_SetTextColor(hwnd(), RGB(0, 0, 0));
  for (int i = 0; i < columns_; ++i) {
    std::wstring header = ToWide(columns[static_cast<size_t>(i)].header);
    LVCOLUMNW column{};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    column.fmt = LVCFMT_LEFT;
    column.cx = columns[static_cast<size_t>(i)].width;
    column.pszText = header.data();
    column.iSubItem = i;
    SendMessageW(hwnd(), LVM_INSERTCOLUMNW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&column));
  }
}

int Win32ListView::SelectedIndex() const {
  return static_cast<int>(SendMessageW(hwnd(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

void Win32ListView::Resize() {
  SendMessageW(hwnd(), LVM_SETITEMCOUNT, static_cast<WPARAM>(rowCount_), LVSICF_NOSCROLL);
  shownCount_ = rowCount_;
}

void Win32ListView::Publish() {
  if (shownCount_ != rowCount_) Resize();
}

int Win32ListView::InsertRow() {
  // The control learns the new count in Publish: telling it row by row
  // costs several window-manager calls per row, seconds for a long list.
  cells_.resize(cells_.size() + static_cast<size_t>(columns_));
  ++rowCount_;
  return rowCount_ - 1;
}

const Text* Win32ListView::Cell(int row, int column) const {
  if (row < 0 || row >= rowCount_ || column < 0 || column >= columns_) return nullptr;
  return &cells_[static_cast<size_t>(row) * static_cast<size_t>(columns_) + static_cast<size_t>(column)];
}

Text* Win32ListView::Cell(int row, int column) {
  return const_cast<Text*>(std::as_const(*this).Cell(row, column));
}

bool Win32ListView::SetCellText(int row, int column, std::string_view text) {
  Text* cell = Cell(row, column);
  if (cell == nullptr) return false;
  cell->assign(text);
  if (row < shownCount_)
    SendMessageW(hwnd(), LVM_REDRAWITEMS, static_cast<WPARAM>(row), static_cast<LPARAM>(row));
  return true;
}

Text Win32ListView::GetCellText(int row, int column) const {
  const Text* cell = Cell(row, column);
  return cell ? *cell : Text();
}

void Win32ListView::SelectOnly(int row) {
  LVITEMW state{};
  state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  state.state = 0;
  SendMessageW(hwnd(), LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&state));
  if (row < 0) return;
  Publish();
  state.state = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageW(hwnd(), LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&state));
}

bool Win32ListView::DeleteRow(int row) {
  if (row < 0 || row >= rowCount_) return false;
  Publish();
  // The control keeps the selection by index: the selected row keeps its
  // selection as it moves up, and a deleted selected row leaves none.
  const int selected = SelectedIndex();
  const auto first = cells_.begin() + static_cast<std::ptrdiff_t>(row) * columns_;
  cells_.erase(first, first + columns_);
  --rowCount_;
  SelectOnly(-1);
  Resize();
  if (selected > row) SelectOnly(selected - 1);
  InvalidateRect(hwnd(), nullptr, TRUE);
  return true;
}

void Win32ListView::DeleteAllRows() {
  cells_.clear();
  rowCount_ = 0;
  SelectOnly(-1);
  Resize();
  InvalidateRect(hwnd(), nullptr, TRUE);
}

void Win32ListView::FillDisplayInfo(NMLVDISPINFOW& info) const {
  LVITEMW& item = info.item;
  if ((item.mask & LVIF_TEXT) == 0 || item.pszText == nullptr || item.cchTextMax <= 0) return;
  const Text* cell = Cell(item.iItem, item.iSubItem);
  const std::wstring wide = cell ? ToWide(*cell) : std::wstring();
  const size_t count = std::min(wide.size(), static_cast<size_t>(item.cchTextMax - 1));
  std::copy_n(wide.data(), count, item.pszText);
  item.pszText[count] = L'\0';
}

}  // namespace ui::win32
