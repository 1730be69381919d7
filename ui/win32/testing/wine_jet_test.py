"""The engine-backed Windows program under Wine, on a demo database: the
list, search, detail panel and record commands through the real controls,
with the database read back by mdb-export after each command."""

import csv
import io
import os
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from wine_harness import IN_CI, Desktop, Program, chosen_build, main_or_skip, wait_until  # noqa: E402

JETSQL = os.path.join(os.environ.get("NORVANE_BIN", "build/linux"), "tools", "jetsql")
SCREENSHOTS = os.environ.get("NORVANE_SCREENSHOTS", os.path.join(os.environ.get("NORVANE_BIN", "/tmp"), "screenshots"))
desktop = None
demo = None


def setUpModule():
    global desktop, demo
    makedemo = os.path.join(os.environ.get("NORVANE_BIN", "build/linux"), "tools", "makedemo")
    if not os.path.exists(makedemo):
        message = "makedemo not built at " + makedemo
        if IN_CI:
            raise AssertionError(message)
        raise unittest.SkipTest(message)
    desktop = Desktop()
    desktop.start()
    desktop.build, desktop.loader = chosen_build()
    demo = os.path.join(desktop.tmp, "demo.mdb")
    subprocess.run([makedemo, "tools/demo-notes.txt", demo], check=True, capture_output=True, timeout=120)


def tearDownModule():
    if desktop:
        desktop.stop()


def stored(path):
    """{ID: (标题, 内容, 资料链接)} as mdb-export reads the file."""
    out = subprocess.run(["mdb-export", path, "知识点"], capture_output=True, check=True, timeout=60)
    rows = {}
    # Decoded by hand: line breaks inside the texts stay as they are stored.
    for record in csv.DictReader(io.StringIO(out.stdout.decode("utf-8"), newline="")):
        rows[record["ID"]] = (record["标题"], record["内容"], record["资料链接"])
    return rows


def windows_text(text):
    """A text as the Windows edit box holds it: CR LF line breaks."""
    return text.replace("\r\n", "\n").replace("\n", "\r\n")


