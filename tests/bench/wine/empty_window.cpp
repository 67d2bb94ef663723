// The floor of the start-up benchmark: a window program that does only what every one must
// (register a class, create a hidden window, close it, leave the message loop), built as Quenbolt
// is.
#include <windows.h>

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) PostQuitMessage(0);
  return message == WM_DESTROY ? 0 : DefWindowProcW(window, message, wParam, lParam);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  const WNDCLASSW windowClass{0,       windowProc, 0,       0,       instance,
                              nullptr, nullptr,    nullptr, nullptr, L"EmptyWindow"};
  HWND window = RegisterClassW(&windowClass)
                    ? CreateWindowExW(0, L"EmptyWindow", L"Empty", WS_OVERLAPPEDWINDOW, 0, 0, 100,
                                      100, nullptr, nullptr, instance, nullptr)
                    : nullptr;
  if (!window) return 1;
  PostMessageW(window, WM_CLOSE, 0, 0);
  MSG message{};
  while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
  return 0;
}
