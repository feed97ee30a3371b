#include <gtest/gtest.h>

#include <string>

#include "names/text_codec.h"

namespace varnik {
namespace {

TEST(Windows1252, EveryByteReadsAndWritesBackTheSame) {
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  const std::u16string text = Windows1252().Decode(all);
  ASSERT_EQ(text.size(), all.size());
  EXPECT_EQ(Windows1252().Encode(text), all);
}

struct Mapping {
  unsigned char byte;
  char16_t character;
};

TEST(Windows1252, HighBytesMapToTheirCharacters) {
  const Mapping mappings[] = {{0x80, u'\u20AC'}, {0x8A, u'\u0160'}, {0x9F, u'\u0178'},
                              {0x81, u'\u0081'}, {0x9D, u'\u009D'}, {0xA0, u'\u00A0'},
                              {0xE0, u'\u00E0'}, {0xF9, u'\u00F9'}, {0xFF, u'\u00FF'}};
  for (const Mapping& m : mappings) {
    const std::string byte(1, static_cast<char>(m.byte));
    EXPECT_EQ(Windows1252().Decode(byte), std::u16string(1, m.character)) << int{m.byte};
    EXPECT_EQ(Windows1252().Encode(std::u16string(1, m.character)), byte) << int{m.byte};
  }
}

TEST(Windows1252, CharactersWithoutAByteBecomeOneQuestionMarkEach) {
  EXPECT_EQ(Windows1252().Encode(u"\u0100\u2603\u4E2D"), "???");
  EXPECT_EQ(Windows1252().Encode(u"a\U0001F600b"), "a?b");  // one character, two units
  EXPECT_EQ(Windows1252().Encode(u"\xD800x"), "?x");        // a lone surrogate
}

}  // namespace
}  // namespace varnik
