// The power source from UPower's "OnBattery" property on the system bus
// (sd-bus), followed through its PropertiesChanged signal, and read again
// when logind says the machine woke from sleep (PrepareForSleep false).
// Every call that could wait is asynchronous or bounded by a short timeout,
// so that a bus that does not answer never holds the drawing loop.
#include <systemd/sd-bus.h>

#include <cstring>
#include <string>

#include "platform/power_source.h"

namespace power {

namespace {

constexpr const char* kUPower = "org.freedesktop.UPower";
constexpr const char* kUPowerPath = "/org/freedesktop/UPower";
constexpr uint64_t kCallTimeoutMicroseconds = 500000;

class UPowerWatch final : public PowerWatch {
 public:
  UPowerWatch(sd_bus* bus, const Loop& loop, std::function<void(bool)> changed)
      : bus_(bus), loop_(loop), changed_(std::move(changed)) {}
  ~UPowerWatch() override {
    if (fd_ >= 0) loop_.stop(fd_);
    sd_bus_slot_unref(propertiesSlot_);
    sd_bus_slot_unref(sleepSlot_);
    sd_bus_flush_close_unref(bus_);
  }
  bool OnBattery() const override { return onBattery_; }

  bool Start() {
    sd_bus_set_method_call_timeout(bus_, kCallTimeoutMicroseconds);
    if (sd_bus_match_signal_async(bus_, &propertiesSlot_, nullptr, kUPowerPath, "org.freedesktop.DBus.Properties",
                                  "PropertiesChanged", &UPowerWatch::PropertiesChanged, nullptr, this) < 0)
      return false;
    sd_bus_match_signal_async(bus_, &sleepSlot_, "org.freedesktop.login1", "/org/freedesktop/login1",
                              "org.freedesktop.login1.Manager", "PrepareForSleep", &UPowerWatch::PrepareForSleep,
                              nullptr, this);
    onBattery_ = ReadOnBattery();
    fd_ = sd_bus_get_fd(bus_);
    if (fd_ < 0) return false;
    loop_.watch(fd_, [this] { Process(); });
    Process();
    return true;
  }

 private:
  // No UPower (no answer, an error): mains.
  bool ReadOnBattery() {
    sd_bus_error error = SD_BUS_ERROR_NULL;
    int value = 0;
    const int r = sd_bus_get_property_trivial(bus_, kUPower, kUPowerPath, kUPower, "OnBattery", &error, 'b', &value);
    sd_bus_error_free(&error);
    return r >= 0 && value;
  }

  void Process() {
    while (sd_bus_process(bus_, nullptr) > 0) {
    }
  }

  void Set(bool onBattery) {
    if (onBattery == onBattery_) return;
    onBattery_ = onBattery;
    changed_(onBattery);
  }

  // "sa{sv}as": the interface, the changed values, the invalidated names.
  static int PropertiesChanged(sd_bus_message* m, void* self, sd_bus_error*) {
    auto* watch = static_cast<UPowerWatch*>(self);
    const char* interface = nullptr;
    if (sd_bus_message_read(m, "s", &interface) < 0 || !interface || std::strcmp(interface, kUPower) != 0) return 0;
    if (sd_bus_message_enter_container(m, 'a', "{sv}") < 0) return 0;
    while (sd_bus_message_enter_container(m, 'e', "sv") > 0) {
      const char* name = nullptr;
      if (sd_bus_message_read(m, "s", &name) < 0) return 0;
      if (name && std::strcmp(name, "OnBattery") == 0) {
        int value = 0;
        if (sd_bus_message_read(m, "v", "b", &value) < 0) return 0;
        watch->Set(value != 0);
      } else if (sd_bus_message_skip(m, "v") < 0) {
        return 0;
      }
      if (sd_bus_message_exit_container(m) < 0) return 0;
    }
    return 0;
  }

  // The state may have changed while the machine slept, unseen.
  static int PrepareForSleep(sd_bus_message* m, void* self, sd_bus_error*) {
    auto* watch = static_cast<UPowerWatch*>(self);
    int sleeping = 0;
    if (sd_bus_message_read(m, "b", &sleeping) >= 0 && !sleeping) watch->Set(watch->ReadOnBattery());
    return 0;
  }

  sd_bus* bus_;
  Loop loop_;
  std::function<void(bool)> changed_;
  sd_bus_slot* propertiesSlot_ = nullptr;
  sd_bus_slot* sleepSlot_ = nullptr;
  int fd_ = -1;
  bool onBattery_ = false;
};

}  // namespace

std::unique_ptr<PowerWatch> WatchPowerSource(const Loop& loop, std::function<void(bool)> changed) {
  sd_bus* bus = nullptr;
  if (sd_bus_open_system(&bus) < 0) return nullptr;  // no system bus: mains
  auto watch = std::make_unique<UPowerWatch>(bus, loop, std::move(changed));
  if (!watch->Start()) return nullptr;
  return watch;
}

}  // namespace power
