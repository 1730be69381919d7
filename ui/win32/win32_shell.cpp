#include "ui/win32/win32_shell.h"

#include <shellapi.h>

#include "ui/win32/win32_form.h"
#include "ui/win32/win32_text.h"

namespace ui::win32 {

Win32Menu::Win32Menu(std::string_view title, const std::vector<Text>& items, UINT firstCommand)
    : menu_(CreateMenu()) {
  HMENU popup = CreatePopupMenu();
  UINT command = firstCommand;
  for (const Text& item : items) {
    AppendMenuW(popup, MF_STRING, command, ToWide(item).c_str());
    items_.push_back(std::make_unique<Win32MenuItem>(command));
    ++command;
  }
  AppendMenuW(menu_, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(popup), ToWide(title).c_str());
}

Win32Menu::~Win32Menu() {
  // Never attached to a window, so nobody else destroys it (nor its popup).
  DestroyMenu(menu_);
}

ui::MenuItem& Win32Menu::Item(int index) { return *items_.at(static_cast<size_t>(index)); }

HMENU Win32Menu::popup() const { return GetSubMenu(menu_, 0); }

Win32MenuItem* Win32Menu::ItemOfCommand(UINT command) {
  for (auto& item : items_)
    if (item->command() == command) return item.get();
  return nullptr;
}

void Win32Shell::ShowMessage(std::string_view text, int icon, std::string_view title) {
  const UINT iconFlag = icon == kIconError ? MB_ICONERROR : MB_ICONINFORMATION;
  SendMessageW(mainWindow_, Win32Form::kPublishLists, 0, 0);
  MessageBoxW(nullptr, ToWide(text).c_str(), ToWide(title).c_str(), MB_OK | MB_TASKMODAL | iconFlag);
}

int Win32Shell::MouseX() {
  POINT point{};
  GetCursorPos(&point);
  return point.x;
}

int Win32Shell::MouseY() {
  POINT point{};
  GetCursorPos(&point);
  return point.y;
}

void Win32Shell::PopupMenu(ui::Window&, ui::Menu& menu, int x, int y) {
  auto* native = dynamic_cast<Win32Menu*>(&menu);
  if (native == nullptr) return;
  SendMessageW(mainWindow_, Win32Form::kPublishLists, 0, 0);
  const UINT flags = TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD;
  const BOOL command = TrackPopupMenu(native->popup(), flags, x, y, 0, mainWindow_, nullptr);
  if (command != 0) PostMessageW(mainWindow_, Win32Form::kMenuChosen, static_cast<WPARAM>(command), 0);
}

void Win32Shell::OpenUrl(std::string_view target) {
  // The shell reports failures by a value below 33; nobody is told.
  ShellExecuteW(nullptr, L"open", ToWide(target).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

std::wstring ProgramDirectoryWide() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return std::wstring();
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);  // truncated: try a larger buffer
  }
  const size_t separator = path.find_last_of(L"\\/");
  return separator == std::wstring::npos ? std::wstring() : path.substr(0, separator);
}

Text Win32Shell::ProgramDirectory() { return FromWide(ProgramDirectoryWide()); }

}  // namespace ui::win32
