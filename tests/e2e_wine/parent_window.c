/* Stands in for the display settings' monitor picture in the preview test:
   a white 320 x 240 pop-up at (100, 100) whose handle is printed in decimal.
   A line on standard input destroys the window, which ends the program. */
#include <windows.h>
#include <stdint.h>
#include <stdio.h>

static HWND window;

static DWORD WINAPI WaitForLine(LPVOID unused) {
  char line[64];
  (void)unused;
  if (!fgets(line, sizeof line, stdin)) line[0] = 0;
  PostMessageA(window, WM_CLOSE, 0, 0);
  return 0;
}

static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_CLOSE) {
    DestroyWindow(hwnd);
    return 0;
  }
  if (msg == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}

int main(void) {
  WNDCLASSA wc = {0};
  MSG msg;
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = GetModuleHandleA(NULL);
  wc.hbrBackground = (HBRUSH)GetStockObject(WHITE_BRUSH);
  wc.lpszClassName = "PreviewParentTest";
  RegisterClassA(&wc);
  /* The picture's children are clipped out of its own painting. */
  window = CreateWindowExA(0, wc.lpszClassName, "Preview Parent", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 100,
                           100, 320, 240, NULL, NULL, wc.hInstance, NULL);
  if (!window) return 1;
  printf("%lu\n", (unsigned long)(uintptr_t)window);
  fflush(stdout);
  CreateThread(NULL, 0, WaitForLine, NULL, 0, NULL);
  while (GetMessageA(&msg, NULL, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}
