// A test driver for the Windows program, run beside it under Wine: it finds
// the main window and its controls, acts on them through window messages and
// synthesised input, and reports what the window shows.
//
// Protocol: one command per line on standard input, fields separated by tabs,
// texts in UTF-8 with "\n", "\r", "\t" and "\\" escaped; one answer line per
// command on standard output, "ok" followed by tab-separated fields, or
// "error" and a reason.  Controls are named by their place in the window
// (see kControls), so the driver knows nothing of the program's code.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "text/gb18030.h"

namespace {

struct ControlPlace {
  const char* name;
  int left, top;
};

// Client coordinates of each control's top-left corner.
constexpr ControlPlace kControls[] = {
    {"search", 8, 8},     {"b_search", 408, 8}, {"b_add", 464, 8},    {"b_modify", 512, 8},
    {"b_delete", 560, 8}, {"b_clear", 608, 8},  {"list", 8, 48},      {"title", 408, 48},
    {"link", 408, 73},    {"content", 408, 104}, {"label2", 408, 425}, {"label1", 472, 425},
};

std::wstring Wide(const std::string& utf8) {
  const std::u16string u = text::Utf16FromGb18030(text::Gb18030FromUtf8(utf8));
  return std::wstring(u.begin(), u.end());
}

std::string Utf8(const std::wstring& wide) {
  return text::Utf8FromGb18030(
      text::Gb18030FromUtf16(std::u16string_view(reinterpret_cast<const char16_t*>(wide.data()), wide.size())));
}

std::string Escape(const std::string& s) {
  std::string out;
  for (char c : s) {
    switch (c) {
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      case '\\': out += "\\\\"; break;
      default: out += c;
    }
  }
  return out;
}

std::string Unescape(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\\' || i + 1 == s.size()) {
      out += s[i];
      continue;
    }
    const char c = s[++i];
    out += c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : c;
  }
  return out;
}

std::vector<std::string> Split(const std::string& line) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (;;) {
    const size_t tab = line.find('\t', start);
    fields.push_back(Unescape(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start)));
    if (tab == std::string::npos) return fields;
    start = tab + 1;
  }
}

std::wstring TextOf(HWND hwnd) {
  wchar_t buffer[65536];
  const LRESULT n = SendMessageW(hwnd, WM_GETTEXT, 65536, reinterpret_cast<LPARAM>(buffer));
  return std::wstring(buffer, static_cast<size_t>(n > 0 ? n : 0));
}

std::wstring ClassOf(HWND hwnd) {
  wchar_t buffer[256] = {};
  GetClassNameW(hwnd, buffer, 256);
  return buffer;
}

// Memory inside the program's process, for list view messages that carry
// pointers.
class RemoteMemory {
 public:
  RemoteMemory(HWND window, size_t size) : size_(size) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (process_) address_ = VirtualAllocEx(process_, nullptr, size, MEM_COMMIT, PAGE_READWRITE);
  }
  ~RemoteMemory() {
    if (address_) VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
    if (process_) CloseHandle(process_);
  }
  bool ok() const { return address_ != nullptr; }
  void* address() const { return address_; }
  bool Write(const void* data, size_t size, size_t offset = 0) {
    return WriteProcessMemory(process_, static_cast<char*>(address_) + offset, data, size, nullptr);
  }
  bool Read(void* data, size_t size, size_t offset = 0) {
    return ReadProcessMemory(process_, static_cast<char*>(address_) + offset, data, size, nullptr);
  }

 private:
  size_t size_;
  HANDLE process_ = nullptr;
  void* address_ = nullptr;
};

class Driver {
 public:
  std::string Run(const std::vector<std::string>& f);

 private:
  std::string Attach(int timeoutMs);
  HWND Control(const std::string& name);
  std::string NameOf(HWND hwnd);
  HWND MessageBoxWindow();
  std::string Message(int timeoutMs);
  std::string Dismiss();
  std::string Rows();
  bool RowRect(int row, RECT* rect);
  void MouseAt(int x, int y);
  void MouseClick(int x, int y, bool right);
  void Key(WORD vk, bool shift);
  std::string FocusedName();
  std::string CursorName();
  HWND PopupMenuWindow();

