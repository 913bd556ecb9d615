/* A pointer device on a Wayland compositor's seat, for the tests: a headless
 * compositor has no input devices, so its seat offers clients no pointer.
 * This adds a virtual pointer, prints "ready" once the compositor has it, and
 * keeps it until standard input ends; a line "button" on standard input
 * clicks the left button. The tests move the pointer with the compositor's
 * own command (swaymsg seat seat0 cursor move).
 *
 *   wl_pointer_device            (WAYLAND_DISPLAY names the compositor)
 */
#include <stdio.h>
#include <string.h>
#include <wayland-client.h>

#include "prismora-test-virtual-pointer-client.h"

static struct wl_seat *seat;
static struct zwlr_virtual_pointer_manager_v1 *manager;

static void global(void *data, struct wl_registry *registry, uint32_t name, const char *interface,
                   uint32_t version) {
  (void)data;
  (void)version;
  if (strcmp(interface, wl_seat_interface.name) == 0 && !seat)
    seat = wl_registry_bind(registry, name, &wl_seat_interface, 1);
  else if (strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0)
    manager = wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1);
}

static void global_remove(void *data, struct wl_registry *registry, uint32_t name) {
  (void)data;
  (void)registry;
  (void)name;
}

static const struct wl_registry_listener listener = {global, global_remove};

int main(void) {
  struct wl_display *display = wl_display_connect(NULL);
  if (!display) {
    fprintf(stderr, "wl_pointer_device: no compositor\n");
    return 1;
  }
  struct wl_registry *registry = wl_display_get_registry(display);
  wl_registry_add_listener(registry, &listener, NULL);
  wl_display_roundtrip(display);
  if (!manager || !seat) {
    fprintf(stderr, "wl_pointer_device: the compositor has no virtual pointers\n");
    return 1;
  }
  struct zwlr_virtual_pointer_v1 *pointer = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(manager, seat);
  wl_display_roundtrip(display);
  printf("ready\n");
  fflush(stdout);
  char line[64];
  uint32_t time = 1;
  while (fgets(line, sizeof line, stdin)) {
    if (strncmp(line, "button", 6) != 0) continue;
    zwlr_virtual_pointer_v1_button(pointer, time++, 0x110 /* BTN_LEFT */, 1);
    zwlr_virtual_pointer_v1_frame(pointer);
    zwlr_virtual_pointer_v1_button(pointer, time++, 0x110, 0);
    zwlr_virtual_pointer_v1_frame(pointer);
    wl_display_roundtrip(display);
    printf("clicked\n");
    fflush(stdout);
  }
  zwlr_virtual_pointer_v1_destroy(pointer);
  wl_display_roundtrip(display);
  wl_display_disconnect(display);
  return 0;
}
