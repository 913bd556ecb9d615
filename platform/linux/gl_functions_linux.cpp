// The GL entry points on Linux: the GL library (libOpenGL, GLVND) exports
// every core function and dispatches it to the context current on the
// thread, GLX or EGL alike, so the table holds their addresses. Lines go to
// stderr.
#define GL_GLEXT_PROTOTYPES 1
#include "platform/gl_functions.h"

#include <cstdio>

namespace ui {

GLFunctions LoadGLFunctions() {
  GLFunctions f;
  f.CreateShader = &glCreateShader;
  f.ShaderSource = &glShaderSource;
  f.CompileShader = &glCompileShader;
  f.GetShaderiv = &glGetShaderiv;
  f.GetShaderInfoLog = &glGetShaderInfoLog;
  f.DeleteShader = &glDeleteShader;
  f.CreateProgram = &glCreateProgram;
  f.AttachShader = &glAttachShader;
  f.LinkProgram = &glLinkProgram;
  f.GetProgramiv = &glGetProgramiv;
  f.GetProgramInfoLog = &glGetProgramInfoLog;
  f.DeleteProgram = &glDeleteProgram;
  f.IsProgram = &glIsProgram;
  f.UseProgram = &glUseProgram;
  f.GetUniformLocation = &glGetUniformLocation;
  f.Uniform1f = &glUniform1f;
  f.Uniform2f = &glUniform2f;
  f.GenFramebuffers = &glGenFramebuffers;
  f.DeleteFramebuffers = &glDeleteFramebuffers;
  f.BindFramebuffer = &glBindFramebuffer;
  f.FramebufferRenderbuffer = &glFramebufferRenderbuffer;
  f.CheckFramebufferStatus = &glCheckFramebufferStatus;
  f.GenRenderbuffers = &glGenRenderbuffers;
  f.DeleteRenderbuffers = &glDeleteRenderbuffers;
  f.BindRenderbuffer = &glBindRenderbuffer;
  f.RenderbufferStorage = &glRenderbufferStorage;
  return f;
}

void ReportGLProblem(const std::string& line) { std::fprintf(stderr, "prismora: %s\n", line.c_str()); }

}  // namespace ui
