// The Windows program's entry point: COM as a single-threaded apartment on
// the GUI thread (the ADO components need it), the program's directory as
// the current directory, then the same main window as on Linux, and the
// message loop until the window has gone.
#include <windows.h>
#include <objbase.h>

#include <string>

#include "app/main_window.h"
#include "ui/ui.h"
#include "ui/win32/win32_shell.h"

namespace {

// COM for the life of the program; the main window and its database
// components are gone before it is uninitialised.
class ComApartment {
 public:
  ComApartment() : initialised_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
  ~ComApartment() {
    if (initialised_) CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

 private:
  bool initialised_;
};

void EnterProgramDirectory() {
  // With the separator, so that a program in a drive's root ("D:") enters
  // the root and not the drive's remembered directory.
  const std::wstring directory = ui::win32::ProgramDirectoryWide() + L"\\";
  SetCurrentDirectoryW(directory.c_str());
}

int RunMainWindow() {
  std::unique_ptr<ui::Form> form = ui::CreateForm(app::MainWindowSpec());
  app::MainWindow window(*form, form->shell());
  return form->Run();
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  ComApartment com;
  EnterProgramDirectory();
  return RunMainWindow();
}
