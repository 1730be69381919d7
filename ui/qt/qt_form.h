// The Qt main window behind ui::Form.  app/ sees only ui/ui.h; this header
// is for the Linux entry point and for tests that reach the real widgets.
//
// Ownership: the form owns the QApplication when it made it, and the window,
// which owns every control widget (Qt parent ownership).  Widgets die before
// the application object.
#pragma once

#include <QApplication>
#include <QWidget>
#include <memory>
#include <vector>

#include "ui/ui.h"

namespace ui::qt {

class MainWidget;
class QtShell;
class KeyRouter;
class HiddenMenu;

class QtForm : public ui::Form {
 public:
  explicit QtForm(const WindowSpec& design);
  ~QtForm() override;

  ui::Window& window() override;
  EditBox& AddEditBox(const EditBoxSpec& design) override;
  Button& AddButton(const Rect& rect, std::string_view caption) override;
  Label& AddLabel(const LabelSpec& design) override;
  ListView& AddListView(const Rect& rect, const std::vector<ColumnSpec>& columns) override;
  Menu& AddHiddenMenu(std::string_view title, const std::vector<Text>& items) override;
  void SetTabOrder(const std::vector<Control*>& order) override;
  Shell& shell() override;
  int Run() override;

  // What Run does before its loop: raises Created, shows and activates the
  // window and puts the focus on the first control of the tab order.
  void Open();
  QWidget* widget();

 private:
  std::unique_ptr<QApplication> ownApplication_;
  std::unique_ptr<MainWidget> window_;
  std::unique_ptr<QtShell> shell_;
  std::unique_ptr<KeyRouter> keys_;
  std::vector<std::unique_ptr<HiddenMenu>> menus_;
  std::vector<QWidget*> controls_;  // owned by window_
  std::vector<QWidget*> tabOrder_;
};

// The widget behind a control made by a QtForm (for tests and screenshots).
QWidget* WidgetOf(ui::Control& control);

// The program's application icon, drawn by the program itself.
QIcon ApplicationIcon();

}  // namespace ui::qt
