/* Looks at the windows of other programs for the end-to-end tests:
     wintool text <title>      the texts of the window's static controls, one a line
     wintool edit <title>      the text of the window's edit box, in UTF-8
     wintool combo <title>     the shown text of the window's combo box, in UTF-8,
                               and "dropped" after it while its list is open
     wintool client <title>    the screen position of its client area: x y
     wintool close <title>     asks the window to close
     wintool foreground        the title of the foreground window
     wintool foreground-class  the class name of the foreground window (for a
                               window without a title)
     wintool children <hwnd>   each child window of the decimal handle:
                               class x y width height style (hex), positions in
                               the parent's client coordinates
   Exit status 2 when there is no such window. */
#include <windows.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static BOOL CALLBACK PrintStatic(HWND child, LPARAM unused) {
  char cls[64], text[512];
  (void)unused;
  GetClassNameA(child, cls, sizeof cls);
  if (lstrcmpiA(cls, "Static") == 0 && GetWindowTextA(child, text, sizeof text) > 0) printf("%s\n", text);
  return TRUE;
}

/* The first edit box's (or combo box's) text, read as UTF-16 and printed as
   UTF-8, so that any character shows; a combo box's open list is told. */
static BOOL CALLBACK PrintText(HWND child, LPARAM className) {
  wchar_t cls[64], text[512];
  char utf8[2048];
  GetClassNameW(child, cls, 64);
  if (lstrcmpiW(cls, (const wchar_t*)className) != 0) return TRUE;
  /* WM_GETTEXT: GetWindowText gives only a window's title across processes.
     A drop-down list's text is its chosen item's. */
  text[0] = 0;
  SendMessageW(child, WM_GETTEXT, 512, (LPARAM)text);
  WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, NULL, NULL);
  printf("%s\n", utf8);
  if (lstrcmpiW(cls, L"ComboBox") == 0 && SendMessageW(child, CB_GETDROPPEDSTATE, 0, 0)) printf("dropped\n");
  return FALSE;
}

static BOOL CALLBACK PrintChild(HWND child, LPARAM parent) {
  char cls[64];
  RECT r;
  if (GetParent(child) != (HWND)parent) return TRUE; /* direct children only */
  GetClassNameA(child, cls, sizeof cls);
  GetWindowRect(child, &r);
  MapWindowPoints(NULL, (HWND)parent, (POINT*)&r, 2);
  printf("%s %ld %ld %ld %ld %08lx\n", cls, (long)r.left, (long)r.top, (long)(r.right - r.left),
         (long)(r.bottom - r.top), (unsigned long)GetWindowLongA(child, GWL_STYLE));
  return TRUE;
}

static int ByTitle(const char* command, const char* title) {
  POINT origin = {0, 0};
  HWND window = FindWindowA(NULL, title);
  if (!window) return 2;
  if (strcmp(command, "text") == 0) {
    EnumChildWindows(window, PrintStatic, 0);
  } else if (strcmp(command, "edit") == 0) {
    EnumChildWindows(window, PrintText, (LPARAM)L"Edit");
  } else if (strcmp(command, "combo") == 0) {
    EnumChildWindows(window, PrintText, (LPARAM)L"ComboBox");
  } else if (strcmp(command, "client") == 0) {
    ClientToScreen(window, &origin);
    printf("%ld %ld\n", (long)origin.x, (long)origin.y);
  } else if (strcmp(command, "close") == 0) {
    PostMessageA(window, WM_CLOSE, 0, 0);
  } else {
    return 64;
  }
  return 0;
}

/* The foreground window's title (or class name): 2 when there is none. */
static int PrintForeground(int byClass) {
  char text[256] = "";
  HWND window = GetForegroundWindow();
  if (!window) return 2;
  if (byClass) {
    GetClassNameA(window, text, sizeof text);
  } else {
    GetWindowTextA(window, text, sizeof text);
  }
  printf("%s\n", text);
  return 0;
}

int main(int argc, char** argv) {
  int status = 64;
  if (argc == 2 && strcmp(argv[1], "foreground") == 0) {
    status = PrintForeground(0);
  } else if (argc == 2 && strcmp(argv[1], "foreground-class") == 0) {
    status = PrintForeground(1);
  } else if (argc == 3 && strcmp(argv[1], "children") == 0) {
    HWND parent = (HWND)(uintptr_t)strtoul(argv[2], NULL, 10);
    if (!IsWindow(parent)) return 2;
    EnumChildWindows(parent, PrintChild, (LPARAM)parent);
    status = 0;
  } else if (argc == 3) {
    status = ByTitle(argv[1], argv[2]);
  }
  if (status == 64) fprintf(stderr, "usage: wintool text|edit|combo|client|close <title> | foreground | foreground-class | children <hwnd>\n");
  fflush(stdout);
  return status;
}
