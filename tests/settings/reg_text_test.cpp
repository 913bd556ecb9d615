// The .reg text layer: texts rendered back unchanged, value lines of every
// type, the file encodings and headers as registry editors write them, line
// ends kept, and text an encoding cannot carry refused.
#include "platform/linux/reg_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using Settings::RegistryValue;

namespace {

constexpr const char* kKey = "Software\\Prismora";

// UTF-16LE bytes with a byte-order mark, as a registry editor exports them.
std::string Utf16File(const std::u16string& text) {
  std::string bytes = "\xFF\xFE";
  for (char16_t unit : text) {
    bytes.push_back(char(unit & 0xFF));
    bytes.push_back(char(unit >> 8));
  }
  return bytes;
}

RegistryValue Dword(uint32_t v) {
  return {Settings::kRegDword, {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}};
}

RegistryValue Sz(const std::string& s) {
  RegistryValue v{Settings::kRegSz, std::vector<uint8_t>(s.begin(), s.end())};
  v.data.push_back(0);
  return v;
}

RegistryValue Find(const Platform::RegDocument& doc, const char* name, const char* key = kKey) {
  RegistryValue v;
  if (!Platform::RegFindValue(doc, key, name, v)) v = {};
  return v;
}

// ---- The text layer ----

TEST(RegText, RenderingAnUnchangedDocumentGivesBackTheText) {
  for (const std::string& text : std::vector<std::string>{
           "", "\n", "\n\n", "REGEDIT4", "a\r\nb\r\n", "[x]\n\"v\"=hex:01,\\\n 02\nend",
        std::string("\0\xff\n\"\\", 5)}) {
    EXPECT_EQ(Platform::RenderRegText(Platform::ParseRegText(text)), text);
  }
}

TEST(RegText, ValueLinesRoundTripEveryTypeInBothVersions) {
  const RegistryValue values[] = {
      {Settings::kRegDword, {0x78, 0x56, 0x34, 0x12}},
      {Settings::kRegSz, {'a', '\\', '"', 'b', 0}},
      {Settings::kRegSz, {'t', 'w', 'o', '\n', 'l', 0}},  // a line break needs hex(1)
      {Settings::kRegSz, {'n', 'o', 'z'}},
      {Settings::kRegBinary, {}},
      {Settings::kRegExpandSz, {'%', 'x', '%', 0}},
      {0x0b, {1, 2, 3, 4, 5, 6, 7, 8}},
      {Settings::kRegDword, {1, 2}},
  };
  for (const char* header : {"", "REGEDIT4\n", "Windows Registry Editor Version 5.00\n"}) {
    for (const RegistryValue& value : values) {
      Platform::RegDocument doc = Platform::ParseRegText(header);
      ASSERT_TRUE(Platform::RegSetValue(doc, "K", "Na\"me\\", value));
      RegistryValue back;
      ASSERT_TRUE(Platform::RegFindValue(Platform::ParseRegText(Platform::RenderRegText(doc)), "k",
                                         "na\"ME\\", back));
      EXPECT_EQ(back, value) << header;
    }
  }
  EXPECT_EQ(Platform::FormatRegValueLine("", {Settings::kRegSz, {'x', 0}}), "@=\"x\"");
  Platform::RegDocument doc;
  EXPECT_FALSE(Platform::RegSetValue(doc, "K", "line\nbreak", {Settings::kRegSz, {0}}));
}

TEST(RegText, KeysExistThroughTheirOwnOrADeeperSection) {
  const Platform::RegDocument doc =
      Platform::ParseRegText("[HKEY_CURRENT_USER\\Software\\Prismora\\Sub]\n[HKEY_LOCAL_MACHINE\\X]\n");
  EXPECT_TRUE(Platform::RegKeyExists(doc, "Software"));
  EXPECT_TRUE(Platform::RegKeyExists(doc, "Software\\Prismora"));
  EXPECT_FALSE(Platform::RegKeyExists(doc, "Software\\Prism"));
  EXPECT_FALSE(Platform::RegKeyExists(doc, "X"));
}

// ---- Files as registry editors write them ----

const std::u16string kExport =
    u"Windows Registry Editor Version 5.00\r\n"
    u"\r\n"
    u"[HKEY_CURRENT_USER\\Software\\Prismora]\r\n"
    u"\"Speed\"=dword:0000000a\r\n"
    u"\"Path_Wall\"=\"C:\\\\Users\\\\Zo\u00eb\"\r\n"
    u"\"Note\"=hex(2):25,00,41,00,25,00,00,00\r\n"
    u"\r\n"
    u"; a lone surrogate: \xD800 and a rainbow: \U0001F308\r\n"
    u"[HKEY_CURRENT_USER\\Software\\Other]\r\n"
    u"\"Keep\"=\"\u65e5\u672c\"\r\n";

TEST(RegFile, AUtf16ExportRoundTripsByteForByteAndAnEditKeepsItsEncoding) {
  const std::string bytes = Utf16File(kExport);
  Platform::RegDocument doc;
  ASSERT_TRUE(Platform::DecodeRegFile(bytes, doc));
  EXPECT_EQ(doc.version, 5);
  EXPECT_TRUE(doc.crlf);
  EXPECT_EQ(doc.encoding, Platform::RegEncoding::Utf16Le);
  std::string again;
  ASSERT_TRUE(Platform::EncodeRegFile(doc, again));
  EXPECT_EQ(again, bytes);

  EXPECT_EQ(Find(doc, "Speed"), Dword(10));
  EXPECT_EQ(Find(doc, "Path_Wall"), Sz("C:\\Users\\Zo\xC3\xAB"));  // held as UTF-8
  EXPECT_EQ(Find(doc, "Note"), (RegistryValue{Settings::kRegExpandSz, {'%', 'A', '%', 0}}));

  ASSERT_TRUE(Platform::RegSetValue(doc, kKey, "Speed", Dword(50)));
  ASSERT_TRUE(Platform::RegSetValue(doc, kKey, "Bright", Dword(3)));
  ASSERT_TRUE(Platform::EncodeRegFile(doc, again));
  const std::u16string expected =
      u"Windows Registry Editor Version 5.00\r\n"
      u"\r\n"
      u"[HKEY_CURRENT_USER\\Software\\Prismora]\r\n"
      u"\"Speed\"=dword:00000032\r\n"
      u"\"Path_Wall\"=\"C:\\\\Users\\\\Zo\u00eb\"\r\n"
      u"\"Note\"=hex(2):25,00,41,00,25,00,00,00\r\n"
      u"\"Bright\"=dword:00000003\r\n"
      u"\r\n"
      u"; a lone surrogate: \xD800 and a rainbow: \U0001F308\r\n"
      u"[HKEY_CURRENT_USER\\Software\\Other]\r\n"
      u"\"Keep\"=\"\u65e5\u672c\"\r\n";
  EXPECT_EQ(again, Utf16File(expected));
}

TEST(RegFile, CrlfFilesGetCrlfLinesAndLfFilesLfLines) {
  Platform::RegDocument doc;
  // No final line break, and the key not there yet.
  ASSERT_TRUE(Platform::DecodeRegFile("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Other]\r\n\"A\"=\"b\"", doc));
  ASSERT_TRUE(Platform::RegSetValue(doc, kKey, "Speed", Dword(1)));
  ASSERT_TRUE(Platform::RegSetValue(doc, "Software\\Other", "A", Sz("c")));
  std::string bytes;
  ASSERT_TRUE(Platform::EncodeRegFile(doc, bytes));
  EXPECT_EQ(bytes,
            "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Other]\r\n\"A\"=\"c\"\r\n\r\n"
            "[HKEY_CURRENT_USER\\Software\\Prismora]\r\n\"Speed\"=dword:00000001\r\n");

  ASSERT_TRUE(Platform::DecodeRegFile("REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Prismora]\n", doc));
  ASSERT_TRUE(Platform::RegSetValue(doc, kKey, "Speed", Dword(2)));
  ASSERT_TRUE(Platform::EncodeRegFile(doc, bytes));
  EXPECT_EQ(bytes, "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Prismora]\n\"Speed\"=dword:00000002\n");
}

TEST(RegFile, OnlyBlankTextsAndTextsWithARegistryHeaderAreRead) {
  struct Case {
    std::string bytes;
    bool readable;
    int version;
  };
  const Case cases[] = {
      {"", true, 0},
      {" \r\n\n\t", true, 0},
      {"REGEDIT4", true, 4},
      {"REGEDIT4  \r\n", true, 4},
      {"Windows Registry Editor Version 5.00\n", true, 5},  // version 5 in UTF-8
      {"\xEF\xBB\xBFREGEDIT4\n", true, 4},
      {"\xFF\xFE", true, 0},
      {Utf16File(u"REGEDIT4\r\n"), true, 4},
      {"root:x:0:0:root:/root:/bin/bash\n", false, 0},
      {"[HKEY_CURRENT_USER\\Software\\Prismora]\n\"Speed\"=dword:1\n", false, 0},
      {"\nREGEDIT4\n", false, 0},
      {"REGEDIT5\n", false, 0},
      {Utf16File(u"REGEDIT4\r\n") + "x", false, 0},  // an odd number of bytes
      {"R\0E\0G\0E\0D\0I\0T\0004\0", false, 0},       // UTF-16 without its mark
  };
  for (const Case& c : cases) {
    Platform::RegDocument doc;
    EXPECT_EQ(Platform::DecodeRegFile(c.bytes, doc), c.readable) << c.bytes;
    if (c.readable) {
      EXPECT_EQ(doc.version, c.version) << c.bytes;
    }
  }
}

TEST(RegFile, ABlankFileGetsTheHeaderOfItsEncoding) {
  struct Case {
    std::string before, after;
  };
  const Case cases[] = {
      {"", "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Prismora]\n\"Speed\"=dword:00000001\n"},
      {"\r\n", "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Prismora]\r\n\"Speed\"=dword:00000001\r\n"},
      {"\xEF\xBB\xBF", "\xEF\xBB\xBFREGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Prismora]\n\"Speed\"=dword:00000001\n"},
      {"\xFF\xFE", Utf16File(u"Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Prismora]\n"
                             u"\"Speed\"=dword:00000001\n")},
  };
  for (const Case& c : cases) {
    Platform::RegDocument doc;
    ASSERT_TRUE(Platform::DecodeRegFile(c.before, doc));
    ASSERT_TRUE(Platform::RegSetValue(doc, kKey, "Speed", Dword(1)));
    std::string bytes;
    ASSERT_TRUE(Platform::EncodeRegFile(doc, bytes));
    EXPECT_EQ(bytes, c.after);
  }
}

TEST(RegFile, Version5TextValuesAreUtf16AndTextAUtf16FileCannotCarryIsRefused) {
  Platform::RegDocument doc;
  ASSERT_TRUE(Platform::DecodeRegFile(Utf16File(u"Windows Registry Editor Version 5.00\r\n"), doc));
  const RegistryValue twoLines = Sz("a\nb");  // needs hex(1)
  ASSERT_TRUE(Platform::RegSetValue(doc, kKey, "Path_Wall", twoLines));
  EXPECT_NE(Platform::RenderRegText(doc).find("\"Path_Wall\"=hex(1):61,00,0a,00,62,00,00,00"), std::string::npos);
  RegistryValue back;
  Platform::RegDocument reread;
  std::string bytes;
  ASSERT_TRUE(Platform::EncodeRegFile(doc, bytes));
  ASSERT_TRUE(Platform::DecodeRegFile(bytes, reread));
  EXPECT_EQ(Find(reread, "Path_Wall"), twoLines);

  const Platform::RegDocument before = doc;
  const RegistryValue notUtf8{Settings::kRegSz, {'/', 0xFF, 'x', 0}};
  EXPECT_FALSE(Platform::RegSetValue(doc, kKey, "Path_Wall", notUtf8));
  EXPECT_EQ(Platform::RenderRegText(doc), Platform::RenderRegText(before));
  // An 8-bit file takes any bytes.
  ASSERT_TRUE(Platform::DecodeRegFile("REGEDIT4\n", doc));
  EXPECT_TRUE(Platform::RegSetValue(doc, kKey, "Path_Wall", notUtf8));
  EXPECT_EQ(Find(doc, "Path_Wall"), notUtf8);
}

}  // namespace
