// norvane_bench_program: the Linux program itself on a benchmark corpus,
// offscreen -- the time from launch to the window shown, and one more
// RefreshList into the Qt list once the window is up.
//
//   norvane_bench_program DIR [LAUNCHED]
//
// DIR holds data.mdb (it stands in for the program's directory); LAUNCHED is
// the wall-clock time (seconds since the epoch) at which the caller started
// this process, so that loading the libraries counts as start-up too.
// Prints "startup_us=<n> refresh_us=<n> rows=<n> messages=<n>".  A message
// box the program would show is counted and printed, never shown, so that a
// failed start cannot hang the benchmark.
#include <QApplication>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

#include "app/main_window.h"
#include "browser/browser.h"
#include "text/gb18030.h"
#include "ui/ui.h"

namespace {

double NowEpochSeconds() {
  return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

// The form's own shell, but the program's directory is the corpus' and the
// message boxes are only counted.
class BenchShell : public ui::Shell {
 public:
  BenchShell(ui::Shell& inner, std::string directory) : inner_(inner), directory_(std::move(directory)) {}
  void ShowMessage(std::string_view text, int, std::string_view) override {
    ++messages_;
    std::cerr << "norvane_bench_program: message: " << text::Utf8FromGb18030(text) << "\n";
  }
  int MouseX() override { return inner_.MouseX(); }
  int MouseY() override { return inner_.MouseY(); }
  void PopupMenu(ui::Window&, ui::Menu&, int, int) override {}
  void OpenUrl(std::string_view) override {}
  ui::Text ProgramDirectory() override { return directory_; }
  int messages() const { return messages_; }

 private:
  ui::Shell& inner_;
  std::string directory_;
  int messages_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  double entered = NowEpochSeconds();
  if (argc < 2) {
    std::cerr << "usage: norvane_bench_program DIR [LAUNCHED]\n";
    return 2;
  }
  double launched = argc > 2 ? std::strtod(argv[2], nullptr) : entered;
  setenv("QT_QPA_PLATFORM", "offscreen", 0);

  std::unique_ptr<ui::Form> form = ui::CreateForm(app::MainWindowSpec());
  BenchShell shell(form->shell(), argv[1]);
  app::MainWindow window(*form, shell);
  double shown = 0, refresh_seconds = 0;
  // Runs once the loop has started, i.e. after Created (which fills the
  // list) and after the window has been shown.
  QTimer::singleShot(0, [&] {
    shown = NowEpochSeconds();
    auto start = std::chrono::steady_clock::now();
    browser::RefreshList(window.controls());
    QApplication::processEvents();
    refresh_seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    QApplication::exit(0);
  });
  int code = form->Run();
  std::printf("startup_us=%.0f refresh_us=%.0f rows=%d messages=%d\n", (shown - launched) * 1e6,
              refresh_seconds * 1e6, window.controls().超级列表框.RowCount(), shell.messages());
  return code;
}
