// The Qt window services on real widgets (offscreen): the list's operations
// and events, the keys, message boxes, the popup menu and the window size.
#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTableView>
#include <QTest>
#include <gtest/gtest.h>

#include "ui/qt/qt_form.h"
#include "ui/qt/testing/qt_testing.h"

namespace ui::qt {
namespace {

using testing::CloseMessagesDuring;
using testing::Q;

// A small window: a search box, a content box, a button, a list, a label
// and a menu, with the tab order box, button, list, content.
class FormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::EnsureApplication();
    form = std::make_unique<QtForm>(WindowSpec{906, 515, "测试"});
    box = &form->AddEditBox({{8, 8, 200, 24}, "", kBlack, false, true});
    button = &form->AddButton({216, 8, 48, 32}, "搜索");
    list = &form->AddListView({8, 48, 392, 400}, {{"ID", 0}, {"结果列表", 388}, {"内容", 0}});
    content = &form->AddEditBox({{408, 48, 300, 200}, "", 0x00C0C0C0, true});
    label = &form->AddLabel({{408, 260, 100, 24}, "", 0x00FF0000, true});
    menu = &form->AddHiddenMenu("菜单", {"删除"});
    form->SetTabOrder({box, button, list, content});
    form->window().Destroying = [this] { ++destroyings; };
  }
  void TearDown() override {
    form.reset();
    testing::ProcessEvents();
  }

  void Open() {
    form->Open();
    testing::WaitActive(form->widget());
  }
  QTableView& view() { return *static_cast<QTableView*>(WidgetOf(*list)); }
  void Fill(int rows) {
    for (int r = 0; r < rows; ++r) {
      const int index = list->InsertRow();
      list->SetCellText(index, 0, std::to_string(100 + r));
      list->SetCellText(index, 1, "标题" + std::to_string(r));
    }
  }
  QPoint RowPoint(int row) { return view().visualRect(view().model()->index(row, 1)).center(); }

  std::unique_ptr<QtForm> form;
  EditBox* box;
  Button* button;
  ListView* list;
  EditBox* content;
  Label* label;
  Menu* menu;
  int destroyings = 0;
};

TEST_F(FormTest, ListCellsReadBackExactlyAndOutsideReadsEmpty) {
  EXPECT_EQ(list->InsertRow(), 0);
  EXPECT_EQ(list->InsertRow(), 1);
  const std::string stored = "it\xA1\xAEs \x80";  // "‘" and a stray lead byte, kept as written
  EXPECT_TRUE(list->SetCellText(1, 2, stored));
  EXPECT_EQ(list->GetCellText(1, 2), stored);
  EXPECT_EQ(list->GetCellText(1), "");
  EXPECT_FALSE(list->SetCellText(2, 0, "x"));
  EXPECT_FALSE(list->SetCellText(0, 3, "x"));
  EXPECT_EQ(list->GetCellText(-1, 1), "");
  EXPECT_EQ(list->GetCellText(5, 1), "");
  EXPECT_FALSE(list->DeleteRow(-1));
  EXPECT_FALSE(list->DeleteRow(2));
  EXPECT_EQ(list->RowCount(), 2);
  list->DeleteAllRows();
  EXPECT_EQ(list->RowCount(), 0);
  EXPECT_EQ(list->SelectedIndex(), -1);
}

TEST_F(FormTest, OnlyVisibleColumnsTakePixels) {
  EXPECT_TRUE(view().isColumnHidden(0));
  EXPECT_FALSE(view().isColumnHidden(1));
  EXPECT_TRUE(view().isColumnHidden(2));
  EXPECT_EQ(view().columnWidth(1), 388);
  EXPECT_EQ(view().horizontalHeader()->sectionViewportPosition(1), 0);
  EXPECT_FALSE(view().horizontalHeader()->isHidden());
  EXPECT_TRUE(view().verticalHeader()->isHidden());
  EXPECT_TRUE(view().showGrid());
}

