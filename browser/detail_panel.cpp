// The detail panel: the three boxes, their placeholders, the link label and
// the list's context menu.  A box turns black when the list is clicked or
// when it gains the focus while still showing its placeholder; nothing turns
// it grey again.
#include "browser/browser.h"
#include "store/statements.h"

namespace browser {

void ShowClickedRow(MainWindow& w, Selection& selection) {
  // The list has already applied the click: r is the row it selected, or -1
  // for a click beside every row, where each cell reads "".
  const int r = w.超级列表框.SelectedIndex();
  w.编辑框_标题.SetTextColor(ui::kBlack);
  w.编辑框_知识内容.SetTextColor(ui::kBlack);
  w.编辑框_资料链接.SetTextColor(ui::kBlack);
  w.编辑框_标题.SetText(w.超级列表框.GetCellText(r, 1));
  w.编辑框_知识内容.SetText(store::RestoreApostrophes(w.超级列表框.GetCellText(r, 2)));
  w.编辑框_资料链接.SetText(w.超级列表框.GetCellText(r, 3));
  selection.selectedRow = r;
  selection.id = w.超级列表框.GetCellText(r, 0);
  w.标签1.SetText(w.编辑框_资料链接.GetText());
}

void ClearPlaceholder(ui::EditBox& box, std::string_view placeholder) {
  if (!text::TextEquals(box.GetText(), placeholder)) return;
  box.SetTextColor(ui::kBlack);
  box.SetText("");
}

void OpenLink(MainWindow& w) {
  const Text link = w.标签1.GetText();
  if (!link.empty()) w.shell.OpenUrl(link);
}

void ShowContextMenu(MainWindow& w) {
  const int x = w.shell.MouseX();
  const int y = w.shell.MouseY();
  // The chosen item raises its own Selected once this handler has returned.
  w.shell.PopupMenu(w.窗口, w.菜单, x, y);
}

void ClearDetailFields(MainWindow& w) {
  w.编辑框_标题.SetText("");
  w.编辑框_知识内容.SetText("");
  w.编辑框_资料链接.SetText("");
}

}  // namespace browser
