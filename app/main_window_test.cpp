// The whole main window on real widgets (offscreen) over databases our
// engine made: start-up, the list and the search, the detail panel, the
// record commands and the keys.  What a command stored is read back with
// mdb-export, an independent reader of the file.
#include <QApplication>
#include <QHeaderView>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTableView>
#include <QTest>
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "app/main_window.h"
#include "store/statements.h"
#include "text/gb18030.h"
#include "ui/qt/qt_form.h"
#include "ui/qt/testing/qt_testing.h"

namespace app {
namespace {

namespace fs = std::filesystem;
using text::Text;
using ui::qt::WidgetOf;
using ui::qt::testing::CloseMessagesDuring;
using ui::qt::testing::Q;
using ui::qt::testing::SeenMessage;

using Row = std::array<Text, 4>;  // ID, 标题, 内容, 资料链接 as the program's texts

// The form's shell, but the program lives in the test's directory and links
// are recorded instead of opened.
class TestShell : public ui::Shell {
 public:
  TestShell(ui::Shell& inner, Text directory) : inner_(inner), directory_(std::move(directory)) {}
  void ShowMessage(std::string_view t, int icon, std::string_view title) override {
    inner_.ShowMessage(t, icon, title);
  }
  int MouseX() override { return inner_.MouseX(); }
  int MouseY() override { return inner_.MouseY(); }
  void PopupMenu(ui::Window& w, ui::Menu& m, int x, int y) override { inner_.PopupMenu(w, m, x, y); }
  void OpenUrl(std::string_view target) override { opened.emplace_back(target); }
  Text ProgramDirectory() override { return directory_; }
  std::vector<Text> opened;

