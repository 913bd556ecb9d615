// The per-pixel view's shaders, generated from the formulas of
// engine/algorithms.h: evaluating an algorithm's template over the shader
// policy (engine/shader_math.h) writes the GLSL of its wallpaper form, fold
// ladder and finishing included, so that no formula is written twice. Text
// only; the GL calls that compile and draw it live in gpu/.
#pragma once

#include <cstdint>
#include <string>

namespace Gradient {

// GLSL 1.10 (OpenGL 2.0). The fragment shader of algorithm 1..12 ("" for any
// other number) colours each fragment as the wallpaper stores its pixel:
// each channel's byte (the low 8 bits of the rounded value) over 255.
// Uniforms, all float but Origin:
//   GridColumns, GridRows   the picture's width and height in pixels
//   PhaseA, PhaseB, PhaseC, OffsetX, OffsetY   the pattern's drifting values
//   Origin (vec2)           what is subtracted from a fragment's window
//                           position to give its sample column and row
// Sample column 0 is drawn as column GridColumns, as the export's copy shows
// it in a picture (image/wallpaper_copy.h).
std::string PatternFragmentShader(int32_t algorithm);

// The vertex shader: the quad's corners, given in clip coordinates, as they are.
extern const char* const kPatternVertexShader;

}  // namespace Gradient
