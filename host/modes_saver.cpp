// The saver mode (no switch, S or any letter other than C, P, A): TForm1 as
// the main window, on the user's settings store, following the power
// source, until it ends.
#include <memory>

#include "host/Unit1.h"
#include "host/modes.h"
#include "platform/native_registry.h"
#include "platform/power_source.h"
#include "platform/ui.h"

int RunSaver() {
  // The store outlives the message loop, as the window's creation reads it.
  const std::unique_ptr<Settings::RegistryBackend> store = Platform::MakeUserRegistry();
  ui::Application& app = ui::Application::Get();
  app.CreateForm<TForm1>(*store, Platform::DefaultWallpaperFolder(), power::WatchPowerSourceOfWindow);
  app.Run();
  return 0;
}
