// What commands and the settings file do to the outputs' settings, and the
// replies: Respond's lines and the sender's reading of them.
#include "control/steering.h"

#include <gtest/gtest.h>

#include <limits>

#include "control/reply.h"

namespace {

using control::Choice;
using control::Command;
using control::OutputSettings;
using control::Request;
using control::Steering;

// Random draws from a script, so each test knows what they give.
struct ScriptedRandom {
  std::vector<int32_t> values;
  size_t next = 0;
  int32_t operator()() { return values.at(next++ % values.size()); }
};

struct Fixture {
  explicit Fixture(Choice choice = {20, 7, false, false}, std::vector<int32_t> draws = {3, 9, 11, 5})
      : random{std::move(draws)}, steering(choice, [this] { return random(); }) {}
  ScriptedRandom random;
  Steering steering;
  const OutputSettings& Of(int id) { return *steering.Find(id); }
  control::Applied Do(Command c, int32_t value = 0, std::string output = "") {
    return steering.Apply(Request{c, value, std::move(output)});
  }
};

TEST(Steering, NextAndPreviousWrapAroundTheTwelveAlgorithms) {
  EXPECT_EQ(control::NextAlgorithm(1), 2);
  EXPECT_EQ(control::NextAlgorithm(12), 1);
  EXPECT_EQ(control::PreviousAlgorithm(1), 12);
  EXPECT_EQ(control::PreviousAlgorithm(12), 11);
  // A stored value outside the range steps back into it.
  EXPECT_EQ(control::NextAlgorithm(0), 1);
  EXPECT_EQ(control::NextAlgorithm(99), 1);
  EXPECT_EQ(control::PreviousAlgorithm(-5), 12);
  EXPECT_EQ(control::PreviousAlgorithm(13), 12);

  Fixture f(Choice{20, 12, false, false});
  f.steering.AddOutput(1, "DP-1");
  f.Do(Command::Next);
  EXPECT_EQ(f.Of(1).algorithm, 1);
  f.Do(Command::Previous);
  f.Do(Command::Previous);
  EXPECT_EQ(f.Of(1).algorithm, 11);
}

TEST(Steering, ACommandWithoutAnOutputReachesEveryOutputAndLaterOnes) {
  Fixture f;
  f.steering.AddOutput(1, "DP-1");
  f.steering.AddOutput(2, "HDMI-A-1");
  EXPECT_EQ(f.Of(1), (OutputSettings{20, 7, false, false, false}));

  EXPECT_EQ(f.Do(Command::Speed, 5).changed, (std::vector<int>{1, 2}));
  EXPECT_EQ(f.Do(Command::Pixels).changed, (std::vector<int>{1, 2}));
  EXPECT_EQ(f.Do(Command::Pause).changed, (std::vector<int>{1, 2}));
  EXPECT_EQ(f.Do(Command::Pause).changed, (std::vector<int>{}));  // nothing new
  f.steering.AddOutput(3, "DP-2");
  EXPECT_EQ(f.Of(3), (OutputSettings{5, 7, false, true, true}));
  // An id already known keeps its settings.
  f.steering.AddOutput(3, "DP-2");
  EXPECT_EQ(f.Of(3).speed, 5);
}

TEST(Steering, ACommandForOneOutputChangesThatOutputAlone) {
  Fixture f;
  f.steering.AddOutput(1, "DP-1");
  f.steering.AddOutput(2, "HDMI-A-1");
  EXPECT_EQ(f.Do(Command::Algorithm, 4, "HDMI-A-1").changed, (std::vector<int>{2}));
  EXPECT_EQ(f.Do(Command::Speed, 33, "HDMI-A-1").changed, (std::vector<int>{2}));
  EXPECT_EQ(f.Do(Command::Pixels, 0, "HDMI-A-1").changed, (std::vector<int>{2}));
  EXPECT_EQ(f.Of(1), (OutputSettings{20, 7, false, false, false}));
  EXPECT_EQ(f.Of(2), (OutputSettings{33, 4, false, true, false}));
  EXPECT_EQ(f.steering.Shared(), (OutputSettings{20, 7, false, false, false}));  // later outputs unaffected
  // Next steps each output from its own algorithm.
  f.Do(Command::Next);
  EXPECT_EQ(f.Of(1).algorithm, 8);
  EXPECT_EQ(f.Of(2).algorithm, 5);
}

TEST(Steering, AnOutputThatIsNotThereIsAnErrorThatChangesNothing) {
  Fixture f;
  const control::Applied none = f.Do(Command::Pause, 0, "DP-9");
  EXPECT_FALSE(none.ok);
  EXPECT_EQ(none.error, "no output named 'DP-9'; there is no output yet");
  f.steering.AddOutput(1, "DP-1");
  f.steering.AddOutput(2, "HDMI-A-1");
  const control::Applied wrong = f.Do(Command::Pause, 0, "DP-9");
  EXPECT_EQ(wrong.error, "no output named 'DP-9'; the outputs are: DP-1, HDMI-A-1");
  EXPECT_FALSE(f.Of(1).pausedByRequest);
  EXPECT_FALSE(f.steering.Shared().pausedByRequest);
  f.steering.RemoveOutput(1);
  EXPECT_FALSE(f.Do(Command::Next, 0, "DP-1").ok);
  EXPECT_EQ(f.steering.Find(1), nullptr);
}

TEST(Steering, RandomDrawsForEachOutputAndOffGoesBackToTheChosenAlgorithm) {
  Fixture f(Choice{20, 7, true, false}, {3, 9, 11, 5});
  f.steering.AddOutput(1, "DP-1");
  f.steering.AddOutput(2, "HDMI-A-1");
  EXPECT_EQ(f.Of(1).algorithm, 3);  // each its own draw
  EXPECT_EQ(f.Of(2).algorithm, 9);
  EXPECT_TRUE(f.Of(1).random);

  f.Do(Command::Random, 0);
  EXPECT_EQ(f.Of(1), (OutputSettings{20, 7, false, false, false}));
  EXPECT_EQ(f.Of(2).algorithm, 7);
  f.Do(Command::Random, 1, "DP-1");  // a new draw for that output only
  EXPECT_EQ(f.Of(1).algorithm, 11);
  EXPECT_TRUE(f.Of(1).random);
  EXPECT_FALSE(f.Of(2).random);
  // Naming or stepping to an algorithm ends the random choice.
  f.Do(Command::Next, 0, "DP-1");
  EXPECT_EQ(f.Of(1), (OutputSettings{20, 12, false, false, false}));

  // Random for every output: each draws again, and a later one draws its own.
  f.Do(Command::Random, 1);
  EXPECT_EQ(f.Of(1).algorithm, 5);
  EXPECT_EQ(f.Of(2).algorithm, 3);
  f.steering.AddOutput(3, "DP-2");
  EXPECT_EQ(f.Of(3).algorithm, 9);
  f.Do(Command::Algorithm, 2);
  EXPECT_FALSE(f.steering.Shared().random);
  f.steering.AddOutput(4, "DP-3");
  EXPECT_EQ(f.Of(4), (OutputSettings{20, 2, false, false, false}));
}

TEST(Steering, TogglePausesWhatRunsAndResumesOnlyWhenAllArePaused) {
  Fixture f;
  f.steering.AddOutput(1, "DP-1");
  f.steering.AddOutput(2, "HDMI-A-1");
  f.Do(Command::Pause, 0, "DP-1");
  f.Do(Command::Toggle);  // one runs: pause both
  EXPECT_TRUE(f.Of(1).pausedByRequest);
  EXPECT_TRUE(f.Of(2).pausedByRequest);
  f.Do(Command::Toggle);  // all paused: resume both
  EXPECT_FALSE(f.Of(1).pausedByRequest);
  EXPECT_FALSE(f.Of(2).pausedByRequest);
  f.Do(Command::Toggle, 0, "HDMI-A-1");
  EXPECT_FALSE(f.Of(1).pausedByRequest);
  EXPECT_TRUE(f.Of(2).pausedByRequest);
  f.Do(Command::Resume);
  EXPECT_FALSE(f.Of(2).pausedByRequest);
  // With no output yet, toggle flips what later outputs take.
  Fixture empty;
  empty.Do(Command::Toggle);
  EXPECT_TRUE(empty.steering.Shared().pausedByRequest);
  empty.Do(Command::Toggle);
  EXPECT_FALSE(empty.steering.Shared().pausedByRequest);
}

TEST(Steering, TheSettingsFileBringsWhatChangedInItAndKeepsTheRest) {
  Fixture f(Choice{20, 7, false, false}, {3, 9, 11, 5});
  f.steering.AddOutput(1, "DP-1");
  f.steering.AddOutput(2, "HDMI-A-1");
  f.Do(Command::Algorithm, 4, "HDMI-A-1");
  f.Do(Command::Speed, 40, "HDMI-A-1");
  f.Do(Command::Pause, 0, "HDMI-A-1");

  // The same settings saved again: nothing moves.
  EXPECT_EQ(f.steering.FollowSettings(Choice{20, 7, false, false}), (std::vector<int>{}));
  // A new speed: every output, over the command's; the algorithm stays.
  EXPECT_EQ(f.steering.FollowSettings(Choice{10, 7, false, false}), (std::vector<int>{1, 2}));
  EXPECT_EQ(f.Of(2), (OutputSettings{10, 4, false, false, true}));  // the pause is no setting
  // A new algorithm: every output.
  f.steering.FollowSettings(Choice{10, 6, false, true});
  EXPECT_EQ(f.Of(1), (OutputSettings{10, 6, false, true, false}));
  EXPECT_EQ(f.Of(2), (OutputSettings{10, 6, false, true, true}));
  // Random switched on: each output draws; the stored algorithm then means
  // nothing until random is off again.
  f.steering.FollowSettings(Choice{10, 6, true, true});
  EXPECT_EQ(f.Of(1).algorithm, 3);
  EXPECT_EQ(f.Of(2).algorithm, 9);
  EXPECT_EQ(f.steering.FollowSettings(Choice{10, 1, true, true}), (std::vector<int>{}));
  f.steering.FollowSettings(Choice{10, 1, false, true});
  EXPECT_EQ(f.Of(1).algorithm, 1);
  // Later outputs follow the file too, and random off goes back to its algorithm.
  f.steering.AddOutput(3, "DP-2");
  EXPECT_EQ(f.Of(3), (OutputSettings{10, 1, false, true, false}));
  f.Do(Command::Random, 1);
  f.Do(Command::Random, 0);
  EXPECT_EQ(f.Of(3).algorithm, 1);
}

TEST(Respond, ALineGetsItsDataLinesThenOneFinalLine) {
  Fixture f;
  f.steering.AddOutput(1, "DP-1");
  f.steering.AddOutput(2, "HDMI-\"A\"-1");
  f.Do(Command::Pause, 0, "DP-1");
  auto facts = [](int id) {
    control::OutputFacts facts{1920, 1080, 59.94, false, false, false};
    if (id == 1) facts.covered = facts.onBattery = true;
    if (id == 2) facts = {800, 600, 0.04, false, true, false};
    return facts;
  };
  const control::Response status = control::Respond(f.steering, "status", facts);
  ASSERT_EQ(status.lines.size(), 3u);
  EXPECT_EQ(status.lines[0],
            "{\"output\":\"DP-1\",\"width\":1920,\"height\":1080,\"algorithm\":7,\"speed\":20,\"random\":false,"
            "\"view\":\"mesh\",\"fps\":59.9,\"paused\":true,\"why\":[\"asked\",\"covered\",\"on battery\"]}");
  EXPECT_EQ(status.lines[1],
            "{\"output\":\"HDMI-\\\"A\\\"-1\",\"width\":800,\"height\":600,\"algorithm\":7,\"speed\":20,"
            "\"random\":false,\"view\":\"mesh\",\"fps\":0.0,\"paused\":true,\"why\":[\"display off\"]}");
  EXPECT_EQ(status.lines[2], "{\"ok\":true}");
  EXPECT_EQ(control::Respond(f.steering, "status --output DP-1", facts).lines.size(), 2u);

  const control::Response speed = control::Respond(f.steering, "speed 3 --output DP-1", facts);
  EXPECT_EQ(speed.lines, (std::vector<std::string>{"{\"ok\":true}"}));
  EXPECT_EQ(speed.changed, (std::vector<int>{1}));
  EXPECT_EQ(control::Respond(f.steering, "speed 99", facts).lines,
            (std::vector<std::string>{"{\"ok\":false,\"error\":\"speed takes a number from 0 to 50, not '99'\"}"}));
  EXPECT_EQ(f.Of(2).speed, 20);
  // A running output shows no reasons; frames a second never print as junk.
  f.Do(Command::Resume);
  const auto plain = control::Respond(f.steering, "status", [](int) {
    return control::OutputFacts{640, 480, std::numeric_limits<double>::quiet_NaN(), false, false, false};
  });
  EXPECT_NE(plain.lines[0].find("\"fps\":0.0,\"paused\":false,\"why\":[]}"), std::string::npos);
}

TEST(ReplyReader, TheSenderTellsDataFromTheFinalLine) {
  control::ReplyReader ok;
  EXPECT_FALSE(ok.Add("{\"output\":\"DP-1\"}"));
  EXPECT_FALSE(ok.Add("{\"output\":\"DP-2\"}\r"));
  EXPECT_TRUE(ok.Add("{\"ok\":true}"));
  EXPECT_TRUE(ok.Add("{\"output\":\"late\"}"));  // after the end: ignored
  EXPECT_TRUE(ok.Result().complete && ok.Result().ok);
  EXPECT_EQ(ok.Result().data, (std::vector<std::string>{"{\"output\":\"DP-1\"}", "{\"output\":\"DP-2\"}"}));

  control::ReplyReader error;
  EXPECT_TRUE(error.Add(control::ErrorLine("no output named 'X\"\\'\n")));
  EXPECT_FALSE(error.Result().ok);
  EXPECT_EQ(error.Result().error, "no output named 'X\"\\'\n");

  for (const char* bad : {"{\"ok\":maybe}", "{\"ok\":false,\"error\":\"cut", "{\"ok\":false,\"error\":\"x\"} extra"}) {
    control::ReplyReader r;
    EXPECT_TRUE(r.Add(bad));
    EXPECT_FALSE(r.Result().ok);
    EXPECT_EQ(r.Result().error.rfind("a reply that cannot be read", 0), 0u) << bad;
  }
}

}  // namespace
