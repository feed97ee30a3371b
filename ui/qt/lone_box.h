#pragma once

class QMessageBox;

namespace varnik {

// A box shown with no window behind it (at start-up, before the window is
// shown) is made a window of its own rather than a dialog, which window
// managers would tie to the program's hidden leader window: so it has its own
// entry in the window list and is not kept behind other windows. A box with a
// parent is left as it is.
void LetLoneBoxStandAlone(QMessageBox& box);

}  // namespace varnik
