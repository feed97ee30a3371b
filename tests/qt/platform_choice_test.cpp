// The platform the program asks Qt for, by the session it is started in.

#include "ui/qt/platform_choice.h"

#include <gtest/gtest.h>

#include <map>

namespace varnik {
namespace {

TEST(PlatformChoiceTest, XWaylandWhereOfferedElseWaylandAndTheUsersChoiceStands) {
  const struct {
    std::vector<std::string_view> arguments;
    std::map<std::string, std::string> environment;
    std::string platform;
  } cases[] = {
      {{"varnik"}, {{"WAYLAND_DISPLAY", "wayland-0"}, {"DISPLAY", ":0"}}, "xcb;wayland"},
      {{"varnik"}, {{"WAYLAND_DISPLAY", "wayland-0"}}, "wayland"},
      {{"varnik"}, {{"WAYLAND_DISPLAY", "wayland-0"}, {"DISPLAY", ""}}, "wayland"},
      {{"varnik"}, {{"DISPLAY", ":0"}}, "xcb;wayland"},
      {{"varnik"}, {}, ""},
      {{"varnik"},
       {{"WAYLAND_DISPLAY", "w"}, {"DISPLAY", ":0"}, {"QT_QPA_PLATFORM", "wayland"}},
       ""},
      {{"varnik"},
       {{"WAYLAND_DISPLAY", "w"}, {"DISPLAY", ":0"}, {"QT_QPA_PLATFORM", ""}},
       "xcb;wayland"},
      {{"varnik", "-platform", "wayland"}, {{"WAYLAND_DISPLAY", "w"}, {"DISPLAY", ":0"}}, ""},
      {{"varnik", "--platform", "xcb"}, {{"WAYLAND_DISPLAY", "w"}}, ""},
      // -platform without its value chooses nothing.
      {{"varnik", "-platform"}, {{"WAYLAND_DISPLAY", "w"}}, "wayland"},
  };
  for (const auto& [arguments, environment, platform] : cases) {
    const std::string chosen = QtPlatformFor(arguments, [&](const char* name) {
      const auto found = environment.find(name);
      return found == environment.end() ? std::string() : found->second;
    });
    EXPECT_EQ(chosen, platform) << arguments.size() << " arguments, " << environment.size()
                                << " variables";
  }
}

}  // namespace
}  // namespace varnik