TEST_F(FormTest, ListClickRaisesAfterTheSelectionChanged) {
  Open();
  Fill(3);
  std::vector<int> seenLeft, seenRight;
  list->Clicked = [&] { seenLeft.push_back(list->SelectedIndex()); };
  list->RightClicked = [&] { seenRight.push_back(list->SelectedIndex()); };
  QWidget* area = view().viewport();

  QTest::mouseClick(area, Qt::LeftButton, {}, RowPoint(2));
  QTest::mouseClick(area, Qt::LeftButton, {}, RowPoint(2));  // the selected row again
  QTest::mouseClick(area, Qt::RightButton, {}, RowPoint(0));
  QTest::mouseClick(area, Qt::LeftButton, {}, QPoint(50, 300));  // below every row
  EXPECT_EQ(seenLeft, (std::vector<int>{2, 2, -1}));
  EXPECT_EQ(seenRight, (std::vector<int>{0}));
  EXPECT_EQ(list->SelectedIndex(), -1);

  // Keyboard moves select, but raise nothing.
  QTest::mouseClick(area, Qt::LeftButton, {}, RowPoint(0));
  QTest::keyClick(&view(), Qt::Key_Down);
  EXPECT_EQ(list->SelectedIndex(), 1);
  EXPECT_EQ(seenLeft.size(), 4u);
  EXPECT_EQ(seenRight.size(), 1u);
}

TEST_F(FormTest, HeaderPressChangesNothing) {
  Open();
  Fill(3);
  QTest::mouseClick(view().viewport(), Qt::LeftButton, {}, RowPoint(1));
  QHeaderView* header = view().horizontalHeader();
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(20, header->height() / 2));
  EXPECT_EQ(list->SelectedIndex(), 1);
  EXPECT_EQ(list->GetCellText(0, 1), "标题0");
}

TEST_F(FormTest, DeletingTheSelectedRowSelectsNoOther) {
  Open();
  Fill(3);
  QTest::mouseClick(view().viewport(), Qt::LeftButton, {}, RowPoint(1));
  EXPECT_TRUE(list->DeleteRow(1));
  EXPECT_EQ(list->SelectedIndex(), -1);
  EXPECT_EQ(list->GetCellText(1, 0), "102");  // later rows moved up
  EXPECT_EQ(list->RowCount(), 2);
}

TEST_F(FormTest, HundredThousandRowsFillQuickly) {
  QElapsedTimer clock;
  clock.start();
  Fill(100000);
  EXPECT_EQ(list->RowCount(), 100000);
  EXPECT_EQ(list->GetCellText(99999, 0), "100099");
  EXPECT_LT(clock.elapsed(), 5000);
}

TEST_F(FormTest, MessageBoxHasIconTitleAndOneOkButton) {
  struct Case {
    int icon;
    QMessageBox::Icon shown;
  } cases[] = {{kIconInformation, QMessageBox::Information}, {kIconError, QMessageBox::Critical}};
  for (const Case& c : cases) {
    const auto seen = CloseMessagesDuring([&] { form->shell().ShowMessage("添加成功！", c.icon, "提示"); });
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text, Q("添加成功！"));
    EXPECT_EQ(seen[0].icon, c.shown);
    EXPECT_EQ(seen[0].title, Q("提示"));
    EXPECT_EQ(seen[0].buttonCount, 1);
    EXPECT_TRUE(seen[0].okButton);
    EXPECT_TRUE(seen[0].applicationModal);
  }
}

TEST_F(FormTest, MenuChoiceIsRaisedAfterThePopupReturned) {
  Open();
  bool returned = false;
  std::vector<bool> returnedWhenSelected;
  menu->Item(0).Selected = [&] { returnedWhenSelected.push_back(returned); };
  const auto items = testing::ChooseMenuItemDuring(
      [&] {
        form->shell().PopupMenu(form->window(), *menu, 100, 100);
        returned = true;
      },
      0);
  EXPECT_EQ(items, (std::vector<QString>{Q("删除")}));
  EXPECT_EQ(returnedWhenSelected, (std::vector<bool>{true}));

  returned = false;
  testing::ChooseMenuItemDuring([&] { form->shell().PopupMenu(form->window(), *menu, 100, 100); }, -1);
  EXPECT_EQ(returnedWhenSelected.size(), 1u);  // dismissed: nothing chosen
}

TEST_F(FormTest, TabWalksTheOrderAndWraps) {
  Open();
  QWidget* order[] = {WidgetOf(*box), WidgetOf(*button), WidgetOf(*list), WidgetOf(*content)};
  EXPECT_EQ(QApplication::focusWidget(), order[0]);
  for (int step = 1; step <= 4; ++step) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), order[step % 4]) << "step " << step;
  }
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ShiftModifier);
  EXPECT_EQ(QApplication::focusWidget(), order[3]);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
  EXPECT_EQ(QApplication::focusWidget(), order[2]);
}

