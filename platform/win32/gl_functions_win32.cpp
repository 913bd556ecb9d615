// The GL entry points on Windows: opengl32 exports only OpenGL 1.1, and the
// rest belongs to the driver of the current context, which wglGetProcAddress
// gives. Some drivers answer 1, 2, 3 or -1 instead of null for a name they
// lack. Lines about the GL are not shown.
#include "platform/gl_functions.h"

#include <cstdint>

namespace ui {

namespace {

bool Missing(PROC p) {
  const auto value = reinterpret_cast<intptr_t>(p);
  return value >= -1 && value <= 3;
}

template <class Function>
void Load(Function& out, const char* name, const char* fallback = nullptr) {
  PROC p = wglGetProcAddress(name);
  if (Missing(p) && fallback) p = wglGetProcAddress(fallback);
  // Through void*: the entry point's own type is the table's, not PROC's.
  out = Missing(p) ? nullptr : reinterpret_cast<Function>(reinterpret_cast<void*>(p));
}

}  // namespace

GLFunctions LoadGLFunctions() {
  GLFunctions f;
  Load(f.CreateShader, "glCreateShader");
  Load(f.ShaderSource, "glShaderSource");
  Load(f.CompileShader, "glCompileShader");
  Load(f.GetShaderiv, "glGetShaderiv");
  Load(f.GetShaderInfoLog, "glGetShaderInfoLog");
  Load(f.DeleteShader, "glDeleteShader");
  Load(f.CreateProgram, "glCreateProgram");
  Load(f.AttachShader, "glAttachShader");
  Load(f.LinkProgram, "glLinkProgram");
  Load(f.GetProgramiv, "glGetProgramiv");
  Load(f.GetProgramInfoLog, "glGetProgramInfoLog");
  Load(f.DeleteProgram, "glDeleteProgram");
  Load(f.IsProgram, "glIsProgram");
  Load(f.UseProgram, "glUseProgram");
  Load(f.GetUniformLocation, "glGetUniformLocation");
  Load(f.Uniform1f, "glUniform1f");
  Load(f.Uniform2f, "glUniform2f");
  // OpenGL 3.0's names, else those of the older extension (same signatures).
  Load(f.GenFramebuffers, "glGenFramebuffers", "glGenFramebuffersEXT");
  Load(f.DeleteFramebuffers, "glDeleteFramebuffers", "glDeleteFramebuffersEXT");
  Load(f.BindFramebuffer, "glBindFramebuffer", "glBindFramebufferEXT");
  Load(f.FramebufferRenderbuffer, "glFramebufferRenderbuffer", "glFramebufferRenderbufferEXT");
  Load(f.CheckFramebufferStatus, "glCheckFramebufferStatus", "glCheckFramebufferStatusEXT");
  Load(f.GenRenderbuffers, "glGenRenderbuffers", "glGenRenderbuffersEXT");
  Load(f.DeleteRenderbuffers, "glDeleteRenderbuffers", "glDeleteRenderbuffersEXT");
  Load(f.BindRenderbuffer, "glBindRenderbuffer", "glBindRenderbufferEXT");
  Load(f.RenderbufferStorage, "glRenderbufferStorage", "glRenderbufferStorageEXT");
  return f;
}

void ReportGLProblem(const std::string&) {}

}  // namespace ui
