#pragma once

#include "app/dialog_surface.h"

namespace varnik {

// The dialog logic counts in twips, 1440 to an inch. The window counts in Qt's
// device-independent pixels, of which the screen's logical DPI make an inch:
// Qt scales them to the screen's pixels by the device pixel ratio, so a
// desktop that says its DPI as a scale (Wayland, Qt's scale factors, most X
// desktops) and one that says it as a logical DPI (an X resource read while
// Qt's own scaling is off or rounded) both get the form at its DPI.
inline constexpr double kTwipsPerInch = 1440.0;

Twips TwipsFromPixels(int pixels, double dpi);

// Rounds to the nearest pixel, halves away from zero. Values beyond what a
// window can be placed at are held at that limit; a value that is not a number
// is 0.
int PixelsFromTwips(Twips twips, double dpi);

}  // namespace varnik
