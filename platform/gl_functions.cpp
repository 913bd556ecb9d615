// Which groups of the loaded entry points are complete.
#include "platform/gl_functions.h"

namespace ui {

bool GLFunctions::HasShaders() const {
  return CreateShader && ShaderSource && CompileShader && GetShaderiv && GetShaderInfoLog && DeleteShader &&
         CreateProgram && AttachShader && LinkProgram && GetProgramiv && GetProgramInfoLog && DeleteProgram &&
         IsProgram && UseProgram && GetUniformLocation && Uniform1f && Uniform2f;
}

bool GLFunctions::HasFramebuffers() const {
  return GenFramebuffers && DeleteFramebuffers && BindFramebuffer && FramebufferRenderbuffer &&
         CheckFramebufferStatus && GenRenderbuffers && DeleteRenderbuffers && BindRenderbuffer && RenderbufferStorage;
}

}  // namespace ui
