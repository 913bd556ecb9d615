/* A window for the preview to draw in, as the display settings' picture
 * would be: prints its X window id, then destroys the window when a line
 * (or the end) arrives on standard input, and exits. Used by the e2e tests. */
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
  Window w = XCreateSimpleWindow(d, RootWindow(d, screen), 40, 30, (unsigned)width, (unsigned)height, 0,
                                 BlackPixel(d, screen), WhitePixel(d, screen));
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