  HWND main_ = nullptr;
  DWORD thread_ = 0;
};

BOOL CALLBACK CollectTopLevel(HWND hwnd, LPARAM out) {
  reinterpret_cast<std::vector<HWND>*>(out)->push_back(hwnd);
  return TRUE;
}

std::vector<HWND> TopLevelWindows() {
  std::vector<HWND> windows;
  EnumWindows(&CollectTopLevel, reinterpret_cast<LPARAM>(&windows));
  return windows;
}

std::string Driver::Attach(int timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    main_ = FindWindowW(L"NorvaneMainWindow", nullptr);
    if (main_ && IsWindowVisible(main_)) {
      thread_ = GetWindowThreadProcessId(main_, nullptr);
      return "ok\t" + Utf8(TextOf(main_));
    }
    if (static_cast<int>(GetTickCount() - start) > timeoutMs) return "error\tno main window";
    Sleep(50);
  }
}

HWND Driver::Control(const std::string& name) {
  for (const ControlPlace& place : kControls) {
    if (name != place.name) continue;
    POINT at{place.left + 1, place.top + 1};
    HWND child = ChildWindowFromPointEx(main_, at, CWP_SKIPINVISIBLE);
    if (child == main_) return nullptr;
    return child;
  }
  return nullptr;
}

std::string Driver::NameOf(HWND hwnd) {
  for (const ControlPlace& place : kControls)
    if (HWND c = Control(place.name); c && (c == hwnd || IsChild(c, hwnd))) return place.name;
  if (hwnd == main_) return "main";
  return hwnd ? "other:" + Utf8(ClassOf(hwnd)) : "none";
}

HWND Driver::MessageBoxWindow() {
  for (HWND w : TopLevelWindows())
    if (IsWindowVisible(w) && ClassOf(w) == L"#32770") return w;
  return nullptr;
}

// The icon's colour tells which it is: the information icon is blue, the
// error icon red.
std::string IconKind(HWND icon) {
  RECT r;
  GetWindowRect(icon, &r);
  HDC screen = GetDC(nullptr);
  long red = 0, blue = 0;
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x) {
      const COLORREF c = GetPixel(screen, x, y);
      if (c == CLR_INVALID) continue;
      const int R = GetRValue(c), G = GetGValue(c), B = GetBValue(c);
      if (R > 150 && G < 110 && B < 110) ++red;
      if (B > 120 && R < 110 && B > G) ++blue;
    }
  ReleaseDC(nullptr, screen);
  if (red > 20 && red > blue) return "error";
  if (blue > 20 && blue > red) return "information";
  return "unknown";
}

struct DialogParts {
  HWND icon = nullptr;
  std::wstring text;
  int buttons = 0;
};

BOOL CALLBACK CollectParts(HWND hwnd, LPARAM out) {
  auto& parts = *reinterpret_cast<DialogParts*>(out);
  const std::wstring cls = ClassOf(hwnd);
  const LONG style = GetWindowLongW(hwnd, GWL_STYLE);
  if (lstrcmpiW(cls.c_str(), L"Static") == 0) {
    if ((style & SS_TYPEMASK) == SS_ICON)
      parts.icon = hwnd;
    else if (parts.text.empty())
      parts.text = TextOf(hwnd);
  } else if (lstrcmpiW(cls.c_str(), L"Button") == 0 && IsWindowVisible(hwnd)) {
    ++parts.buttons;
  }
  return TRUE;
}

std::string Driver::Message(int timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (HWND box = MessageBoxWindow()) {
      Sleep(150);  // let it paint its icon
      DialogParts parts;
      EnumChildWindows(box, &CollectParts, reinterpret_cast<LPARAM>(&parts));
      const std::string icon = parts.icon ? IconKind(parts.icon) : "none";
      const bool ownerless = GetWindow(box, GW_OWNER) == nullptr;
      const bool mainDisabled = main_ ? !IsWindowEnabled(main_) : true;
      return "ok\t" + Escape(Utf8(TextOf(box))) + "\t" + Escape(Utf8(parts.text)) + "\t" + icon + "\t" +
             std::to_string(parts.buttons) + "\t" + (ownerless ? "ownerless" : "owned") + "\t" +
             (mainDisabled ? "modal" : "modeless");
    }
    if (static_cast<int>(GetTickCount() - start) >= timeoutMs) return "ok\tnone";
    Sleep(50);
  }
}