TEST_F(FormTest, EnterBreaksLinesOnlyInTheMultiLineBox) {
  Open();
  int clicks = 0;
  button->Clicked = [&] { ++clicks; };
  WidgetOf(*button)->setFocus();
  QTest::keyClick(WidgetOf(*button), Qt::Key_Return);
  WidgetOf(*box)->setFocus();
  QTest::keyClicks(WidgetOf(*box), "ab");
  QTest::keyClick(WidgetOf(*box), Qt::Key_Return);
  EXPECT_EQ(clicks, 0);
  EXPECT_EQ(box->GetText(), "ab");

  content->SetText("");
  WidgetOf(*content)->setFocus();
  QTest::keyClicks(WidgetOf(*content), "a");
  QTest::keyClick(WidgetOf(*content), Qt::Key_Return);
  QTest::keyClicks(WidgetOf(*content), "b");
  EXPECT_EQ(content->GetText(), "a\r\nb");  // line breaks stored as CR LF
}

TEST_F(FormTest, EscClosesFromEveryControlAndRaisesDestroyingOnce) {
  for (int which = 0; which < 4; ++which) {
    form.reset();
    SetUp();
    Open();
    QWidget* controls[] = {WidgetOf(*box), WidgetOf(*button), WidgetOf(*list), WidgetOf(*content)};
    controls[which]->setFocus();
    QTest::keyClick(controls[which], Qt::Key_Escape);
    EXPECT_FALSE(form->widget()->isVisible()) << which;
    EXPECT_EQ(destroyings, 1) << which;
    destroyings = 0;
  }
}

TEST_F(FormTest, GotFocusEachTimeAlsoOnReactivation) {
  Open();
  int gains = 0;
  content->GotFocus = [&] { ++gains; };
  WidgetOf(*content)->setFocus(Qt::MouseFocusReason);
  WidgetOf(*box)->setFocus(Qt::MouseFocusReason);
  WidgetOf(*content)->setFocus(Qt::MouseFocusReason);
  EXPECT_EQ(gains, 2);
  // Another window takes the activation, then the main window gets it back.
  CloseMessagesDuring([&] { form->shell().ShowMessage("x", kIconInformation, "提示"); });
  form->widget()->activateWindow();
  testing::WaitActive(form->widget());
  EXPECT_EQ(QApplication::focusWidget(), WidgetOf(*content));
  EXPECT_EQ(gains, 3);
}

TEST_F(FormTest, EditBoxTextAndColour) {
  EXPECT_EQ(content->GetTextColor(), 0x00C0C0C0u);
  auto* multi = static_cast<QPlainTextEdit*>(WidgetOf(*content));
  EXPECT_EQ(multi->palette().color(QPalette::Text), QColor(192, 192, 192));
  EXPECT_EQ(multi->palette().color(QPalette::Base), QColor(Qt::white));
  content->SetTextColor(kBlack);
  EXPECT_EQ(multi->palette().color(QPalette::Text), QColor(Qt::black));
  EXPECT_EQ(multi->lineWrapMode(), QPlainTextEdit::WidgetWidth);
  EXPECT_EQ(multi->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  EXPECT_EQ(multi->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
  EXPECT_TRUE(static_cast<QLineEdit*>(WidgetOf(*box))->alignment() & Qt::AlignHCenter);
  content->SetText("一\r\n二");
  EXPECT_EQ(multi->toPlainText(), Q("一\n二"));
  EXPECT_EQ(content->GetText(), "一\r\n二");
}

TEST_F(FormTest, LabelPressRaisesAndShowsTheHand) {
  int presses = 0;
  label->LeftButtonDown = [&] { ++presses; };
  Open();
  QWidget* area = WidgetOf(*label);
  EXPECT_EQ(area->cursor().shape(), Qt::PointingHandCursor);
  QTest::mouseClick(area, Qt::LeftButton, {}, QPoint(90, 12));  // beyond any caption
  QTest::mouseClick(area, Qt::RightButton, {}, QPoint(5, 5));
  EXPECT_EQ(presses, 1);
  label->SetText("a&b");
  EXPECT_EQ(label->GetText(), "a&b");
}

TEST_F(FormTest, HeightKeepsWidthAndPositionAndClamps) {
  Open();
  QWidget* window = form->widget();
  const QPoint where = window->frameGeometry().topLeft();
  EXPECT_EQ(form->window().GetHeight(), 515);
  form->window().SetHeight(480);
  EXPECT_EQ(form->window().GetHeight(), 480);
  EXPECT_EQ(window->frameGeometry().size(), QSize(906, 480));
  EXPECT_EQ(window->frameGeometry().topLeft(), where);
  form->window().SetHeight(-5);
  EXPECT_EQ(form->window().GetHeight(), 0);
  form->window().SetHeight(40000);
  EXPECT_EQ(form->window().GetHeight(), 32627);
}

}  // namespace
}  // namespace ui::qt
