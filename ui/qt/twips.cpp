#include "ui/qt/twips.h"

#include <algorithm>
#include <cmath>

#include <QWidget>

namespace varnik {

Twips TwipsFromPixels(int pixels, double dpi) { return pixels * kTwipsPerInch / dpi; }

int PixelsFromTwips(Twips twips, double dpi) {
  if (std::isnan(twips)) return 0;
  constexpr double kLimit = QWIDGETSIZE_MAX;
  const double pixels = std::clamp(std::round(twips * dpi / kTwipsPerInch), -kLimit, kLimit);
  return static_cast<int>(pixels);
}

}  // namespace varnik
