// The modes a process can run, one per process, chosen in main.cpp. Each Run*
// function creates its window(s), runs the message loop until the mode ends
// and returns the process exit status.
#pragma once

#include <cstdint>

#include "host/embedded_options.h"

// Names the application (task-bar entry, error message boxes). Called once,
// before any window exists.
void InitApplication(const char* title);

int RunSaver();                       // full-screen saver, TForm1
int RunSettings();                    // settings window, TForm2
int RunPreview(uint32_t parentWindow);  // preview inside the given window
// A command line of long options (where the platform has them): --help,
// --version, or the embedded mode a screen-saver daemon runs.
int RunOptions(int argc, const char* const* argv);
// The embedded mode on an X window: options.windowId, else the window named
// by `targetVariable` (XSCREENSAVER_WINDOW's value; null or empty: the root
// window).
int RunEmbedded(const EmbeddedOptions& options, const char* targetVariable);
// --layer on the Wayland compositor's outputs (the X root window when there
// is no compositor with the layer shell but an X display).
int RunLayerMode(const EmbeddedOptions& options);
// The saver: on the overlay layer where WAYLAND_DISPLAY names a compositor
// with the layer shell, else RunSaver (X11, Xwayland included).
int RunSaverOnWaylandOrX11();
