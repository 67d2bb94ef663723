#include "app/win32/form.h"

#include "platform/win32/wide_text.h"

namespace quenbolt {
namespace win32 {

namespace {

const wchar_t kFormClass[] = L"QuenboltForm";

bool registerFormClass() {
  static const bool registered = [] {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = DefWindowProcW;  // replaced per window once `this` is known
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.hIcon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
    windowClass.lpszClassName = kFormClass;
    return RegisterClassExW(&windowClass) != 0;
  }();
  return registered;
}

// Odd differences go toward the smaller value, negative ones included.
int halfFloor(int value) { return value >= 0 ? value / 2 : -((-value + 1) / 2); }

}  // namespace

Form::~Form() {
  if (hwnd_ && IsWindow(hwnd_)) {
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
  }
}

bool Form::create(const std::string& caption, DWORD style, int x, int y) {
  if (!registerFormClass()) return false;
  hwnd_ = CreateWindowExW(0, kFormClass, widen(caption).c_str(), style, x, y, CW_USEDEFAULT,
                          CW_USEDEFAULT, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (!hwnd_) return false;
  SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(windowProc));
  return true;
}

void Form::setClientSize(int width, int height) {
  RECT rect{0, 0, width, height};
  AdjustWindowRectEx(&rect, static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_EXSTYLE)));
  SetWindowPos(hwnd_, nullptr, 0, 0, rect.right - rect.left, rect.bottom - rect.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Form::centreOnScreen() {
  RECT rect{};
  GetWindowRect(hwnd_, &rect);
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  SetWindowPos(hwnd_, nullptr, halfFloor(GetSystemMetrics(SM_CXSCREEN) - width),
               halfFloor(GetSystemMetrics(SM_CYSCREEN) - height), 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT Form::onMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  return defaultHandling(message, wParam, lParam);
}

LRESULT CALLBACK Form::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Form* form = reinterpret_cast<Form*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!form) return DefWindowProcW(window, message, wParam, lParam);
  // Nothing may unwind through Windows' own frames.
  LRESULT result = 0;
  try {
    result = form->onMessage(message, wParam, lParam);
  } catch (...) {
    result = DefWindowProcW(window, message, wParam, lParam);
  }
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    form->hwnd_ = nullptr;
  }
  return result;
}

int runMessageLoop(HWND navigationWindow) {
  MSG message{};
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    // Tab and Shift+Tab walk the controls; Escape arrives as WM_COMMAND IDCANCEL.
    if (IsWindow(navigationWindow) && IsDialogMessageW(navigationWindow, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}

}  // namespace win32
}  // namespace quenbolt