 private:
  ui::Shell& inner_;
  Text directory_;
};

std::string Bin() {
  const char* bin = std::getenv("NORVANE_BIN");
  return bin ? bin : "build/linux";
}

std::string RunCommand(const std::string& command) {
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return output;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
  pclose(pipe);
  return output;
}

// mdb-export's CSV: quoted fields, "" inside quotes, line breaks inside them.
std::vector<std::vector<std::string>> ParseCsv(const std::string& csv) {
  std::vector<std::vector<std::string>> rows(1);
  std::string field;
  bool quoted = false, any = false;
  for (size_t i = 0; i < csv.size(); ++i) {
    const char c = csv[i];
    if (quoted) {
      if (c == '"' && i + 1 < csv.size() && csv[i + 1] == '"') field += '"', ++i;
      else if (c == '"') quoted = false;
      else field += c;
    } else if (c == '"') {
      quoted = any = true;
    } else if (c == ',') {
      rows.back().push_back(field), field.clear();
    } else if (c == '\n') {
      rows.back().push_back(field), field.clear();
      rows.emplace_back();
    } else if (c != '\r') {
      field += c, any = true;
    }
  }
  if (!field.empty() || !rows.back().empty()) rows.back().push_back(field);
  if (rows.back().empty()) rows.pop_back();
  (void)any;
  return rows;
}

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::qt::testing::EnsureApplication();
    dir = fs::temp_directory_path() /
          ("norvane-ui-" + std::to_string(::getpid()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override {
    window.reset();
    form.reset();
    ui::qt::testing::ProcessEvents();
    fs::remove_all(dir);
  }

  fs::path Database() const { return dir / "data.mdb"; }

  // Notes as makedemo reads them: title, link, content lines, "%%" between.
  void MakeDatabase(const std::vector<std::array<std::string, 3>>& notes) {
    std::ofstream file(dir / "notes.txt", std::ios::binary);
    for (const auto& note : notes) {
      for (const std::string& line : note) file << text::Utf8FromGb18030(line) << "\n";
      file << "%%\n";
    }
    file.close();
    const std::string command = Bin() + "/tools/makedemo '" + (dir / "notes.txt").string() + "' '" +
                                Database().string() + "' 2>&1";
    const std::string output = RunCommand(command);
    ASSERT_TRUE(fs::exists(Database())) << command << "\n" << output;
  }

  // Runs a statement on the database through a second connection of the store.
  void Execute(std::string_view statement) {
    store::DBConnection connection;
    store::RecordSet records;
    ASSERT_EQ(store::ConnectAccess(connection, Database().string(), ""), 1);
    store::AttachConnection(records, connection);
    ASSERT_EQ(store::OpenRecordSet(records, Text(statement), 1), 1) << store::LastError(records);
    store::CloseRecordSet(records);
    store::CloseConnection(connection);
  }

  // The table as mdb-export reads it, ordered by ID.
  std::vector<Row> Stored() {
    const std::string csv = RunCommand("mdb-export '" + Database().string() + "' " + text::Utf8FromGb18030("知识点") + " 2>/dev/null");
    auto rows = ParseCsv(csv);
    std::map<long, Row> byId;
    for (size_t i = 1; i < rows.size(); ++i) {
      if (rows[i].size() < 4) continue;
      Row row;
      for (int c = 0; c < 4; ++c) row[c] = text::Gb18030FromUtf8(rows[i][c]);
      byId[std::stol(rows[i][0])] = row;
    }
    std::vector<Row> result;
    for (auto& [id, row] : byId) result.push_back(row);
    return result;
  }

  void Start() {
    form = std::make_unique<ui::qt::QtForm>(MainWindowSpec());
    shell = std::make_unique<TestShell>(form->shell(), dir.string());
    window = std::make_unique<MainWindow>(*form, *shell);
    startMessages = CloseMessagesDuring([&] { form->Open(); });
    ui::qt::testing::ProcessEvents();
  }

  browser::MainWindow& w() { return window->controls(); }
  QTableView& view() { return *static_cast<QTableView*>(WidgetOf(w().超级列表框)); }

  std::vector<Row> Listed() {
    std::vector<Row> rows;
    for (int r = 0; r < w().超级列表框.RowCount(); ++r) {
      rows.push_back({w().超级列表框.GetCellText(r, 0), w().超级列表框.GetCellText(r, 1),
                      w().超级列表框.GetCellText(r, 2), w().超级列表框.GetCellText(r, 3)});
    }
    return rows;
  }
  std::vector<Text> ListedIds() {
    std::vector<Text> ids;
    for (const Row& row : Listed()) ids.push_back(row[0]);
    return ids;
  }

  std::vector<SeenMessage> Press(ui::Button& button) {
    return CloseMessagesDuring([&] { QTest::mouseClick(WidgetOf(button), Qt::LeftButton); });
  }
  QPoint RowPoint(int row) { return view().visualRect(view().model()->index(row, 1)).center(); }
  void ClickRow(int row) { QTest::mouseClick(view().viewport(), Qt::LeftButton, {}, RowPoint(row)); }
  void ClickBesideRows() {
    QTest::mouseClick(view().viewport(), Qt::LeftButton, {}, QPoint(40, view().viewport()->height() - 5));
  }
  // Right-clicks the row and chooses 删除 from the menu that pops up.
  std::vector<SeenMessage> DeleteFromMenu(int row) {
    std::vector<SeenMessage> seen;
    const auto items = ui::qt::testing::ChooseMenuItemDuring(
        [&] { seen = CloseMessagesDuring([&] {
                QTest::mouseClick(view().viewport(), Qt::RightButton, {}, RowPoint(row));
                ui::qt::testing::ProcessEvents();
              }); },
        0);
    EXPECT_EQ(items, (std::vector<QString>{Q("删除")}));
    return seen;
  }
  // Lists every note again, newest first.
  void RefreshFull() {
    browser::RefreshList(w());
    ASSERT_EQ(ListedIds(), (std::vector<Text>{"5", "2", "1"}));
  }
  void Type(ui::EditBox& box, std::string_view gb) {
    QWidget* widget = WidgetOf(box);
    widget->setFocus(Qt::MouseFocusReason);
    // Typed as an input method commits it, Chinese included.
    QInputMethodEvent typed;
    typed.setCommitString(Q(gb));
    QApplication::sendEvent(widget, &typed);
  }
  void Replace(ui::EditBox& box, std::string_view gb) {
    box.SetText("");
    Type(box, gb);
  }

  fs::path dir;
  std::unique_ptr<ui::qt::QtForm> form;
  std::unique_ptr<TestShell> shell;
  std::unique_ptr<MainWindow> window;
  std::vector<SeenMessage> startMessages;
};

void ExpectMessage(const std::vector<SeenMessage>& seen, std::string_view text, QMessageBox::Icon icon) {
  ASSERT_EQ(seen.size(), 1u) << "expected one box: " << text::Utf8FromGb18030(text);
  EXPECT_EQ(seen[0].text, Q(text)) << seen[0].text.toStdString();
  EXPECT_EQ(seen[0].icon, icon);
  EXPECT_EQ(seen[0].title, Q("提示"));
  EXPECT_EQ(seen[0].buttonCount, 1);
  EXPECT_TRUE(seen[0].okButton);
  EXPECT_TRUE(seen[0].applicationModal);
}
constexpr auto kInfo = QMessageBox::Information;
constexpr auto kError = QMessageBox::Critical;

// Five notes made by the engine, of which 3 and 4 are deleted: IDs 1, 2, 5.
class WithNotes : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    MakeDatabase({{
        {"函数指针", "https://zh.cppreference.com/w/cpp/language/pointer", "函数名即地址\n it's"},
        {"500 个单词", "", "背单词"},
        {"三", "x", "删"},
        {"四", "y", "删"},
        {"链表反转", "https://example.org/a&b", "三指针法"},
    }});
    Execute("delete from 知识点 where ID=3");
    Execute("delete from 知识点 where ID=4");
  }
};

// ---- start-up and shutdown --------------------------------------------------

TEST_F(MainWindowTest, WithoutDatabaseTellsBeforeShowingAndStaysUsable) {
  Start();
  ExpectMessage(startMessages, "数据库连接失败！该软件已不可使用！", kInfo);
  EXPECT_FALSE(startMessages[0].otherWindowVisible);  // before the window is shown
  EXPECT_TRUE(form->widget()->isVisible());
  EXPECT_EQ(w().超级列表框.RowCount(), 0);

  ExpectMessage(Press(w().按钮1), "未搜索到结果！", kInfo);
  ExpectMessage(Press(w().按钮2), "添加失败！未知错误！", kError);
  ExpectMessage(Press(w().按钮3), "未选中任何记录，修改失败！", kError);
  ExpectMessage(Press(w().按钮5), "未选中任何内容，删除失败！", kError);
  EXPECT_FALSE(fs::exists(Database()));  // never created

  // Closing still runs Destroying, without a message.
  const auto seen = CloseMessagesDuring([&] { form->widget()->close(); });
  EXPECT_TRUE(seen.empty());
  EXPECT_EQ(store::RecordCount(w().记录集1), -1);
}

TEST_F(MainWindowTest, EmptyTableStartsWithoutMessageAndEmptyList) {
  MakeDatabase({});
  Start();
  EXPECT_TRUE(startMessages.empty());
  EXPECT_EQ(w().超级列表框.RowCount(), 0);
}

TEST_F(MainWindowTest, StartUpState) {
  Start();
  QWidget* main = form->widget();
  // 515 designed, 480 after Created, width unchanged; fixed, no maximise.
  EXPECT_EQ(w().窗口.GetHeight(), 480);
  EXPECT_EQ(main->frameGeometry().size(), QSize(906, 480));
  EXPECT_EQ(main->minimumSize(), main->maximumSize());
  EXPECT_FALSE(main->windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_TRUE(main->windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_TRUE(main->windowTitle().startsWith("Norvane"));
  EXPECT_FALSE(main->windowIcon().isNull());

  struct Place {
    ui::Control* control;
    QRect rect;
  } places[] = {
      {&w().编辑框_搜索, {8, 8, 392, 32}},     {&w().按钮1, {408, 8, 48, 32}},
      {&w().按钮2, {464, 8, 40, 32}},          {&w().按钮3, {512, 8, 40, 32}},
      {&w().按钮5, {560, 8, 40, 32}},          {&w().按钮4, {608, 8, 40, 32}},
      {&w().超级列表框, {8, 48, 392, 400}},    {&w().编辑框_标题, {408, 48, 480, 24}},
      {&w().编辑框_资料链接, {408, 73, 480, 24}}, {&w().编辑框_知识内容, {408, 104, 480, 320}},
      {&w().标签2, {408, 425, 64, 24}},        {&w().标签1, {472, 425, 416, 24}},
  };
  for (const Place& place : places) {
    QWidget* widget = WidgetOf(*place.control);
    EXPECT_EQ(widget->geometry(), place.rect) << widget->metaObject()->className();
    EXPECT_TRUE(widget->isVisible());
  }
  // Captions of the buttons, left to right.
  EXPECT_EQ(w().按钮1.GetText(), "搜索");
  EXPECT_EQ(w().按钮2.GetText(), "添加");
  EXPECT_EQ(w().按钮3.GetText(), "修改");
  EXPECT_EQ(w().按钮5.GetText(), "删除");
  EXPECT_EQ(w().按钮4.GetText(), "清空");
  EXPECT_EQ(w().标签2.GetText(), "资料来源：");

  EXPECT_EQ(QApplication::focusWidget(), WidgetOf(w().编辑框_搜索));
  struct Placeholder {
    ui::EditBox* box;
    std::string_view text;
  } placeholders[] = {{&w().编辑框_标题, "标题"}, {&w().编辑框_资料链接, "资料链接"},
                      {&w().编辑框_知识内容, "知识点内容"}};
  for (const Placeholder& p : placeholders) {
    EXPECT_EQ(p.box->GetText(), p.text);
    EXPECT_EQ(p.box->GetTextColor(), 0x00C0C0C0u);
    EXPECT_EQ(WidgetOf(*p.box)->palette().color(QPalette::Text), QColor(192, 192, 192));
  }
  EXPECT_EQ(w().标签1.GetText(), "");
  EXPECT_EQ(WidgetOf(w().标签1)->cursor().shape(), Qt::PointingHandCursor);
  EXPECT_TRUE(static_cast<QLineEdit*>(WidgetOf(w().编辑框_搜索))->alignment() & Qt::AlignHCenter);
  // Only the title column shows, headed 结果列表.
  EXPECT_EQ(view().model()->headerData(1, Qt::Horizontal).toString(), Q("结果列表"));
  EXPECT_TRUE(view().isColumnHidden(0));
  EXPECT_TRUE(view().isColumnHidden(2));
  EXPECT_TRUE(view().isColumnHidden(3));
  EXPECT_EQ(view().columnWidth(1), 388);
}

TEST_F(WithNotes, ListsNewestFirstWithFourCells) {
  Start();
  EXPECT_TRUE(startMessages.empty());
  const std::vector<Row> expected = {
      Row{"5", "链表反转", "三指针法", "https://example.org/a&b"},
      Row{"2", "500 个单词", "背单词", ""},
      Row{"1", "函数指针", "函数名即地址\r\n it\xA1\xAEs", "https://zh.cppreference.com/w/cpp/language/pointer"},
  };
  EXPECT_EQ(Listed(), expected);
  EXPECT_EQ(w().超级列表框.SelectedIndex(), -1);
}

TEST_F(WithNotes, DestroyingClosesRecordSetAndConnection) {
  Start();
  EXPECT_EQ(store::RecordCount(w().记录集1), 3);
  QTest::keyClick(WidgetOf(w().编辑框_知识内容), Qt::Key_Escape);
  EXPECT_FALSE(form->widget()->isVisible());
  EXPECT_EQ(store::RecordCount(w().记录集1), -1);
  // The connection is closed too: the record set can run nothing more.
  EXPECT_EQ(store::OpenRecordSet(w().记录集1, Text(store::SelectAllStatement()), 1), 0);
}

// ---- search -----------------------------------------------------------------

TEST_F(WithNotes, Search) {
  Start();
  struct Case {
    const char* name;
    std::string_view keyword;
    std::vector<Text> ids;  // empty: "未搜索到结果！" and the list keeps its rows
  } cases[] = {
      {"in a title", "链表", {"5"}},
      {"in a content", "地址", {"1"}},
      {"nowhere", "量子", {}},
      {"apostrophe", "it's", {}},
      {"percent is a wildcard", "50%", {"2"}},
      {"empty keyword", "", {"1", "2", "5"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<Text> before = ListedIds();
    ClickRow(0);
    Replace(w().编辑框_搜索, c.keyword);
    const auto seen = Press(w().按钮1);
    if (c.ids.empty()) {
      ExpectMessage(seen, "未搜索到结果！", kInfo);
      EXPECT_EQ(ListedIds(), before);
    } else {
      EXPECT_TRUE(seen.empty());
      std::vector<Text> ids = ListedIds();
      std::sort(ids.begin(), ids.end());
      EXPECT_EQ(ids, c.ids);
      EXPECT_EQ(w().超级列表框.SelectedIndex(), -1);
    }
  }
}

TEST_F(WithNotes, EnterInTheSearchBoxSearchesNothing) {
  Start();
  Replace(w().编辑框_搜索, "量子");
  const auto seen = CloseMessagesDuring([&] { QTest::keyClick(WidgetOf(w().编辑框_搜索), Qt::Key_Return); });
  EXPECT_TRUE(seen.empty());
  EXPECT_EQ(ListedIds(), (std::vector<Text>{"5", "2", "1"}));
}

// ---- keys -------------------------------------------------------------------

TEST_F(MainWindowTest, TabOrder) {
  MakeDatabase({});
  Start();
  ui::Control* order[] = {&w().编辑框_搜索, &w().按钮1, &w().按钮2, &w().超级列表框, &w().编辑框_知识内容,
                          &w().编辑框_标题, &w().编辑框_资料链接, &w().按钮3, &w().按钮4, &w().按钮5};
  for (int step = 1; step <= 10; ++step) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), WidgetOf(*order[step % 10])) << "Tab " << step;
  }
  for (int step = 9; step >= 0; --step) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), WidgetOf(*order[step])) << "Shift+Tab to " << step;
  }
}

