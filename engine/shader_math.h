// The shader policy: the formulas of engine/algorithms.h evaluated not on
// numbers but on GLSL expressions. Each operation appends one statement to
// the shader body being written ("float t12 = sin(t11);") and yields the name
// of its result, so a formula run once over these values writes its own text,
// with every loop unrolled and every Select a ternary. Nothing here knows a
// formula; engine/shader_source.cpp runs them.
//
// GLSL's float is single precision, so Real and Single are the same type: a
// store into a single-precision field changes nothing on the GPU.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

namespace Gradient::shader {

// The statements of a shader body, numbered as they are written.
class ShaderBody {
 public:
  // Appends "float tN = expression;" and returns "tN".
  std::string Assign(const std::string& expression);
  // Appends a line as it is.
  void Line(const std::string& line);
  const std::string& Text() const { return text_; }

 private:
  std::string text_;
  int count_ = 0;
};

// A GLSL float literal of the single-precision value nearest to v, exact
// when compiled ("3.14159274", "4.0").
std::string Literal(long double v);

// A float expression: a name (a temporary, a uniform, a variable) or a
// literal, with the body it belongs to (none for a literal).
class Real {
 public:
  Real() = default;
  explicit Real(int k) : text_(Literal(k)) {}
  explicit Real(long double k) : text_(Literal(k)) {}
  // A named value of the body (a uniform, a variable, a temporary), or with
  // no body an expression of literals alone.
  Real(ShaderBody* body, std::string text) : body_(body), text_(std::move(text)) {}

  const std::string& Text() const { return text_; }
  ShaderBody* Body() const { return body_; }

 private:
  ShaderBody* body_ = nullptr;
  std::string text_;
};

// A comparison, kept as its text until a Select writes it.
struct Cond {
  ShaderBody* body;
  std::string text;
};

Real operator+(const Real& a, const Real& b);
Real operator-(const Real& a, const Real& b);
Real operator*(const Real& a, const Real& b);
Real operator/(const Real& a, const Real& b);
inline Real operator+(const Real& a, long double k) { return a + Real(k); }
inline Real operator-(const Real& a, long double k) { return a - Real(k); }
inline Real operator*(const Real& a, long double k) { return a * Real(k); }
inline Real operator*(const Real& a, int k) { return a * Real(k); }
inline Real operator*(int k, const Real& a) { return Real(k) * a; }
inline Real operator/(const Real& a, int k) { return a / Real(k); }

Cond operator>(const Real& a, int t);
Cond operator>=(const Real& a, int t);
Real Select(const Cond& c, const Real& ifTrue, const Real& ifFalse);

Real Sin(const Real& a);
Real Cos(const Real& a);
void SinCos(const Real& a, Real& s, Real& c);
Real Log10(const Real& a);
Real Ln(const Real& a);
Real Log2(const Real& a);
Real Sqrt(const Real& a);
Real Abs(const Real& a);
inline Real Sq(const Real& a) { return a * a; }

// The policy for the formulas.
struct ShaderMath {
  using Real = shader::Real;
  using Single = shader::Real;
};

// The per-point fields of one evaluation as the formulas see them: the
// divisors, phases and offsets are uniforms, the point is the fragment's
// column and row, the scratch fields are whatever the formulas assign.
struct ShaderScratch {
  explicit ShaderScratch(ShaderBody& body)
      : GridColumns(&body, "GridColumns"), GridRows(&body, "GridRows"),
        Column(&body, "Column"), Row(&body, "Row"),
        OffsetX(&body, "OffsetX"), OffsetY(&body, "OffsetY"),
        PhaseA(&body, "PhaseA"), PhaseB(&body, "PhaseB"), PhaseC(&body, "PhaseC") {}
  Real GridColumns, GridRows;
  Real Column, Row;
  int32_t Step = 0;
  Real OffsetX, OffsetY;
  Real PhaseA, PhaseB, PhaseC;
  Real CellU, CellV;
  Real BiasX, BiasY;
  Real SeqX[5], SeqY[5], SeqZ[5];
};

}  // namespace Gradient::shader
