#pragma once

#include "app/dialog_surface.h"

namespace varnik {

inline constexpr double kTwipsPerInch = 1440.0;

// Pixels at dpi dots per inch, rounded to the nearest pixel (halves away
// from zero, so that a position and its negative mirror each other).
int TwipsToPixels(Twips twips, unsigned dpi);

Twips PixelsToTwips(int pixels, unsigned dpi);

}  // namespace varnik
