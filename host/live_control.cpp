// The steering of a running instance, the parts without OS calls: commands
// answered through the steering, the settings file read again and folded
// under the command line's options.
#include "host/live_control.h"

#include <cstdio>
#include <exception>

#include "host/embedded_saver.h"
#include "platform/native_registry.h"
#include "settings/settings.h"

namespace steer {

control::Choice ChoiceOf(bool pixels, int32_t speed, int32_t algorithm, bool random) {
  control::Choice c;
  c.pixels = pixels;
  c.speed = speed;
  c.algorithm = algorithm;
  c.random = random;
  return c;
}

const control::OutputSettings& LiveControl::OutputAdded(int id, const std::string& name) {
  return steering_.AddOutput(id, name);
}

void LiveControl::OutputGone(int id) { steering_.RemoveOutput(id); }

std::vector<std::string> LiveControl::Answer(const std::string& line) {
  const control::Response r =
      control::Respond(steering_, line, [this](int id) { return outputs_.Facts(id); });
  ApplyChanged(r.changed);
  return r.lines;
}

// A file that cannot be read, or is not ours, leaves every value as it is.
void LiveControl::SettingsChanged() {
  std::string warning;
  embedded::PatternChoice choice;
  try {
    const std::unique_ptr<Settings::RegistryBackend> store = ::Platform::MakeUserRegistry();
    choice = embedded::ChoosePattern(*store, options_, warning);
  } catch (const std::exception& e) {
    warning = e.what();
  }
  if (!warning.empty()) {
    std::fprintf(stderr, "prismora: the changed settings are not applied: %s\n", warning.c_str());
    return;
  }
  ApplyChanged(steering_.FollowSettings(ChoiceOf(choice.pixels, choice.speed, choice.algorithm, choice.random)));
  if (choice.battery != battery_) {
    battery_ = choice.battery;
    outputs_.ApplyBatteryChoice(battery_);
  }
}

void LiveControl::ApplyChanged(const std::vector<int>& ids) {
  for (int id : ids)
    if (const control::OutputSettings* s = steering_.Find(id)) outputs_.ApplySettings(id, *s);
}

}  // namespace steer