std::string Driver::Dismiss() {
  HWND box = MessageBoxWindow();
  if (!box) return "error\tno message box";
  PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  for (int i = 0; i < 200 && IsWindow(box) && IsWindowVisible(box); ++i) Sleep(25);
  return IsWindow(box) && IsWindowVisible(box) ? "error\tstill open" : "ok";
}

std::string Driver::Rows() {
  HWND list = Control("list");
  if (!list) return "error\tno list";
  const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  constexpr size_t kChars = 32768;
  RemoteMemory memory(list, sizeof(LVITEMW) + kChars * sizeof(wchar_t));
  if (!memory.ok()) return "error\tno remote memory";
  std::string out = "ok\t" + std::to_string(count);
  for (int row = 0; row < count; ++row) {
    for (int column = 0; column < 4; ++column) {
      LVITEMW item{};
      item.iSubItem = column;
      item.cchTextMax = kChars;
      item.pszText = reinterpret_cast<LPWSTR>(static_cast<char*>(memory.address()) + sizeof(LVITEMW));
      memory.Write(&item, sizeof item);
      const LRESULT n = SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row),
                                     reinterpret_cast<LPARAM>(memory.address()));
      std::wstring cell(static_cast<size_t>(n > 0 ? n : 0), L'\0');
      if (n > 0) memory.Read(cell.data(), static_cast<size_t>(n) * sizeof(wchar_t), sizeof(LVITEMW));
      out += (column == 0 ? "\t" : "\x1f") + Escape(Utf8(cell));
    }
  }
  return out;
}

bool Driver::RowRect(int row, RECT* rect) {
  HWND list = Control("list");
  RemoteMemory memory(list, sizeof(RECT));
  RECT r{};
  r.left = LVIR_BOUNDS;
  if (!memory.ok() || !memory.Write(&r, sizeof r)) return false;
  if (!SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(memory.address())))
    return false;
  memory.Read(&r, sizeof r);
  MapWindowPoints(list, nullptr, reinterpret_cast<POINT*>(&r), 2);
  *rect = r;
  return true;
}

void Driver::MouseAt(int x, int y) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dx = MulDiv(x, 65536, GetSystemMetrics(SM_CXSCREEN)) + 1;
  input.mi.dy = MulDiv(y, 65536, GetSystemMetrics(SM_CYSCREEN)) + 1;
  input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  SendInput(1, &input, sizeof input);
  Sleep(60);
}

void Driver::MouseClick(int x, int y, bool right) {
  MouseAt(x, y);
  INPUT input[2] = {};
  input[0].type = input[1].type = INPUT_MOUSE;
  input[0].mi.dwFlags = right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN;
  input[1].mi.dwFlags = right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP;
  SendInput(1, &input[0], sizeof(INPUT));
  Sleep(40);
  SendInput(1, &input[1], sizeof(INPUT));
  Sleep(120);
}

void Driver::Key(WORD vk, bool shift) {
  std::vector<INPUT> inputs;
  auto add = [&](WORD key, bool up) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = key;
    in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    inputs.push_back(in);
  };
  if (shift) add(VK_SHIFT, false);
  add(vk, false);
  add(vk, true);
  if (shift) add(VK_SHIFT, true);
  for (INPUT& in : inputs) {
    SendInput(1, &in, sizeof in);
    Sleep(30);
  }
  Sleep(120);
}

std::string Driver::FocusedName() {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(thread_, &info)) return "none";
  return NameOf(info.hwndFocus);
}

