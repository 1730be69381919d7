// The shell services and the hidden menu of the Win32 main window.
//
// Message boxes have no owner and are task-modal: every top-level window of
// the thread is disabled while one is open, also before the main window is
// shown.  A popup menu is tracked with TPM_RETURNCMD, and the chosen item's
// Selected is raised from a message posted to the main window, so it runs as
// an event of its own after PopupMenu has returned.
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "ui/ui.h"

namespace ui::win32 {

class Win32MenuItem : public ui::MenuItem {
 public:
  explicit Win32MenuItem(UINT command) : command_(command) {}
  UINT command() const { return command_; }

 private:
  UINT command_;
};

// A top-level menu, never attached to the window's menu bar, with one popup
// holding the items.
class Win32Menu : public ui::Menu {
 public:
  Win32Menu(std::string_view title, const std::vector<Text>& items, UINT firstCommand);
  ~Win32Menu() override;
  Win32Menu(const Win32Menu&) = delete;
  Win32Menu& operator=(const Win32Menu&) = delete;

  ui::MenuItem& Item(int index) override;
  HMENU popup() const;
  // The item of that command, or nullptr.
  Win32MenuItem* ItemOfCommand(UINT command);

 private:
  HMENU menu_;
  std::vector<std::unique_ptr<Win32MenuItem>> items_;
};

class Win32Shell : public ui::Shell {
 public:
  explicit Win32Shell(HWND mainWindow) : mainWindow_(mainWindow) {}
  void ShowMessage(std::string_view text, int icon, std::string_view title) override;
  int MouseX() override;
  int MouseY() override;
  void PopupMenu(ui::Window& window, ui::Menu& menu, int x, int y) override;
  void OpenUrl(std::string_view target) override;
  Text ProgramDirectory() override;

 private:
  HWND mainWindow_;
};

// The directory of the running executable, wide, without a trailing
// separator ("D:" for a program in the root of drive D:).
std::wstring ProgramDirectoryWide();

}  // namespace ui::win32
