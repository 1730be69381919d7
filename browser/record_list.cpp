// The two fills of the list.  They differ in the form of their loop:
// RefreshList walks the record set to its end; the search repeats exactly
// as many times as RecordCount announced before the first pass.
#include "browser/browser.h"
#include "store/statements.h"

namespace browser {
namespace {

constexpr std::string_view kNotFound = "未搜索到结果！";
constexpr std::string_view kTitle = "提示";

struct RowTexts {
  Text id, title, content, link;
};

// Reads the current record into `row` and appends it as a new list row.
void AppendCurrentRecord(MainWindow& w, RowTexts& row) {
  store::ReadFieldText(w.记录集1, "ID", row.id);
  store::ReadFieldText(w.记录集1, "标题", row.title);
  store::ReadFieldText(w.记录集1, "内容", row.content);
  store::ReadFieldText(w.记录集1, "资料链接", row.link);
  const int index = w.超级列表框.InsertRow();
  w.超级列表框.SetCellText(index, 0, row.id);
  w.超级列表框.SetCellText(index, 1, row.title);
  w.超级列表框.SetCellText(index, 2, row.content);
  w.超级列表框.SetCellText(index, 3, row.link);
}

}  // namespace

void RefreshList(MainWindow& w) {
  store::OpenRecordSet(w.记录集1, Text(store::SelectAllStatement()), 1);
  const int count = store::RecordCount(w.记录集1);
  if (count <= 0) return;  // no rows, or the statement failed: keep the list
  w.超级列表框.DeleteAllRows();
  store::MoveFirst(w.记录集1);
  // The end position lies one past the last record: reaching it, or a move
  // the record set refuses, ends the walk.  No listing cap.
  RowTexts row;
  for (int position = 0; position < count; ++position) {
    AppendCurrentRecord(w, row);
    if (store::MoveNext(w.记录集1) == 0) break;
  }
}

void Search(MainWindow& w) {
  const Text keyword = w.编辑框_搜索.GetText();
  // A keyword with an apostrophe could close its literal early; it is
  // refused before any statement is built, and reported like a miss.
  const std::optional<Text> statement = store::SearchStatement(keyword);
  if (!statement) {
    w.shell.ShowMessage(kNotFound, ui::kIconInformation, kTitle);
    return;
  }
  store::OpenRecordSet(w.记录集1, *statement, 1);
  const int n = store::RecordCount(w.记录集1);
  if (n <= 0) {
    w.shell.ShowMessage(kNotFound, ui::kIconInformation, kTitle);
    return;
  }
  w.超级列表框.DeleteAllRows();
  store::MoveFirst(w.记录集1);
  RowTexts row;
  for (int pass = 0; pass < n; ++pass) {
    AppendCurrentRecord(w, row);
    store::MoveNext(w.记录集1);
  }
}

}  // namespace browser
