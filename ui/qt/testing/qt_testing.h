// Test support for the Qt window: one offscreen QApplication for the whole
// test binary, and watchers that find the message boxes and popup menus an
// action opens, record what they show and close them, so that a test can
// drive a handler that runs a modal loop.
#pragma once

#include <QMessageBox>
#include <QString>
#include <QWidget>
#include <functional>
#include <string_view>
#include <vector>

namespace ui::qt::testing {

// Creates the QApplication on the offscreen platform, once.
void EnsureApplication();

struct SeenMessage {
  QString text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QString title;
  int buttonCount = 0;
  bool okButton = false;  // the one button is OK
  bool applicationModal = false;
  bool otherWindowVisible = false;  // another top-level window was shown meanwhile
};

// Runs `action`; every message box that opens meanwhile is recorded and
// closed with its OK button.  Boxes still open after `timeoutMs` are closed
// too, so a test never hangs.
std::vector<SeenMessage> CloseMessagesDuring(const std::function<void()>& action, int timeoutMs = 10000);

// Runs `action`; the first popup menu that opens meanwhile gets its item
// `index` chosen with the keyboard (or is dismissed with Esc when index < 0).
// Events posted by the choice are delivered before this returns.  Returns the
// texts of the menu's items, or an empty list when no menu opened.
std::vector<QString> ChooseMenuItemDuring(const std::function<void()>& action, int index);

// Lets posted events run.
void ProcessEvents();

// Waits until the window is the active one (bounded), then lets events run.
void WaitActive(QWidget* window);

// The program's text literal (GB18030) as a QString.
QString Q(std::string_view gb);

}  // namespace ui::qt::testing
