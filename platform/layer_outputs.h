// The layer-shell window's bookkeeping of the compositor's outputs, free of
// any Wayland call so that it is tested headless: outputs added (each gets a
// number never used again), described (name, position, scale, mode),
// configured (the surface's logical size) and removed; which of them get a
// surface (all, or the one named); the buffer size each surface is drawn at.
// The Wayland backend feeds it what the compositor says and acts on its
// answers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ui {

constexpr int kMaxOutputScale = 16;
constexpr int kMaxBufferSide = 16384;

struct BufferSize {
  int width = 0, height = 0;
  int scale = 1;  // what the surface's buffer scale is set to
};

// A logical size (each side 1 to kMaxBufferSide) drawn at an integer scale
// (1 to kMaxOutputScale): the buffer in real pixels. A buffer must be a
// whole multiple of its scale, so where the scaled buffer would pass
// kMaxBufferSide on a side the scale is lowered until it fits.
BufferSize BufferSizeFor(int64_t logicalWidth, int64_t logicalHeight, int64_t scale);

struct LayerOutput {
  uint32_t global = 0;  // the registry's name of the output
  int number = 0;       // what the layer window's events call it
  std::string name;     // the compositor's name (HEADLESS-1, DP-2), once told
  int scale = 1;
  int x = 0, y = 0;                  // logical position in the compositor's space
  int modeWidth = 0, modeHeight = 0; // the current mode, in pixels
  bool described = false;            // the description is complete (done)
  bool hasSurface = false;
  bool closed = false;  // the compositor closed its surface: none again for it
  int width = 0, height = 0;  // the surface's configured logical size; 0 before
  BufferSize buffer;          // what the surface is drawn at
};

class LayerOutputs {
 public:
  // wanted: an output's name, or empty for every output.
  explicit LayerOutputs(std::string wanted = std::string());

  LayerOutput& Add(uint32_t global);
  LayerOutput* Find(uint32_t global);
  LayerOutput* FindNumber(int number);
  // False when the global names no output of ours (another global went).
  bool Remove(uint32_t global);

  // The scale as the compositor sent it, clamped to 1 .. kMaxOutputScale.
  static void SetScale(LayerOutput& o, int32_t scale);
  // True when this output should get a surface now: described, named as
  // wanted, and without one.
  bool NeedsSurface(const LayerOutput& o) const;
  bool Wanted(const LayerOutput& o) const;
  // The surface's size from the compositor (0 on a side: the output's mode
  // at its scale, else 1). True when the buffer's size changed.
  static bool Configure(LayerOutput& o, uint32_t width, uint32_t height);
  // After a scale change: true when a configured surface's buffer changed.
  static bool Rescale(LayerOutput& o);

  bool AllDescribed() const;
  bool AnyWanted() const;
  std::vector<std::string> Names() const;
  const std::vector<LayerOutput>& All() const { return outputs_; }
  const std::string& WantedName() const { return wanted_; }

 private:
  std::string wanted_;
  std::vector<LayerOutput> outputs_;
  int nextNumber_ = 1;
};

}  // namespace ui
