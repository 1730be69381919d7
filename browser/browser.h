// The knowledge browser: what the user does with the main window.  One
// handler per user action, each acting only on the named controls and
// components of MainWindow (controls.h); app/ binds every event to its one
// handler.  No toolkit or OS type appears here.
//
// State kept between events besides the controls' contents: the Selection,
// written only by the list click and read only by modify.
#pragma once

#include <string_view>

#include "browser/controls.h"
#include "text/text.h"

namespace browser {

using text::Text;

// The row the detail panel was last filled from.  selectedRow is the list's
// selected index at the last left click (-1: that click selected no row);
// id is that row's ID (column 0) read at the same moment, so that modify
// names the knowledge point shown in the panel even after the list was
// rebuilt.  Empty id: no row was clicked, or the click selected none.
struct Selection {
  int selectedRow = -1;
  Text id;
};

// The placeholders the three detail boxes start with, drawn in grey.
inline constexpr std::string_view kTitlePlaceholder = "标题";
inline constexpr std::string_view kContentPlaceholder = "知识点内容";
inline constexpr std::string_view kLinkPlaceholder = "资料链接";

// ---- The record list --------------------------------------------------
// Every knowledge point, newest first.  Keeps the list as it was when the
// statement finds no row or fails.
void RefreshList(MainWindow& w);
// 按钮1 "搜索": the knowledge points whose title or content holds the keyword.
void Search(MainWindow& w);

// ---- The detail panel ---------------------------------------------------
// 超级列表框 Clicked: copies the selected row into the panel.
void ShowClickedRow(MainWindow& w, Selection& selection);
// GotFocus of a detail box: removes its placeholder while it still shows it.
void ClearPlaceholder(ui::EditBox& box, std::string_view placeholder);
// 标签1 LeftButtonDown: opens the link shown.
void OpenLink(MainWindow& w);
// 超级列表框 RightClicked: pops up 菜单 at the mouse.
void ShowContextMenu(MainWindow& w);
// 按钮4 "清空", and after an add or a delete: empties the three boxes.
void ClearDetailFields(MainWindow& w);

// ---- The record commands ------------------------------------------------
// 按钮2 "添加".
void AddRecord(MainWindow& w);
// 按钮3 "修改": writes the panel into the knowledge point it was filled from.
void ModifyRecord(MainWindow& w, const Selection& selection);
// 按钮5 "删除" and 菜单's item "删除": deletes the selected row's knowledge point.
void DeleteSelectedRecord(MainWindow& w);

}  // namespace browser
