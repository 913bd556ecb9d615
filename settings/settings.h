// The settings store: the five values that the saver window, the settings
// window and the save dialog share, the view they draw the pattern in and
// what battery power does to it, loaded with their first-run defaults and
// saved back through the registry primitives. The storage itself is the
// backend's business; the screen width and the default folder come from the
// caller (the platform layer), so nothing here calls the OS.
#pragma once

#include <cstdint>
#include <string>

#include "engine/gradient.h"
#include "settings/registry.h"

namespace Settings {

// HKEY_CURRENT_USER\Software\Prismora.
constexpr const char* kSettingsKey = "\\Software\\Prismora\\";

// Wallpaper size 1..6; 0 or any other value means the screen size.
extern int32_t WallpaperSizeChoice;
// Pick the algorithm at random at each start.
extern bool RandomAlgorithm;
// Folder of the last saved wallpaper ("Path_Wall").
extern std::string WallpaperFolder;
// Draw the live pattern per pixel instead of as the mesh ("Pixels", off by
// default; a store without it, as every store before it, means off).
extern bool PixelView;
// What battery power does to the live pattern ("OnBattery"): 0 every frame,
// 1 at most 20 frames a second, 2 paused on the last frame. 1 when nothing
// usable is stored (every older store has no such value).
constexpr int32_t kDefaultBatteryChoice = 1;
extern int32_t BatteryChoice;

// The seven variables the store fills, wherever they live. The process-wide
// set is Gradient::Pattern.Speed / .Algorithm and the five variables above;
// tests pass their own.
struct SettingsVariables {
  int32_t& Speed;
  int32_t& WallpaperSizeChoice;
  int32_t& Algorithm;
  bool& RandomAlgorithm;
  std::string& WallpaperFolder;
  bool& PixelView;
  int32_t& BatteryChoice;
};
SettingsVariables ProcessSettings();

// The seven values in variables of the caller's own, for whoever must leave
// the process-wide ones alone: a mode that only reads the store, the tests,
// the benchmarks. As at process start until loaded: zero, the battery choice
// its default.
struct SettingsValues {
  int32_t Speed = 0;
  int32_t WallpaperSizeChoice = 0;
  int32_t Algorithm = 0;
  bool RandomAlgorithm = false;
  std::string WallpaperFolder;
  bool PixelView = false;
  int32_t BatteryChoice = kDefaultBatteryChoice;

  SettingsVariables Variables() {
    return {Speed, WallpaperSizeChoice, Algorithm, RandomAlgorithm, WallpaperFolder, PixelView, BatteryChoice};
  }
};

// What a first run does with its defaults: store them (the saver and the
// settings window), or only use them (modes that must never write the store,
// such as a hack that a screen-saver daemon runs).
enum class FirstRun { Write, InMemory };

// Reads "Speed", "Bright", "Algoritm", "Rands", "Path_Wall", "Pixels" and
// "OnBattery" in that order if the key exists ("Pixels" may be missing;
// "OnBattery" missing, unreadable or out of range is its default and never an
// error, and so is a missing key); when Speed,
// WallpaperSizeChoice and Algorithm are all 0 afterwards, sets the defaults
// (WallpaperSizeChoice from screenWidth, the folder to defaultFolder if it is
// empty, the mesh) and, with FirstRun::Write, writes all six in one change. A value that cannot be read does not stop the
// others: it takes its first-run value in memory, nothing is written, and
// once everything is set PrismoraError is raised with the message of the
// first value that failed. A failing first-run write raises its error.
void LoadSettings(RegistryBackend& store, int screenWidth, const std::string& defaultFolder,
                  const SettingsVariables& vars = ProcessSettings(), FirstRun firstRun = FirstRun::Write);

// Writes "Speed", "Bright", "Algoritm", "Rands", "Pixels" and "OnBattery"
// (not "Path_Wall") in one change. A key that cannot be created raises "Failed to set data for
// 'Speed'", and a failing write the error of the first value not stored.
void SaveSettings(RegistryBackend& store, const SettingsVariables& vars = ProcessSettings());

// The stored view alone, for a mode that reads nothing else (the preview):
// off when there is no store, no value or a value that cannot be read.
// Never writes.
bool LoadPixelView(RegistryBackend& store);

// The stored battery choice alone, for the modes that read nothing else: as
// LoadSettings reads it, and kDefaultBatteryChoice when there is no store.
// Never writes.
int32_t LoadBatteryChoice(RegistryBackend& store);

// The first-run wallpaper size for a screen width: 640, 800, 1024, 1152, 1280,
// 1600 give 1..6; any other width gives 0.
int32_t WallpaperSizeForWidth(int screenWidth);

}  // namespace Settings
