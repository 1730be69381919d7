// The main window, its keyboard, the hidden menu, the shell services, and
// ui::CreateForm.
#include <QCloseEvent>
#include <QCursor>
#include <QDesktopServices>
#include <QKeyEvent>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>
#include <QUrl>
#include <algorithm>

#include "ui/qt/qt_form.h"
#include "ui/qt/qt_text.h"
#include "ui/qt/widgets.h"

namespace ui::qt {

// ---- main window ------------------------------------------------------------

MainWidget::MainWidget(const WindowSpec& design) : outer_(design.width, design.height) {
  // A fixed frame with a title bar, the system menu, close and minimise; no
  // maximise box.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setWindowTitle(ToQString(design.title));
  setWindowIcon(ApplicationIcon());
  setAutoFillBackground(true);
  QPalette colours = palette();
  colours.setColor(QPalette::Window, colours.color(QPalette::Button));
  setPalette(colours);
  ApplyOuterSize();
  // Centred on the primary screen from the design size, frame included.
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->geometry();
    move(area.left() + (area.width() - design.width) / 2, area.top() + (area.height() - design.height) / 2);
  }
}

int MainWidget::GetHeight() const { return outer_.height(); }

void MainWidget::SetHeight(int height) {
  outer_.setHeight(std::clamp(height, 0, 32627));
  ApplyOuterSize();
}

void MainWidget::ApplyOuterSize() {
  // Before the window manager has framed the window its frame counts as
  // nothing; once it is known, the client shrinks so that the outer size,
  // frame and title bar included, stays the designed one.
  const QRect frame = frameGeometry();
  const QRect client = geometry();
  const int extraWidth = isVisible() ? frame.width() - client.width() : 0;
  const int extraHeight = isVisible() ? frame.height() - client.height() : 0;
  setFixedSize(std::max(0, outer_.width() - extraWidth), std::max(0, outer_.height() - extraHeight));
}

bool MainWidget::event(QEvent* event) {
  const bool handled = QWidget::event(event);
  if (event->type() == QEvent::Show || event->type() == QEvent::Move) ApplyOuterSize();
  return handled;
}

void MainWidget::closeEvent(QCloseEvent* event) {
  event->accept();  // nothing vetoes the closing
  RaiseDestroying();
  QCoreApplication::quit();
}

void MainWidget::RaiseDestroying() {
  if (destroyingRaised_) return;
  destroyingRaised_ = true;
  if (Destroying) Destroying();
}

// ---- keyboard ---------------------------------------------------------------

// Sees every key before the focused control: Tab and Shift+Tab walk the tab
// order and wrap, Esc closes the window, Enter presses nothing except a line
// break in the multi-line box.
class KeyRouter : public QObject {
 public:
  explicit KeyRouter(QWidget& window) : window_(window) {}
  void SetOrder(std::vector<QWidget*> order) { order_ = std::move(order); }
  void Watch(QWidget& control) { control.installEventFilter(this); }
  void AllowEnter(QWidget& control) { enterAllowed_.push_back(&control); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::KeyPress) return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    switch (key->key()) {
      case Qt::Key_Tab:
      case Qt::Key_Backtab:
        Step(watched, key->key() == Qt::Key_Backtab || (key->modifiers() & Qt::ShiftModifier));
        return true;
      case Qt::Key_Escape:
        window_.close();
        return true;
      case Qt::Key_Return:
      case Qt::Key_Enter:
        return std::find(enterAllowed_.begin(), enterAllowed_.end(), watched) == enterAllowed_.end();
      default:
        return false;
    }
  }

 private:
  void Step(QObject* from, bool backwards) {
    if (order_.empty()) return;
    const int count = static_cast<int>(order_.size());
    auto at = std::find(order_.begin(), order_.end(), from);
    int index = at == order_.end() ? (backwards ? 0 : count - 1) : static_cast<int>(at - order_.begin());
    for (int tried = 0; tried < count; ++tried) {
      index = (index + (backwards ? count - 1 : 1)) % count;
      QWidget* next = order_[index];
      if (next->isVisible() && next->isEnabled()) {
        next->setFocus(backwards ? Qt::BacktabFocusReason : Qt::TabFocusReason);
        return;
      }
    }
  }

  QWidget& window_;
  std::vector<QWidget*> order_;
  std::vector<QWidget*> enterAllowed_;
};

// ---- hidden menu ------------------------------------------------------------

HiddenMenu::HiddenMenu(QWidget*, std::string_view title, const std::vector<Text>& items) {
  menu_.setTitle(ToQString(title));
  for (const Text& item : items) {
    items_.push_back(std::make_unique<MenuItemImpl>());
    actions_.push_back(menu_.addAction(ToQString(item)));
  }
}

MenuItem& HiddenMenu::Item(int index) { return *items_.at(static_cast<size_t>(index)); }

MenuItemImpl* HiddenMenu::Track(int x, int y) {
  QAction* chosen = menu_.exec(QPoint(x, y));
  for (size_t i = 0; i < actions_.size(); ++i) {
    if (actions_[i] == chosen) return items_[i].get();
  }
  return nullptr;
}

// ---- shell ------------------------------------------------------------------

