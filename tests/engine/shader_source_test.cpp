// The generated fragment shaders: each algorithm's text, run by a small
// interpreter of the statements it is made of, computes what the x87 path
// computes for the same pixel; and a formula that changes changes the text
// (algorithms 6 and 7 differ only in a product against a sum). That the texts
// compile on a real driver is tests/gpu's part.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "engine/algorithms.h"
#include "engine/shader_math.h"
#include "engine/shader_source.h"
#include "engine_test_support.h"

namespace {

using namespace enginetest;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Runs the statements of main() after the head, in long double, with the
// uniforms, Column and Row given; returns the three values handed to Stored.
class ShaderInterpreter {
 public:
  explicit ShaderInterpreter(std::map<std::string, L> values) : values_(std::move(values)) {}

  std::vector<L> Run(const std::string& text) {
    static const std::regex statement(R"(^  float (t\d+) = (.*);$)");
    static const std::regex colour(R"(^  gl_FragColor = vec4\(Stored\((t\d+)\), Stored\((t\d+)\), Stored\((t\d+)\), 1\.0\);$)");
    std::smatch m;
    for (const std::string& line : Lines(text)) {
      if (std::regex_match(line, m, statement)) {
        values_[m[1]] = Expression(m[2]);
      } else if (std::regex_match(line, m, colour)) {
        return {values_.at(m[1]), values_.at(m[2]), values_.at(m[3])};
      }
    }
    ADD_FAILURE() << "no gl_FragColor in the text";
    return {0, 0, 0};
  }

 private:
  L Operand(const std::string& text) {
    if (text.empty()) ADD_FAILURE() << "empty operand";
    if (std::isalpha(static_cast<unsigned char>(text[0]))) {
      const auto found = values_.find(text);
      if (found == values_.end()) ADD_FAILURE() << "unknown name " << text;
      return found == values_.end() ? 0 : found->second;
    }
    return std::stold(text[0] == '(' ? text.substr(1, text.size() - 2) : text);
  }

  L Function(const std::string& f, L x) {
    if (f == "sin") return std::sin(x);
    if (f == "cos") return std::cos(x);
    if (f == "log") return std::log(x);
    if (f == "log2") return std::log2(x);
    if (f == "sqrt") return std::sqrt(x);
    if (f == "abs") return std::fabs(x);
    ADD_FAILURE() << "unknown function " << f;
    return 0;
  }

  L Expression(const std::string& e) {
    static const std::regex binary(R"(^(\S+) ([-+*/]) (\S+)$)");
    static const std::regex call(R"(^(\w+)\((\S+)\)(?: \* (\S+))?$)");
    static const std::regex select(R"(^\((\S+) (>|>=) (\S+)\) \? (\S+) : (\S+)$)");
    std::smatch m;
    if (std::regex_match(e, m, call)) {
      const L v = Function(m[1], Operand(m[2]));
      return m[3].matched ? v * Operand(m[3]) : v;
    }
    if (std::regex_match(e, m, binary)) {
      const L a = Operand(m[1]), b = Operand(m[3]);
      const char op = m[2].str()[0];
      return op == '+' ? a + b : op == '-' ? a - b : op == '*' ? a * b : a / b;
    }
    if (std::regex_match(e, m, select)) {
      const L v = Operand(m[1]), t = Operand(m[3]);
      const bool is = m[2] == ">" ? v > t : v >= t;
      return is ? Operand(m[4]) : Operand(m[5]);
    }
    ADD_FAILURE() << "cannot read '" << e << "'";
    return 0;
  }

