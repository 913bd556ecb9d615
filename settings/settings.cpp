// LoadSettings / SaveSettings: reading the five values, the view and the
// battery choice, the first-run defaults, and writing them back.
#include "settings/settings.h"

#include <vector>

#include "base/error.h"

namespace Settings {

int32_t WallpaperSizeChoice = 0;
bool RandomAlgorithm = false;
std::string WallpaperFolder;
bool PixelView = false;
int32_t BatteryChoice = kDefaultBatteryChoice;

SettingsVariables ProcessSettings() {
  return {Gradient::Pattern.Speed, WallpaperSizeChoice, Gradient::Pattern.Algorithm,
          RandomAlgorithm, WallpaperFolder, PixelView, BatteryChoice};
}

int32_t WallpaperSizeForWidth(int screenWidth) {
  constexpr int kWidths[] = {640, 800, 1024, 1152, 1280, 1600};
  for (int i = 0; i < 6; ++i)
    if (screenWidth == kWidths[i]) return i + 1;
  return 0;
}

namespace {

constexpr int32_t kFirstRunSpeed = 25;
constexpr int32_t kFirstRunAlgorithm = 7;
constexpr const char* kPixelViewValue = "Pixels";
constexpr const char* kBatteryChoiceValue = "OnBattery";

// A value the older programs never wrote, so nothing about it is an error:
// missing, of another type or out of range, it is the default.
int32_t ReadBatteryChoice(Registry& reg) {
  try {
    const int32_t v = reg.ReadInteger(kBatteryChoiceValue);
    return v >= 0 && v <= 2 ? v : kDefaultBatteryChoice;
  } catch (const PrismoraError&) {
    return kDefaultBatteryChoice;
  }
}

// Runs one read. A value that cannot be read takes its first-run value
// instead, and the first failure's message is kept for the caller: the
// window then still shows a pattern, and a later Save Settings writes the
// user's other values back as they were.
template <class Read, class FallBack>
void ReadOrFallBack(std::string& firstError, Read read, FallBack fallBack) {
  try {
    read();
  } catch (const PrismoraError& e) {
    if (firstError.empty()) firstError = e.what();
    fallBack();
  }
}

// The five values in the designed order, then the view and the battery
// choice; the first failure's message, or "".
std::string ReadAll(Registry& reg, int screenWidth, const std::string& defaultFolder, const SettingsVariables& v) {
  std::string error;
  ReadOrFallBack(error, [&] { v.Speed = reg.ReadInteger("Speed"); }, [&] { v.Speed = kFirstRunSpeed; });
  ReadOrFallBack(error, [&] { v.WallpaperSizeChoice = reg.ReadInteger("Bright"); },
                 [&] { v.WallpaperSizeChoice = WallpaperSizeForWidth(screenWidth); });
  ReadOrFallBack(error, [&] { v.Algorithm = reg.ReadInteger("Algoritm"); }, [&] { v.Algorithm = kFirstRunAlgorithm; });
  ReadOrFallBack(error, [&] { v.RandomAlgorithm = reg.ReadBool("Rands"); }, [&] { v.RandomAlgorithm = true; });
  ReadOrFallBack(error, [&] { v.WallpaperFolder = reg.ReadString("Path_Wall"); },
                 [&] { v.WallpaperFolder = defaultFolder; });
  ReadOrFallBack(error, [&] { v.PixelView = reg.ReadOptionalBool(kPixelViewValue, false); },
                 [&] { v.PixelView = false; });
  v.BatteryChoice = ReadBatteryChoice(reg);
  return error;
}

// "Speed", "Bright", "Algoritm", "Rands", in this order.
std::vector<NamedValue> Choices(const SettingsVariables& v) {
  return {{"Speed", IntegerValue(v.Speed)},
          {"Bright", IntegerValue(v.WallpaperSizeChoice)},
          {"Algoritm", IntegerValue(v.Algorithm)},
          {"Rands", BoolValue(v.RandomAlgorithm)}};
}

bool IsFirstRun(const SettingsVariables& v) { return v.Speed == 0 && v.WallpaperSizeChoice == 0 && v.Algorithm == 0; }

void ApplyFirstRunDefaults(int screenWidth, const std::string& defaultFolder, const SettingsVariables& v) {
  v.Speed = kFirstRunSpeed;
  v.Algorithm = kFirstRunAlgorithm;
  v.RandomAlgorithm = true;
  v.PixelView = false;
  if (const int32_t size = WallpaperSizeForWidth(screenWidth)) v.WallpaperSizeChoice = size;
  if (v.WallpaperFolder.empty()) v.WallpaperFolder = defaultFolder;
}

// All six in one change, so that a second program starting at the same
// moment finds either no key or the whole key. A key that cannot be created
// is no error here.
void WriteFirstRun(RegistryBackend& store, const SettingsVariables& v) {
  Registry reg(store);
  if (!reg.CreateKey(kSettingsKey)) return;
  std::vector<NamedValue> values = Choices(v);
  values.push_back({"Path_Wall", StringValue(v.WallpaperFolder)});
  values.push_back({kPixelViewValue, BoolValue(v.PixelView)});
  reg.WriteValues(values);
}

}  // namespace

void LoadSettings(RegistryBackend& store, int screenWidth, const std::string& defaultFolder,
                  const SettingsVariables& vars, FirstRun firstRun) {
  std::string readError;
  {
    Registry reg(store);
    if (reg.OpenKey(kSettingsKey))
      readError = ReadAll(reg, screenWidth, defaultFolder, vars);
    else
      vars.BatteryChoice = kDefaultBatteryChoice;
  }
  if (IsFirstRun(vars)) {
    ApplyFirstRunDefaults(screenWidth, defaultFolder, vars);
    // A store that could not be read whole is left as it is.
    if (firstRun == FirstRun::Write && readError.empty()) WriteFirstRun(store, vars);
  }
  if (!readError.empty()) throw PrismoraError(readError);
}

void SaveSettings(RegistryBackend& store, const SettingsVariables& vars) {
  Registry reg(store);
  std::vector<NamedValue> values = Choices(vars);
  values.push_back({kPixelViewValue, BoolValue(vars.PixelView)});
  values.push_back({kBatteryChoiceValue, IntegerValue(vars.BatteryChoice)});
  // A store that cannot be created saves nothing: reported as the failure of
  // the first value, as a refused write would be.
  if (!reg.CreateKey(kSettingsKey)) throw PrismoraError("Failed to set data for '" + values.front().name + "'");
  reg.WriteValues(values);
}

bool LoadPixelView(RegistryBackend& store) {
  Registry reg(store);
  try {
    return reg.OpenKey(kSettingsKey) && reg.ReadOptionalBool(kPixelViewValue, false);
  } catch (const PrismoraError&) {
    return false;
  }
}

int32_t LoadBatteryChoice(RegistryBackend& store) {
  Registry reg(store);
  return reg.OpenKey(kSettingsKey) ? ReadBatteryChoice(reg) : kDefaultBatteryChoice;
}

}  // namespace Settings
