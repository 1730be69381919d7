#include "ui/win32/win32_form.h"

#include <commctrl.h>

#include <algorithm>

#include "ui/win32/win32_shell.h"
#include "ui/win32/win32_text.h"

namespace ui::win32 {
namespace {

// A fixed single frame with a title bar, the system menu and the minimise
// button: no sizing border, no maximise box.
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr int kApplicationIcon = 1;  // resource id in norvane.rc
constexpr UINT kFirstMenuCommand = 1000;
constexpr int kMaxHeight = 32627;

HINSTANCE ProgramInstance() { return GetModuleHandleW(nullptr); }

void RegisterMainClass(HINSTANCE instance, WNDPROC procedure) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = procedure;
  wc.hInstance = instance;
  wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(kApplicationIcon));
  wc.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(kApplicationIcon), IMAGE_ICON,
                                             GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = Win32Form::kClassName;
  RegisterClassExW(&wc);
}

bool IsMultiLineEdit(HWND hwnd) {
  wchar_t className[16] = {};
  GetClassNameW(hwnd, className, 16);
  return lstrcmpiW(className, L"EDIT") == 0 && (GetWindowLongW(hwnd, GWL_STYLE) & ES_MULTILINE) != 0;
}

}  // namespace

Win32Form::Win32Form(const WindowSpec& design) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&controls);
  const HINSTANCE instance = ProgramInstance();
  RegisterMainClass(instance, &Win32Form::Procedure);
  Win32Label::RegisterClass(instance);

  // Centred on the primary screen from the design size.
  const int left = (GetSystemMetrics(SM_CXSCREEN) - design.width) / 2;
  const int top = (GetSystemMetrics(SM_CYSCREEN) - design.height) / 2;
  CreateWindowExW(0, kClassName, ToWide(design.title).c_str(), kWindowStyle, left, top, design.width, design.height,
                  nullptr, nullptr, instance, this);  // binds hwnd_ on WM_NCCREATE
  shell_ = std::make_unique<Win32Shell>(hwnd_);
}

Win32Form::~Win32Form() {
  if (hwnd_ != nullptr && IsWindow(hwnd_)) {
    // Never run: destroy quietly, raising nothing.
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
  }
}

EditBox& Win32Form::AddEditBox(const EditBoxSpec& design) {
  auto box = std::make_unique<Win32EditBox>(hwnd_, NextId(), design);
  Win32EditBox& result = *box;
  edits_[result.hwnd()] = &result;
  controls_.push_back(std::move(box));
  return result;
}

Button& Win32Form::AddButton(const Rect& rect, std::string_view caption) {
  const int id = NextId();
  auto button = std::make_unique<Win32Button>(hwnd_, id, rect, caption);
  Win32Button& result = *button;
  buttons_[id] = &result;
  controls_.push_back(std::move(button));
  return result;
}

Label& Win32Form::AddLabel(const LabelSpec& design) {
  auto label = std::make_unique<Win32Label>(hwnd_, NextId(), design);
  Win32Label& result = *label;
  controls_.push_back(std::move(label));
  return result;
}

ListView& Win32Form::AddListView(const Rect& rect, const std::vector<ColumnSpec>& columns) {
  auto list = std::make_unique<Win32ListView>(hwnd_, NextId(), rect, columns);
  Win32ListView& result = *list;
  lists_[result.hwnd()] = &result;
  controls_.push_back(std::move(list));
  return result;
}

Menu& Win32Form::AddHiddenMenu(std::string_view title, const std::vector<Text>& items) {
  const UINT first = kFirstMenuCommand + static_cast<UINT>(menus_.size()) * 100;
  menus_.push_back(std::make_unique<Win32Menu>(title, items, first));
  return *menus_.back();
}

void Win32Form::SetTabOrder(const std::vector<Control*>& order) {
  tabOrder_.clear();
  for (Control* control : order)
    if (HWND hwnd = control ? WindowOf(*control) : nullptr) tabOrder_.push_back(hwnd);
}

Shell& Win32Form::shell() { return *shell_; }

int Win32Form::GetHeight() const {
  RECT outer{};
  GetWindowRect(hwnd_, &outer);
  return outer.bottom - outer.top;
}

