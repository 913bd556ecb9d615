// The pattern's shader program on the current OpenGL context: the generated
// fragment shader of one algorithm (engine/shader_source.h) compiled and
// linked, its uniforms set from a pattern state, and one quad over the
// viewport drawn with it. Shared by the live per-pixel view and the
// wallpaper command's gpu engine; GL calls only, on the context that is
// current.
#pragma once

#include <cstdint>
#include <string>

#include "engine/gradient.h"
#include "platform/gl_functions.h"

namespace gpu {

// The current context's OpenGL version as major * 10 + minor (21 for
// "2.1 Mesa ..."); 0 when it cannot be read.
int ContextVersion();

// Whether the current context runs GLSL programs: OpenGL 2.0 or later with
// every entry point loaded. Otherwise false with one line in `why`.
bool ContextRunsShaders(const ui::GLFunctions& gl, std::string& why);

// Compiles and links a vertex and a fragment shader; 0, with the compiler's
// first line in `why`, when either fails.
GLuint BuildProgram(const ui::GLFunctions& gl, const std::string& vertex, const std::string& fragment,
                    std::string& why);

// Which samples the viewport shows: the picture's size (the divisors) and
// what a fragment's window position loses to become its sample column and row.
struct PicturePlacement {
  float width, height;
  float originX, originY;
};

class PatternProgram {
 public:
  // Builds algorithm's program (1..12); false with one line in `why`.
  bool Build(const ui::GLFunctions& gl, int32_t algorithm, std::string& why);
  GLuint Id() const { return program_; }
  // One quad over the viewport with s's phases and offsets, then the
  // fixed-function pipeline back (program 0).
  void Draw(const ui::GLFunctions& gl, const Gradient::PatternState& s, const PicturePlacement& place) const;
  // Deletes the program (the context it was built on must be current).
  void Delete(const ui::GLFunctions& gl);

 private:
  enum Uniform { kGridColumns, kGridRows, kPhaseA, kPhaseB, kPhaseC, kOffsetX, kOffsetY, kOrigin, kUniforms };
  GLuint program_ = 0;
  GLint location_[kUniforms] = {};
};

}  // namespace gpu
