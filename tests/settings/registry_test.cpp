// The registry primitives' type rules and messages, over the memory backend.
#include "settings/registry.h"

#include <gtest/gtest.h>

#include <functional>

#include "base/error.h"
#include "settings/memory_registry.h"

using Settings::Registry;
using Settings::RegistryValue;

namespace {

std::string ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const PrismoraError& e) {
    return e.what();
  }
  return "(no error)";
}

class RegistryTest : public testing::Test {
 protected:
  void SetUp() override {
    auto& values = store.keys["Software\\Prismora"];
    values["Dword"] = {Settings::kRegDword, {0x19, 0, 0, 0}};
    values["Short"] = {Settings::kRegDword, {0x19, 0}};
    values["Long"] = {Settings::kRegDword, {1, 0, 0, 0, 0, 0, 0, 0}};
    values["Binary"] = {Settings::kRegBinary, {1, 0, 0, 0}};
    values["Text"] = {Settings::kRegSz, {'a', 'b', 0}};
    values["Unterminated"] = {Settings::kRegSz, {'a', 'b', 'c'}};
    values["InnerZero"] = {Settings::kRegSz, {'a', 0, 'b', 0}};
    values["Expand"] = {Settings::kRegExpandSz, {'%', 'T', '%', 0}};
    values["EmptyBinary"] = {Settings::kRegBinary, {}};
    values["Multi"] = {7, {'a', 0, 0}};
  }
  Settings::MemoryRegistry store;
};

TEST_F(RegistryTest, KeyPathLosesItsLeadingAndTrailingBackslash) {
  Registry reg(store);
  EXPECT_TRUE(reg.OpenKey("\\Software\\Prismora\\"));
  EXPECT_TRUE(reg.OpenKey("Software\\Prismora"));
  EXPECT_FALSE(reg.OpenKey("\\Software\\Other\\"));
  EXPECT_EQ(store.keys.count("Software\\Other"), 0u);  // open never creates
  EXPECT_EQ(Settings::RelativeKeyPath("\\"), "");
  EXPECT_EQ(Settings::RelativeKeyPath(""), "");
}

TEST_F(RegistryTest, IntegersMustBeFourByteDwords) {
  Registry reg(store);
  ASSERT_TRUE(reg.OpenKey("\\Software\\Prismora\\"));
  EXPECT_EQ(reg.ReadInteger("Dword"), 25);
  EXPECT_EQ(reg.ReadInteger("dword"), 25);  // names ignore case
  EXPECT_EQ(ErrorOf([&] { reg.ReadInteger("Absent"); }), "Failed to get data for 'Absent'");
  EXPECT_EQ(ErrorOf([&] { reg.ReadBool("Binary"); }), "Invalid data type for 'Binary'");
  EXPECT_EQ(ErrorOf([&] { reg.ReadInteger("Text"); }), "Invalid data type for 'Text'");
  EXPECT_EQ(ErrorOf([&] { reg.ReadInteger("Short"); }), "Failed to get data for 'Short'");
  EXPECT_EQ(ErrorOf([&] { reg.ReadInteger("Long"); }), "Failed to get data for 'Long'");
}

TEST_F(RegistryTest, StringsAreReadAsStoredUpToTheFirstZero) {
  Registry reg(store);
  ASSERT_TRUE(reg.OpenKey("\\Software\\Prismora\\"));
  EXPECT_EQ(reg.ReadString("Text"), "ab");
  EXPECT_EQ(reg.ReadString("Unterminated"), "abc");
  EXPECT_EQ(reg.ReadString("InnerZero"), "a");
  EXPECT_EQ(reg.ReadString("Expand"), "%T%");  // not expanded
  EXPECT_EQ(reg.ReadString("Absent"), "");
  EXPECT_EQ(reg.ReadString("EmptyBinary"), "");  // empty: no type check
  EXPECT_EQ(ErrorOf([&] { reg.ReadString("Dword"); }), "Invalid data type for 'Dword'");
  EXPECT_EQ(ErrorOf([&] { reg.ReadString("Multi"); }), "Invalid data type for 'Multi'");
}

TEST_F(RegistryTest, WritesUseTheRegistryEncodings) {
  Registry reg(store);
  ASSERT_TRUE(reg.CreateKey("\\Software\\New\\"));
  reg.WriteInteger("I", -2);
  reg.WriteBool("B", true);
  reg.WriteString("S", "C:\\Windows");
  reg.WriteString("Empty", "");
  const auto& values = store.keys["Software\\New"];
  EXPECT_EQ(values.at("I"), (RegistryValue{Settings::kRegDword, {0xFE, 0xFF, 0xFF, 0xFF}}));
  EXPECT_EQ(values.at("B"), (RegistryValue{Settings::kRegDword, {1, 0, 0, 0}}));
  const std::string s = "C:\\Windows";
  std::vector<uint8_t> bytes(s.begin(), s.end());
  bytes.push_back(0);  // the terminating zero is counted
  EXPECT_EQ(values.at("S"), (RegistryValue{Settings::kRegSz, bytes}));
  EXPECT_EQ(values.at("Empty"), (RegistryValue{Settings::kRegSz, {0}}));
  EXPECT_EQ(reg.ReadInteger("I"), -2);
}

TEST_F(RegistryTest, NothingIsReadOrWrittenWithoutAnOpenKey) {
  Registry reg(store);
  EXPECT_EQ(ErrorOf([&] { reg.ReadInteger("Dword"); }), "Failed to get data for 'Dword'");
  EXPECT_EQ(reg.ReadString("Text"), "");
  EXPECT_EQ(ErrorOf([&] { reg.WriteInteger("X", 1); }), "Failed to set data for 'X'");
  ASSERT_TRUE(reg.OpenKey("Software\\Prismora"));
  reg.CloseKey();
  EXPECT_EQ(ErrorOf([&] { reg.WriteString("X", "y"); }), "Failed to set data for 'X'");
}

TEST_F(RegistryTest, TheKeyIsClosedWhenTheRegistryObjectGoes) {
  {
    Registry reg(store);
    ASSERT_TRUE(reg.OpenKey("Software\\Prismora"));
    EXPECT_TRUE(store.keyOpen());
  }
  EXPECT_FALSE(store.keyOpen());
}

}  // namespace