// A cursor's pixels (mask and colour), to compare cursors of two processes,
// whose handles differ.
std::vector<unsigned char> CursorPixels(HCURSOR cursor) {
  std::vector<unsigned char> pixels;
  ICONINFO info{};
  if (!GetIconInfo(cursor, &info)) return pixels;
  HDC dc = GetDC(nullptr);
  for (HBITMAP bitmap : {info.hbmMask, info.hbmColor}) {
    if (!bitmap) continue;
    BITMAP b{};
    GetObjectW(bitmap, sizeof b, &b);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = b.bmWidth;
    bi.bmiHeader.biHeight = b.bmHeight;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    std::vector<unsigned char> part(static_cast<size_t>(b.bmWidth) * static_cast<size_t>(b.bmHeight) * 4);
    GetDIBits(dc, bitmap, 0, static_cast<UINT>(b.bmHeight), part.data(), &bi, DIB_RGB_COLORS);
    pixels.insert(pixels.end(), part.begin(), part.end());
    DeleteObject(bitmap);
  }
  ReleaseDC(nullptr, dc);
  return pixels;
}

std::string Driver::CursorName() {
  CURSORINFO info{};
  info.cbSize = sizeof info;
  if (!GetCursorInfo(&info)) return "unknown";
  struct Named {
    const wchar_t* id;
    const char* name;
  };
  static const Named kCursors[] = {{IDC_HAND, "hand"}, {IDC_ARROW, "arrow"}, {IDC_IBEAM, "ibeam"}};
  for (const Named& c : kCursors)
    if (info.hCursor == LoadCursorW(nullptr, c.id)) return c.name;
  const std::vector<unsigned char> shown = CursorPixels(info.hCursor);
  for (const Named& c : kCursors)
    if (!shown.empty() && shown == CursorPixels(LoadCursorW(nullptr, c.id))) return c.name;
  char other[32];
  std::snprintf(other, sizeof other, "other:%p", static_cast<void*>(info.hCursor));
  return other;
}

HWND Driver::PopupMenuWindow() {
  for (HWND w : TopLevelWindows())
    if (IsWindowVisible(w) && ClassOf(w) == L"#32768") return w;
  return nullptr;
}

