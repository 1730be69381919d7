// The main window of the program, platform-free: every control made on a
// ui::Form from one layout table, the two database components, and each
// event bound to its one handler.  The platform's entry point creates the
// form, makes a MainWindow on it and runs the form.
//
// Lifetime: the MainWindow must not outlive its form; it unbinds every
// event when it goes, so that nothing the form does afterwards reaches it.
#pragma once

#include <memory>

#include "browser/browser.h"
#include "browser/controls.h"
#include "store/database.h"
#include "ui/ui.h"

namespace app {

// The window's outer design size (906 x 515) and its title.
ui::WindowSpec MainWindowSpec();

// The height the Created handler takes off the designed window.
inline constexpr int kHeightReduction = 35;

class MainWindow {
 public:
  // `shell` serves the handlers: the form's own, or one that wraps it.
  MainWindow(ui::Form& form, ui::Shell& shell);
  ~MainWindow();
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  browser::MainWindow& controls() { return *controls_; }
  const browser::Selection& selection() const { return selection_; }

 private:
  void Bind();
  void Unbind();

  store::DBConnection connection_;  // 数据库连接1
  store::RecordSet recordSet_;      // 记录集1
  browser::Selection selection_;
  std::unique_ptr<browser::MainWindow> controls_;
};

// The start-up and shutdown handlers of the main window.
void OnCreated(browser::MainWindow& w);
void OnDestroying(browser::MainWindow& w);

// Makes the program's directory the process's current directory.
void EnterProgramDirectory(ui::Shell& shell);

}  // namespace app
