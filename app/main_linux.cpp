// The Linux program's entry point: the Qt form, the main window on it, the
// message loop until the window has gone.
#include "app/main_window.h"
#include "ui/ui.h"

int main() {
  std::unique_ptr<ui::Form> form = ui::CreateForm(app::MainWindowSpec());
  app::EnterProgramDirectory(form->shell());
  app::MainWindow window(*form, form->shell());
  return form->Run();
}