// ---- the detail panel -------------------------------------------------------

TEST_F(WithNotes, ClickingARowFillsThePanel) {
  Start();
  ClickRow(2);
  EXPECT_EQ(w().编辑框_标题.GetText(), "函数指针");
  EXPECT_EQ(w().编辑框_知识内容.GetText(), "函数名即地址\r\n it's");  // apostrophe restored
  EXPECT_EQ(w().超级列表框.GetCellText(2, 2), "函数名即地址\r\n it\xA1\xAEs");
  EXPECT_EQ(w().编辑框_资料链接.GetText(), "https://zh.cppreference.com/w/cpp/language/pointer");
  EXPECT_EQ(w().标签1.GetText(), "https://zh.cppreference.com/w/cpp/language/pointer");
  for (ui::EditBox* box : {&w().编辑框_标题, &w().编辑框_知识内容, &w().编辑框_资料链接}) {
    EXPECT_EQ(box->GetTextColor(), ui::kBlack);
  }
  EXPECT_EQ(window->selection().selectedRow, 2);
  EXPECT_EQ(window->selection().id, "1");

  // Arrow keys move the selection but leave the panel alone.
  QTest::keyClick(&view(), Qt::Key_Up);
  EXPECT_EQ(w().超级列表框.SelectedIndex(), 1);
  EXPECT_EQ(w().编辑框_标题.GetText(), "函数指针");
  EXPECT_EQ(window->selection().selectedRow, 2);

  // The label opens its link; the panel's link box may differ by now.
  w().编辑框_资料链接.SetText("other");
  QTest::mouseClick(WidgetOf(w().标签1), Qt::LeftButton);
  EXPECT_EQ(shell->opened, (std::vector<Text>{"https://zh.cppreference.com/w/cpp/language/pointer"}));

  // A click beside every row empties the panel and the caption.
  ClickBesideRows();
  EXPECT_EQ(w().超级列表框.SelectedIndex(), -1);
  EXPECT_EQ(w().编辑框_标题.GetText(), "");
  EXPECT_EQ(w().编辑框_知识内容.GetText(), "");
  EXPECT_EQ(w().编辑框_资料链接.GetText(), "");
  EXPECT_EQ(w().标签1.GetText(), "");
  EXPECT_EQ(window->selection().selectedRow, -1);
  EXPECT_EQ(window->selection().id, "");
  QTest::mouseClick(WidgetOf(w().标签1), Qt::LeftButton);
  EXPECT_EQ(shell->opened.size(), 1u);  // an empty caption opens nothing
}

