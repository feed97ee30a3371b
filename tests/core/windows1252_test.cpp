#include <gtest/gtest.h>

#include <string>

#include "names/text_codec.h"

namespace varnik {
namespace {

// Which character each byte stands for is checked against the system's own
// code page 1252 in the Windows tests.
TEST(Windows1252, EveryByteReadsAndWritesBackTheSame) {
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  const std::u16string text = Windows1252().Decode(all);
  ASSERT_EQ(text.size(), all.size());
  EXPECT_EQ(Windows1252().Encode(text), all);
}

TEST(Windows1252, CharactersWithoutAByteBecomeOneQuestionMarkEach) {
  EXPECT_EQ(Windows1252().Encode(u"\u0100\u2603\u4E2D"), "???");
  EXPECT_EQ(Windows1252().Encode(u"a\U0001F600b"), "a?b");  // one character, two units
  EXPECT_EQ(Windows1252().Encode(u"\xD800x"), "?x");        // a lone surrogate
}

}  // namespace
}  // namespace varnik
