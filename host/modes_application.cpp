// The application object's start.
#include "host/modes.h"
#include "platform/ui.h"

void InitApplication(const char* title) {
  ui::Application& app = ui::Application::Get();
  app.Initialize();
  app.SetTitle(title);
}
