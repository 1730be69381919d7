// The Win32 main window behind ui::Form: one top-level window of a fixed
// size with a single frame, its child controls, the hidden menu and the
// shell services, all on the one GUI thread.
//
// The window's procedure is bound to the form on WM_NCCREATE and forwards
// every message to it.  The message loop takes Tab, Shift+Tab, Enter and Esc
// before the focused control sees them (not IsDialogMessage, which would
// press a default button on Enter).
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <vector>

#include "ui/ui.h"
#include "ui/win32/win32_controls.h"

namespace ui::win32 {

class Win32Menu;
class Win32Shell;

class Win32Form : public ui::Form, private ui::Window {
 public:
  explicit Win32Form(const WindowSpec& design);
  ~Win32Form() override;

  ui::Window& window() override { return *this; }
  EditBox& AddEditBox(const EditBoxSpec& design) override;
  Button& AddButton(const Rect& rect, std::string_view caption) override;
  Label& AddLabel(const LabelSpec& design) override;
  ListView& AddListView(const Rect& rect, const std::vector<ColumnSpec>& columns) override;
  Menu& AddHiddenMenu(std::string_view title, const std::vector<Text>& items) override;
  void SetTabOrder(const std::vector<Control*>& order) override;
  Shell& shell() override;
  int Run() override;

  HWND hwnd() const { return hwnd_; }

  static constexpr const wchar_t* kClassName = L"NorvaneMainWindow";
  // Posted after a popup menu closed: wparam is the chosen command.
  static constexpr UINT kMenuChosen = WM_APP + 1;
  // Sent before a message box or menu runs its own message loop: the lists
  // show the rows inserted so far.
  static constexpr UINT kPublishLists = WM_APP + 2;

 private:
  // ui::Window
  int GetHeight() const override;
  void SetHeight(int height) override;

  static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam);
  void OnCommand(WPARAM wparam, LPARAM lparam);
  LRESULT OnNotify(const NMHDR& header);
  void OnActivate(WPARAM wparam);
  // The window's own keys; true when the message was used up.
  bool TakeKey(const MSG& message);
  void MoveFocus(bool backwards);
  void PublishLists();
  int NextId() { return nextId_++; }

  HWND hwnd_ = nullptr;
  HWND focusBeforeDeactivation_ = nullptr;
  int nextId_ = 100;
  std::vector<std::unique_ptr<ui::Control>> controls_;
  std::map<int, Win32Button*> buttons_;
  std::map<HWND, Win32EditBox*> edits_;
  std::map<HWND, Win32ListView*> lists_;
  std::vector<std::unique_ptr<Win32Menu>> menus_;
  std::vector<HWND> tabOrder_;
  std::unique_ptr<Win32Shell> shell_;
};

}  // namespace ui::win32