void Win32Form::SetHeight(int height) {
  RECT outer{};
  GetWindowRect(hwnd_, &outer);
  const int clamped = std::clamp(height, 0, kMaxHeight);
  SetWindowPos(hwnd_, nullptr, 0, 0, outer.right - outer.left, clamped,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int Win32Form::Run() {
  if (hwnd_ == nullptr) return 1;
  if (Created) Created();
  if (!IsWindow(hwnd_)) return 0;
  PublishLists();
  ShowWindow(hwnd_, SW_SHOWNORMAL);
  UpdateWindow(hwnd_);
  SetForegroundWindow(hwnd_);
  if (!tabOrder_.empty()) SetFocus(tabOrder_.front());

  MSG message{};
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (TakeKey(message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}

LRESULT CALLBACK Win32Form::Procedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* form = static_cast<Win32Form*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    form->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
  }
  auto* form = reinterpret_cast<Win32Form*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (form == nullptr) return DefWindowProcW(hwnd, message, wparam, lparam);
  const LRESULT result = form->HandleMessage(message, wparam, lparam);
  // Whatever handler ran, the lists show its rows when it is done.
  form->PublishLists();
  return result;
}

void Win32Form::PublishLists() {
  for (auto& [hwnd, list] : lists_) list->Publish();
}

LRESULT Win32Form::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_COMMAND:
      OnCommand(wparam, lparam);
      return 0;
    case WM_NOTIFY:
      return OnNotify(*reinterpret_cast<const NMHDR*>(lparam));
    case WM_CTLCOLOREDIT: {
      auto box = edits_.find(reinterpret_cast<HWND>(lparam));
      if (box != edits_.end()) return reinterpret_cast<LRESULT>(box->second->PaintColours(reinterpret_cast<HDC>(wparam)));
      break;
    }
    case WM_ACTIVATE:
      OnActivate(wparam);
      return 0;
    case kPublishLists:
      return 0;  // Procedure publishes after every message
    case kMenuChosen:
      for (auto& menu : menus_)
        if (Win32MenuItem* item = menu->ItemOfCommand(static_cast<UINT>(wparam)); item && item->Selected)
          item->Selected();
      return 0;
    case WM_DESTROY:
      if (Destroying) Destroying();
      PostQuitMessage(0);
      return 0;
    case WM_NCDESTROY:
      SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
      hwnd_ = nullptr;
      break;
    default:
      break;
  }
  return DefWindowProcW(hwnd_, message, wparam, lparam);
}

void Win32Form::OnCommand(WPARAM wparam, LPARAM lparam) {
  if (lparam == 0) return;  // menus and accelerators: none reach here
  const HWND control = reinterpret_cast<HWND>(lparam);
  switch (HIWORD(wparam)) {
    case BN_CLICKED:
      if (auto button = buttons_.find(LOWORD(wparam)); button != buttons_.end() && button->second->Clicked)
        button->second->Clicked();
      break;
    case EN_SETFOCUS:
      if (auto box = edits_.find(control); box != edits_.end() && box->second->GotFocus) box->second->GotFocus();
      break;
    default:
      break;
  }
}

LRESULT Win32Form::OnNotify(const NMHDR& header) {
  auto list = lists_.find(header.hwndFrom);
  if (list == lists_.end()) return 0;
  Win32ListView& view = *list->second;
  switch (header.code) {
    case LVN_GETDISPINFOW:
      view.FillDisplayInfo(*reinterpret_cast<NMLVDISPINFOW*>(const_cast<NMHDR*>(&header)));
      break;
    // The list sends these once the button is up again, after it applied
    // the press to the selection.
    case NM_CLICK:
      if (view.Clicked) view.Clicked();
      break;
    case NM_RCLICK:
      if (view.RightClicked) view.RightClicked();
      break;
    default:
      break;
  }
  return 0;
}

void Win32Form::OnActivate(WPARAM wparam) {
  if (LOWORD(wparam) == WA_INACTIVE) {
    HWND focus = GetFocus();
    if (focus != nullptr && IsChild(hwnd_, focus)) focusBeforeDeactivation_ = focus;
    return;
  }
  // Give the focus back to the control that had it; an edit box raises
  // GotFocus again through EN_SETFOCUS.
  if (focusBeforeDeactivation_ != nullptr && IsWindow(focusBeforeDeactivation_) && !IsIconic(hwnd_))
    SetFocus(focusBeforeDeactivation_);
  else
    SetFocus(hwnd_);
}

bool Win32Form::TakeKey(const MSG& message) {
  if (message.message != WM_KEYDOWN || hwnd_ == nullptr) return false;
  if (message.hwnd != hwnd_ && !IsChild(hwnd_, message.hwnd)) return false;
  switch (message.wParam) {
    case VK_TAB:
      MoveFocus(GetKeyState(VK_SHIFT) < 0);
      return true;
    case VK_ESCAPE:
      SendMessageW(hwnd_, WM_SYSCOMMAND, SC_CLOSE, 0);
      return true;
    case VK_RETURN:
      // A line break in the multi-line box; elsewhere nothing at all.
      return !IsMultiLineEdit(GetFocus());
    default:
      return false;
  }
}

void Win32Form::MoveFocus(bool backwards) {
  const int count = static_cast<int>(tabOrder_.size());
  if (count == 0) return;
  const HWND focus = GetFocus();
  int current = backwards ? count : -1;
  for (int i = 0; i < count; ++i)
    if (tabOrder_[i] == focus || IsChild(tabOrder_[i], focus)) current = i;
  for (int step = 1; step <= count; ++step) {
    const int next = ((current + (backwards ? -step : step)) % count + count) % count;
    const HWND candidate = tabOrder_[static_cast<size_t>(next)];
    if (IsWindowVisible(candidate) && IsWindowEnabled(candidate)) {
      SetFocus(candidate);
      return;
    }
  }
}

}  // namespace ui::win32

namespace ui {

std::unique_ptr<Form> CreateForm(const WindowSpec& design) { return std::make_unique<win32::Win32Form>(design); }

}  // namespace ui
