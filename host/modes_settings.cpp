// The settings mode (switch C): the settings window TForm2 as the main window,
// on the user's settings store, until it is closed.
#include <memory>

#include "host/modes.h"
#include "platform/native_registry.h"
#include "platform/ui.h"
#include "tools/Unit2.h"

int RunSettings() {
  // The store outlives the message loop: the window and its save dialog use
  // it until the program ends.
  const std::unique_ptr<Settings::RegistryBackend> store = Platform::MakeUserRegistry();
  // Its controls are laid out in pixels: on a scaled screen the system scales
  // the window rather than show it tiny.
  ui::ScaleDesignedWindowsBySystem();
  ui::Application& app = ui::Application::Get();
  app.CreateForm<TForm2>(*store, Platform::DefaultWallpaperFolder());
  app.Run();
  return 0;
}
