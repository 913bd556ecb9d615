// The layer-shell window's output bookkeeping: outputs added and removed as
// the registry says, numbers never used twice, which outputs get a surface
// (described, wanted by name, not closed), and the buffer size a surface is
// drawn at for the compositor's logical size and the output's scale.
#include "platform/layer_outputs.h"

#include <gtest/gtest.h>

namespace {

using ui::BufferSizeFor;
using ui::LayerOutput;
using ui::LayerOutputs;

LayerOutput& Described(LayerOutputs& book, uint32_t global, const char* name, int scale = 1) {
  LayerOutput& o = book.Add(global);
  o.name = name;
  LayerOutputs::SetScale(o, scale);
  o.described = true;
  return o;
}

TEST(BufferSize, TheLogicalSizeTimesTheScaleInRealPixels) {
  const ui::BufferSize one = BufferSizeFor(1024, 768, 1);
  EXPECT_EQ(one.width, 1024);
  EXPECT_EQ(one.height, 768);
  EXPECT_EQ(one.scale, 1);
  // A 1024 x 768 output at scale 2 is 512 x 384 logical: drawn at 1024 x 768.
  const ui::BufferSize two = BufferSizeFor(512, 384, 2);
  EXPECT_EQ(two.width, 1024);
  EXPECT_EQ(two.height, 768);
  EXPECT_EQ(two.scale, 2);
  const ui::BufferSize three = BufferSizeFor(1280, 720, 3);
  EXPECT_EQ(three.width, 3840);
  EXPECT_EQ(three.height, 2160);
}

TEST(BufferSize, HostileSizesAndScalesStayDrawableAndAWholeMultipleOfTheScale) {
  // Zero, negative and huge values from a compositor never give an empty or
  // overflowing buffer.
  EXPECT_EQ(BufferSizeFor(0, -5, 1).width, 1);
  EXPECT_EQ(BufferSizeFor(0, -5, 1).height, 1);
  EXPECT_EQ(BufferSizeFor(100, 100, 0).scale, 1);
  EXPECT_EQ(BufferSizeFor(100, 100, -3).scale, 1);
  EXPECT_EQ(BufferSizeFor(100, 100, 1000).scale, ui::kMaxOutputScale);
  const ui::BufferSize huge = BufferSizeFor(int64_t(1) << 40, 5000, int64_t(1) << 33);
  EXPECT_LE(huge.width, ui::kMaxBufferSide);
  EXPECT_LE(huge.height, ui::kMaxBufferSide);
  // 5000 logical at scale 4 would be 20000: the scale drops to 3 (15000),
  // and the buffer stays a whole multiple of it.
  const ui::BufferSize tall = BufferSizeFor(800, 5000, 4);
  EXPECT_EQ(tall.scale, 3);
  EXPECT_EQ(tall.height, 15000);
  EXPECT_EQ(tall.width, 2400);
  EXPECT_EQ(tall.width % tall.scale, 0);
  EXPECT_EQ(tall.height % tall.scale, 0);
}

TEST(Outputs, EachOutputAddedGetsANumberNeverUsedAgain) {
  LayerOutputs book;
  const int a = book.Add(10).number, b = book.Add(11).number;
  EXPECT_NE(a, b);
  EXPECT_EQ(book.Add(10).number, a);  // the same global again is the same output
  EXPECT_TRUE(book.Remove(10));
  EXPECT_FALSE(book.Remove(10));
  EXPECT_FALSE(book.Remove(99));  // another global (a seat) went
  const int c = book.Add(10).number;  // the compositor reuses a global name
  EXPECT_NE(c, a);
  EXPECT_NE(c, b);
  EXPECT_EQ(book.FindNumber(b)->global, 11u);
  EXPECT_EQ(book.FindNumber(a), nullptr);
  EXPECT_EQ(book.Find(12), nullptr);
}

TEST(Outputs, EveryDescribedOutputGetsOneSurfaceUntilItsSurfaceIsClosed) {
  LayerOutputs book;
  LayerOutput& o = book.Add(1);
  EXPECT_FALSE(book.NeedsSurface(o));  // not described yet
  o.described = true;
  EXPECT_TRUE(book.NeedsSurface(o));
  o.hasSurface = true;
  EXPECT_FALSE(book.NeedsSurface(o));
  // Closed by the compositor: dropped, and not made again in a loop.
  o.hasSurface = false;
  o.closed = true;
  EXPECT_FALSE(book.NeedsSurface(o));
}

TEST(Outputs, OnlyTheOutputNamedIsWantedAndTheNamesAreListed) {
  LayerOutputs book("HEADLESS-2");
  Described(book, 1, "HEADLESS-1");
  EXPECT_FALSE(book.AnyWanted());
  LayerOutput& second = Described(book, 2, "HEADLESS-2");
  EXPECT_TRUE(book.AnyWanted());
  EXPECT_TRUE(book.NeedsSurface(second));
  EXPECT_FALSE(book.NeedsSurface(*book.Find(1)));
  book.Add(3);  // not told its name yet
  EXPECT_EQ(book.Names(), (std::vector<std::string>{"HEADLESS-1", "HEADLESS-2", "(unnamed)"}));
  EXPECT_FALSE(book.AllDescribed());
  // A name is matched whole and by case, as the compositor spells it.
  LayerOutputs prefix("HEADLESS");
  Described(prefix, 1, "HEADLESS-1");
  EXPECT_FALSE(prefix.AnyWanted());
  LayerOutputs every;
  EXPECT_TRUE(every.Wanted(Described(every, 1, "")));
}

TEST(Outputs, AConfigureSizesTheBufferAtTheOutputsScaleAndReportsOnlyChanges) {
  LayerOutputs book;
  LayerOutput& o = Described(book, 1, "DP-1", 2);
  EXPECT_TRUE(LayerOutputs::Configure(o, 960, 540));
  EXPECT_EQ(o.buffer.width, 1920);
  EXPECT_EQ(o.buffer.height, 1080);
  EXPECT_EQ(o.buffer.scale, 2);
  EXPECT_FALSE(LayerOutputs::Configure(o, 960, 540));  // the same size again: nothing to do
  // The scale changes to 1 while the logical size stays: a new buffer.
  LayerOutputs::SetScale(o, 1);
  EXPECT_TRUE(LayerOutputs::Rescale(o));
  EXPECT_EQ(o.buffer.width, 960);
  EXPECT_EQ(o.buffer.scale, 1);
  EXPECT_FALSE(LayerOutputs::Rescale(o));
  // Before any configure a scale change has no buffer to resize.
  LayerOutput& fresh = Described(book, 2, "DP-2");
  LayerOutputs::SetScale(fresh, 3);
  EXPECT_FALSE(LayerOutputs::Rescale(fresh));
  EXPECT_EQ(fresh.buffer.width, 0);
}

TEST(Outputs, AConfigureOfZeroTakesTheOutputsModeAtItsScale) {
  LayerOutputs book;
  LayerOutput& o = Described(book, 1, "DP-1", 2);
  o.modeWidth = 2560;
  o.modeHeight = 1440;
  EXPECT_TRUE(LayerOutputs::Configure(o, 0, 0));
  EXPECT_EQ(o.width, 1280);
  EXPECT_EQ(o.buffer.width, 2560);
  EXPECT_EQ(o.buffer.height, 1440);
  LayerOutput& unknown = Described(book, 2, "DP-2");
  EXPECT_TRUE(LayerOutputs::Configure(unknown, 0, 0));  // no mode either: still a drawable buffer
  EXPECT_EQ(unknown.buffer.width, 1);
  EXPECT_EQ(unknown.buffer.height, 1);
}

}  // namespace
