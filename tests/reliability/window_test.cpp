// The program on its real Qt window (offscreen) against hostile texts and a
// failing disk.  Every text is either stored and shown back exactly, or
// refused with the command's own message, and never runs another
// statement; a write or flush that fails makes the command report its
// failure and leaves the file as it was.
#include <QTableView>
#include <QTest>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/main_window.h"
#include "jet/file_fault.h"
#include "store/database_jet_testing.h"
#include "store/statements.h"
#include "tests/reliability/knowledge.h"
#include "text/gb18030.h"
#include "ui/qt/qt_form.h"
#include "ui/qt/testing/qt_testing.h"

namespace reliability {
namespace {

namespace fs = std::filesystem;
using ui::qt::WidgetOf;
using ui::qt::testing::CloseMessagesDuring;
using ui::qt::testing::Q;
using ui::qt::testing::SeenMessage;

// The form's shell, with the program living in the test's directory.
class TestShell : public ui::Shell {
 public:
  TestShell(ui::Shell& inner, Text directory) : inner_(inner), directory_(std::move(directory)) {}
  void ShowMessage(std::string_view t, int icon, std::string_view title) override { inner_.ShowMessage(t, icon, title); }
  int MouseX() override { return inner_.MouseX(); }
  int MouseY() override { return inner_.MouseY(); }
  void PopupMenu(ui::Window& w, ui::Menu& m, int x, int y) override { inner_.PopupMenu(w, m, x, y); }
  void OpenUrl(std::string_view) override {}
  Text ProgramDirectory() override { return directory_; }

 private:
  ui::Shell& inner_;
  Text directory_;
};

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::qt::testing::EnsureApplication();
    dir_ = fs::temp_directory_path() / ("norvane-window-" + std::to_string(::getpid()) + "-" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    path_ = (dir_ / "data.mdb").string();
    ASSERT_EQ(MakeKnowledgeDatabase(path_), "");
    std::mt19937 random(99);
    for (long id = 1; id <= 3; ++id) {
      model_[id] = RandomNote(random, 0);
      Execute(*StatementFor(Op::kInsert, 0, model_[id]));
    }
    form_ = std::make_unique<ui::qt::QtForm>(app::MainWindowSpec());
    shell_ = std::make_unique<TestShell>(form_->shell(), dir_.string());
    window_ = std::make_unique<app::MainWindow>(*form_, *shell_);
    const std::vector<SeenMessage> start = CloseMessagesDuring([&] { form_->Open(); });
    ASSERT_TRUE(start.empty());
    ui::qt::testing::ProcessEvents();
  }
  void TearDown() override {
    window_.reset();
    form_.reset();
    ui::qt::testing::ProcessEvents();
    faulty_.reset();
    fs::remove_all(dir_);
  }

  void Execute(const Text& statement) {
    store::DBConnection connection;
    store::RecordSet records;
    ASSERT_EQ(store::ConnectAccess(connection, text::Gb18030FromUtf8(path_), ""), 1);
    store::AttachConnection(records, connection);
    ASSERT_EQ(store::OpenRecordSet(records, statement, 1), 1) << store::LastError(records);
  }

  browser::MainWindow& w() { return window_->controls(); }
  QTableView& view() { return *static_cast<QTableView*>(WidgetOf(w().超级列表框)); }
  void ClickRow(int row) {
    const QPoint at = view().visualRect(view().model()->index(row, 1)).center();
    QTest::mouseClick(view().viewport(), Qt::LeftButton, {}, at);
  }
  std::vector<SeenMessage> Press(ui::Button& button) {
    return CloseMessagesDuring([&] { QTest::mouseClick(WidgetOf(button), Qt::LeftButton); });
  }
  void Fill(const Note& note) {
    w().编辑框_标题.SetText(note.title);
    w().编辑框_知识内容.SetText(note.content);
    w().编辑框_资料链接.SetText(note.link);
  }
  // The window's connection from now on goes through a file system that
  // fails as told.
  jet::FaultyFileSystem& ReconnectFaulty() {
    auto next = std::make_unique<jet::FaultyFileSystem>(platform_.get());
    EXPECT_EQ(store::ConnectAccessOver(w().数据库连接1, text::Gb18030FromUtf8(path_), next.get()), 1);
    faulty_ = std::move(next);
    return *faulty_;
  }

