#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "app/win32/ansi_code_page.h"
#include "names/entry_check.h"

namespace varnik {
namespace {

struct CodeCase {
  const char* label;
  std::u16string text;
  std::string bytes;
};

class Windows1252CodePageTest : public ::testing::TestWithParam<CodeCase> {
 protected:
  AnsiCodePage codec_{1252};
};

TEST_P(Windows1252CodePageTest, EncodesOneByteACharacter) {
  EXPECT_EQ(codec_.Encode(GetParam().text), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, Windows1252CodePageTest,
    ::testing::Values(CodeCase{"ascii", u"ROSSI-2", "ROSSI-2"},
                      CodeCase{"grave_vowels", u"\u00E0\u00E8\u00EC\u00F2\u00F9",
                               "\xE0\xE8\xEC\xF2\xF9"},
                      CodeCase{"euro", u"\u20AC", "\x80"},
                      // No look-alikes: a character the code page lacks is a '?'.
                      CodeCase{"no_best_fit", u"\u0142\u0101", "??"},
                      CodeCase{"outside_latin", u"A\u65E5B", "A?B"}, CodeCase{"empty", u"", ""}),
    [](const auto& test) { return std::string(test.param.label); });

TEST_F(Windows1252CodePageTest, EveryAllowedCharacterSurvivesARoundTrip) {
  const std::string bytes = codec_.Encode(AllowedChars);
  EXPECT_EQ(bytes.size(), AllowedChars.size());
  EXPECT_EQ(codec_.Decode(bytes), AllowedChars);
}

TEST_F(Windows1252CodePageTest, DecodesBytesAsTheCodePageReadsThem) {
  EXPECT_EQ(codec_.Decode("Niccol\xF2 \x80"), u"Niccol\u00F2 \u20AC");
}

TEST(AnsiCodePage, Utf8SystemsKeepEveryCharacter) {
  const AnsiCodePage codec(CP_UTF8);
  EXPECT_EQ(codec.Encode(u"\u0142\u00F2"), "\xC5\x82\xC3\xB2");
  EXPECT_EQ(codec.Decode("\xC5\x82\xC3\xB2"), u"\u0142\u00F2");
}

TEST(AnsiCodePage, DefaultIsTheSystemsCodePage) {
  const AnsiCodePage system;
  const AnsiCodePage explicit_page(GetACP());
  EXPECT_EQ(system.Encode(u"Niccol\u00F2 \u0142"), explicit_page.Encode(u"Niccol\u00F2 \u0142"));
}

}  // namespace
}  // namespace varnik
