// The embedded mode on the headless layer: the stored settings read and never
// written, the options over them, the pattern it sets up, what it asks of the
// embedded window and how it answers the window's events, and the pacing of
// its frames on the virtual clock.
#include "host/embedded_saver.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <memory>

#include "platform/headless/headless_gl_window.h"
#include "settings/memory_registry.h"
#include "settings/settings.h"

namespace {

using Settings::RegistryValue;
using ui::headless::GLWindowEvent;
using ui::headless::TheGLWindow;

constexpr const char* kKey = "Software\\Prismora";

RegistryValue Dword(uint32_t v) {
  return {Settings::kRegDword, {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}};
}

struct Store {
  Settings::MemoryRegistry registry;
  void Put(const std::string& name, const RegistryValue& v) { registry.keys[kKey][name] = v; }
  void PutChoices(uint32_t speed, uint32_t algorithm, uint32_t random) {
    Put("Speed", Dword(speed));
    Put("Bright", Dword(3));
    Put("Algoritm", Dword(algorithm));
    Put("Rands", Dword(random));
  }
};

EmbeddedOptions Root() {
  EmbeddedOptions o;
  o.root = true;
  return o;
}

TEST(EmbeddedChoice, WithoutAStoreTheFirstRunValuesApplyAndNothingIsWritten) {
  Store store;
  std::string warning;
  const embedded::PatternChoice c = embedded::ChoosePattern(store.registry, Root(), warning);
  EXPECT_EQ(c.speed, 25);
  EXPECT_EQ(c.algorithm, 7);
  EXPECT_TRUE(c.random);
  EXPECT_TRUE(warning.empty());
  EXPECT_TRUE(store.registry.keys.empty());
  EXPECT_TRUE(store.registry.written.empty());
}

TEST(EmbeddedChoice, TheStoredSettingsApplyAndStayAsStored) {
  Store store;
  store.PutChoices(12, 4, 0);
  const auto before = store.registry.keys;
  std::string warning;
  const embedded::PatternChoice c = embedded::ChoosePattern(store.registry, Root(), warning);
  EXPECT_EQ(c.speed, 12);
  EXPECT_EQ(c.algorithm, 4);
  EXPECT_FALSE(c.random);
  EXPECT_TRUE(store.registry.written.empty());
  EXPECT_EQ(store.registry.keys, before);
}

TEST(EmbeddedChoice, AnAllZeroKeyIsAFirstRunInMemoryOnly) {
  Store store;
  store.PutChoices(0, 0, 0);
  store.Put("Bright", Dword(0));
  std::string warning;
  const embedded::PatternChoice c = embedded::ChoosePattern(store.registry, Root(), warning);
  EXPECT_EQ(c.speed, 25);
  EXPECT_EQ(c.algorithm, 7);
  EXPECT_TRUE(c.random);
  EXPECT_TRUE(store.registry.written.empty());
}

TEST(EmbeddedChoice, OptionsOverrideTheStore) {
  Store store;
  store.PutChoices(12, 4, 1);
  EmbeddedOptions o = Root();
  o.speed = 0;
  o.algorithm = 11;
  o.random = false;
  std::string warning;
  const embedded::PatternChoice c = embedded::ChoosePattern(store.registry, o, warning);
  EXPECT_EQ(c.speed, 0);
  EXPECT_EQ(c.algorithm, 11);
  EXPECT_FALSE(c.random);
  o = Root();
  o.random = true;
  EXPECT_TRUE(embedded::ChoosePattern(store.registry, o, warning).random);
}

// The view: stored (absent in older stores: the mesh), or --pixels / --mesh.
TEST(EmbeddedChoice, TheViewIsStoredOrGiven) {
  Store store;
  store.PutChoices(12, 4, 0);
  std::string warning;
  EXPECT_FALSE(embedded::ChoosePattern(store.registry, Root(), warning).pixels);
  store.Put("Pixels", Dword(1));
  EXPECT_TRUE(embedded::ChoosePattern(store.registry, Root(), warning).pixels);
  EmbeddedOptions o = Root();
  o.pixels = false;
  EXPECT_FALSE(embedded::ChoosePattern(store.registry, o, warning).pixels);
  EXPECT_TRUE(warning.empty());
}

// A value that cannot be read is reported, and what was not read keeps its
// first-run value: never an algorithm 0 that would draw nothing.
TEST(EmbeddedChoice, AReadErrorIsReportedAndTheRestKeepsWorkableValues) {
  Store store;
  store.PutChoices(12, 4, 0);
  store.Put("Bright", RegistryValue{Settings::kRegSz, {'3', 0}});
  std::string warning;
  const embedded::PatternChoice c = embedded::ChoosePattern(store.registry, Root(), warning);
  EXPECT_NE(warning.find("Bright"), std::string::npos) << warning;
  EXPECT_EQ(c.speed, 12);
  EXPECT_GE(c.algorithm, 1);
  EXPECT_LE(c.algorithm, 12);
  EXPECT_TRUE(store.registry.written.empty());
}

TEST(EmbeddedPattern, TheSaversGridAndSpeedWithTheAlgorithmGivenOrAtRandom) {
  auto s = std::make_unique<Gradient::PatternState>();
  embedded::InitEmbeddedPattern(*s, {17, 9, false}, 100);
  EXPECT_EQ(s->GridColumns, 120);
  EXPECT_EQ(s->GridRows, 90);
  EXPECT_EQ(s->Speed, 17);
  EXPECT_EQ(s->Algorithm, 9);
  bool seen[13] = {};
  for (uint32_t pid = 1; pid < 400; ++pid) {
    embedded::InitEmbeddedPattern(*s, {17, 9, true}, pid);
    ASSERT_GE(s->Algorithm, 1);
    ASSERT_LE(s->Algorithm, 12);
    seen[s->Algorithm] = true;
  }
  for (int a = 1; a <= 12; ++a) EXPECT_TRUE(seen[a]) << "algorithm " << a << " never chosen";
}

// Two monitors' processes start in the same millisecond: their process ids
// alone must set their pictures apart. (One phase alone takes one of 628
// values, so two pictures share it now and then: the five drifting values
// together tell pictures apart.)
TEST(EmbeddedPattern, ProcessesStartedTogetherDrawDifferentPictures) {
  auto a = std::make_unique<Gradient::PatternState>();
  auto b = std::make_unique<Gradient::PatternState>();
  const auto values = [](const Gradient::PatternState& s) {
    return std::array<long double, 5>{s.PhaseA, s.PhaseB, s.PhaseC, s.OffsetX, s.OffsetY};
  };
  for (uint32_t pid = 1000; pid < 1010; ++pid) {
    embedded::InitEmbeddedPattern(*a, {25, 7, false}, pid);
    embedded::InitEmbeddedPattern(*b, {25, 7, false}, pid + 1);
    EXPECT_NE(values(*a), values(*b)) << pid;
  }
}

class EmbeddedWindow : public testing::Test {
 protected:
  void SetUp() override {
    ui::headless::ResetGLWindow();
    std::memset(static_cast<void*>(&Gradient::Pattern), 0, sizeof Gradient::Pattern);
    embedded::InitEmbeddedPattern(Gradient::Pattern, {25, 7, false}, 1);
  }
};

TEST_F(EmbeddedWindow, DrawsOnTheGivenWindowUntilItGoesThenReleasesAndEndsWithZero) {
  TheGLWindow().script = {{GLWindowEvent::Paint}, {GLWindowEvent::Paint}, {GLWindowEvent::Key, 65},
                          {GLWindowEvent::Paint}, {GLWindowEvent::Gone}, {GLWindowEvent::Paint}};
  embedded::EmbeddedSaver saver(10000);
  EXPECT_EQ(saver.Run(0x1234), 0);
  const auto& r = TheGLWindow();
  EXPECT_EQ(r.place, ui::GLWindowPlace::Into);
  EXPECT_EQ(r.parent, 0x1234u);
  EXPECT_EQ(r.format.colourBits, 32);
  EXPECT_EQ(r.format.depthBits, 0);
  EXPECT_TRUE(r.signalsInstalled);
  EXPECT_EQ(r.swaps, 3);  // one per paint; the key is ignored; nothing after the window went
  EXPECT_EQ(r.eventsPlayed, 5);
  EXPECT_TRUE(r.released);
}

// Frames every 10 ms from the first: at 10, 20 and 30 ms one step each; a
// paint at 35 ms (an exposure) draws again but takes no step.
TEST_F(EmbeddedWindow, EachFrameBringsThePatternToItsClockAndAResizeKeepsItDrawing) {
  TheGLWindow().script = {{GLWindowEvent::Paint}, {GLWindowEvent::Resize, 1920, 1080}, {GLWindowEvent::Wait, 35},
                          {GLWindowEvent::Resize, 1, 1}, {GLWindowEvent::Paint}};
  const float phaseBefore = Gradient::Pattern.PhaseA;
  // The drift draws from the generator when a velocity is 0: both runs start
  // from the same generator state.
  const uint32_t seed = Gradient::RandomSeed();
  auto expected = std::make_unique<Gradient::PatternState>(Gradient::Pattern);
  for (int i = 0; i < 3; ++i) Gradient::DriftFrame(*expected);
  Gradient::SetRandomSeed(seed);
  embedded::EmbeddedSaver saver(10000);
  EXPECT_EQ(saver.Run(0), 0);
  EXPECT_EQ(TheGLWindow().swaps, 5);
  EXPECT_EQ(TheGLWindow().parent, 0u);  // the root window
  EXPECT_NE(Gradient::Pattern.PhaseA, phaseBefore);
  EXPECT_EQ(Gradient::Pattern.PhaseA, expected->PhaseA);
  EXPECT_EQ(Gradient::Pattern.OffsetY, expected->OffsetY);
}

TEST_F(EmbeddedWindow, AWindowThatCannotBeDrawnOnEndsWithOneLineAndStatusOne) {
  for (auto result : {ui::GLWindowResult::NoSuchWindow, ui::GLWindowResult::NoDisplay, ui::GLWindowResult::Failed}) {
    ui::headless::ResetGLWindow();
    TheGLWindow().createResult = result;
    TheGLWindow().script = {{GLWindowEvent::Paint}};
    testing::internal::CaptureStderr();
    embedded::EmbeddedSaver saver(10000);
    EXPECT_EQ(saver.Run(0x3fffff0), 1);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err.rfind("prismora: ", 0), 0u) << err;
    EXPECT_EQ(err.find('\n'), err.size() - 1) << err;
    EXPECT_FALSE(TheGLWindow().ran);
    EXPECT_FALSE(TheGLWindow().signalsInstalled);
  }
}

// --delay is the time from one frame to the next; 0 asks for the next at once.
TEST_F(EmbeddedWindow, EachFrameAsksForTheNextAfterTheDelay) {
  TheGLWindow().script = {{GLWindowEvent::Paint}, {GLWindowEvent::Wait, 25}};
  embedded::EmbeddedSaver paced(10000);
  EXPECT_EQ(paced.Run(0), 0);
  EXPECT_EQ(TheGLWindow().paints, 3);  // at 0, 10 and 20 ms
  ui::headless::ResetGLWindow();
  TheGLWindow().script = {{GLWindowEvent::Paint}, {GLWindowEvent::Wait, 5}};
  embedded::EmbeddedSaver unpaced(0);
  EXPECT_EQ(unpaced.Run(0), 0);
  EXPECT_EQ(TheGLWindow().paints, 6);  // one in every millisecond of the wait
}

}  // namespace
