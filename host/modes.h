// The modes a process can run, one per process, chosen in main.cpp (the
// switches) or option_line.cpp (the long options). Each Run* function creates
// its window(s), runs the message loop until the mode ends and returns the
// process exit status; no mode runs another.
#pragma once

#include <cstdint>

#include "host/embedded_options.h"

// Names the application (task-bar entry, error message boxes). Called once,
// before any window exists.
void InitApplication(const char* title);

int RunSaver();                       // full-screen saver, TForm1
int RunSettings();                    // settings window, TForm2
int RunPreview(uint32_t parentWindow);  // preview inside the given window
// The embedded mode on an X window: options.windowId, else the window named
// by `targetVariable` (XSCREENSAVER_WINDOW's value; null or empty: the root
// window).
int RunEmbedded(const EmbeddedOptions& options, const char* targetVariable);

// How a mode on the compositor's layers ended: with the process's exit
// status, or by handing over to the mode's X11 form, which the caller runs
// (no compositor with the layer shell, but an X display: Xwayland or a plain
// X11 session).
struct LayerEnd {
  bool runX11Form = false;
  int status = 0;
};
// --layer on the Wayland compositor's outputs; its X11 form is the embedded
// mode on the root window.
LayerEnd RunLayerMode(const EmbeddedOptions& options);
// The saver on the overlay layer where WAYLAND_DISPLAY names a compositor
// with the layer shell; its X11 form (Xwayland included) is RunSaver.
LayerEnd RunSaverOnLayers();
