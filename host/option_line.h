// The option line: a command line of long options (where the platform has
// them) read and sent to its mode: --help, --version, the embedded mode that
// the screen-saver daemons run as a hack (X11), and --layer (Wayland), whose
// X11 form is the embedded mode on the root window.
#pragma once

int RunOptions(int argc, const char* const* argv);