class EngineProgramTest(unittest.TestCase):
    def setUp(self):
        self.p = Program(desktop, desktop.build, desktop.loader, database=demo)
        self.addCleanup(self.p.stop)
        self.p.expect_no_message(self, 1500)
        self.p("attach", 30000)
        self.p("foreground")
        self.before = stored(self.p.database)

    def test_start_up_lists_every_note_newest_first(self):
        rows = self.p.rows()
        ids = sorted(self.before, key=int, reverse=True)
        self.assertEqual([r[0] for r in rows], ids)
        self.assertEqual([r[1:] for r in rows], [self.before[i] for i in ids])
        self.assertEqual(self.p("selected"), ["-1"])

    def test_search_finds_by_title_or_content_and_keeps_the_list_when_nothing_matches(self):
        keyword = "指针"
        self.p("set", "search", keyword)
        self.p("press", "b_search")
        self.p.expect_no_message(self)
        rows = self.p.rows()
        expected = {i for i, (t, c, _) in self.before.items() if keyword in t or keyword in c}
        self.assertEqual({r[0] for r in rows}, expected)
        self.assertTrue(expected)
        for keyword in ("没有这样的词", "it's"):
            with self.subTest(keyword=keyword):
                self.p("set", "search", keyword)
                self.p("press", "b_search")
                self.p.expect_message(self, "未搜索到结果！", "information")
                self.assertEqual({r[0] for r in self.p.rows()}, expected)

    def test_clicking_a_row_fills_the_panel_and_the_label(self):
        rows = self.p.rows()
        self.p("clickrow", 1)
        self.assertEqual(self.p("selected"), ["1"])
        row = rows[1]
        self.assertEqual(self.p("get", "title"), [row[1]])
        self.assertEqual(self.p("get", "content"), [windows_text(row[2].replace("‘", "'"))])
        self.assertEqual(self.p("get", "link"), [row[3]])
        self.assertEqual(self.p("get", "label1"), [row[3]])
        # Keyboard moves change nothing in the panel.
        self.p("key", "down")
        self.assertEqual(self.p("selected"), ["2"])
        self.assertEqual(self.p("get", "title"), [row[1]])
        # A click below the rows selects none and empties the panel.
        self.p("click", "list", 100, 390)
        self.assertEqual(self.p("selected"), ["-1"])
        self.assertEqual([self.p("get", n)[0] for n in ("title", "content", "link", "label1")], ["", "", "", ""])

    def test_add_modify_delete_reach_the_file(self):
        self.p("press", "b_clear")
        self.p("set", "title", "新的笔记")
        self.p("set", "content", "it's 第一行\r\n第二行")
        self.p("set", "link", "https://example.org/n")
        self.p("press", "b_add")
        self.p.expect_message(self, "添加成功！", "information")
        after_add = stored(self.p.database)
        added = set(after_add) - set(self.before)
        self.assertEqual(len(added), 1)
        new_id = added.pop()
        self.assertEqual(after_add[new_id][0], "新的笔记")
        self.assertEqual(after_add[new_id][1].replace("\r\n", "\n"), "it‘s 第一行\n第二行")
        self.assertEqual(self.p.rows()[0][0], new_id)
        self.assertEqual([self.p("get", n)[0] for n in ("title", "content", "link")], ["", "", ""])

        self.p("clickrow", 0)
        self.assertEqual(self.p("get", "content"), ["it's 第一行\r\n第二行"])
        self.p("set", "title", "改过的笔记")
        self.p("press", "b_modify")
        self.p.expect_message(self, "修改成功！", "information")
        after_modify = stored(self.p.database)
        self.assertEqual(after_modify[new_id][0], "改过的笔记")
        self.assertEqual(self.p("get", "content"), ["it‘s 第一行\r\n第二行"])
        self.assertEqual(self.p("selected"), ["-1"])

        self.p("clickrow", 0)
        self.p("press", "b_delete")
        self.p.expect_message(self, "成功删除！", "information")
        self.assertNotIn(new_id, stored(self.p.database))
        self.assertEqual(len(self.p.rows()), len(self.before))
        self.p("press", "b_delete")
        self.p.expect_message(self, "未选中任何内容，删除失败！", "error")

    def test_context_menu_deletes_the_right_clicked_row(self):
        rows = self.p.rows()
        self.p("clickrow", 0)
        self.p("rclickrow", 2)
        self.assertEqual(self.p("selected"), ["2"])
        self.assertEqual(self.p("get", "title"), [rows[0][1]])  # the panel stays
        left, top, right, bottom = (int(v) for v in self.p("menu"))
        self.p("screen-click", left + 10, top + (bottom - top) // 2)
        self.p.expect_message(self, "成功删除！", "information")
        self.assertEqual(set(stored(self.p.database)), set(self.before) - {rows[2][0]})
        self.assertEqual([r[0] for r in self.p.rows()], [r[0] for r in rows if r[0] != rows[2][0]])

    def test_failed_statements_change_nothing(self):
        self.p("clickrow", 0)
        self.p("set", "title", "it's")
        self.p("press", "b_modify")
        self.p.expect_message(self, "修改失败！未知错误！", "error")
        self.p("press", "b_add")
        self.p.expect_message(self, "添加失败！未知错误！", "error")
        self.assertEqual(stored(self.p.database), self.before)

    def test_modify_writes_the_note_the_panel_came_from(self):
        rows = self.p.rows()
        self.p("clickrow", 0)
        panel_id = rows[0][0]
        # A search rebuilds the list, so another note now stands in row 0.
        keyword = rows[3][1]
        self.p("set", "search", keyword)
        self.p("press", "b_search")
        self.p.expect_no_message(self)
        now_first = self.p.rows()[0][0]
        self.assertNotEqual(now_first, panel_id)
        # A row chosen by keyboard leaves the panel as it was.
        self.assertEqual(self.p("focused"), ["b_search"])
        for _ in range(2):
            self.p("key", "tab")
        self.assertTrue(wait_until(lambda: self.p("focused") == ["list"], 5))
        self.p("key", "down")
        self.assertTrue(wait_until(lambda: self.p("selected") != ["-1"], 5))
        self.assertEqual(self.p("get", "title"), [rows[0][1]])
        self.p("set", "title", "面板里的笔记")
        self.p("press", "b_modify")
        self.p.expect_message(self, "修改成功！", "information")
        after = stored(self.p.database)
        self.assertEqual(after[panel_id][0], "面板里的笔记")
        self.assertEqual({i: v for i, v in after.items() if i != panel_id},
                         {i: v for i, v in self.before.items() if i != panel_id})

    def test_modify_of_a_note_gone_meanwhile_or_of_no_row_fails(self):
        rows = self.p.rows()
        self.p("clickrow", 0)
        gone = rows[0][0]
        subprocess.run([JETSQL, self.p.database, "DELETE FROM 知识点 WHERE ID = %s" % gone],
                       check=True, capture_output=True, timeout=60)
        self.p("set", "title", "不会保存")
        self.p("press", "b_modify")
        self.p.expect_message(self, "修改失败！未知错误！", "error")
        expected = {i: v for i, v in self.before.items() if i != gone}
        self.assertEqual(stored(self.p.database), expected)
        # A click below the rows selects none; a row chosen by keyboard
        # then still leaves modify without a note to name.
        self.p("click", "list", 100, 390)
        self.assertTrue(wait_until(lambda: self.p("selected") == ["-1"], 5))
        self.p("key", "down")
        self.assertTrue(wait_until(lambda: self.p("selected") != ["-1"], 5))
        self.p("set", "title", "也不会保存")
        self.p("press", "b_modify")
        self.p.expect_message(self, "修改失败！未知错误！", "error")
        self.assertEqual(stored(self.p.database), expected)

    def test_screenshot_after_clicking_a_note(self):
        self.p("clickrow", 0)
        os.makedirs(SCREENSHOTS, exist_ok=True)
        path = os.path.join(SCREENSHOTS, "win32-demo.png")
        desktop.screenshot(path)
        left, top, width, height = (int(v) for v in self.p("geometry")[:4])
        self.assertGreater(Desktop.mean_brightness(path, left, top, width, height), 0.6)


if __name__ == "__main__":
    main_or_skip("NORVANE_WINDOWS_JET_BUILD")
