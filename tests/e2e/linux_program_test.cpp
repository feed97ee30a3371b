// The real program as a user meets it: its window on an X server with a window
// manager, driven with xdotool, the stand-in object on a private bus, and a
// real list file.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tests/e2e/program_run.h"
#include "tests/e2e/x_display.h"
#include "tests/support/standin_bus.h"
#include "tests/support/temp_dir.h"

namespace varnik::test {
namespace {

using ::testing::ElementsAre;
using namespace std::chrono_literals;

class LinuxProgramTest : public ::testing::Test {
 protected:
  void SetUp() override { setenv("DISPLAY", display_.Name().c_str(), 1); }

  void Start() {
    run_.emplace(VARNIK_PROGRAM, work_.path(),
                 std::vector<std::string>{"DISPLAY=" + display_.Name(),
                                          "DBUS_SESSION_BUS_ADDRESS=" + standin_.Address(),
                                          "QT_QPA_PLATFORM=xcb"});
    window_ = FindWindow("Varnik");
  }

  // The id of the shown window with this exact title, waiting for it at most
  // 20 seconds.
  static std::string FindWindow(const std::string& title) {
    const std::string ids =
        Shell("timeout 20 xdotool search --sync --onlyvisible --name '^" + title + "$'");
    return ids.substr(0, ids.find('\n'));
  }

  // Clicks at a point of the window's client area, in pixels.
  void Click(int x, int y) {
    Shell("xdotool mousemove --window " + window_ + " " + std::to_string(x) + " " +
          std::to_string(y) + " click 1");
  }

  static void Type(const std::string& text) { Shell("xdotool type --delay 40 '" + text + "'"); }

  // The centres of the controls, from the window's layout.
  static constexpr int kLine0[] = {99, 17}, kLine1[] = {99, 49};
  static constexpr int kApply0[] = {272, 19}, kApply1[] = {272, 51}, kExit[] = {400, 35};

  XDisplay display_;
  StandinBus standin_;
  TempDir work_;
  std::optional<ProgramRun> run_;
  std::string window_;
};

TEST_F(LinuxProgramTest, TypedLineIsAppliedToTheObjectAndSaved) {
  standin_.StoreName("ROSSI");
  Start();
  Click(kLine1[0], kLine1[1]);
  Type("Niccolò-2");
  Click(kApply1[0], kApply1[1]);

  EXPECT_EQ(run_->WaitForExit(30s), 0);
  EXPECT_THAT(standin_.Calls(), ElementsAre("Get Name", "Set Name Niccolò-2", "Apply true"));
  EXPECT_EQ(ReadBytes(work_.path() / "name_start.txt"), "ROSSI\r\nNiccol\xF2-2\r\n");
}

TEST_F(LinuxProgramTest, RefusedLineWarnsAndExitSavesNothing) {
  standin_.StoreName("ROSSI");
  Start();
  Click(kLine0[0] + 70, kLine0[1]);  // after the text
  Type("!");
  Click(kApply0[0], kApply0[1]);
  const std::string box = FindWindow("ATTENZIONE");
  Shell("xdotool key --clearmodifiers Return");
  Shell(
      "timeout 20 sh -c 'while xdotool search --onlyvisible --name \"^ATTENZIONE$\"; do :; done'");
  Click(kExit[0], kExit[1]);

  EXPECT_EQ(run_->WaitForExit(30s), 0);
  EXPECT_FALSE(box.empty());
  EXPECT_THAT(standin_.Calls(), ElementsAre("Get Name"));
  EXPECT_FALSE(std::filesystem::exists(work_.path() / "name_start.txt"));
}

// With the object missing, the program reports it and ends with a failure
// status even when it cannot write to standard error.
TEST_F(LinuxProgramTest, MissingObjectIsReportedWhateverStandardErrorIs) {
  const StandinBus no_object(/*with_standin=*/false);
  for (const bool closed : {true, false}) {
    SCOPED_TRACE(closed ? "closed" : "a pipe nobody reads");
    int pipe_ends[2];
    ASSERT_EQ(pipe2(pipe_ends, O_CLOEXEC), 0);
    close(pipe_ends[0]);
    run_.emplace(VARNIK_PROGRAM, work_.path(),
                 std::vector<std::string>{"DISPLAY=" + display_.Name(),
                                          "DBUS_SESSION_BUS_ADDRESS=" + no_object.Address(),
                                          "QT_QPA_PLATFORM=xcb"},
                 closed ? -1 : pipe_ends[1]);
    close(pipe_ends[1]);

    // The error box: the form is never shown. The test gives the box the
    // keyboard rather than rely on the window manager's focus rules.
    Shell("xdotool windowfocus --sync " + FindWindow("Varnik") + " key --clearmodifiers Return");
    EXPECT_EQ(run_->WaitForExit(30s), 1);
  }
}

// How far the middle of the window's frame is from the screen's, in half
// pixels across and down; nothing while the window manager has not framed the
// window yet.
std::optional<std::pair<int, int>> FrameOffCentre(const std::string& window) {
  int left = 0, right = 0, top = 0, bottom = 0;
  if (std::sscanf(Shell("xprop -notype -id " + window + " _NET_FRAME_EXTENTS").c_str(),
                  "_NET_FRAME_EXTENTS = %d, %d, %d, %d", &left, &right, &top, &bottom) != 4) {
    return std::nullopt;
  }
  const std::string client = Shell("xwininfo -id " + window);
  const auto value = [&client](const char* label) {
    return std::stoi(client.substr(client.find(label) + std::strlen(label)));
  };
  int screen_width = 0, screen_height = 0;
  std::sscanf(Shell("xdotool getdisplaygeometry").c_str(), "%d %d", &screen_width, &screen_height);
  return std::pair{
      2 * (value("Absolute upper-left X:") - left) + value("Width:") + left + right - screen_width,
      2 * (value("Absolute upper-left Y:") - top) + value("Height:") + top + bottom -
          screen_height};
}

TEST_F(LinuxProgramTest, FramedWindowSitsInTheMiddleOfTheScreen) {
  Start();
  // The window manager frames the window after it is shown; then the window
  // settles in the middle, or the wait runs out.
  std::optional<std::pair<int, int>> off;
  const auto deadline = std::chrono::steady_clock::now() + 20s;
  do {
    off = FrameOffCentre(window_);
  } while ((!off || std::abs(off->first) > 2 || std::abs(off->second) > 2) &&
           std::chrono::steady_clock::now() < deadline);
  ASSERT_TRUE(off.has_value()) << "no frame";
  EXPECT_LE(std::abs(off->first), 2) << "half pixels right of the middle";
  EXPECT_LE(std::abs(off->second), 2) << "half pixels below the middle";
}

}  // namespace
}  // namespace varnik::test
