#include "ui/qt/twips.h"

#include <gtest/gtest.h>

#include <limits>

namespace varnik {
namespace {

TEST(TwipsTest, PixelsAreFifteenTwips) {
  EXPECT_EQ(TwipsFromPixels(0), 0.0);
  EXPECT_EQ(TwipsFromPixels(443), 6645.0);
  EXPECT_EQ(TwipsFromPixels(-30), -450.0);
}

TEST(TwipsTest, TwipsRoundToTheNearestPixel) {
  constexpr double kInfinity = std::numeric_limits<double>::infinity();
  const struct {
    Twips twips;
    int pixels;
  } cases[] = {
      {0, 0},
      {15, 1},
      {6645, 443},
      {7.4, 0},
      {7.5, 1},
      {22.4, 1},
      {-7.5, -1},
      {-22.6, -2},
      {-450, -30},
      {1e300, 16777215},
      {kInfinity, 16777215},
      {-kInfinity, -16777215},
      {std::numeric_limits<double>::quiet_NaN(), 0},
  };
  for (const auto& [twips, pixels] : cases) {
    EXPECT_EQ(PixelsFromTwips(twips), pixels) << twips;
  }
}

}  // namespace
}  // namespace varnik
