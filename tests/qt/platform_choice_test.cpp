// The platform the program asks Qt for, by the session it is started in.

#include "ui/qt/platform_choice.h"

#include <gtest/gtest.h>

#include <map>

namespace varnik {
namespace {

// XWayland where the session offers it and Wayland where it does not are the
// whole-program tests' to show (tests/e2e); here the rest of the rule.
TEST(PlatformChoiceTest, XWhereThereIsXAndTheUsersChoiceStands) {
  const struct {
    const char *display, *wayland_display, *qt_qpa_platform;  // "": unset
    std::vector<std::string_view> arguments;
    std::string platform;
  } cases[] = {
      {":0", "", "", {"varnik"}, "xcb;wayland"},
      {":0", "wayland-0", "wayland", {"varnik"}, ""},
      {":0", "wayland-0", "", {"varnik", "-platform", "wayland"}, ""},
      {"", "wayland-0", "", {"varnik", "--platform", "xcb"}, ""},
  };
  for (const auto& [display, wayland_display, qt_qpa_platform, arguments, platform] : cases) {
    const std::map<std::string, std::string> environment{{"DISPLAY", display},
                                                         {"WAYLAND_DISPLAY", wayland_display},
                                                         {"QT_QPA_PLATFORM", qt_qpa_platform}};
    EXPECT_EQ(QtPlatformFor(arguments, [&](const char* name) { return environment.at(name); }),
              platform);
  }
}

}  // namespace
}  // namespace varnik
