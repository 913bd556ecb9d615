// LoadSettings and SaveSettings over every backend of this platform: the
// first runs, the all-zero key, values that cannot be read falling back to
// their first-run values, one change per operation, failures reported, and
// what SaveSettings leaves alone.
#include "settings/settings.h"

#include <gtest/gtest.h>

#include "base/error.h"
#include "settings/memory_registry.h"
#include "tests/settings/scratch_store.h"

using Settings::kRegDword;
using Settings::kRegSz;
using Settings::RegistryValue;
using Settings::SettingsValues;

namespace {

constexpr const char* kKey = "Software\\Prismora";

RegistryValue Dword(uint32_t v) {
  return {kRegDword, {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}};
}
RegistryValue Sz(const std::string& s) {
  RegistryValue v{kRegSz, std::vector<uint8_t>(s.begin(), s.end())};
  v.data.push_back(0);
  return v;
}

class SettingsStoreTest : public testing::TestWithParam<std::unique_ptr<ScratchStore> (*)()> {
 protected:
  void SetUp() override { scratch_ = GetParam()(); }
  Settings::RegistryBackend& store() { return scratch_->backend(); }

  void Put(const std::string& name, const RegistryValue& value) {
    ASSERT_TRUE(store().CreateKey(kKey));
    ASSERT_TRUE(store().SetValue(name, value));
    store().CloseKey();
  }
  // A user's five designed values, as every store before the view holds them.
  void PutTheDesignedFive() {
    Put("Speed", Dword(30));
    Put("Bright", Dword(2));
    Put("Algoritm", Dword(4));
    Put("Rands", Dword(0));
    Put("Path_Wall", Sz("D:\\Pictures"));
  }
  // The stored value, or type kRegNone with no bytes when missing.
  RegistryValue Stored(const std::string& name) {
    RegistryValue v;
    if (!store().OpenKey(kKey) || !store().QueryValue(name, v)) v = {};
    store().CloseKey();
    return v;
  }
  void ExpectFirstRunValues(uint32_t bright, const std::string& folder) {
    EXPECT_EQ(Stored("Speed"), Dword(25));
    EXPECT_EQ(Stored("Bright"), Dword(bright));
    EXPECT_EQ(Stored("Algoritm"), Dword(7));
    EXPECT_EQ(Stored("Rands"), Dword(1));
    EXPECT_EQ(Stored("Path_Wall"), Sz(folder));
    EXPECT_EQ(Stored("Pixels"), Dword(0));  // the designed look: the mesh
  }
  std::string LoadError(SettingsValues& v, int width = 1024) {
    try {
      Settings::LoadSettings(store(), width, "C:\\Windows", v.Variables());
    } catch (const PrismoraError& e) {
      return e.what();
    }
    return "(no error)";
  }