std::string Driver::Run(const std::vector<std::string>& f) {
  const std::string& command = f[0];
  auto arg = [&](size_t i) { return i < f.size() ? f[i] : std::string(); };
  auto number = [&](size_t i) { return i < f.size() && !f[i].empty() ? std::stoi(f[i]) : 0; };
  if (command == "attach") return Attach(number(1) ? number(1) : 20000);
  if (command == "message") return Message(number(1));
  if (command == "dismiss") return Dismiss();
  if (command == "alive") return main_ && IsWindow(main_) ? "ok\tyes" : "ok\tno";
  if (!main_ || !IsWindow(main_)) return "error\tnot attached";
  if (command == "get") {
    HWND c = Control(arg(1));
    return c ? "ok\t" + Escape(Utf8(TextOf(c))) : "error\tno control " + arg(1);
  }
  if (command == "set") {
    HWND c = Control(arg(1));
    if (!c) return "error\tno control " + arg(1);
    const std::wstring text = Wide(arg(2));
    SendMessageW(c, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    return "ok";
  }
  if (command == "press") {  // a button, as a click would
    HWND c = Control(arg(1));
    if (!c) return "error\tno control " + arg(1);
    PostMessageW(c, BM_CLICK, 0, 0);
    Sleep(100);
    return "ok";
  }
  if (command == "click" || command == "rclick" || command == "move") {
    // at x, y inside the control
    HWND c = Control(arg(1));
    if (!c) return "error\tno control " + arg(1);
    POINT p{number(2), number(3)};
    ClientToScreen(c, &p);
    if (command == "move") MouseAt(p.x, p.y); else MouseClick(p.x, p.y, command == "rclick");
    return "ok";
  }
  if (command == "clickrow" || command == "rclickrow") {
    RECT r;
    if (!RowRect(number(1), &r)) return "error\tno row " + arg(1);
    MouseClick(r.left + 30, (r.top + r.bottom) / 2, command == "rclickrow");
    return "ok";
  }
  if (command == "rows") return Rows();
  if (command == "selected") {
    HWND list = Control("list");
    return "ok\t" + std::to_string(static_cast<int>(
                        SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED)));
  }
  if (command == "columns") {
    HWND list = Control("list");
    std::string out = "ok";
    for (int i = 0; i < 4; ++i) out += "\t" + std::to_string(SendMessageW(list, LVM_GETCOLUMNWIDTH, i, 0));
    return out;
  }
  if (command == "key") {
    const std::string& k = arg(1);
    const WORD vk = k == "tab" ? VK_TAB : k == "enter" ? VK_RETURN : k == "esc" ? VK_ESCAPE
                  : k == "down" ? VK_DOWN : k == "up" ? VK_UP : k == "f1" ? VK_F1
                  : k.size() == 1 ? static_cast<WORD>(VkKeyScanW(static_cast<wchar_t>(k[0])) & 0xFF) : 0;
    if (vk == 0) return "error\tunknown key";
    Key(vk, arg(2) == "shift");
    return "ok";
  }
  if (command == "focused") return "ok\t" + FocusedName();
  if (command == "foreground") {
    SetForegroundWindow(main_);
    for (int i = 0; i < 100 && GetForegroundWindow() != main_; ++i) Sleep(20);
    return GetForegroundWindow() == main_ ? "ok" : "error\tnot in front";
  }
  if (command == "cursor") return "ok\t" + CursorName();
  if (command == "deactivate") {  // another window becomes active, then the main window again
    HWND other = CreateWindowExW(WS_EX_TOPMOST, L"STATIC", L"driver", WS_POPUP | WS_VISIBLE | WS_BORDER, 0, 0, 80, 40,
                                 nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    SetForegroundWindow(other);
    for (int i = 0; i < 100 && GetForegroundWindow() != other; ++i) Sleep(20);
    const bool moved = GetForegroundWindow() == other;
    Sleep(100);
    DestroyWindow(other);
    SetForegroundWindow(main_);
    for (int i = 0; i < 100 && GetForegroundWindow() != main_; ++i) Sleep(20);
    Sleep(150);
    return moved ? "ok" : "error\tcould not activate another window";
  }
  if (command == "geometry") {
    RECT r, client;
    GetWindowRect(main_, &r);
    GetClientRect(main_, &client);
    const LONG style = GetWindowLongW(main_, GWL_STYLE);
    return "ok\t" + std::to_string(r.left) + "\t" + std::to_string(r.top) + "\t" + std::to_string(r.right - r.left) +
           "\t" + std::to_string(r.bottom - r.top) + "\t" + std::to_string(GetSystemMetrics(SM_CXSCREEN)) + "\t" +
           std::to_string(GetSystemMetrics(SM_CYSCREEN)) + "\t" + ((style & WS_MAXIMIZEBOX) ? "max" : "nomax") +
           "\t" + ((style & WS_THICKFRAME) ? "sizing" : "fixed") + "\t" + ((style & WS_MINIMIZEBOX) ? "min" : "nomin") +
           "\t" + ((style & WS_SYSMENU) ? "sysmenu" : "nosysmenu");
  }
  if (command == "menu") {  // waits for the popup menu, gives its screen rect
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < 5000) {
      if (HWND m = PopupMenuWindow()) {
        RECT r;
        GetWindowRect(m, &r);
        return "ok\t" + std::to_string(r.left) + "\t" + std::to_string(r.top) + "\t" + std::to_string(r.right) +
               "\t" + std::to_string(r.bottom);
      }
      Sleep(50);
    }
    return "ok\tnone";
  }
  if (command == "mouse") {
    POINT p;
    GetCursorPos(&p);
    return "ok\t" + std::to_string(p.x) + "\t" + std::to_string(p.y);
  }
  if (command == "screen-click") {
    MouseClick(number(1), number(2), arg(3) == "right");
    return "ok";
  }
  if (command == "close") {
    PostMessageW(main_, WM_CLOSE, 0, 0);
    return "ok";
  }
  return "error\tunknown command " + command;
}

}  // namespace

int main() {
  Driver driver;
  std::string line;
  while (std::getline(std::cin, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    if (line == "quit") break;
    std::string answer;
    try {
      answer = driver.Run(Split(line));
    } catch (const std::exception& e) {
      answer = std::string("error\t") + e.what();
    }
    std::cout << answer << std::endl;
  }
  return 0;
}