  std::map<std::string, L> values_;
};

// The x87 path's value times 255 (before rounding) of each channel.
std::vector<L> X87Values(PatternState& s) {
  std::vector<L> F;
  detail::WithAlgorithm(s.Algorithm, [&](auto n) {
    using Alg = detail::Algorithm<decltype(n)::value, detail::X87Math>;
    detail::EvaluatePoint<Alg>(s, s.PixelR, s.PixelG, s.PixelB);
    F = {Alg::Wallpaper(s.PixelR), Alg::Wallpaper(s.PixelG), Alg::Wallpaper(s.PixelB)};
  });
  return F;
}

TEST(PatternFragmentShader, ComputesWhatTheX87PathComputesForEveryAlgorithm) {
  struct Case {
    int32_t W, H, c, r;
    float A, B, C, Ox, Oy;
  };
  const Case cases[] = {{640, 480, 1, 1, 1.0f, 2.0f, 3.0f, 0.0f, 0.0f},
                        {640, 480, 320, 240, 0.3f, 5.9f, 2.2f, 1.1f, -0.7f},
                        {1600, 1200, 1599, 7, 6.2f, 0.01f, 4.4f, -3.0f, 2.5f},
                        {1920, 1080, 913, 1080, 2.5f, 3.5f, 0.5f, 6.0f, -6.1f}};
  for (int alg = 1; alg <= 12; ++alg) {
    const std::string text = PatternFragmentShader(alg);
    for (const Case& k : cases) {
      auto s = NewState(k.W, k.H);
      s->Algorithm = alg;
      s->Column = k.c;
      s->Row = k.r;
      SetPhases(*s, k.A, k.B, k.C);
      s->OffsetX = k.Ox;
      s->OffsetY = k.Oy;
      ShaderInterpreter run({{"GridColumns", L(k.W)}, {"GridRows", L(k.H)}, {"Column", L(k.c)}, {"Row", L(k.r)},
                             {"PhaseA", k.A}, {"PhaseB", k.B}, {"PhaseC", k.C}, {"OffsetX", k.Ox},
                             {"OffsetY", k.Oy}});
      const std::vector<L> got = run.Run(text), want = X87Values(*s);
      // The x87 path rounds its scratch fields to single precision; the
      // text, run in extended precision here, does not: a few parts in 10^6.
      for (int ch = 0; ch < 3; ++ch)
        EXPECT_NEAR(double(got[ch]), double(want[ch]), 0.02)
            << "algorithm " << alg << " channel " << ch << " at " << k.c << ", " << k.r;
    }
  }
}

TEST(PatternFragmentShader, ATextForEachAlgorithmAndNoneForOtherNumbers) {
  for (int alg = 1; alg <= 12; ++alg) {
    const std::string text = PatternFragmentShader(alg);
    EXPECT_EQ(text.rfind("#version 110\n", 0), 0u) << alg;
    EXPECT_NE(text.find("algorithm " + std::to_string(alg) + ":"), std::string::npos) << alg;
  }
  EXPECT_EQ(PatternFragmentShader(0), "");
  EXPECT_EQ(PatternFragmentShader(13), "");
}

// Algorithm 7 is algorithm 6 with the position factor added instead of
// multiplied: the only lines that differ are the three channels' combining.
TEST(PatternFragmentShader, AChangedFormulaChangesItsLinesAndNoOthers) {
  const std::vector<std::string> six = Lines(PatternFragmentShader(6)), seven = Lines(PatternFragmentShader(7));
  ASSERT_EQ(six.size(), seven.size());
  std::vector<std::pair<std::string, std::string>> differing;
  for (size_t i = 0; i < six.size(); ++i) {
    if (six[i] != seven[i]) differing.emplace_back(six[i], seven[i]);
  }
  ASSERT_EQ(differing.size(), 4u);  // the comment naming the algorithm, and three channels
  for (size_t i = 1; i < differing.size(); ++i) {
    std::string product = differing[i].first;
    const size_t star = product.find(" * ");
    ASSERT_NE(star, std::string::npos) << product;
    product.replace(star, 3, " + ");
    EXPECT_EQ(product, differing[i].second);
  }
}

TEST(PatternFragmentShader, LiteralsAreTheSinglePrecisionValues) {
  EXPECT_EQ(shader::Literal(4), "4.0");
  EXPECT_EQ(shader::Literal(0.5L), "0.5");
  EXPECT_EQ(shader::Literal(detail::kPi), "3.14159274");
  EXPECT_EQ(std::stof(shader::Literal(0.01L)), 0.01f);
  EXPECT_EQ(shader::Literal(-2), "(-2.0)");
}

}  // namespace
