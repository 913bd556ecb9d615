// The embedded mode's pattern choice, set-up and window events.
#include "host/embedded_saver.h"

#include <cstdio>
#include <exception>

#include "live/live_frame.h"
#include "live/pattern_view.h"
#include "settings/settings.h"

namespace embedded {

PatternChoice ChoosePattern(Settings::RegistryBackend& store, const EmbeddedOptions& options, std::string& warning) {
  // The load gives a value that cannot be read, and a store with nothing in
  // it, the first-run values.
  Settings::SettingsValues stored;
  try {
    Settings::LoadSettings(store, 0, std::string(), stored.Variables(), Settings::FirstRun::InMemory);
  } catch (const std::exception& e) {
    warning = e.what();
  }
  PatternChoice c{stored.Speed, stored.Algorithm, stored.RandomAlgorithm, stored.PixelView};
  if (options.speed) c.speed = *options.speed;
  if (options.pixels) c.pixels = *options.pixels;
  if (options.algorithm) c.algorithm = *options.algorithm;
  if (options.random) c.random = *options.random;
  return c;
}

void InitEmbeddedPattern(Gradient::PatternState& s, const PatternChoice& choice, uint32_t processId) {
  // One process per monitor, started in the same millisecond: the process
  // id, spread over all 32 bits, keeps their pictures apart.
  Gradient::SeedRandomFromClock();
  Gradient::SetRandomSeed(Gradient::RandomSeed() ^ (processId * 2654435761u));
  InitPicture(s, choice);
}

void InitPicture(Gradient::PatternState& s, const PatternChoice& choice) {
  live::UsePatternView(choice.pixels ? live::PatternView::Pixels : live::PatternView::Mesh);
  s.Speed = choice.speed;
  s.Algorithm = choice.random ? Gradient::Random(12) + 1 : choice.algorithm;
  Gradient::InitPattern(s, Gradient::kGridColumns, Gradient::kGridRows);
}

EmbeddedSaver::EmbeddedSaver(int32_t delayMicroseconds)
    : window_(ui::CreateGLWindow(*this)), pacing_(ui::Now(), std::chrono::microseconds(delayMicroseconds)) {}

namespace {

int CannotDraw(ui::GLWindowResult r, uint32_t target) {
  const unsigned long id = target;
  if (r == ui::GLWindowResult::NoDisplay)
    std::fprintf(stderr, "prismora: cannot open the display\n");
  else if (r == ui::GLWindowResult::NoSuchWindow)
    std::fprintf(stderr, "prismora: there is no window 0x%lx to draw on\n", id);
  else if (target)
    std::fprintf(stderr, "prismora: cannot draw with OpenGL on window 0x%lx\n", id);
  else
    std::fprintf(stderr, "prismora: cannot draw with OpenGL on the root window\n");
  return 1;
}

}  // namespace

int EmbeddedSaver::Run(uint32_t target) {
  const ui::GLWindowResult r = window_->Create(ui::GLWindowPlace::Into, target, ui::PixelFormat{32, 0}, "prismora");
  if (r != ui::GLWindowResult::Created) return CannotDraw(r, target);
  window_->EndOnTerminationSignals();
  live::SetupWindowProjection(window_->Width(), window_->Height());
  window_->Invalidate();
  window_->Run();
  window_->Release();
  return 0;
}

// Every paint draws (an exposed window needs its picture again); each asks
// for the next at the pacing's time.
void EmbeddedSaver::GLWindowPaint() {
  const live::PaceTime now = ui::Now();
  live::ClearAndDrawPacedPattern(Gradient::Pattern, pacing_, now);
  window_->Swap();
  frameRateLog_.Frame(now, pacing_);
  window_->InvalidateAt(*pacing_.NextFrameAt());
}

// The projection's aspect is fixed: the new viewport stretches the pattern
// over the whole new size.
void EmbeddedSaver::GLWindowResized(int width, int height) { live::SetupWindowProjection(width, height); }

}  // namespace embedded
