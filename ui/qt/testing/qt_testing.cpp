#include "ui/qt/testing/qt_testing.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <memory>

#include "ui/qt/qt_text.h"

namespace ui::qt::testing {

void EnsureApplication() {
  if (QApplication::instance() != nullptr) return;
  // Real widgets, no screen: every test runs on Qt's offscreen platform.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "norvane-test";
  static char* argv[] = {name, nullptr};
  // Lives until the process ends and is never destroyed: destroyed among the
  // static objects at exit it would outlive Qt's own globals.
  static QApplication* const application = new QApplication(argc, argv);
  (void)application;
}

std::vector<SeenMessage> CloseMessagesDuring(const std::function<void()>& action, int timeoutMs) {
  std::vector<SeenMessage> seen;
  QElapsedTimer clock;
  clock.start();
  QTimer poll;
  poll.setInterval(10);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    QWidget* modal = QApplication::activeModalWidget();
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
      SeenMessage message;
      message.text = box->text();
      message.icon = box->icon();
      message.title = box->windowTitle();
      const QList<QAbstractButton*> buttons = box->buttons();
      message.buttonCount = static_cast<int>(buttons.size());
      message.okButton = buttons.size() == 1 && box->standardButton(buttons.front()) == QMessageBox::Ok;
      message.applicationModal = box->windowModality() == Qt::ApplicationModal;
      for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top != box && top->isVisible() && qobject_cast<QMenu*>(top) == nullptr) message.otherWindowVisible = true;
      }
      seen.push_back(message);
      if (!buttons.isEmpty()) buttons.front()->click(); else box->close();
    } else if (modal != nullptr && clock.elapsed() > timeoutMs) {
      modal->close();
    }
  });
  poll.start();
  action();
  poll.stop();
  return seen;
}

std::vector<QString> ChooseMenuItemDuring(const std::function<void()>& action, int index) {
  std::vector<QString> items;
  QTimer poll;
  poll.setInterval(10);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (menu == nullptr || !menu->isVisible()) return;
    poll.stop();
    for (QAction* a : menu->actions()) items.push_back(a->text());
    if (index < 0 || index >= menu->actions().size()) {
      QTest::keyClick(menu, Qt::Key_Escape);
      return;
    }
    menu->setActiveAction(menu->actions().at(index));
    QTest::keyClick(menu, Qt::Key_Return);
  });
  poll.start();
  action();
  poll.stop();
  ProcessEvents();
  return items;
}

void ProcessEvents() {
  for (int i = 0; i < 3; ++i) QApplication::processEvents();
}

QString Q(std::string_view gb) { return ToQString(gb); }

}  // namespace ui::qt::testing

namespace ui::qt::testing {

void WaitActive(QWidget* window) {
  // Offscreen, activation may never be reported; the test's own checks say
  // whether the window got what it needed, so the wait's answer is not used.
  (void)QTest::qWaitForWindowActive(window, 5000);
  ProcessEvents();
}

}  // namespace ui::qt::testing
