// LoadSettings / SaveSettings: reading the five values, the first-run
// defaults, and writing them back.
#include "settings/settings.h"

namespace Settings {

int32_t WallpaperSizeChoice = 0;
bool RandomAlgorithm = false;
std::string WallpaperFolder;

SettingsVariables ProcessSettings() {
  return {Gradient::Pattern.Speed, WallpaperSizeChoice, Gradient::Pattern.Algorithm,
          RandomAlgorithm, WallpaperFolder};
}

int32_t WallpaperSizeForWidth(int screenWidth) {
  constexpr int kWidths[] = {640, 800, 1024, 1152, 1280, 1600};
  for (int i = 0; i < 6; ++i)
    if (screenWidth == kWidths[i]) return i + 1;
  return 0;
}

namespace {

void ReadAll(Registry& reg, const SettingsVariables& v) {
  v.Speed = reg.ReadInteger("Speed");
  v.WallpaperSizeChoice = reg.ReadInteger("Bright");
  v.Algorithm = reg.ReadInteger("Algoritm");
  v.RandomAlgorithm = reg.ReadBool("Rands");
  v.WallpaperFolder = reg.ReadString("Path_Wall");
}

void WriteChoices(Registry& reg, const SettingsVariables& v) {
  reg.WriteInteger("Speed", v.Speed);
  reg.WriteInteger("Bright", v.WallpaperSizeChoice);
  reg.WriteInteger("Algoritm", v.Algorithm);
  reg.WriteBool("Rands", v.RandomAlgorithm);
}

void ApplyFirstRunDefaults(int screenWidth, const std::string& defaultFolder,
                           const SettingsVariables& v) {
  v.Speed = 25;
  v.Algorithm = 7;
  v.RandomAlgorithm = true;
  if (const int32_t size = WallpaperSizeForWidth(screenWidth)) v.WallpaperSizeChoice = size;
  if (v.WallpaperFolder.empty()) v.WallpaperFolder = defaultFolder;
}

}  // namespace

void LoadSettings(RegistryBackend& store, int screenWidth, const std::string& defaultFolder,
                  const SettingsVariables& vars, FirstRun firstRun) {
  {
    Registry reg(store);
    if (reg.OpenKey(kSettingsKey)) ReadAll(reg, vars);
  }
  if (vars.Speed != 0 || vars.WallpaperSizeChoice != 0 || vars.Algorithm != 0) return;

  ApplyFirstRunDefaults(screenWidth, defaultFolder, vars);
  if (firstRun == FirstRun::InMemory) return;
  Registry reg(store);
  if (!reg.CreateKey(kSettingsKey)) return;
  WriteChoices(reg, vars);
  reg.WriteString("Path_Wall", vars.WallpaperFolder);
}

void SaveSettings(RegistryBackend& store, const SettingsVariables& vars) {
  Registry reg(store);
  if (reg.CreateKey(kSettingsKey)) WriteChoices(reg, vars);
}

}  // namespace Settings
