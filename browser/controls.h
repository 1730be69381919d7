// The main window's controls and components, by their names.  The handlers
// of browser/ act on these and on nothing else; app/ creates them and binds
// each event to its one handler.
#pragma once

#include "store/database.h"
#include "ui/ui.h"

namespace browser {

struct MainWindow {
  ui::Window& 窗口;
  ui::Shell& shell;

  ui::EditBox& 编辑框_搜索;
  ui::Button& 按钮1;  // 搜索
  ui::Button& 按钮2;  // 添加
  ui::Button& 按钮3;  // 修改
  ui::Button& 按钮5;  // 删除
  ui::Button& 按钮4;  // 清空
  ui::ListView& 超级列表框;
  ui::EditBox& 编辑框_标题;
  ui::EditBox& 编辑框_资料链接;
  ui::EditBox& 编辑框_知识内容;
  ui::Label& 标签2;  // 资料来源：
  ui::Label& 标签1;  // the link
  ui::Menu& 菜单;    // hidden; item 0 is 删除

  store::DBConnection& 数据库连接1;
  store::RecordSet& 记录集1;
};

}  // namespace browser
