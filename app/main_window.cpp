// The layout of the main window and the binding of its events.  Places are
// relative to the client area; the window's size is its outer size.
#include "app/main_window.h"

#include <filesystem>
#include <system_error>

#include "app/database_path.h"
#include "text/gb18030.h"

namespace app {
namespace {

using text::Text;

constexpr ui::Colour kPlaceholderGrey = 0x00C0C0C0;
constexpr ui::Colour kLinkBlue = 0x00FF0000;

constexpr std::string_view kMessageTitle = "提示";

// Every control of the window, in the order they are created.
struct Layout {
  ui::EditBoxSpec search{{8, 8, 392, 32}, "", ui::kBlack, false, true};
  ui::Rect searchButton{408, 8, 48, 32};
  ui::Rect addButton{464, 8, 40, 32};
  ui::Rect modifyButton{512, 8, 40, 32};
  ui::Rect deleteButton{560, 8, 40, 32};
  ui::Rect clearButton{608, 8, 40, 32};
  ui::Rect list{8, 48, 392, 400};
  std::vector<ui::ColumnSpec> columns{{"ID", 0}, {"结果列表", 388}, {"内容", 0}, {"资料链接", 0}};
  ui::EditBoxSpec title{{408, 48, 480, 24}, Text(browser::kTitlePlaceholder), kPlaceholderGrey};
  ui::EditBoxSpec link{{408, 73, 480, 24}, Text(browser::kLinkPlaceholder), kPlaceholderGrey};
  ui::EditBoxSpec content{{408, 104, 480, 320}, Text(browser::kContentPlaceholder), kPlaceholderGrey, true};
  ui::LabelSpec sourceCaption{{408, 425, 64, 24}, "资料来源：", ui::kBlack, false};
  ui::LabelSpec linkLabel{{472, 425, 416, 24}, "", kLinkBlue, true};
};

std::unique_ptr<browser::MainWindow> CreateControls(ui::Form& form, ui::Shell& shell,
                                                    store::DBConnection& connection,
                                                    store::RecordSet& recordSet) {
  const Layout layout;
  // Braced initialisation runs left to right: the controls are made in the
  // order of the layout.
  return std::make_unique<browser::MainWindow>(browser::MainWindow{
      form.window(),
      shell,
      form.AddEditBox(layout.search),
      form.AddButton(layout.searchButton, "搜索"),
      form.AddButton(layout.addButton, "添加"),
      form.AddButton(layout.modifyButton, "修改"),
      form.AddButton(layout.deleteButton, "删除"),
      form.AddButton(layout.clearButton, "清空"),
      form.AddListView(layout.list, layout.columns),
      form.AddEditBox(layout.title),
      form.AddEditBox(layout.link),
      form.AddEditBox(layout.content),
      form.AddLabel(layout.sourceCaption),
      form.AddLabel(layout.linkLabel),
      form.AddHiddenMenu("菜单", {"删除"}),
      connection,
      recordSet,
  });
}

}  // namespace

ui::WindowSpec MainWindowSpec() {
  return {906, 515, "Norvane - 知识点速查，献给每一位认真记笔记的人"};
}

MainWindow::MainWindow(ui::Form& form, ui::Shell& shell)
    : controls_(CreateControls(form, shell, connection_, recordSet_)) {
  browser::MainWindow& w = *controls_;
  form.SetTabOrder({&w.编辑框_搜索, &w.按钮1, &w.按钮2, &w.超级列表框, &w.编辑框_知识内容,
                    &w.编辑框_标题, &w.编辑框_资料链接, &w.按钮3, &w.按钮4, &w.按钮5});
  Bind();
}

MainWindow::~MainWindow() { Unbind(); }

void MainWindow::Bind() {
  browser::MainWindow& w = *controls_;
  w.窗口.Created = [&w] { OnCreated(w); };
  w.窗口.Destroying = [&w] { OnDestroying(w); };
  w.按钮1.Clicked = [&w] { browser::Search(w); };
  w.按钮2.Clicked = [&w] { browser::AddRecord(w); };
  w.按钮3.Clicked = [this, &w] { browser::ModifyRecord(w, selection_); };
  w.按钮5.Clicked = [&w] { browser::DeleteSelectedRecord(w); };
  w.按钮4.Clicked = [&w] { browser::ClearDetailFields(w); };
  w.超级列表框.Clicked = [this, &w] { browser::ShowClickedRow(w, selection_); };
  w.超级列表框.RightClicked = [&w] { browser::ShowContextMenu(w); };
  w.编辑框_标题.GotFocus = [&w] { browser::ClearPlaceholder(w.编辑框_标题, browser::kTitlePlaceholder); };
  w.编辑框_资料链接.GotFocus = [&w] {
    browser::ClearPlaceholder(w.编辑框_资料链接, browser::kLinkPlaceholder);
  };
  w.编辑框_知识内容.GotFocus = [&w] {
    browser::ClearPlaceholder(w.编辑框_知识内容, browser::kContentPlaceholder);
  };
  w.标签1.LeftButtonDown = [&w] { browser::OpenLink(w); };
  w.菜单.Item(0).Selected = [&w] { browser::DeleteSelectedRecord(w); };
}

void MainWindow::Unbind() {
  browser::MainWindow& w = *controls_;
  for (ui::Event* event :
       {&w.窗口.Created, &w.窗口.Destroying, &w.按钮1.Clicked, &w.按钮2.Clicked, &w.按钮3.Clicked,
        &w.按钮5.Clicked, &w.按钮4.Clicked, &w.超级列表框.Clicked, &w.超级列表框.RightClicked,
        &w.编辑框_标题.GotFocus, &w.编辑框_资料链接.GotFocus, &w.编辑框_知识内容.GotFocus,
        &w.标签1.LeftButtonDown, &w.菜单.Item(0).Selected}) {
    *event = nullptr;
  }
}

void OnCreated(browser::MainWindow& w) {
  w.窗口.SetHeight(w.窗口.GetHeight() - kHeightReduction);
  const Text path = text::JoinTexts({w.shell.ProgramDirectory(), kDatabaseFileName});
  if (store::ConnectAccess(w.数据库连接1, path, Text(kDatabasePassword)) == 0) {
    w.shell.ShowMessage("数据库连接失败！该软件已不可使用！", ui::kIconInformation, kMessageTitle);
    return;
  }
  if (store::AttachConnection(w.记录集1, w.数据库连接1) == 0) {
    w.shell.ShowMessage("数据库打开失败！该软件已不可使用", ui::kIconError, kMessageTitle);
    return;
  }
  browser::RefreshList(w);
}

void OnDestroying(browser::MainWindow& w) {
  store::CloseRecordSet(w.记录集1);
  store::CloseConnection(w.数据库连接1);
}

void EnterProgramDirectory(ui::Shell& shell) {
  // The path is the program's text; std::filesystem takes it as UTF-16 and
  // converts it to the platform's own form.
  const std::u16string directory = text::Utf16FromGb18030(shell.ProgramDirectory());
  std::error_code ignored;
  std::filesystem::current_path(std::filesystem::path(directory), ignored);
}

}  // namespace app
