// Compiling and linking the pattern's shaders, and the per-pixel quad.
#include "gpu/pattern_program.h"

#include <cstdio>
#include <vector>

#include "engine/shader_source.h"

namespace gpu {

int ContextVersion() {
  const auto* text = reinterpret_cast<const char*>(glGetString(GL_VERSION));
  int major = 0, minor = 0;
  if (!text || std::sscanf(text, "%d.%d", &major, &minor) != 2) return 0;
  return major * 10 + minor;
}

bool ContextRunsShaders(const ui::GLFunctions& gl, std::string& why) {
  const int version = ContextVersion();
  if (version < 20) {
    const auto* text = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    why = "OpenGL " + std::string(text ? text : "of unknown version") + " has no GLSL, which 2.0 brings";
    return false;
  }
  if (!gl.HasShaders()) {
    why = "the OpenGL driver offers no shader functions";
    return false;
  }
  return true;
}

namespace {

// The first line of an info log: the compiler's own words, shortened; empty
// when the log is.
std::string FirstLine(std::vector<char> log) {
  log.push_back('\0');
  std::string line(log.data());
  const size_t end = line.find_first_of("\r\n");
  if (end != std::string::npos) line.resize(end);
  if (line.size() > 200) line.resize(200);
  return line;
}

// The first line of a shader's or a program's info log.
template <class GetParameter, class GetLog>
std::string LogLine(GLuint object, GetParameter getParameter, GetLog getLog) {
  GLint length = 0;
  getParameter(object, GL_INFO_LOG_LENGTH, &length);
  std::vector<char> log(size_t(length > 0 ? length : 1));
  getLog(object, GLsizei(log.size()), nullptr, log.data());
  return FirstLine(std::move(log));
}

// What the driver said when it gave no log: its error code, if any.
std::string Unexplained(const char* what) {
  const GLenum error = glGetError();
  if (error == GL_NO_ERROR) return std::string(what) + ": no reason given";
  char code[16];
  std::snprintf(code, sizeof code, "0x%04x", unsigned(error));
  return std::string(what) + ": no reason given (OpenGL error " + code + ")";
}

GLuint CompileShader(const ui::GLFunctions& gl, GLenum kind, const std::string& text, std::string& why) {
  const char* what = kind == GL_VERTEX_SHADER ? "vertex shader" : "fragment shader";
  const GLuint shader = gl.CreateShader(kind);
  if (!shader) {
    why = Unexplained(what);
    return 0;
  }
  const GLchar* source = text.c_str();
  gl.ShaderSource(shader, 1, &source, nullptr);
  gl.CompileShader(shader);
  GLint ok = GL_FALSE;
  gl.GetShaderiv(shader, GL_COMPILE_STATUS, &ok);
  if (ok == GL_TRUE) return shader;
  const std::string log = LogLine(shader, gl.GetShaderiv, gl.GetShaderInfoLog);
  why = log.empty() ? Unexplained(what) : std::string(what) + ": " + log;
  gl.DeleteShader(shader);
  return 0;
}

}  // namespace

GLuint BuildProgram(const ui::GLFunctions& gl, const std::string& vertex, const std::string& fragment,
                    std::string& why) {
  const GLuint vs = CompileShader(gl, GL_VERTEX_SHADER, vertex, why);
  const GLuint fs = vs ? CompileShader(gl, GL_FRAGMENT_SHADER, fragment, why) : 0;
  if (!fs) {
    if (vs) gl.DeleteShader(vs);
    return 0;
  }
  GLuint program = gl.CreateProgram();
  gl.AttachShader(program, vs);
  gl.AttachShader(program, fs);
  gl.LinkProgram(program);
  gl.DeleteShader(vs);  // kept by the program until it goes
  gl.DeleteShader(fs);
  GLint ok = GL_FALSE;
  gl.GetProgramiv(program, GL_LINK_STATUS, &ok);
  if (ok == GL_TRUE) return program;
  const std::string log = LogLine(program, gl.GetProgramiv, gl.GetProgramInfoLog);
  why = log.empty() ? Unexplained("linking") : "linking: " + log;
  gl.DeleteProgram(program);
  return 0;
}

bool PatternProgram::Build(const ui::GLFunctions& gl, int32_t algorithm, std::string& why) {
  const std::string fragment = Gradient::PatternFragmentShader(algorithm);
  if (fragment.empty()) {
    why = "there is no algorithm " + std::to_string(algorithm);
    return false;
  }
  program_ = BuildProgram(gl, Gradient::kPatternVertexShader, fragment, why);
  if (!program_) {
    why = "the shader of algorithm " + std::to_string(algorithm) + " does not build: " + why;
    return false;
  }
  static const char* const kNames[kUniforms] = {"GridColumns", "GridRows", "PhaseA", "PhaseB",
                                                "PhaseC",      "OffsetX",  "OffsetY", "Origin"};
  // An algorithm that does not read a value has no location for it (-1),
  // and setting -1 does nothing.
  for (int i = 0; i < kUniforms; ++i) location_[i] = gl.GetUniformLocation(program_, kNames[i]);
  return true;
}

void PatternProgram::Draw(const ui::GLFunctions& gl, const Gradient::PatternState& s,
                          const PicturePlacement& place) const {
  gl.UseProgram(program_);
  gl.Uniform1f(location_[kGridColumns], place.width);
  gl.Uniform1f(location_[kGridRows], place.height);
  gl.Uniform1f(location_[kPhaseA], s.PhaseA);
  gl.Uniform1f(location_[kPhaseB], s.PhaseB);
  gl.Uniform1f(location_[kPhaseC], s.PhaseC);
  gl.Uniform1f(location_[kOffsetX], s.OffsetX);
  gl.Uniform1f(location_[kOffsetY], s.OffsetY);
  gl.Uniform2f(location_[kOrigin], place.originX, place.originY);
  glRectf(-1.0f, -1.0f, 1.0f, 1.0f);  // the vertex shader takes the corners as they are
  gl.UseProgram(0);
}

void PatternProgram::Delete(const ui::GLFunctions& gl) {
  if (program_) gl.DeleteProgram(program_);
  program_ = 0;
}

}  // namespace gpu
