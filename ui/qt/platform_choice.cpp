#include "ui/qt/platform_choice.h"

#include <QByteArray>
#include <QtGlobal>

namespace varnik {

std::string QtPlatformFor(const std::vector<std::string_view>& arguments,
                          const std::function<std::string(const char* name)>& variable) {
  // Qt takes its own options with one dash or two, the value as the next
  // argument.
  for (std::size_t i = 1; i + 1 < arguments.size(); ++i) {
    if (arguments[i] == "-platform" || arguments[i] == "--platform") return "";
  }
  // Qt ignores an empty QT_QPA_PLATFORM, and so does the choice.
  if (!variable("QT_QPA_PLATFORM").empty()) return "";
  // X where there is X, XWayland included, with Wayland to fall back on should
  // XWayland fail to start; otherwise Wayland where there is Wayland.
  if (!variable("DISPLAY").empty()) return "xcb;wayland";
  if (!variable("WAYLAND_DISPLAY").empty()) return "wayland";
  return "";
}

void ChooseQtPlatform(int argc, char* argv[]) {
  const std::vector<std::string_view> arguments(argv, argv + argc);
  const std::string platform =
      QtPlatformFor(arguments, [](const char* name) { return qgetenv(name).toStdString(); });
  if (!platform.empty()) qputenv("QT_QPA_PLATFORM", QByteArray::fromStdString(platform));
}

}  // namespace varnik
