/* What the system reports of the desktop, for the end-to-end tests:
     desktop_tool monitors       "virtual x y width height", then one line a
                                 monitor: "monitor x y width height [primary]"
     desktop_tool rect <title>   the window's rectangle: x y width height
   Exit status 2 when there is no such window. */
#include <windows.h>
#include <stdio.h>
#include <string.h>

static BOOL CALLBACK PrintMonitor(HMONITOR monitor, HDC dc, LPRECT clip, LPARAM unused) {
  MONITORINFO info;
  (void)dc, (void)clip, (void)unused;
  info.cbSize = sizeof info;
  if (!GetMonitorInfoA(monitor, &info)) return TRUE;
  printf("monitor %ld %ld %ld %ld%s\n", (long)info.rcMonitor.left, (long)info.rcMonitor.top,
         (long)(info.rcMonitor.right - info.rcMonitor.left), (long)(info.rcMonitor.bottom - info.rcMonitor.top),
         (info.dwFlags & MONITORINFOF_PRIMARY) ? " primary" : "");
  return TRUE;
}

int main(int argc, char** argv) {
  if (argc == 2 && strcmp(argv[1], "monitors") == 0) {
    printf("virtual %d %d %d %d\n", GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
           GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN));
    EnumDisplayMonitors(NULL, NULL, PrintMonitor, 0);
    return 0;
  }
  if (argc == 3 && strcmp(argv[1], "rect") == 0) {
    RECT r;
    HWND window = FindWindowA(NULL, argv[2]);
    if (!window || !GetWindowRect(window, &r)) return 2;
    printf("%ld %ld %ld %ld\n", (long)r.left, (long)r.top, (long)(r.right - r.left), (long)(r.bottom - r.top));
    return 0;
  }
  fprintf(stderr, "usage: desktop_tool monitors | rect <title>\n");
  return 1;
}