TEST_F(MainWindowTest, PlaceholdersClearOnFocusOnlyWhileShown) {
  MakeDatabase({});
  Start();
  QTest::mouseClick(WidgetOf(w().标签1), Qt::LeftButton);
  EXPECT_TRUE(shell->opened.empty());

  WidgetOf(w().编辑框_标题)->setFocus(Qt::MouseFocusReason);
  EXPECT_EQ(w().编辑框_标题.GetText(), "");
  EXPECT_EQ(w().编辑框_标题.GetTextColor(), ui::kBlack);
  EXPECT_EQ(w().编辑框_资料链接.GetText(), "资料链接");  // the others untouched
  Type(w().编辑框_标题, "标");
  WidgetOf(w().编辑框_搜索)->setFocus(Qt::MouseFocusReason);
  WidgetOf(w().编辑框_标题)->setFocus(Qt::MouseFocusReason);
  EXPECT_EQ(w().编辑框_标题.GetText(), "标");
  // Text equal to the placeholder is cleared the next time the box gains the focus.
  w().编辑框_标题.SetText("标题");
  WidgetOf(w().编辑框_搜索)->setFocus(Qt::MouseFocusReason);
  WidgetOf(w().编辑框_标题)->setFocus(Qt::MouseFocusReason);
  EXPECT_EQ(w().编辑框_标题.GetText(), "");
}

