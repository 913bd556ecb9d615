// The command language as text: request lines read and written back, the
// errors a user sees, what counts as a line of text, the --send words, the
// instances' socket names and the JSON strings of the replies.
#include "control/request.h"

#include <gtest/gtest.h>

#include <set>

#include "control/instance.h"
#include "control/text.h"

namespace {

using control::Command;
using control::ParseRequestLine;
using control::Request;

Request Parsed(std::string_view line) {
  const control::ParsedRequest p = ParseRequestLine(line);
  EXPECT_TRUE(p.request.has_value()) << line << ": " << p.error;
  return p.request.value_or(Request{});
}

std::string ErrorOf(std::string_view line) {
  const control::ParsedRequest p = ParseRequestLine(line);
  EXPECT_FALSE(p.request.has_value()) << line;
  return p.error;
}

TEST(RequestLine, EveryCommandReadsAndWritesBackTheSame) {
  const std::vector<std::pair<std::string, Request>> cases = {
      {"next", {Command::Next, 0, ""}},
      {"previous", {Command::Previous, 0, ""}},
      {"algorithm 1", {Command::Algorithm, 1, ""}},
      {"algorithm 12", {Command::Algorithm, 12, ""}},
      {"speed 0", {Command::Speed, 0, ""}},
      {"speed 50", {Command::Speed, 50, ""}},
      {"random on", {Command::Random, 1, ""}},
      {"random off", {Command::Random, 0, ""}},
      {"pixels", {Command::Pixels, 0, ""}},
      {"mesh", {Command::Mesh, 0, ""}},
      {"pause", {Command::Pause, 0, ""}},
      {"resume", {Command::Resume, 0, ""}},
      {"toggle", {Command::Toggle, 0, ""}},
      {"status", {Command::Status, 0, ""}},
      {"algorithm 3 --output DP-1", {Command::Algorithm, 3, "DP-1"}},
      {"pause --output HDMI-A-1", {Command::Pause, 0, "HDMI-A-1"}},
  };
  for (const auto& [line, request] : cases) {
    EXPECT_EQ(Parsed(line), request) << line;
    EXPECT_EQ(control::FormatRequestLine(request), line);
  }
}

TEST(RequestLine, SpellingsAUserMayTypeReadAsTheCanonicalOnes) {
  EXPECT_EQ(Parsed("NEXT"), (Request{Command::Next, 0, ""}));
  EXPECT_EQ(Parsed("Random ON"), (Request{Command::Random, 1, ""}));
  EXPECT_EQ(Parsed("  speed\t007  \r"), (Request{Command::Speed, 7, ""}));
  EXPECT_EQ(Parsed("algorithm --output=DP-2 4"), (Request{Command::Algorithm, 4, "DP-2"}));
  EXPECT_EQ(Parsed("mesh --output A --output B"), (Request{Command::Mesh, 0, "B"}));  // the later one
  // Output names are the compositor's, compared as they are.
  EXPECT_EQ(Parsed("status --output dp-1").output, "dp-1");
}

TEST(RequestLine, AWrongCommandOrArgumentSaysWhatIsWanted) {
  EXPECT_EQ(ErrorOf("jump"), std::string("unknown command 'jump'; the commands are: ") + control::kCommandList);
  EXPECT_EQ(ErrorOf(""), std::string("an empty line; the commands are: ") + control::kCommandList);
  EXPECT_EQ(ErrorOf(" \t "), ErrorOf(""));
  EXPECT_EQ(ErrorOf("algorithm"), "algorithm needs a number from 1 to 12");
  EXPECT_EQ(ErrorOf("speed"), "speed needs a number from 0 to 50");
  EXPECT_EQ(ErrorOf("random"), "random needs on or off");
  for (const char* bad : {"0", "13", "-1", "+3", "3x", "0x3", "99999999999999999999999"})
    EXPECT_EQ(ErrorOf(std::string("algorithm ") + bad),
              "algorithm takes a number from 1 to 12, not '" + std::string(bad) + "'");
  EXPECT_EQ(ErrorOf("speed 51"), "speed takes a number from 0 to 50, not '51'");
  EXPECT_EQ(ErrorOf("random yes"), "random takes on or off, not 'yes'");
  EXPECT_EQ(ErrorOf("next 3"), "next takes no argument, not '3'");
  EXPECT_EQ(ErrorOf("speed 3 4"), "speed takes one argument, not '4'");
  EXPECT_EQ(ErrorOf("pause --all"), "unknown option '--all'; a command takes only --output NAME");
  EXPECT_EQ(ErrorOf("pause --output"), "--output needs the name of an output");
  EXPECT_EQ(ErrorOf("pause --output="), "--output needs the name of an output");
  // A long word is cut in the message, and the message stays one line.
  const std::string error = ErrorOf("algorithm " + std::string(3000, '7'));
  EXPECT_LT(error.size(), 100u);
  EXPECT_NE(error.find("..."), std::string::npos);
}

TEST(RequestLine, OnlyShortLinesOfTextAreRead) {
  using control::CheckLineText;
  EXPECT_EQ(CheckLineText("status --output \xc3\xa9\tx"), "");  // UTF-8 and tabs are text
  EXPECT_EQ(CheckLineText("status\r"), "");                    // a CRLF line end
  EXPECT_NE(CheckLineText("sta\rtus"), "");
  EXPECT_NE(CheckLineText(std::string("status\0", 7)), "");
  EXPECT_NE(CheckLineText("status\x1b[2J"), "");
  EXPECT_NE(CheckLineText("status\x7f"), "");
  for (const char* bad : {"\xc0\x80", "\xed\xa0\x80", "\xf5\x80\x80\x80", "\xe2\x82", "\x80", "\xf4\x90\x80\x80"})
    EXPECT_EQ(CheckLineText(std::string("status ") + bad), "not a line of text: bytes that are not UTF-8") << bad;
  EXPECT_EQ(CheckLineText(std::string(control::kMaxLineBytes, 'x')), "");
  EXPECT_EQ(CheckLineText(std::string(control::kMaxLineBytes, 'x') + "\r"), "");
  EXPECT_EQ(CheckLineText(std::string(control::kMaxLineBytes + 1, 'x')), "a line longer than 4096 bytes");
  // The parser checks first: a binary line is never taken for a command.
  EXPECT_FALSE(ParseRequestLine(std::string("next\0", 5)).request.has_value());
}

TEST(SendWords, TheCommandLinesWordsBecomeTheCanonicalLine) {
  using control::RequestLineFromWords;
  EXPECT_EQ(RequestLineFromWords({"Algorithm", "03"}, "").line, "algorithm 3");
  EXPECT_EQ(RequestLineFromWords({"speed", "5"}, "DP-1").line, "speed 5 --output DP-1");
  EXPECT_EQ(RequestLineFromWords({"pause", "--output", "A"}, "B").line, "pause --output B");  // the option wins
  EXPECT_EQ(RequestLineFromWords({"random", "on"}, "").error, "");
  EXPECT_EQ(RequestLineFromWords({"speed", "60"}, "").error, "speed takes a number from 0 to 50, not '60'");
  EXPECT_EQ(RequestLineFromWords({}, "").line, "");
  EXPECT_NE(RequestLineFromWords({}, "").error, "");
  // One word of argv must not become two words (or two lines) on the socket.
  EXPECT_NE(RequestLineFromWords({"speed", "5 --output X"}, "").error, "");
  EXPECT_NE(RequestLineFromWords({"next"}, "DP 1").error, "");
  EXPECT_NE(RequestLineFromWords({"next\nspeed", "5"}, "").error, "");
  EXPECT_NE(RequestLineFromWords({"next"}, std::string(5000, 'o')).error, "");
  EXPECT_NE(RequestLineFromWords({"next"}, "\xff").error, "");
}

TEST(InstanceNames, OneNamePerDisplayAndLayerSafeAsAFileName) {
  using control::WaylandInstanceName;
  using control::X11InstanceName;
  EXPECT_EQ(WaylandInstanceName("wayland-1", "background"), "wayland-1.background");
  EXPECT_EQ(WaylandInstanceName("", "background"), "wayland-0.background");
  EXPECT_NE(WaylandInstanceName("wayland-1", "bottom"), WaylandInstanceName("wayland-1", "background"));
  EXPECT_EQ(WaylandInstanceName("/run/user/1000/wayland-0", "top"), "_run_user_1000_wayland-0.top");
  EXPECT_EQ(WaylandInstanceName("..", "top"), "_..top");
  EXPECT_EQ(X11InstanceName(":0"), "x11-:0.root");
  EXPECT_EQ(X11InstanceName(":0.0"), "x11-:0.root");
  EXPECT_EQ(X11InstanceName(":0.1"), "x11-:0.1.root");
  EXPECT_EQ(X11InstanceName(":10"), "x11-:10.root");
  EXPECT_EQ(X11InstanceName("host.example:1.0"), "x11-host.example:1.root");
  EXPECT_EQ(X11InstanceName("10.0.0.1:0"), "x11-10.0.0.1:0.root");
  // Long names are cut and told apart by a hash.
  const std::string a = WaylandInstanceName(std::string(200, 'a') + "1", "background");
  const std::string b = WaylandInstanceName(std::string(200, 'a') + "2", "background");
  EXPECT_EQ(a.size(), 64u);
  EXPECT_NE(a, b);
}

TEST(InstanceNames, TheSenderTriesTheWaylandLayersThenTheXRoot) {
  EXPECT_EQ(control::InstanceNamesToTry("wayland-1", ":0"),
            (std::vector<std::string>{"wayland-1.background", "wayland-1.bottom", "wayland-1.top", "wayland-1.overlay",
                                      "x11-:0.root"}));
  EXPECT_EQ(control::InstanceNamesToTry("", "", "bottom"), (std::vector<std::string>{"wayland-0.bottom"}));
}

TEST(JsonText, StringsAreWrittenAsValidJsonAndReadBack) {
  using control::JsonString;
  EXPECT_EQ(JsonString("DP-1"), "\"DP-1\"");
  EXPECT_EQ(JsonString("a\"b\\c\n\x01\x7f"), "\"a\\\"b\\\\c\\u000a\\u0001\\u007f\"");
  EXPECT_EQ(JsonString("\xc3\xa9"), "\"\xc3\xa9\"");          // UTF-8 kept
  EXPECT_EQ(JsonString("a\xff" "b"), "\"a\\ufffdb\"");        // a stray byte replaced
  EXPECT_EQ(JsonString("\xe2\x82"), "\"\\ufffd\\ufffd\"");    // a cut sequence
  for (const std::string s : {"", "plain", "quote \" back \\ slash", "\x01\x1f\x7f", "\xc3\xa9 \xf0\x9f\x8c\x88"}) {
    size_t pos = 0;
    const std::string json = JsonString(s);
    EXPECT_EQ(control::ReadJsonString(json, pos), s);
    EXPECT_EQ(pos, json.size());
  }
  size_t pos = 0;
  EXPECT_EQ(control::ReadJsonString("\"\\ud83c\\udf08 \\u00e9 \\ud800\"", pos),
            "\xf0\x9f\x8c\x88 \xc3\xa9 \xef\xbf\xbd");
  for (const char* bad : {"\"open", "\"bad \\x escape\"", "\"\\u12\"", "no quote", "\"raw\ncontrol\""}) {
    pos = 0;
    EXPECT_FALSE(control::ReadJsonString(bad, pos).has_value()) << bad;
  }
}

TEST(JsonText, Utf8SequencesAreCheckedByTheirRules) {
  using control::Utf8SequenceLength;
  EXPECT_EQ(Utf8SequenceLength("a"), 1u);
  EXPECT_EQ(Utf8SequenceLength("\xc2\x80"), 2u);
  EXPECT_EQ(Utf8SequenceLength("\xe0\xa0\x80"), 3u);
  EXPECT_EQ(Utf8SequenceLength("\xf4\x8f\xbf\xbf"), 4u);
  for (const char* bad : {"\xc1\xbf", "\xe0\x9f\xbf", "\xed\xa0\x80", "\xf0\x8f\xbf\xbf", "\xf4\x90\x80\x80", "\xc2"})
    EXPECT_EQ(Utf8SequenceLength(bad), 0u) << bad;
}

}  // namespace
