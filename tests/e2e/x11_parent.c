/* A window for the preview to draw in, as the display settings' picture
 * would be: prints its X window id, then destroys the window when a line
 * (or the end) arrives on standard input, and exits. Used by the e2e tests.
 * x11_parent [WIDTH HEIGHT [X Y [override]]]: "override" makes it an
 * override-redirect window, as menus and some full-screen programs are. */
#include <X11/Xlib.h>
#include <stdio.h>
#include <stdlib.h>

int main(int argc, char** argv) {
  const int width = argc > 1 ? atoi(argv[1]) : 320;
  const int height = argc > 2 ? atoi(argv[2]) : 240;
  Display* d = XOpenDisplay(NULL);
  if (!d) {
    fprintf(stderr, "x11_parent: no display\n");
    return 1;
  }
  const int screen = DefaultScreen(d);
  const int x = argc > 4 ? atoi(argv[3]) : 40;
  const int y = argc > 4 ? atoi(argv[4]) : 30;
  Window w = XCreateSimpleWindow(d, RootWindow(d, screen), x, y, (unsigned)width, (unsigned)height, 0,
                                 BlackPixel(d, screen), WhitePixel(d, screen));
  if (argc > 5) {
    XSetWindowAttributes a;
    a.override_redirect = True;
    XChangeWindowAttributes(d, w, CWOverrideRedirect, &a);
  }
  XStoreName(d, w, "prismora-test-parent");
  XMapWindow(d, w);
  XSync(d, False);
  printf("0x%lx\n", (unsigned long)w);
  fflush(stdout);
  char line[64];
  if (!fgets(line, sizeof line, stdin)) line[0] = 0;
  XDestroyWindow(d, w);
  XSync(d, False);
  XCloseDisplay(d);
  return 0;
}
