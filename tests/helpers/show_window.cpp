// show_window <title> [ignore-close]: shows a top-level window with that title and runs
// until it is closed, then exits with 7. With "ignore-close" it refuses WM_CLOSE and runs
// until it is terminated (or 60 s pass).
#include <windows.h>

#include <cstring>

namespace {
bool g_ignoreClose = false;

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CLOSE) {
    if (!g_ignoreClose) DestroyWindow(window);
    return 0;
  }
  if (message == WM_DESTROY) {
    PostQuitMessage(7);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}
}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  g_ignoreClose = argc > 2 && std::strcmp(argv[2], "ignore-close") == 0;
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "KivrunTestWindow";
  RegisterClassA(&windowClass);
  HWND window = CreateWindowA("KivrunTestWindow", argv[1], WS_OVERLAPPEDWINDOW, 10, 10, 200, 100, nullptr, nullptr,
                              windowClass.hInstance, nullptr);
  if (window == nullptr) return 3;
  ShowWindow(window, SW_SHOW);
  SetTimer(window, 1, 60000, nullptr);
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    if (message.message == WM_TIMER) break;
    DispatchMessageA(&message);
  }
  return message.message == WM_QUIT ? static_cast<int>(message.wParam) : 0;
}