class QtShell : public ui::Shell {
 public:
  explicit QtShell(QWidget& window) : window_(window) {}

  void ShowMessage(std::string_view text, int icon, std::string_view title) override {
    QMessageBox box(icon == kIconError ? QMessageBox::Critical : QMessageBox::Information,
                    ToQString(title), ToQString(text), QMessageBox::Ok);
    box.setWindowModality(Qt::ApplicationModal);
    box.setTextFormat(Qt::PlainText);
    box.exec();
  }

  int MouseX() override { return QCursor::pos().x(); }
  int MouseY() override { return QCursor::pos().y(); }

  void PopupMenu(ui::Window&, ui::Menu& menu, int x, int y) override {
    MenuItemImpl* chosen = static_cast<HiddenMenu&>(menu).Track(x, y);
    if (chosen == nullptr) return;
    // The choice is its own event, after the handler that opened the menu.
    QTimer::singleShot(0, &window_, [chosen] {
      if (chosen->Selected) chosen->Selected();
    });
  }

  void OpenUrl(std::string_view target) override {
    QDesktopServices::openUrl(QUrl::fromUserInput(ToQString(target)));
  }

  Text ProgramDirectory() override { return FromQString(QCoreApplication::applicationDirPath()); }

 private:
  QWidget& window_;
};

// ---- form -------------------------------------------------------------------

namespace {

// QApplication keeps argc and argv for its whole life.
int applicationArgc = 1;
char applicationName[] = "norvane";
char* applicationArgv[] = {applicationName, nullptr};

std::unique_ptr<QApplication> MakeApplicationIfNone() {
  if (QApplication::instance() != nullptr) return nullptr;
  auto application = std::make_unique<QApplication>(applicationArgc, applicationArgv);
  QApplication::setWindowIcon(ApplicationIcon());
  return application;
}

}  // namespace

QtForm::QtForm(const WindowSpec& design)
    : ownApplication_(MakeApplicationIfNone()),
      window_(std::make_unique<MainWidget>(design)),
      shell_(std::make_unique<QtShell>(*window_)),
      keys_(std::make_unique<KeyRouter>(*window_)) {
  // The window decides when the program ends: when it has closed.
  QGuiApplication::setQuitOnLastWindowClosed(false);
  keys_->Watch(*window_);
}

QtForm::~QtForm() {
  menus_.clear();
  window_.reset();  // the widgets, before the application object
}

ui::Window& QtForm::window() { return *window_; }

EditBox& QtForm::AddEditBox(const EditBoxSpec& design) {
  if (design.multiLine) {
    auto* box = new MultiLineEdit(window_.get(), design);
    keys_->Watch(*box);
    keys_->AllowEnter(*box);
    controls_.push_back(box);
    return *box;
  }
  auto* box = new SingleLineEdit(window_.get(), design);
  keys_->Watch(*box);
  controls_.push_back(box);
  return *box;
}

Button& QtForm::AddButton(const Rect& rect, std::string_view caption) {
  auto* button = new PushButton(window_.get(), rect, caption);
  keys_->Watch(*button);
  controls_.push_back(button);
  return *button;
}

Label& QtForm::AddLabel(const LabelSpec& design) {
  auto* label = new CaptionLabel(window_.get(), design);
  controls_.push_back(label);
  return *label;
}

ListView& QtForm::AddListView(const Rect& rect, const std::vector<ColumnSpec>& columns) {
  auto* list = new ListWidget(window_.get(), rect, columns);
  keys_->Watch(*list);
  controls_.push_back(list);
  return *list;
}

Menu& QtForm::AddHiddenMenu(std::string_view title, const std::vector<Text>& items) {
  menus_.push_back(std::make_unique<HiddenMenu>(window_.get(), title, items));
  return *menus_.back();
}

void QtForm::SetTabOrder(const std::vector<Control*>& order) {
  std::vector<QWidget*> widgets;
  for (Control* control : order) {
    if (QWidget* widget = WidgetOf(*control)) widgets.push_back(widget);
  }
  // Controls outside the order are never reached by the keyboard.
  for (QWidget* control : controls_) {
    if (std::find(widgets.begin(), widgets.end(), control) == widgets.end()) {
      control->setFocusPolicy(static_cast<Qt::FocusPolicy>(control->focusPolicy() & ~Qt::TabFocus));
    }
  }
  tabOrder_ = widgets;
  keys_->SetOrder(std::move(widgets));
}

Shell& QtForm::shell() { return *shell_; }

void QtForm::Open() {
  if (window_->Created) window_->Created();
  window_->show();
  window_->raise();
  window_->activateWindow();
  if (!tabOrder_.empty()) tabOrder_.front()->setFocus(Qt::ActiveWindowFocusReason);
}

int QtForm::Run() {
  Open();
  const int code = QApplication::exec();
  window_->RaiseDestroying();
  return code;
}

QWidget* QtForm::widget() { return window_.get(); }

QWidget* WidgetOf(ui::Control& control) { return dynamic_cast<QWidget*>(&control); }

}  // namespace ui::qt

std::unique_ptr<ui::Form> ui::CreateForm(const WindowSpec& design) {
  return std::make_unique<ui::qt::QtForm>(design);
}