TEST_F(MainWindowTest, ClearRightAfterStartLeavesGreyEmptyBoxes) {
  MakeDatabase({});
  Start();
  EXPECT_TRUE(Press(w().按钮4).empty());
  for (ui::EditBox* box : {&w().编辑框_标题, &w().编辑框_知识内容, &w().编辑框_资料链接}) {
    WidgetOf(*box)->setFocus(Qt::MouseFocusReason);
    EXPECT_EQ(box->GetText(), "");
    EXPECT_EQ(box->GetTextColor(), 0x00C0C0C0u);
  }
}

// ---- the record commands ----------------------------------------------------

TEST_F(MainWindowTest, AddUntouchedStoresThePlaceholders) {
  MakeDatabase({});
  Start();
  ExpectMessage(Press(w().按钮2), "添加成功！", kInfo);
  EXPECT_EQ(Stored(), (std::vector<Row>{{"1", "标题", "知识点内容", "资料链接"}}));
  EXPECT_EQ(ListedIds(), (std::vector<Text>{"1"}));
  EXPECT_EQ(w().编辑框_标题.GetText(), "");
  EXPECT_EQ(w().编辑框_知识内容.GetText(), "");
  EXPECT_EQ(w().编辑框_资料链接.GetText(), "");

  // After the clear, an add sends three empty texts.
  ExpectMessage(Press(w().按钮2), "添加成功！", kInfo);
  EXPECT_EQ(Stored().back(), (Row{"2", "", "", ""}));
  EXPECT_EQ(ListedIds(), (std::vector<Text>{"2", "1"}));
}

