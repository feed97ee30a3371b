#include <gtest/gtest.h>

#include <string>

#include "names/text_codec.h"

namespace varnik {
namespace {

TEST(Windows1252, HighBytesMapBothWaysAndTheUndefinedOnesToControls) {
  const std::pair<std::string, std::u16string> cases[] = {
      {"\xE0\xE8\xEC\xF2\xF9\xFF", u"\u00E0\u00E8\u00EC\u00F2\u00F9\u00FF"},
      {"\x80\x93\x94\x9F", u"\u20AC\u201C\u201D\u0178"},
      {"\x81\x8D\x8F\x90\x9D", u"\u0081\u008D\u008F\u0090\u009D"},
  };
  for (const auto& [bytes, text] : cases) {
    EXPECT_EQ(Windows1252().Decode(bytes), text);
    EXPECT_EQ(Windows1252().Encode(text), bytes);
  }
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  EXPECT_EQ(Windows1252().Encode(Windows1252().Decode(all)), all);
}

TEST(Windows1252, CharactersWithoutAByteBecomeOneQuestionMarkEach) {
  EXPECT_EQ(Windows1252().Encode(u"\u0100\u2603\u4E2D"), "???");
  EXPECT_EQ(Windows1252().Encode(u"a\U0001F600b"), "a?b");  // one character, two units
  EXPECT_EQ(Windows1252().Encode(u"\xD800x"), "?x");        // a lone surrogate
}

}  // namespace
}  // namespace varnik
