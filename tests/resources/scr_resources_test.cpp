// prismora.scr's resources as Windows reads them: the manifest (parsed into an
// activation context that brings in common controls 6), its supported systems
// and DPI awareness, the version information from the project version, the
// description string and the icon. Runs in the folder of prismora.scr.
#include <gtest/gtest.h>
#include <windows.h>

#include <initializer_list>
#include <string>

#include "prismora_version.h"

namespace {

constexpr const char* kScr = "prismora.scr";
// The width of this build, which the program shares with its tests.
constexpr const char* kArchitecture = sizeof(void*) == 8 ? "amd64" : "x86";

// The program's resources without running it.
class ScrResources : public ::testing::Test {
 protected:
  void SetUp() override {
    module_ = LoadLibraryExA(kScr, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module_, nullptr) << "cannot open " << kScr << ", error " << GetLastError();
  }
  void TearDown() override {
    if (module_) FreeLibrary(module_);
  }

  std::string Manifest() const {
    const HRSRC info = FindResourceA(module_, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    if (!info) return {};
    const HGLOBAL data = LoadResource(module_, info);
    return std::string(static_cast<const char*>(LockResource(data)), SizeofResource(module_, info));
  }

  HMODULE module_ = nullptr;
};

// Whether one element <tag ...> carries every one of `attributes` (name="value"
// as written): enough for a file we write ourselves.
bool HasElement(const std::string& xml, const std::string& tag, std::initializer_list<std::string> attributes) {
  const std::string open = "<" + tag + " ";
  for (size_t at = xml.find(open); at != std::string::npos; at = xml.find(open, at + 1)) {
    const std::string element = xml.substr(at, xml.find('>', at) - at);
    bool all = true;
    for (const std::string& a : attributes) all = all && element.find(a) != std::string::npos;
    if (all) return true;
  }
  return false;
}

TEST_F(ScrResources, ManifestNamesEverySupportedSystemFromVistaTo11) {
  const std::string manifest = Manifest();
  ASSERT_FALSE(manifest.empty()) << "no RT_MANIFEST resource 1";
  for (const char* id : {"{e2011457-1546-43c5-a5fe-008deee3d3f0}",    // Vista
                         "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",    // 7
                         "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",    // 8
                         "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",    // 8.1
                         "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"})  // 10 and 11
    EXPECT_TRUE(HasElement(manifest, "supportedOS", {std::string("Id=\"") + id + "\""})) << id;
}

TEST_F(ScrResources, ManifestMakesTheProcessPerMonitorAwareAndAsksForCommonControls6) {
  const std::string manifest = Manifest();
  EXPECT_NE(manifest.find(">true/pm</dpiAware>"), std::string::npos);
  EXPECT_NE(manifest.find(">PerMonitorV2, PerMonitor</dpiAwareness>"), std::string::npos);
  EXPECT_TRUE(HasElement(manifest, "assemblyIdentity",
                         {"name=\"Microsoft.Windows.Common-Controls\"", "version=\"6.0.0.0\"",
                          "publicKeyToken=\"6595b64144ccf1df\""}));
  EXPECT_TRUE(HasElement(manifest, "requestedExecutionLevel", {"level=\"asInvoker\""}));
  EXPECT_TRUE(HasElement(manifest, "assemblyIdentity",
                         {"name=\"Prismora.Screensaver\"", std::string("version=\"") + PRISMORA_VERSION ".0\"",
                          std::string("processorArchitecture=\"") + kArchitecture + "\""}));
}

// What the loader does with it: a manifest it cannot parse would keep the
// program from starting at all.
TEST_F(ScrResources, TheLoaderAcceptsTheManifestAndItBringsCommonControls6) {
  char path[MAX_PATH];
  ASSERT_GT(GetFullPathNameA(kScr, MAX_PATH, path, nullptr), 0u);
  ACTCTXA context{};
  context.cbSize = sizeof context;
  context.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
  context.lpSource = path;
  context.lpResourceName = MAKEINTRESOURCEA(1);
  const HANDLE actCtx = CreateActCtxA(&context);
  ASSERT_NE(actCtx, INVALID_HANDLE_VALUE) << "CreateActCtx failed, error " << GetLastError();
  ULONG_PTR cookie = 0;
  ASSERT_TRUE(ActivateActCtx(actCtx, &cookie));
  // Loaded from the side-by-side assembly of common controls 6, not from
  // the system folder's version 5 (Wine's copy reports 5 from DllGetVersion
  // even there, so the place is what tells).
  const HMODULE comctl = LoadLibraryA("comctl32.dll");
  ASSERT_NE(comctl, nullptr);
  char loaded[MAX_PATH] = {};
  GetModuleFileNameA(comctl, loaded, MAX_PATH);
  std::string place = loaded;
  for (char& ch : place) ch = static_cast<char>(ch >= 'A' && ch <= 'Z' ? ch + 32 : ch);
  EXPECT_NE(place.find(std::string("\\winsxs\\") + kArchitecture +
                       "_microsoft.windows.common-controls_6595b64144ccf1df_6.0."),
            std::string::npos)
      << loaded;
  FreeLibrary(comctl);
  DeactivateActCtx(0, cookie);
  ReleaseActCtx(actCtx);
}

TEST(ScrVersion, FixedAndStringVersionsAreTheProjectVersion) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(kScr, &ignored);
  ASSERT_GT(size, 0u);
  std::string block(size, '\0');
  ASSERT_TRUE(GetFileVersionInfoA(kScr, 0, size, block.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwFileVersionMS, static_cast<DWORD>(PRISMORA_VERSION_MAJOR << 16 | PRISMORA_VERSION_MINOR));
  EXPECT_EQ(fixed->dwFileVersionLS, static_cast<DWORD>(PRISMORA_VERSION_PATCH << 16));
  EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
  for (const char* key : {"FileVersion", "ProductVersion"}) {
    char* text = nullptr;
    ASSERT_TRUE(VerQueryValueA(block.data(), (std::string("\\StringFileInfo\\040904B0\\") + key).c_str(),
                               reinterpret_cast<void**>(&text), &length))
        << key;
    EXPECT_STREQ(text, PRISMORA_VERSION) << key;
  }
}

TEST_F(ScrResources, DescriptionStringAndIcon) {
  char text[64] = {};
  ASSERT_GT(LoadStringA(module_, 1, text, sizeof text), 0);
  EXPECT_STREQ(text, "Prismora Screensaver");
  EXPECT_NE(FindResourceA(module_, MAKEINTRESOURCEA(100), MAKEINTRESOURCEA(14)), nullptr);  // RT_GROUP_ICON
}

}  // namespace