TEST_F(WithNotes, AddEscapesTheContentAndRefusesAnApostropheInTitleOrLink) {
  Start();
  Replace(w().编辑框_标题, "指针");
  Replace(w().编辑框_知识内容, "don't");
  Replace(w().编辑框_资料链接, "https://example.org/p");
  ExpectMessage(Press(w().按钮2), "添加成功！", kInfo);
  EXPECT_EQ(Stored().back(), (Row{"6", "指针", "don\xA1\xAEt", "https://example.org/p"}));
  EXPECT_EQ(ListedIds(), (std::vector<Text>{"6", "5", "2", "1"}));

  struct Case {
    const char* name;
    std::string_view title, link;
  } cases[] = {{"title", "it's", "l"}, {"link", "t", "https://x.org/?q='1'"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Replace(w().编辑框_标题, c.title);
    Replace(w().编辑框_知识内容, "a'b");
    Replace(w().编辑框_资料链接, c.link);
    ExpectMessage(Press(w().按钮2), "添加失败！未知错误！", kError);
    EXPECT_EQ(w().编辑框_知识内容.GetText(), "a\xA1\xAE" "b");  // escaped whatever the outcome
    EXPECT_EQ(w().编辑框_标题.GetText(), c.title);
    EXPECT_EQ(Stored().size(), 4u);
  }
}

TEST_F(WithNotes, ModifySavesIntoTheClickedNote) {
  Start();
  ExpectMessage(Press(w().按钮3), "未选中任何记录，修改失败！", kError);

  ClickRow(1);  // ID 2
  Replace(w().编辑框_标题, "五百个单词");
  Replace(w().编辑框_知识内容, "it's");
  ExpectMessage(Press(w().按钮3), "修改成功！", kInfo);
  EXPECT_EQ(Stored()[1], (Row{"2", "五百个单词", "it\xA1\xAEs", ""}));
  EXPECT_EQ(w().编辑框_知识内容.GetText(), "it\xA1\xAEs");  // keeps what was saved, escaped
  EXPECT_EQ(w().超级列表框.SelectedIndex(), -1);
  EXPECT_EQ(w().标签1.GetText(), "");

  // Selection moved by keyboard after the click: still the clicked note.
  ClickRow(0);  // ID 5
  QTest::keyClick(&view(), Qt::Key_Down);
  Replace(w().编辑框_标题, "链表");
  ExpectMessage(Press(w().按钮3), "修改成功！", kInfo);
  EXPECT_EQ(Stored()[2][1], "链表");
  EXPECT_EQ(Stored()[1][1], "五百个单词");
}

TEST_F(WithNotes, ModifyAfterTheListWasRebuiltNamesTheClickedId) {
  Start();
  struct Case {
    const char* name;
    int clickedRow;      // in the full list 5, 2, 1
    Text clickedId;
    std::string_view keyword;  // the search that rebuilds the list afterwards
  } cases[] = {
      // Index 0 now holds note 1: the panel must not be written into it.
      {"index names another note", 0, "5", "函数"},
      // Index 2 is beyond the one-row list.
      {"index beyond the list", 2, "1", "单词"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<Row> before = Stored();
    Replace(w().编辑框_搜索, "");
    Press(w().按钮4);
    ExpectMessage(Press(w().按钮3), "未选中任何记录，修改失败！", kError);  // nothing selected yet
    RefreshFull();
    ClickRow(c.clickedRow);
    ASSERT_EQ(window->selection().id, c.clickedId);
    Replace(w().编辑框_搜索, c.keyword);
    EXPECT_TRUE(Press(w().按钮1).empty());
    ASSERT_EQ(w().超级列表框.RowCount(), 1);
    view().setFocus();
    QTest::keyClick(&view(), Qt::Key_Down);  // a row selected, but not by a click
    ASSERT_EQ(w().超级列表框.SelectedIndex(), 0);
    Replace(w().编辑框_标题, "改过");
    ExpectMessage(Press(w().按钮3), "修改成功！", kInfo);
    for (const Row& row : Stored()) {
      if (row[0] == c.clickedId) {
        EXPECT_EQ(row[1], "改过");
      } else {
        const auto old = std::find_if(before.begin(), before.end(), [&](const Row& r) { return r[0] == row[0]; });
        ASSERT_NE(old, before.end());
        EXPECT_EQ(row, *old) << "note " << row[0] << " was overwritten";
      }
    }
    EXPECT_EQ(ListedIds(), (std::vector<Text>{"5", "2", "1"}));  // a modify lists everything again
  }
}

TEST_F(WithNotes, ModifyFailures) {
  Start();
  // The note was deleted meanwhile: nothing saved, so no success.
  ClickRow(0);  // ID 5
  Execute("delete from 知识点 where ID=5");
  Replace(w().编辑框_标题, "丢失");
  ExpectMessage(Press(w().按钮3), "修改失败！未知错误！", kError);
  EXPECT_EQ(Stored().size(), 2u);

  // An apostrophe in the title or the link is refused; the content shows "‘".
  ClickRow(1);  // ID 2
  Replace(w().编辑框_标题, "it's");
  Replace(w().编辑框_知识内容, "x'y");
  ExpectMessage(Press(w().按钮3), "修改失败！未知错误！", kError);
  EXPECT_EQ(w().编辑框_知识内容.GetText(), "x\xA1\xAEy");
  Replace(w().编辑框_标题, "t");
  Replace(w().编辑框_资料链接, "a'b");
  ExpectMessage(Press(w().按钮3), "修改失败！未知错误！", kError);
  EXPECT_EQ(Stored()[1], (Row{"2", "500 个单词", "背单词", ""}));

  // The last click selected no row, a row was selected by keyboard since: no ID.
  ClickBesideRows();
  view().setFocus();
  QTest::keyClick(&view(), Qt::Key_Down);
  ASSERT_NE(w().超级列表框.SelectedIndex(), -1);
  ExpectMessage(Press(w().按钮3), "修改失败！未知错误！", kError);
}

TEST_F(WithNotes, DeleteFromTheMenuAndTheButton) {
  Start();
  ClickRow(0);  // the panel shows ID 5
  // Right-click another row and choose 删除: that row's note goes.
  ExpectMessage(DeleteFromMenu(2), "成功删除！", kInfo);
  EXPECT_EQ(ListedIds(), (std::vector<Text>{"5", "2"}));
  EXPECT_EQ(Stored().size(), 2u);
  EXPECT_EQ(Stored()[0][0], "2");
  EXPECT_EQ(w().编辑框_标题.GetText(), "");
  EXPECT_EQ(w().标签1.GetText(), "https://example.org/a&b");  // the caption stays
  EXPECT_EQ(w().超级列表框.SelectedIndex(), -1);
  EXPECT_EQ(window->selection().selectedRow, 0);  // a right click is no left click
  EXPECT_EQ(window->selection().id, "5");

  // A second delete without a new selection.
  ExpectMessage(Press(w().按钮5), "未选中任何内容，删除失败！", kError);
  ClickRow(1);
  ExpectMessage(Press(w().按钮5), "成功删除！", kInfo);
  EXPECT_EQ(ListedIds(), (std::vector<Text>{"5"}));
  EXPECT_EQ(Stored().size(), 1u);
  EXPECT_EQ(Stored()[0][0], "5");

  // Deleted meanwhile by someone else: the note is gone either way.
  Execute("delete from 知识点 where ID=5");
  ClickRow(0);
  ExpectMessage(Press(w().按钮5), "成功删除！", kInfo);
  EXPECT_EQ(w().超级列表框.RowCount(), 0);
}

// The window on the demo database after clicking a note, saved for a look
// at it: $NORVANE_BIN/screenshots/main_window.png.
TEST_F(MainWindowTest, ScreenshotOfTheDemoDatabase) {
  const std::string command =
      Bin() + "/tools/makedemo tools/demo-notes.txt '" + Database().string() + "' 2>&1";
  const std::string output = RunCommand(command);
  ASSERT_TRUE(fs::exists(Database())) << command << "\n" << output;
  Start();
  EXPECT_TRUE(startMessages.empty());
  ASSERT_GE(w().超级列表框.RowCount(), 12);
  ClickRow(1);
  EXPECT_EQ(w().标签1.GetText(), w().超级列表框.GetCellText(1, 3));
  const QPixmap shot = form->widget()->grab();
  EXPECT_EQ(shot.size(), form->widget()->size());  // the client area of the 906 x 480 window
  fs::create_directories(fs::path(Bin()) / "screenshots");
  EXPECT_TRUE(shot.save(QString::fromStdString((fs::path(Bin()) / "screenshots" / "main_window.png").string())));
}

}  // namespace
}  // namespace app
