#include "ui/qt/twips.h"

#include <algorithm>
#include <cmath>

#include <QWidget>

namespace varnik {

int PixelsFromTwips(Twips twips) {
  if (std::isnan(twips)) return 0;
  constexpr double kLimit = QWIDGETSIZE_MAX;
  const double pixels = std::clamp(std::round(twips / kTwipsPerPixel), -kLimit, kLimit);
  return static_cast<int>(pixels);
}

}  // namespace varnik
