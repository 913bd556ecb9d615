// Which engine evaluates the per-point formulas: the names, what this
// processor runs (cpuid, through the compiler's own check, which also asks
// the system whether it saves the wide registers), and the one selection of
// the process.
#include <atomic>

#include "engine/lane_engine.h"
#include "engine/x87.h"
#include "base/error.h"

namespace Gradient {

namespace {

struct EngineEntry {
  Engine engine;
  const char* name;
};
constexpr EngineEntry kEngines[] = {{Engine::Auto, "auto"},
                                    {Engine::X87, "x87"},
                                    {Engine::Sse2, "sse2"},
                                    {Engine::Avx2, "avx2"},
                                    {Engine::Avx512, "avx512"}};

bool ProcessorRuns(Engine e) {
#if PRISMORA_X87 && defined(PRISMORA_LANES)
  __builtin_cpu_init();
  switch (e) {
    case Engine::Sse2: return __builtin_cpu_supports("sse2");
    case Engine::Avx2: return __builtin_cpu_supports("avx2");
    case Engine::Avx512: return __builtin_cpu_supports("avx512f");
    default: return true;
  }
#else
  return e == Engine::Auto || e == Engine::X87;
#endif
}

// Engine::Auto until the first use picks the widest.
std::atomic<Engine> selected{Engine::Auto};

}  // namespace

const char* EngineName(Engine e) {
  for (const EngineEntry& entry : kEngines) {
    if (entry.engine == e) return entry.name;
  }
  return "?";
}

bool ParseEngineName(std::string_view name, Engine& out) {
  for (const EngineEntry& entry : kEngines) {
    if (name == entry.name) {
      out = entry.engine;
      return true;
    }
  }
  return false;
}

bool EngineAvailable(Engine e) { return ProcessorRuns(e); }

Engine WidestEngine() {
  for (Engine e : {Engine::Avx512, Engine::Avx2, Engine::Sse2}) {
    if (EngineAvailable(e)) return e;
  }
  return Engine::X87;
}

bool SelectEngine(Engine e) {
  if (!EngineAvailable(e)) return false;
  selected.store(e == Engine::Auto ? WidestEngine() : e);
  return true;
}

Engine SelectedEngine() {
  Engine e = selected.load();
  if (e == Engine::Auto) {
    e = WidestEngine();
    selected.store(e);
  }
  return e;
}

std::string SelectEngineByName(std::string_view name, std::string_view alsoAccepted) {
  Engine e;
  if (!ParseEngineName(name, e)) {
    const std::string shown = ShownInMessage(name.substr(0, 32)) + (name.size() > 32 ? "..." : "");
    return "unknown engine '" + shown + "', expected one of " + kEngineNames +
           (alsoAccepted.empty() ? "" : ", " + std::string(alsoAccepted));
  }
  if (!SelectEngine(e)) {
    return std::string("this processor cannot run the ") + EngineName(e) + " engine (widest here: " +
           EngineName(WidestEngine()) + ")";
  }
  return "";
}

namespace detail {

namespace {
std::atomic<uint64_t> laneFallbacks{0};
}  // namespace

uint64_t LaneFallbacks() { return laneFallbacks.load(); }
void CountLaneFallback() { laneFallbacks.fetch_add(1, std::memory_order_relaxed); }

const LaneEngine* LaneEngineFor(Engine e) {
#if defined(PRISMORA_LANES)
  switch (e) {
    case Engine::Sse2: return &kSse2Lanes;
    case Engine::Avx2: return &kAvx2Lanes;
    case Engine::Avx512: return &kAvx512Lanes;
    default: return nullptr;
  }
#else
  (void)e;
  return nullptr;
#endif
}

}  // namespace detail

}  // namespace Gradient
