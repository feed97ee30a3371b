#pragma once

#include "app/dialog_surface.h"

namespace varnik {

// The window's coordinates are device-independent pixels, which Qt scales to
// the screen; the dialog logic counts in twips, 15 to such a pixel.
inline constexpr double kTwipsPerPixel = 15.0;

constexpr Twips TwipsFromPixels(int pixels) { return pixels * kTwipsPerPixel; }

// Rounds to the nearest pixel, halves away from zero. Values beyond what a
// window can be placed at are held at that limit; a value that is not a number
// is 0.
int PixelsFromTwips(Twips twips);

}  // namespace varnik