  std::unique_ptr<ScratchStore> scratch_;
};

TEST_P(SettingsStoreTest, FirstRunWritesDefaultsWithSizeFromScreenWidth) {
  SettingsValues v;
  Settings::LoadSettings(store(), 1024, "C:\\Windows", v.Variables());
  EXPECT_EQ(v.Speed, 25);
  EXPECT_EQ(v.WallpaperSizeChoice, 3);
  EXPECT_EQ(v.Algorithm, 7);
  EXPECT_TRUE(v.RandomAlgorithm);
  EXPECT_EQ(v.WallpaperFolder, "C:\\Windows");
  ExpectFirstRunValues(3, "C:\\Windows");

  // The next start reads them back and writes nothing.
  SettingsValues again;
  Settings::LoadSettings(store(), 640, "elsewhere", again.Variables());
  EXPECT_EQ(again.WallpaperSizeChoice, 3);
  EXPECT_EQ(again.WallpaperFolder, "C:\\Windows");
  ExpectFirstRunValues(3, "C:\\Windows");
}

TEST_P(SettingsStoreTest, FirstRunInMemoryUsesTheDefaultsAndWritesNothing) {
  SettingsValues v;
  Settings::LoadSettings(store(), 1280, "/home/someone", v.Variables(), Settings::FirstRun::InMemory);
  EXPECT_EQ(v.Speed, 25);
  EXPECT_EQ(v.WallpaperSizeChoice, 5);
  EXPECT_EQ(v.Algorithm, 7);
  EXPECT_TRUE(v.RandomAlgorithm);
  EXPECT_EQ(v.WallpaperFolder, "/home/someone");
  EXPECT_FALSE(store().OpenKey(kKey));  // no key was created
  store().CloseKey();
}

TEST_P(SettingsStoreTest, FirstRunOnUnlistedWidthStoresSizeZero) {
  SettingsValues v;
  Settings::LoadSettings(store(), 1920, "/home/someone", v.Variables());
  EXPECT_EQ(v.WallpaperSizeChoice, 0);
  ExpectFirstRunValues(0, "/home/someone");
}

TEST_P(SettingsStoreTest, KeyWithAllThreeIntegersZeroIsRewrittenKeepingTheFolder) {
  Put("Speed", Dword(0));
  Put("Bright", Dword(0));
  Put("Algoritm", Dword(0));
  Put("Rands", Dword(0));
  Put("Path_Wall", Sz("D:\\Pictures"));
  SettingsValues v;
  Settings::LoadSettings(store(), 1280, "C:\\Windows", v.Variables());
  EXPECT_TRUE(v.RandomAlgorithm);
  ExpectFirstRunValues(5, "D:\\Pictures");
}

// A value that cannot be read must not stop the rest or leave zeros behind
// (a black window, and zeros written over good values by the next save).
TEST_P(SettingsStoreTest, AValueThatCannotBeReadTakesItsFirstRunValueAndTheRestAreRead) {
  Put("Speed", Dword(30));
  Put("Algoritm", Dword(4));
  Put("Rands", Dword(0));
  Put("Path_Wall", Sz("D:\\Pictures"));
  SettingsValues v;
  EXPECT_EQ(LoadError(v), "Failed to get data for 'Bright'");
  EXPECT_EQ(v.Speed, 30);
  EXPECT_EQ(v.WallpaperSizeChoice, 3);  // the first run's choice for a 1024-wide screen
  EXPECT_EQ(v.Algorithm, 4);
  EXPECT_FALSE(v.RandomAlgorithm);
  EXPECT_EQ(v.WallpaperFolder, "D:\\Pictures");
  EXPECT_EQ(Stored("Bright"), RegistryValue{});  // nothing was written
  EXPECT_EQ(Stored("Speed"), Dword(30));

  // Save Settings then writes the user's values back as they were.
  Settings::SaveSettings(store(), v.Variables());
  EXPECT_EQ(Stored("Speed"), Dword(30));
  EXPECT_EQ(Stored("Bright"), Dword(3));
  EXPECT_EQ(Stored("Algoritm"), Dword(4));
  EXPECT_EQ(Stored("Rands"), Dword(0));
  EXPECT_EQ(Stored("Path_Wall"), Sz("D:\\Pictures"));
}

// Every store written before the view existed lacks "Pixels": that is the
// mesh, without a word, and Save Settings adds the value.
TEST_P(SettingsStoreTest, AStoreWithoutTheViewDrawsTheMeshAndSaveSettingsAddsIt) {
  PutTheDesignedFive();
  SettingsValues v;
  v.PixelView = true;
  EXPECT_EQ(LoadError(v), "(no error)");
  EXPECT_FALSE(v.PixelView);
  EXPECT_EQ(Stored("Pixels"), RegistryValue{});  // a start writes nothing
  v.PixelView = true;
  Settings::SaveSettings(store(), v.Variables());
  EXPECT_EQ(Stored("Pixels"), Dword(1));
  SettingsValues again;
  EXPECT_EQ(LoadError(again), "(no error)");
  EXPECT_TRUE(again.PixelView);
  EXPECT_EQ(again.Speed, 30);
}

TEST_P(SettingsStoreTest, AViewOfAnotherTypeIsReportedAndDrawsTheMesh) {
  PutTheDesignedFive();
  Put("Pixels", Sz("yes"));
  SettingsValues v;
  EXPECT_EQ(LoadError(v), "Invalid data type for 'Pixels'");
  EXPECT_FALSE(v.PixelView);
  EXPECT_EQ(v.WallpaperFolder, "D:\\Pictures");  // the values before it were read
  EXPECT_FALSE(Settings::LoadPixelView(store()));  // the preview: quietly the mesh
}

// The preview reads the view alone, and never writes.
TEST_P(SettingsStoreTest, ThePreviewReadsOnlyTheView) {
  EXPECT_FALSE(Settings::LoadPixelView(store()));  // no key at all
  EXPECT_FALSE(store().OpenKey(kKey));  // and none made
  store().CloseKey();
  Put("Pixels", Dword(5));
  EXPECT_TRUE(Settings::LoadPixelView(store()));  // any non-zero value is on
  EXPECT_EQ(Stored("Speed"), RegistryValue{});
}

// The battery choice: 20 frames a second wherever nothing usable is
// stored (no key, no value as in every older store, another type, a
// number out of range), and reading it makes no key.
TEST_P(SettingsStoreTest, TheBatteryChoiceIsReadAloneWithItsDefault) {
  EXPECT_EQ(Settings::LoadBatteryChoice(store()), 1);
  EXPECT_FALSE(store().OpenKey(kKey));
  store().CloseKey();
  PutTheDesignedFive();
  EXPECT_EQ(Settings::LoadBatteryChoice(store()), 1);
  for (int32_t v : {0, 1, 2}) {
    Put("OnBattery", Dword(v));
    EXPECT_EQ(Settings::LoadBatteryChoice(store()), v);
  }
  for (const RegistryValue& bad : {Dword(3), Dword(-1), Sz("2")}) {
    Put("OnBattery", bad);
    EXPECT_EQ(Settings::LoadBatteryChoice(store()), 1);
  }
  SettingsValues v;
  EXPECT_EQ(LoadError(v), "(no error)");  // nor does it trouble the other values
}

// The settings window loads the choice with the others and Save Settings
// stores it. Nothing about it is ever an error, and it never hides the
// error of a value before it.
TEST_P(SettingsStoreTest, TheBatteryChoiceLoadsWithTheOthersAndSaveSettingsStoresIt) {
  SettingsValues none;
  none.BatteryChoice = 2;  // what a variable held before: no key still means the default
  Settings::LoadSettings(store(), 1024, "C:\\Windows", none.Variables(), Settings::FirstRun::InMemory);
  EXPECT_EQ(none.BatteryChoice, 1);

  PutTheDesignedFive();
  SettingsValues older;
  older.BatteryChoice = 0;
  EXPECT_EQ(LoadError(older), "(no error)");
  EXPECT_EQ(older.BatteryChoice, 1);
  EXPECT_EQ(Stored("OnBattery"), RegistryValue{});  // a start writes nothing
  const RegistryValue shortDword{kRegDword, {2, 0}};
  for (const RegistryValue& bad : {Dword(3), Dword(0xFFFFFFFF), Sz("2"), shortDword}) {
    Put("OnBattery", bad);
    SettingsValues v;
    v.BatteryChoice = 2;
    EXPECT_EQ(LoadError(v), "(no error)");
    EXPECT_EQ(v.BatteryChoice, 1);
  }

  for (int32_t choice : {0, 2, 1}) {
    SettingsValues v;
    EXPECT_EQ(LoadError(v), "(no error)");
    v.BatteryChoice = choice;
    Settings::SaveSettings(store(), v.Variables());
    EXPECT_EQ(Stored("OnBattery"), Dword(uint32_t(choice)));
    SettingsValues again;
    EXPECT_EQ(LoadError(again), "(no error)");
    EXPECT_EQ(again.BatteryChoice, choice);
    EXPECT_EQ(again.Speed, 30);
    EXPECT_EQ(Settings::LoadBatteryChoice(store()), choice);
  }

  Put("OnBattery", Dword(2));
  Put("Speed", Sz("30"));
  SettingsValues v;
  EXPECT_EQ(LoadError(v), "Invalid data type for 'Speed'");
  EXPECT_EQ(v.BatteryChoice, 2);
}

TEST_P(SettingsStoreTest, EveryFailingValueFallsBackAndTheFirstMessageIsReported) {
  Put("Speed", Sz("25"));
  Put("Algoritm", Dword(9));
  Put("Rands", {Settings::kRegBinary, {1}});
  Put("Path_Wall", Dword(7));
  for (Settings::FirstRun firstRun : {Settings::FirstRun::Write, Settings::FirstRun::InMemory}) {
    SettingsValues v;
    std::string error = "(no error)";
    try {
      Settings::LoadSettings(store(), 1280, "C:\\Windows", v.Variables(), firstRun);
    } catch (const PrismoraError& e) {
      error = e.what();
    }
    EXPECT_EQ(error, "Invalid data type for 'Speed'");
    EXPECT_EQ(v.Speed, 25);
    EXPECT_EQ(v.WallpaperSizeChoice, 5);
    EXPECT_EQ(v.Algorithm, 9);
    EXPECT_TRUE(v.RandomAlgorithm);
    EXPECT_EQ(v.WallpaperFolder, "C:\\Windows");
    EXPECT_EQ(Stored("Speed"), Sz("25"));  // left for the user to see
  }
}

TEST_P(SettingsStoreTest, StoredSettingsAreReadAndAnyNonZeroRandsIsTrue) {
  Put("Speed", Dword(50));
  Put("Bright", Dword(6));
  Put("Algoritm", Dword(12));
  Put("Rands", Dword(5));
  Put("Path_Wall", Sz("C:\\My \"Walls\""));
  SettingsValues v;
  Settings::LoadSettings(store(), 1024, "C:\\Windows", v.Variables());
  EXPECT_EQ(v.Speed, 50);
  EXPECT_EQ(v.WallpaperSizeChoice, 6);
  EXPECT_EQ(v.Algorithm, 12);
  EXPECT_TRUE(v.RandomAlgorithm);
  EXPECT_EQ(v.WallpaperFolder, "C:\\My \"Walls\"");
  EXPECT_EQ(Stored("Rands"), Dword(5));
}

TEST_P(SettingsStoreTest, NegativeIntegersSurviveTheStore) {
  Put("Speed", Dword(0xFFFFFFFF));
  Put("Bright", Dword(0));
  Put("Algoritm", Dword(0));
  Put("Rands", Dword(0));
  SettingsValues v;
  Settings::LoadSettings(store(), 800, "C:\\Windows", v.Variables());
  EXPECT_EQ(v.Speed, -1);  // not a first run: only all three zero counts
  EXPECT_EQ(v.WallpaperSizeChoice, 0);
  EXPECT_EQ(v.WallpaperFolder, "");
}

TEST_P(SettingsStoreTest, ValuesOfTheWrongTypeAreReported) {
  Put("Speed", Sz("25"));
  SettingsValues v;
  EXPECT_EQ(LoadError(v), "Invalid data type for 'Speed'");

  Put("Speed", Dword(3));
  Put("Bright", Dword(1));
  Put("Algoritm", Dword(2));
  Put("Rands", Dword(1));
  Put("Path_Wall", Dword(7));
  SettingsValues w;
  EXPECT_EQ(LoadError(w), "Invalid data type for 'Path_Wall'");
  EXPECT_EQ(w.Algorithm, 2);
}

TEST_P(SettingsStoreTest, SaveSettingsWritesFourValuesAndLeavesTheFolder) {
  Put("Path_Wall", Sz("D:\\Keep"));
  SettingsValues v{12, 4, 9, false, "D:\\Other"};
  Settings::SaveSettings(store(), v.Variables());
  EXPECT_EQ(Stored("Speed"), Dword(12));
  EXPECT_EQ(Stored("Bright"), Dword(4));
  EXPECT_EQ(Stored("Algoritm"), Dword(9));
  EXPECT_EQ(Stored("Rands"), Dword(0));
  EXPECT_EQ(Stored("Path_Wall"), Sz("D:\\Keep"));
}

TEST_P(SettingsStoreTest, SaveSettingsCreatesAMissingKeyWithoutTheFolder) {
  SettingsValues v{1, 2, 3, true, "D:\\Other"};
  Settings::SaveSettings(store(), v.Variables());
  EXPECT_EQ(Stored("Algoritm"), Dword(3));
  EXPECT_EQ(Stored("Path_Wall"), RegistryValue{});
}

std::unique_ptr<ScratchStore> (*const kMemory)() = MakeMemoryScratchStore;
std::unique_ptr<ScratchStore> (*const kNative)() = MakeNativeScratchStore;

INSTANTIATE_TEST_SUITE_P(Memory, SettingsStoreTest, testing::Values(kMemory));
INSTANTIATE_TEST_SUITE_P(Native, SettingsStoreTest, testing::Values(kNative));

// ---- Failures that only the memory backend can stage ----

// The first run says nothing about a store it cannot create;
// Save Settings must not claim success when nothing was written.
TEST(SettingsStoreFailures, AKeyThatCannotBeCreatedIsSilentAtFirstRunAndReportedBySaveSettings) {
  Settings::MemoryRegistry store;
  store.refuseCreate = true;
  SettingsValues v;
  Settings::LoadSettings(store, 1152, "C:\\Windows", v.Variables());
  EXPECT_EQ(v.WallpaperSizeChoice, 4);
  EXPECT_EQ(v.Speed, 25);
  EXPECT_TRUE(store.written.empty());
  try {
    Settings::SaveSettings(store, v.Variables());
    FAIL() << "no error";
  } catch (const PrismoraError& e) {
    EXPECT_STREQ(e.what(), "Failed to set data for 'Speed'");
  }
  EXPECT_TRUE(store.written.empty());
}

TEST(SettingsStoreFailures, AFailingWriteNamesTheFirstValueNotStored) {
  for (const std::string refused : {"Speed", "Algoritm"}) {
    Settings::MemoryRegistry store;
    store.refuseValue = refused;
    SettingsValues v{5, 1, 2, false, ""};
    try {
      Settings::SaveSettings(store, v.Variables());
      FAIL() << "no error";
    } catch (const PrismoraError& e) {
      EXPECT_EQ(e.what(), "Failed to set data for '" + refused + "'");
    }
    EXPECT_EQ(store.written.back(), refused);  // nothing after it was tried
    EXPECT_FALSE(store.keyOpen());             // closed on the way out
  }
}

TEST(SettingsStoreFailures, ReadsAndWritesFollowTheStoredOrder) {
  Settings::MemoryRegistry store;
  SettingsValues v;
  Settings::LoadSettings(store, 1024, "C:\\Windows", v.Variables());
  EXPECT_TRUE(store.queried.empty());  // no key: nothing read
  const std::vector<std::string> all{"Speed", "Bright", "Algoritm", "Rands", "Path_Wall", "Pixels"};
  EXPECT_EQ(store.written, all);
  EXPECT_EQ(store.changes, 1);  // one change for the whole first run
  Settings::LoadSettings(store, 1024, "C:\\Windows", v.Variables());
  std::vector<std::string> read = all;
  read.push_back("OnBattery");  // not written by the first run: missing is its default
  EXPECT_EQ(store.queried, read);
  store.written.clear();
  Settings::SaveSettings(store, v.Variables());
  EXPECT_EQ(store.changes, 2);
  EXPECT_EQ(store.written,
            (std::vector<std::string>{"Speed", "Bright", "Algoritm", "Rands", "Pixels", "OnBattery"}));
}

TEST(SettingsStoreFailures, ProcessSettingsReferToThePatternAndModuleVariables) {
  const Settings::SettingsVariables p = Settings::ProcessSettings();
  EXPECT_EQ(&p.Speed, &Gradient::Pattern.Speed);
  EXPECT_EQ(&p.Algorithm, &Gradient::Pattern.Algorithm);
  EXPECT_EQ(&p.WallpaperFolder, &Settings::WallpaperFolder);
  EXPECT_EQ(&p.PixelView, &Settings::PixelView);
  EXPECT_EQ(&p.BatteryChoice, &Settings::BatteryChoice);
}

TEST(SettingsStoreFailures, WallpaperSizeFromScreenWidth) {
  const int widths[] = {640, 800, 1024, 1152, 1280, 1600, 0, 1366, 1920, -640};
  const int sizes[] = {1, 2, 3, 4, 5, 6, 0, 0, 0, 0};
  for (int i = 0; i < 10; ++i) EXPECT_EQ(Settings::WallpaperSizeForWidth(widths[i]), sizes[i]);
}

}  // namespace

namespace {
class MemoryScratch : public ScratchStore {
 public:
  Settings::RegistryBackend& backend() override { return store_; }

 private:
  Settings::MemoryRegistry store_;
};
}  // namespace

std::unique_ptr<ScratchStore> MakeMemoryScratchStore() { return std::make_unique<MemoryScratch>(); }
