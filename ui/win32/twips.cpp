#include "ui/win32/twips.h"

#include <cmath>

namespace varnik {

int TwipsToPixels(Twips twips, unsigned dpi) {
  return static_cast<int>(std::lround(twips * dpi / kTwipsPerInch));
}

Twips PixelsToTwips(int pixels, unsigned dpi) { return pixels * kTwipsPerInch / dpi; }

}  // namespace varnik
