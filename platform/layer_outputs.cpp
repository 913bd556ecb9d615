// The layer-shell window's output bookkeeping (no OS calls).
#include "platform/layer_outputs.h"

#include <algorithm>
#include <utility>

namespace ui {

namespace {

int64_t Clamp(int64_t v, int64_t lo, int64_t hi) { return std::min(std::max(v, lo), hi); }

// Pointers into the vector stay valid only until the next Add: callers keep
// globals or numbers, never the pointers.
template <typename Vector, typename Match>
auto* FindIn(Vector& outputs, Match match) {
  const auto it = std::find_if(outputs.begin(), outputs.end(), match);
  return it == outputs.end() ? nullptr : &*it;
}

}  // namespace

BufferSize BufferSizeFor(int64_t logicalWidth, int64_t logicalHeight, int64_t scale) {
  int64_t s = Clamp(scale, 1, kMaxOutputScale);
  const int64_t w = Clamp(logicalWidth, 1, kMaxBufferSide), h = Clamp(logicalHeight, 1, kMaxBufferSide);
  while (s > 1 && (w * s > kMaxBufferSide || h * s > kMaxBufferSide)) --s;
  return BufferSize{int(w * s), int(h * s), int(s)};
}

LayerOutputs::LayerOutputs(std::string wanted) : wanted_(std::move(wanted)) {}

LayerOutput& LayerOutputs::Add(uint32_t global) {
  if (LayerOutput* known = Find(global)) return *known;
  LayerOutput o;
  o.global = global;
  o.number = nextNumber_++;
  outputs_.push_back(o);
  return outputs_.back();
}

LayerOutput* LayerOutputs::Find(uint32_t global) {
  return FindIn(outputs_, [&](const LayerOutput& o) { return o.global == global; });
}

LayerOutput* LayerOutputs::FindNumber(int number) {
  return FindIn(outputs_, [&](const LayerOutput& o) { return o.number == number; });
}

bool LayerOutputs::Remove(uint32_t global) {
  const auto it = std::find_if(outputs_.begin(), outputs_.end(), [&](const LayerOutput& o) { return o.global == global; });
  if (it == outputs_.end()) return false;
  outputs_.erase(it);
  return true;
}

void LayerOutputs::SetScale(LayerOutput& o, int32_t scale) { o.scale = int(Clamp(scale, 1, kMaxOutputScale)); }

bool LayerOutputs::Wanted(const LayerOutput& o) const { return wanted_.empty() || o.name == wanted_; }

bool LayerOutputs::NeedsSurface(const LayerOutput& o) const { return o.described && !o.hasSurface && !o.closed && Wanted(o); }

bool LayerOutputs::Configure(LayerOutput& o, uint32_t width, uint32_t height) {
  // A side of 0 leaves the size to us; anchored to all four edges the
  // compositor should not send it, but the output's own size is the answer.
  const int64_t scale = o.scale;
  o.width = int(width ? Clamp(width, 1, kMaxBufferSide) : Clamp(o.modeWidth / scale, 1, kMaxBufferSide));
  o.height = int(height ? Clamp(height, 1, kMaxBufferSide) : Clamp(o.modeHeight / scale, 1, kMaxBufferSide));
  return Rescale(o);
}

bool LayerOutputs::Rescale(LayerOutput& o) {
  if (o.width <= 0 || o.height <= 0) return false;
  const BufferSize b = BufferSizeFor(o.width, o.height, o.scale);
  if (b.width == o.buffer.width && b.height == o.buffer.height && b.scale == o.buffer.scale) return false;
  o.buffer = b;
  return true;
}

bool LayerOutputs::AllDescribed() const {
  return std::all_of(outputs_.begin(), outputs_.end(), [](const LayerOutput& o) { return o.described; });
}

bool LayerOutputs::AnyWanted() const {
  return std::any_of(outputs_.begin(), outputs_.end(), [&](const LayerOutput& o) { return o.described && Wanted(o); });
}

std::vector<std::string> LayerOutputs::Names() const {
  std::vector<std::string> names;
  for (const LayerOutput& o : outputs_) names.push_back(o.name.empty() ? "(unnamed)" : o.name);
  return names;
}

}  // namespace ui
