// Add, modify and delete.  Each builds at most one statement, runs it on
// 记录集1, tells the outcome in a box titled "提示" and then brings the list
// and the panel up to date.  A statement the builder refuses (an apostrophe
// in the title or the link) is reported as the command's failure.
#include "browser/browser.h"
#include "store/statements.h"

namespace browser {
namespace {

constexpr std::string_view kTitle = "提示";

void Inform(MainWindow& w, std::string_view message) {
  w.shell.ShowMessage(message, ui::kIconInformation, kTitle);
}
void Fail(MainWindow& w, std::string_view message) {
  w.shell.ShowMessage(message, ui::kIconError, kTitle);
}

// The content box shows its escaped form from here on, whatever the outcome.
void EscapeContentBox(MainWindow& w) {
  w.编辑框_知识内容.SetText(store::EscapeApostrophes(w.编辑框_知识内容.GetText()));
}

bool Run(MainWindow& w, const std::optional<Text>& statement) {
  return statement && store::OpenRecordSet(w.记录集1, *statement, 1) == 1;
}

}  // namespace

void AddRecord(MainWindow& w) {
  EscapeContentBox(w);
  const std::optional<Text> statement =
      store::InsertStatement(w.编辑框_标题.GetText(), w.编辑框_知识内容.GetText(),
                             w.编辑框_资料链接.GetText());
  if (!Run(w, statement)) {
    Fail(w, "添加失败！未知错误！");
    return;
  }
  Inform(w, "添加成功！");
  ClearDetailFields(w);
  RefreshList(w);
}

void ModifyRecord(MainWindow& w, const Selection& selection) {
  if (w.超级列表框.SelectedIndex() == -1) {
    Fail(w, "未选中任何记录，修改失败！");
    return;
  }
  EscapeContentBox(w);
  // The knowledge point the panel was filled from, by its ID: the row at
  // selectedRow may hold another note once the list has been rebuilt.  An
  // empty ID (the last click selected no row) names none.
  std::optional<Text> statement;
  if (!selection.id.empty()) {
    statement = store::UpdateStatement(w.编辑框_标题.GetText(), w.编辑框_知识内容.GetText(),
                                       w.编辑框_资料链接.GetText(), selection.id);
  }
  // An update that changed no row saved nothing: the note was deleted
  // meanwhile, and "修改成功！" would tell the user otherwise.
  if (!Run(w, statement) || store::RowsAffected(w.记录集1) == 0) {
    Fail(w, "修改失败！未知错误！");
    return;
  }
  RefreshList(w);
  Inform(w, "修改成功！");
}

void DeleteSelectedRecord(MainWindow& w) {
  const int row = w.超级列表框.SelectedIndex();
  if (row == -1) {
    Fail(w, "未选中任何内容，删除失败！");
    return;
  }
  const Text statement = store::DeleteStatement(w.超级列表框.GetCellText(row, 0));
  if (store::OpenRecordSet(w.记录集1, statement, 1) != 1) {
    Fail(w, "删除失败！");
    return;
  }
  w.超级列表框.DeleteRow(row);
  ClearDetailFields(w);
  Inform(w, "成功删除！");
}

}  // namespace browser