  // The table read by mdb-export and by the store agrees with the model.
  void ExpectStored(const Notes& expected) {
    std::string error;
    const std::optional<Notes> exported = ExportedNotes(path_, &error);
    ASSERT_TRUE(exported) << error;
    EXPECT_EQ(Difference(AsExported(expected), *exported), "") << "mdb-export";
    const std::optional<Notes> read = ReadNotes(path_, &error);
    ASSERT_TRUE(read) << error;
    EXPECT_EQ(Difference(expected, *read), "") << "store";
  }

  fs::path dir_;
  std::string path_;
  Notes model_;
  std::unique_ptr<jet::FileSystem> platform_ = jet::PlatformFileSystem();
  std::unique_ptr<jet::FaultyFileSystem> faulty_;
  std::unique_ptr<ui::qt::QtForm> form_;
  std::unique_ptr<TestShell> shell_;
  std::unique_ptr<app::MainWindow> window_;
};

void ExpectOneMessage(const std::vector<SeenMessage>& seen, std::string_view text) {
  ASSERT_EQ(seen.size(), 1u) << text::Utf8FromGb18030(text);
  EXPECT_EQ(seen[0].text, Q(text)) << seen[0].text.toStdString();
  EXPECT_EQ(seen[0].title, Q("提示"));
}

struct Hostile {
  const char* name;
  Text title, content, link;
};

std::vector<Hostile> HostileTexts() {
  std::string controls;
  for (int c = 1; c < 32; ++c) controls += static_cast<char>(c);
  controls += "\x7f";
  return {
      {"apostrophe in the title", "it's", "x", ""},
      {"apostrophe in the content", "t", "it's 'quoted' '", ""},
      {"apostrophe in the link", "t", "x", "https://example.org/a'b"},
      {"always-true condition in the title", "' or 1=1 or ''='", "x", ""},
      {"always-true condition in the content", "t", "' or 1=1 or ''='", ""},
      {"always-true condition in the link", "t", "x", "' or 1=1 or ''='"},
      {"second statement in the title", "x'); delete from 知识点; --", "x", ""},
      {"second statement in the content", "t", "x'); delete from 知识点; --", ""},
      {"second statement in the link", "t", "x", "x'); delete from 知识点; --"},
      {"brackets, quotes and wildcards", "[知识点] \"q\" %_*?#", "; -- /* */ \\", "a&b=c;d"},
      {"control characters", "a\tb" + controls.substr(0, 8), controls + "内容", "l\x01\x1f"},
      {"characters outside GBK", "😀 𠀀 €", "表情 😀👍🏽 𪚥 ₿ \u200b", "https://例子.中国/😀"},
      {"only blanks", " ", "\n\n", " "},
  };
}

bool Refused(const Note& note) {
  return note.title.find('\'') != std::string::npos || note.link.find('\'') != std::string::npos;
}

// What the boxes give back is what the command must store (content with
// its apostrophes escaped) and what the panel shows again.
TEST_F(WindowTest, HostileTextsAreAddedExactlyOrRefusedWithTheAddMessage) {
  long next_id = 4;
  int tried = 0;
  for (const Hostile& h : HostileTexts()) {
    SCOPED_TRACE(h.name);
    Note note{h.title, h.content, h.link};
    Fill(note);
    // What the boxes hold is what the user sees; that must be stored.
    note = {w().编辑框_标题.GetText(), store::EscapeApostrophes(w().编辑框_知识内容.GetText()),
            w().编辑框_资料链接.GetText()};
    const std::vector<SeenMessage> seen = Press(w().按钮2);
    ++tried;
    if (Refused(note)) {
      ExpectOneMessage(seen, "添加失败！未知错误！");
    } else {
      ExpectOneMessage(seen, "添加成功！");
      model_[next_id++] = note;
      // Shown back: the newest note heads the list, and a click fills the panel.
      ASSERT_GT(w().超级列表框.RowCount(), 0);
      EXPECT_EQ(w().超级列表框.GetCellText(0, 1), note.title);
      ClickRow(0);
      EXPECT_EQ(w().编辑框_标题.GetText(), note.title);
      EXPECT_EQ(w().编辑框_知识内容.GetText(), store::RestoreApostrophes(note.content));  // the panel restores them
      EXPECT_EQ(w().编辑框_资料链接.GetText(), note.link);
    }
    EXPECT_EQ(w().超级列表框.RowCount(), static_cast<int>(model_.size()));
    ExpectStored(model_);
  }
  RecordProperty("hostile_adds", tried);
}

TEST_F(WindowTest, HostileTextsModifyExactlyOrAreRefusedWithTheModifyMessage) {
  int tried = 0;
  for (const Hostile& h : HostileTexts()) {
    SCOPED_TRACE(h.name);
    ClickRow(1);  // ID 2
    ASSERT_EQ(w().超级列表框.GetCellText(1, 0), "2");
    Fill({h.title, h.content, h.link});
    const Note note{w().编辑框_标题.GetText(), store::EscapeApostrophes(w().编辑框_知识内容.GetText()),
                    w().编辑框_资料链接.GetText()};
    const std::vector<SeenMessage> seen = Press(w().按钮3);
    ++tried;
    if (Refused(note)) {
      ExpectOneMessage(seen, "修改失败！未知错误！");
    } else {
      ExpectOneMessage(seen, "修改成功！");
      model_[2] = note;
    }
    ExpectStored(model_);
  }
  RecordProperty("hostile_modifies", tried);
}

TEST_F(WindowTest, HostileKeywordsSearchOrReportAMissAndChangeNothing) {
  int tried = 0;
  for (const Hostile& h : HostileTexts()) {
    for (const std::string& keyword : {h.title, h.content, h.link}) {
      SCOPED_TRACE(keyword);
      w().编辑框_搜索.SetText(keyword);
      const std::vector<SeenMessage> seen = Press(w().按钮1);
      ++tried;
      if (keyword.find('\'') != std::string::npos) ExpectOneMessage(seen, "未搜索到结果！");
      EXPECT_LE(seen.size(), 1u);
      EXPECT_LE(w().超级列表框.RowCount(), 3);
    }
  }
  ExpectStored(model_);
  RecordProperty("hostile_searches", tried);
}

TEST_F(WindowTest, ATenMegabyteContentIsStoredAndShownBackExactly) {
  std::string content;
  while (content.size() < 10u * 1024 * 1024) content += "函数的定义与调用 it's 😀\n";
  Note note{"大", content, "https://example.org/big"};
  Fill(note);
  note.content = store::EscapeApostrophes(w().编辑框_知识内容.GetText());  // line breaks as the box gives them
  ExpectOneMessage(Press(w().按钮2), "添加成功！");
  ASSERT_EQ(store::LastError(w().记录集1), "");
  model_[4] = note;
  ExpectStored(model_);
  ClickRow(0);
  EXPECT_TRUE(w().编辑框_知识内容.GetText() == store::RestoreApostrophes(note.content));
  EXPECT_EQ(CheckReport(path_), "");
}

// Each write, then each flush, of the command's statement fails in turn,
// until the statement makes fewer: the command reports its failure each
// time and the file stays byte for byte as it was.
TEST_F(WindowTest, AFailingWriteOrFlushMakesEachCommandReportItsFailure) {
  struct Command {
    const char* name;
    std::function<std::vector<SeenMessage>()> run;
    std::string_view failure, success;
  };
  const Note long_note{"链表", std::string(15000, 'z') + "😀", "https://example.org"};
  const Command commands[] = {
      {"add", [&] { Fill(long_note); return Press(w().按钮2); }, "添加失败！未知错误！", "添加成功！"},
      {"modify", [&] { ClickRow(0); Fill(long_note); return Press(w().按钮3); }, "修改失败！未知错误！", "修改成功！"},
      {"delete", [&] { ClickRow(0); return Press(w().按钮5); }, "删除失败！", "成功删除！"},
  };
  const Bytes before = ReadAll(path_);
  int injected = 0;
  for (const Command& command : commands) {
    for (int kind = 0; kind < 2; ++kind) {
      for (int n = 1;; ++n) {
        SCOPED_TRACE(std::string(command.name) + (kind == 0 ? " write " : " flush ") + std::to_string(n));
        ASSERT_LT(n, 200);
        jet::FaultyFileSystem& faulty = ReconnectFaulty();
        if (kind == 0) faulty.FailWrite(n);
        else faulty.FailSync(n);
        const std::vector<SeenMessage> seen = command.run();
        if (faulty.faults() == 0) {  // past the statement's last write or flush
          ExpectOneMessage(seen, command.success);
          break;
        }
        ++injected;
        ExpectOneMessage(seen, command.failure);
        EXPECT_TRUE(ReadAll(path_) == before);
        EXPECT_FALSE(fs::exists(path_ + "-journal"));
      }
      // Back to the file as it was for the next round.
      store::CloseConnection(w().数据库连接1);
      WriteAll(path_, before);
      ReconnectFaulty();
      browser::RefreshList(w());
    }
  }
  ExpectStored(model_);
  RecordProperty("faults_injected", injected);
  std::cout << "faults injected through the window: " << injected << "\n";
}

}  // namespace
}  // namespace reliability
