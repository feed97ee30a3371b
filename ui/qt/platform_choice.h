#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace varnik {

// Which of Qt's platform plugins the program asks for, as QT_QPA_PLATFORM
// spells it (a list tried in order), or "" to leave the choice to Qt.
//
// Where there is X (DISPLAY set), the window is an X client: in a Wayland
// session that offers XWayland too, since there a window may place itself and
// so opens centred, while the compositor places a Wayland client. Without X
// (WAYLAND_DISPLAY alone) it is a Wayland client. Without either, Qt says
// what it lacks. What the user asks of Qt (QT_QPA_PLATFORM, -platform) always
// stands. `variable` gives an environment variable's value, "" when
// unset; `arguments` are the command line's, the program's name included.
std::string QtPlatformFor(const std::vector<std::string_view>& arguments,
                          const std::function<std::string(const char* name)>& variable);

// Sets QT_QPA_PLATFORM as QtPlatformFor says for this process; to be called
// before the QApplication is made.
void ChooseQtPlatform(int argc, char* argv[]);

}  // namespace varnik
