// The per-pixel view's programs, built on first use, and its quad.
#include "gpu/pixel_painter.h"

namespace gpu {

PicturePlacement ViewportPicture(int x, int y, int width, int height) {
  return {float(width), float(height), float(x), float(y - 1)};
}

const PatternProgram* PixelPainter::ProgramFor(int32_t algorithm, std::string& why) {
  auto found = programs_.find(algorithm);
  // A program the current context does not know: the context is another one
  // (a test's second window), so every program is built again for it.
  if (found != programs_.end() && gl_.IsProgram(found->second.Id()) != GL_TRUE) {
    programs_.clear();
    found = programs_.end();
  }
  if (found != programs_.end()) return &found->second;
  PatternProgram program;
  if (!program.Build(gl_, algorithm, why)) return nullptr;
  return &programs_.emplace(algorithm, program).first->second;
}

PixelPainter::Outcome PixelPainter::Draw(const Gradient::PatternState& s, std::string& why) {
  if (state_ == State::Unable) return Outcome::Unable;
  // No algorithm computes nothing, as the mesh's sweep does: the clear colour shows.
  if (s.Algorithm < 1 || s.Algorithm > 12) return Outcome::Drawn;
  // Without a current context every call below does nothing and answers 0:
  // a program would seem not to build, and a known one to be gone.
  if (ContextVersion() == 0) return Outcome::NoContext;
  if (state_ == State::Untried) {
    gl_ = ui::LoadGLFunctions();
    state_ = ContextRunsShaders(gl_, why) ? State::Ready : State::Unable;
    if (state_ == State::Unable) return Outcome::Unable;
  }
  if (failed_.count(s.Algorithm)) return Outcome::AlgorithmFails;
  const PatternProgram* program = ProgramFor(s.Algorithm, why);
  if (!program) {
    failed_.insert(s.Algorithm);
    return Outcome::AlgorithmFails;
  }
  GLint viewport[4] = {0, 0, 0, 0};
  glGetIntegerv(GL_VIEWPORT, viewport);
  program->Draw(gl_, s, ViewportPicture(viewport[0], viewport[1], viewport[2], viewport[3]));
  return Outcome::Drawn;
}

}  // namespace gpu
