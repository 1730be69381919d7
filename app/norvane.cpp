#include "app/norvane.h"

#include "app/main_window.h"
#include "ui/ui.h"

namespace app {

int RunNorvane() {
  std::unique_ptr<ui::Form> form = ui::CreateForm(MainWindowSpec());
  EnterProgramDirectory(form->shell());
  MainWindow window(*form, form->shell());
  return form->Run();
}

}  // namespace app
