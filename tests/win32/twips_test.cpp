#include <gtest/gtest.h>

#include "ui/win32/twips.h"

namespace varnik {
namespace {

struct PixelCase {
  Twips twips;
  unsigned dpi;
  int pixels;
};

class TwipsToPixelsTest : public ::testing::TestWithParam<PixelCase> {};

TEST_P(TwipsToPixelsTest, RoundsToTheNearestPixel) {
  EXPECT_EQ(TwipsToPixels(GetParam().twips, GetParam().dpi), GetParam().pixels);
}

INSTANTIATE_TEST_SUITE_P(Values, TwipsToPixelsTest,
                         ::testing::Values(PixelCase{240, 96, 16}, PixelCase{6645, 96, 443},
                                           PixelCase{1050, 96, 70}, PixelCase{240, 144, 24},
                                           PixelCase{2505, 120, 209},  // 208.75
                                           PixelCase{22.5, 96, 2},     // half away from zero
                                           PixelCase{-22.5, 96, -2}, PixelCase{-4807.5, 96, -321},
                                           PixelCase{0, 192, 0}));

TEST(PixelsToTwips, IsFifteenAPixelAt96Dpi) {
  EXPECT_DOUBLE_EQ(PixelsToTwips(443, 96), 6645);
  EXPECT_DOUBLE_EQ(PixelsToTwips(1, 144), 10);
  EXPECT_DOUBLE_EQ(PixelsToTwips(-3, 96), -45);
}

}  // namespace
}  // namespace varnik
