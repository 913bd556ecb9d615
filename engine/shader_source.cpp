// The shader policy's operations, and the fragment shader of each algorithm:
// its wallpaper form run once over GLSL expressions, between a fixed head
// (uniforms, the wallpaper's byte, the fragment's sample) and the colour.
#include "engine/shader_source.h"

#include <cstdio>

#include "engine/algorithms.h"
#include "engine/shader_math.h"

namespace Gradient {

namespace shader {

std::string ShaderBody::Assign(const std::string& expression) {
  // Appended rather than "t" + to_string(): GCC 12's optimiser warns
  // (-Wrestrict) about the inserted prefix in a Release build.
  std::string name = "t";
  name += std::to_string(++count_);
  Line("float " + name + " = " + expression + ";");
  return name;
}

void ShaderBody::Line(const std::string& line) { text_ += "  " + line + "\n"; }

std::string Literal(long double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.9g", double(static_cast<float>(v)));
  std::string s = text;
  if (s.find_first_of(".e") == std::string::npos) s += ".0";
  return s[0] == '-' ? "(" + s + ")" : s;
}

namespace {

// The result of an operation: a statement of the body its operands belong
// to, or, of literals alone, the bracketed expression itself.
Real Result(ShaderBody* body, const std::string& expression) {
  if (!body) return Real(nullptr, "(" + expression + ")");
  return Real(body, body->Assign(expression));
}

Real Binary(const Real& a, const char* op, const Real& b) {
  return Result(a.Body() ? a.Body() : b.Body(), a.Text() + " " + op + " " + b.Text());
}

Real Call(const char* function, const Real& a, const std::string& after = "") {
  return Result(a.Body(), std::string(function) + "(" + a.Text() + ")" + after);
}

}  // namespace

Real operator+(const Real& a, const Real& b) { return Binary(a, "+", b); }
Real operator-(const Real& a, const Real& b) { return Binary(a, "-", b); }
Real operator*(const Real& a, const Real& b) { return Binary(a, "*", b); }
Real operator/(const Real& a, const Real& b) { return Binary(a, "/", b); }

Cond operator>(const Real& a, int t) { return {a.Body(), a.Text() + " > " + Literal(t)}; }
Cond operator>=(const Real& a, int t) { return {a.Body(), a.Text() + " >= " + Literal(t)}; }

// A comparison with NaN is false in GLSL as in the x87 path, so NaN takes
// the false branch in both.
Real Select(const Cond& c, const Real& ifTrue, const Real& ifFalse) {
  return Result(c.body, "(" + c.text + ") ? " + ifTrue.Text() + " : " + ifFalse.Text());
}

Real Sin(const Real& a) { return Call("sin", a); }
Real Cos(const Real& a) { return Call("cos", a); }
void SinCos(const Real& a, Real& s, Real& c) {
  s = Sin(a);
  c = Cos(a);
}
Real Log10(const Real& a) { return Call("log", a, " * " + Literal(0.43429448190325182765L)); }
Real Ln(const Real& a) { return Call("log", a); }
Real Log2(const Real& a) { return Call("log2", a); }
Real Sqrt(const Real& a) { return Call("sqrt", a); }
Real Abs(const Real& a) { return Call("abs", a); }

}  // namespace shader

namespace {

// The wallpaper's byte of a channel value F (already times 255): rounded to
// an integer, ties to even (GLSL 1.10 has no roundEven), its low 8 bits as
// a two's complement integer keeps them, over 255.
constexpr const char* kHead =
    "uniform float GridColumns;\n"
    "uniform float GridRows;\n"
    "uniform float PhaseA;\n"
    "uniform float PhaseB;\n"
    "uniform float PhaseC;\n"
    "uniform float OffsetX;\n"
    "uniform float OffsetY;\n"
    "uniform vec2 Origin;\n"
    "\n"
    "float Stored(float F) {\n"
    "  float q = floor(F + 0.5);\n"
    "  if (q - F == 0.5 && mod(q, 2.0) == 1.0) q -= 1.0;\n"
    "  return mod(q, 256.0) / 255.0;\n"
    "}\n"
    "\n"
    "void main() {\n"
    "  float Column = floor(gl_FragCoord.x) - Origin.x;\n"
    "  float Row = floor(gl_FragCoord.y) - Origin.y;\n"
    "  if (Column < 0.5) Column = GridColumns;\n";

template <class Alg>
std::string FragmentShaderOf(int32_t algorithm) {
  shader::ShaderBody body;
  shader::ShaderScratch x(body);
  shader::Real R, G, B;
  detail::EvaluatePoint<Alg>(x, R, G, B);
  const std::string r = Alg::Wallpaper(R).Text(), g = Alg::Wallpaper(G).Text(), b = Alg::Wallpaper(B).Text();
  body.Line("gl_FragColor = vec4(Stored(" + r + "), Stored(" + g + "), Stored(" + b + "), 1.0);");
  return "#version 110\n// Prismora, algorithm " + std::to_string(algorithm) +
         ": the wallpaper form at every pixel, generated from engine/algorithms.h.\n" + kHead + body.Text() + "}\n";
}

}  // namespace

const char* const kPatternVertexShader =
    "#version 110\n"
    "void main() {\n"
    "  gl_Position = gl_Vertex;\n"
    "}\n";

std::string PatternFragmentShader(int32_t algorithm) {
  std::string text;
  detail::WithAlgorithm(algorithm, [&](auto n) {
    text = FragmentShaderOf<detail::Algorithm<decltype(n)::value, shader::ShaderMath>>(algorithm);
  });
  return text;
}

}  // namespace Gradient
