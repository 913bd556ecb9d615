// The Linux settings store: a start's LoadSettings (one read of the file), a
// Save Settings (lock, read, edit, write, flush, rename), and decoding and
// encoding a registry editor's UTF-16 export of a whole user hive's size.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/linux/linux_registry_file.h"
#include "platform/linux/reg_text.h"
#include "settings/settings.h"

namespace {

namespace fs = std::filesystem;
using Settings::SettingsValues;

fs::path ScratchStore() {
  const fs::path dir = fs::temp_directory_path() / "prismora-bench-store";
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir / "registry.reg";
}

void BM_LoadSettings(benchmark::State& state) {
  const fs::path file = ScratchStore();
  Platform::LinuxRegistryFile store(file.string());
  SettingsValues first;
  Settings::LoadSettings(store, 1024, "/home/someone", first.Variables());  // the first run writes the file
  for (auto _ : state) {
    SettingsValues v;
    Settings::LoadSettings(store, 1024, "/home/someone", v.Variables());
    benchmark::DoNotOptimize(v.Speed);
  }
  fs::remove_all(file.parent_path());
}
BENCHMARK(BM_LoadSettings)->Unit(benchmark::kMicrosecond);

void BM_SaveSettings(benchmark::State& state) {
  const fs::path file = ScratchStore();
  Platform::LinuxRegistryFile store(file.string());
  SettingsValues v{25, 3, 7, true, "/home/someone"};
  for (auto _ : state) {
    ++v.Speed;
    Settings::SaveSettings(store, v.Variables());
  }
  fs::remove_all(file.parent_path());
}
BENCHMARK(BM_SaveSettings)->Unit(benchmark::kMicrosecond);

// About 2 MB of UTF-16: 5,000 keys of three values each.
std::string LargeUtf16Export() {
  std::u16string text = u"Windows Registry Editor Version 5.00\r\n\r\n";
  for (int i = 0; i < 5000; ++i) {
    const std::string n = std::to_string(i);
    text += u"[HKEY_CURRENT_USER\\Software\\Vendor\\Key" + std::u16string(n.begin(), n.end()) + u"]\r\n";
    text += u"\"Name\"=\"Gr\u00fc\u00dfe aus dem Registry-Export\"\r\n\"Count\"=dword:0000002a\r\n";
    text += u"\"Path\"=hex(2):25,00,55,00,53,00,45,00,52,00,50,00,52,00,4f,00,46,00,49,00,4c,00,45,00,25,00,00,00\r\n\r\n";
  }
  std::string bytes = "\xFF\xFE";
  for (char16_t unit : text) {
    bytes.push_back(char(unit & 0xFF));
    bytes.push_back(char(unit >> 8));
  }
  return bytes;
}

void BM_DecodeEncodeUtf16Export(benchmark::State& state) {
  const std::string bytes = LargeUtf16Export();
  for (auto _ : state) {
    Platform::RegDocument doc;
    std::string again;
    benchmark::DoNotOptimize(Platform::DecodeRegFile(bytes, doc) && Platform::EncodeRegFile(doc, again));
  }
  state.SetBytesProcessed(state.iterations() * int64_t(bytes.size()));
}
BENCHMARK(BM_DecodeEncodeUtf16Export)->Unit(benchmark::kMillisecond);

}  // namespace
