// The OpenGL entry points beyond version 1.1 that the per-pixel view and the
// offscreen wallpaper use: shaders and programs (OpenGL 2.0) and framebuffer
// objects (3.0). Windows' opengl32 exports only 1.1, so each platform fills
// the table from the context that is current (Windows: wglGetProcAddress;
// Linux: the GL library exports them all). Whether the context can run them
// is for the caller to ask (its version); a null entry is one it cannot.
#pragma once

#ifdef _WIN32
#include <windows.h>  // the system's GL/gl.h needs WINGDIAPI and APIENTRY
#endif
#include <GL/gl.h>
#include <GL/glext.h>

#include <string>

namespace ui {

struct GLFunctions {
  PFNGLCREATESHADERPROC CreateShader = nullptr;
  PFNGLSHADERSOURCEPROC ShaderSource = nullptr;
  PFNGLCOMPILESHADERPROC CompileShader = nullptr;
  PFNGLGETSHADERIVPROC GetShaderiv = nullptr;
  PFNGLGETSHADERINFOLOGPROC GetShaderInfoLog = nullptr;
  PFNGLDELETESHADERPROC DeleteShader = nullptr;
  PFNGLCREATEPROGRAMPROC CreateProgram = nullptr;
  PFNGLATTACHSHADERPROC AttachShader = nullptr;
  PFNGLLINKPROGRAMPROC LinkProgram = nullptr;
  PFNGLGETPROGRAMIVPROC GetProgramiv = nullptr;
  PFNGLGETPROGRAMINFOLOGPROC GetProgramInfoLog = nullptr;
  PFNGLDELETEPROGRAMPROC DeleteProgram = nullptr;
  PFNGLISPROGRAMPROC IsProgram = nullptr;
  PFNGLUSEPROGRAMPROC UseProgram = nullptr;
  PFNGLGETUNIFORMLOCATIONPROC GetUniformLocation = nullptr;
  PFNGLUNIFORM1FPROC Uniform1f = nullptr;
  PFNGLUNIFORM2FPROC Uniform2f = nullptr;

  PFNGLGENFRAMEBUFFERSPROC GenFramebuffers = nullptr;
  PFNGLDELETEFRAMEBUFFERSPROC DeleteFramebuffers = nullptr;
  PFNGLBINDFRAMEBUFFERPROC BindFramebuffer = nullptr;
  PFNGLFRAMEBUFFERRENDERBUFFERPROC FramebufferRenderbuffer = nullptr;
  PFNGLCHECKFRAMEBUFFERSTATUSPROC CheckFramebufferStatus = nullptr;
  PFNGLGENRENDERBUFFERSPROC GenRenderbuffers = nullptr;
  PFNGLDELETERENDERBUFFERSPROC DeleteRenderbuffers = nullptr;
  PFNGLBINDRENDERBUFFERPROC BindRenderbuffer = nullptr;
  PFNGLRENDERBUFFERSTORAGEPROC RenderbufferStorage = nullptr;

  bool HasShaders() const;
  bool HasFramebuffers() const;
};

// The entry points of the context current on the calling thread.
GLFunctions LoadGLFunctions();

// One line about the GL (why the per-pixel view draws the mesh instead),
// where the platform shows such lines: stderr on Linux; nowhere on Windows,
// which keeps quiet about platform failures as the designed errors do.
void ReportGLProblem(const std::string& line);

}  // namespace ui
