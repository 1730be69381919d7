// The window services the program is written against: controls, their
// operations and events, and the shell services.  ui/qt and ui/win32
// implement this header; browser/ and app/ see nothing else of the toolkit.
//
// Threading: everything runs on the one GUI thread.  An event is raised
// synchronously, after the control has applied the user's action, and its
// handler runs to completion before the next event.  List operations and
// keyboard moves in the list raise no event.
//
// Texts are the program's texts (GB18030, text/text.h); each implementation
// converts them at its own boundary.  A returned text belongs to the caller.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "text/text.h"

namespace ui {

using text::Text;
// 0x00BBGGRR: red in the lowest byte.
using Colour = std::uint32_t;
inline constexpr Colour kBlack = 0x00000000;
inline constexpr Colour kButtonFace = 0xFF000000;  // the system's button-face colour

// ShowMessage icon flags.
inline constexpr int kIconInformation = 64;
inline constexpr int kIconError = 16;

using Event = std::function<void()>;

struct Rect {
  int left, top, width, height;
};

class Control {
 public:
  virtual ~Control() = default;
};

class EditBox : public Control {
 public:
  virtual Text GetText() const = 0;
  virtual void SetText(std::string_view text) = 0;
  virtual Colour GetTextColor() const = 0;
  virtual void SetTextColor(Colour colour) = 0;
  Event GotFocus;  // each time the box receives the keyboard focus
};

class Button : public Control {
 public:
  virtual Text GetText() const = 0;
  Event Clicked;
};

class Label : public Control {
 public:
  virtual Text GetText() const = 0;
  virtual void SetText(std::string_view text) = 0;
  Event LeftButtonDown;  // left button pressed over the label
};

class ListView : public Control {
 public:
  virtual int SelectedIndex() const = 0;  // -1 when no row is selected
  virtual int RowCount() const = 0;
  virtual int InsertRow() = 0;            // appends an empty row, gives its index
  virtual bool SetCellText(int row, int column, std::string_view text) = 0;
  // "" for an empty cell or a row or column outside the list.
  virtual Text GetCellText(int row, int column = 0) const = 0;
  // Later rows move up; a row outside the list removes nothing; no other row
  // becomes selected.
  virtual bool DeleteRow(int row) = 0;
  virtual void DeleteAllRows() = 0;
  Event Clicked;       // left click in the item area, after the selection changed
  Event RightClicked;  // the same for the right button
};

class MenuItem {
 public:
  virtual ~MenuItem() = default;
  Event Selected;  // raised after the popup menu has closed
};

// A top-level menu that is never shown in a menu bar; its items serve as a
// context menu (Shell::PopupMenu).
class Menu {
 public:
  virtual ~Menu() = default;
  virtual MenuItem& Item(int index) = 0;
};

class Window {
 public:
  virtual ~Window() = default;
  virtual int GetHeight() const = 0;  // outer height, frame and title bar included
  // Keeps left, top and width; clamps to 0..32627.
  virtual void SetHeight(int height) = 0;
  Event Created;     // once, when the window and all its controls exist, before it is shown
  Event Destroying;  // while the window is being destroyed; controls still exist
};

class Shell {
 public:
  virtual ~Shell() = default;
  // One OK button, modal to the whole program; returns when closed.
  virtual void ShowMessage(std::string_view text, int icon, std::string_view title) = 0;
  virtual int MouseX() = 0;  // screen pixels
  virtual int MouseY() = 0;
  // Pops up the menu's items with their top-left corner at screen (x, y);
  // returns when the menu has closed.  A chosen item's Selected is raised
  // after this returns.
  virtual void PopupMenu(Window& window, Menu& menu, int x, int y) = 0;
  // The shell's "open" verb on the text; result unchecked, no message.
  virtual void OpenUrl(std::string_view target) = 0;
  // Directory of the executable, no trailing separator.
  virtual Text ProgramDirectory() = 0;
};

// ---- Building the one main window -------------------------------------

struct WindowSpec {
  int width, height;  // outer size; the window is centred from it
  Text title;
};

struct EditBoxSpec {
  Rect rect;
  Text text;
  Colour textColour = kBlack;
  bool multiLine = false;  // multi-line: vertical scroll bar, wrapping, Enter = line break
  bool centred = false;    // text centred horizontally
};

struct LabelSpec {
  Rect rect;
  Text caption;
  Colour textColour = kBlack;
  bool handCursor = false;  // hand cursor over the whole area
};

struct ColumnSpec {
  Text header;
  int width;  // 0: the column takes no pixel at all
};

// The platform's main window under construction.  Controls are created
// hidden with the window; Run() shows the window, runs the message loop and
// returns once the window has been destroyed (after Destroying was raised).
class Form {
 public:
  virtual ~Form() = default;
  virtual Window& window() = 0;
  virtual EditBox& AddEditBox(const EditBoxSpec& design) = 0;
  virtual Button& AddButton(const Rect& rect, std::string_view caption) = 0;
  virtual Label& AddLabel(const LabelSpec& design) = 0;
  virtual ListView& AddListView(const Rect& rect, const std::vector<ColumnSpec>& columns) = 0;
  virtual Menu& AddHiddenMenu(std::string_view title, const std::vector<Text>& items) = 0;
  // Tab / Shift+Tab walk these, wrapping at both ends; controls not listed are
  // never reached.  The first gets the focus when the window is shown.
  virtual void SetTabOrder(const std::vector<Control*>& order) = 0;
  virtual Shell& shell() = 0;
  // Raises Created, shows and activates the window, runs the loop.
  virtual int Run() = 0;
};

// Implemented by the platform (ui/qt or ui/win32).
std::unique_ptr<Form> CreateForm(const WindowSpec& design);

}  // namespace ui
