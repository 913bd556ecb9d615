// The modes on a Wayland compositor's layer shell: --layer (the animated
// wallpaper, a locker's background) and the saver (/s, no argument) where
// WAYLAND_DISPLAY names a compositor that has the layer shell. Either hands
// over to its X11 form, which the caller runs, when there is no such
// compositor and DISPLAY is set.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "host/layer_saver.h"
#include "host/modes.h"
#include "platform/gl_window.h"
#include "platform/native_registry.h"

namespace {

bool HaveX11() {
  const char* d = std::getenv("DISPLAY");
  return d && *d;
}

embedded::PatternChoice StoredChoice(const EmbeddedOptions& options) {
  std::string warning;
  const std::unique_ptr<Settings::RegistryBackend> store = Platform::MakeUserRegistry();
  const embedded::PatternChoice choice = embedded::ChoosePattern(*store, options, warning);
  // Never a message box: the compositor's layers are no place for one.
  if (!warning.empty()) std::fprintf(stderr, "prismora: %s\n", warning.c_str());
  return choice;
}

// Opens the layers and runs them; or hands over to the X11 form, or fails.
LayerEnd RunOnLayers(const ui::LayerRequest& request, const EmbeddedOptions& options) {
  layered::LayerSaver saver(StoredChoice(options), options.delayMicroseconds, ui::ProcessId());
  const ui::LayerResult r = saver.Open(request);
  const layered::OpenOutcome next =
      layered::AfterOpen(r, std::getenv("WAYLAND_DISPLAY"), HaveX11(), saver.Window().OutputNames(), request.output);
  switch (next.action) {
    case layered::OpenOutcome::RunLayers:
      // The saver (/s) reads its settings once and takes no commands.
      if (!request.takesInput && !saver.StartControl(options, steer::LayerInstanceName(request.layer))) {
        saver.Window().Release();
        return {.status = 1};
      }
      saver.Run();
      return {};
    case layered::OpenOutcome::UseX11: saver.Window().Release(); return {.runX11Form = true};
    case layered::OpenOutcome::Fail: break;
  }
  std::fprintf(stderr, "prismora: %s\n", next.message.c_str());
  return {.status = next.status};
}

}  // namespace

LayerEnd RunLayerMode(const EmbeddedOptions& options) {
  ui::LayerRequest request;
  request.layer = *options.layer;
  request.output = options.output;
  return RunOnLayers(request, options);
}

LayerEnd RunSaverOnLayers() {
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  if (!wayland || !*wayland) return {.runX11Form = true};
  ui::LayerRequest request;
  request.layer = ui::Layer::Overlay;
  request.takesInput = true;
  return RunOnLayers(request, EmbeddedOptions{});
}
