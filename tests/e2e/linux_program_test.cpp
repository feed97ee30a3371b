// The real program as a user meets it: its window on an X desktop with a
// window manager (scripts/x-desktop starts one for each test), driven with
// xdotool and read back with the X utilities, the stand-in object on a bus of
// the test's own, and a real list file.
#include <gtest/gtest.h>

#include <QPoint>
#include <QProcess>

#include <sys/resource.h>
#include <unistd.h>

#include <functional>

#include "tests/support/eventually.h"
#include "tests/support/standin_bus.h"

namespace varnik::test {
namespace {

// Runs an X utility to its end, at most 20 seconds, and returns what it printed.
QString XTool(const QString& tool, const QStringList& args) {
  QProcess run;
  run.start(tool, args);
  run.waitForFinished(20000);
  return QString::fromUtf8(run.readAllStandardOutput());
}

// The ids of the shown windows with this exact title.
QStringList Shown(const QString& title) {
  return XTool("xdotool", {"search", "--onlyvisible", "--name", '^' + title + '$'})
      .split('\n', Qt::SkipEmptyParts);
}

// Presses Return in the window, given the keyboard first.
void PressReturn(const QString& window) {
  XTool("xdotool", {"windowfocus", "--sync", window, "key", "--clearmodifiers", "Return"});
}

// Whether the window stands alone: a window of its own, tied to no other
// (which would keep it out of the window list).
bool StandsAlone(const QString& window) {
  return XTool("xprop", {"-id", window, "WM_TRANSIENT_FOR"}).contains("not found");
}

// The number after `label` in an X utility's report, e.g. "Width: 443".
int Number(const QString& report, const QString& label) {
  return report.section(label, 1).section('\n', 0, 0).toInt();
}

class LinuxProgramTest : public ::testing::Test {
 protected:
  // Starts the program, its standard error set up in the child by
  // `standard_error`, and finds its window (or its box, when that comes first).
  void Start(const std::function<void()>& standard_error = [] {}) {
    QProcessEnvironment environment = standin_.Environment();
    environment.insert("QT_QPA_PLATFORM", "xcb");
    program_.setProcessEnvironment(environment);
    program_.setWorkingDirectory(QString::fromStdString(Utf8(work_.path())));
    program_.setChildProcessModifier(standard_error);
    program_.start(VARNIK_PROGRAM, {});
    QStringList shown;
    ASSERT_TRUE(Eventually([&] { return !(shown = Shown("Varnik")).empty(); }));
    window_ = shown.front();
  }

  // A window titled "Varnik" that is shown and not one of `known`, once there
  // is one.
  QString NewWindow(const QStringList& known) {
    QString found;
    EXPECT_TRUE(Eventually([&] {
      for (const QString& window : Shown("Varnik")) {
        if (!known.contains(window)) found = window;
      }
      return !found.isEmpty();
    }));
    return found;
  }

  // Clicks a control, given by the centre of its place in the window's layout.
  void Click(QPoint centre) {
    XTool("xdotool", {"mousemove", "--window", window_, QString::number(centre.x()),
                      QString::number(centre.y()), "click", "1"});
  }

  static void Type(const QString& text) { XTool("xdotool", {"type", "--delay", "40", "--", text}); }

  // The exit status (a signal's number, where one ended the program), once the
  // program has ended by itself within 30 seconds.
  int ExitStatus() {
    EXPECT_TRUE(program_.waitForFinished(30000)) << "the program did not end";
    return program_.exitCode();
  }

  const QPoint kLine1{99, 49}, kApply1{272, 51}, kExit{400, 35};
  StandinBus standin_;
  TempDir work_;
  const std::filesystem::path list_ = work_.path() / "name_start.txt";
  QProcess program_;
  QString window_;
};

// A failure at start-up shows the error box instead of the window and ends
// the program with a failure status, even when it cannot write to standard
// error.
TEST_F(LinuxProgramTest, FailureAtStartUpIsReportedWhateverStandardErrorIs) {
  standin_.Write("get-name.fail", "VeruVeve.Error.Locked\nConfigurazione bloccata");
  const std::pair<const char*, std::function<void()>> cases[] = {
      {"closed", [] { close(STDERR_FILENO); }},
      {"a pipe nobody reads",
       [] {
         int ends[2];
         if (pipe(ends) == 0 && dup2(ends[1], STDERR_FILENO) >= 0) close(ends[0]);
       }},
  };
  for (const auto& [label, standard_error] : cases) {
    SCOPED_TRACE(label);
    Start(standard_error);
    PressReturn(window_);
    EXPECT_EQ(ExitStatus(), 1);
  }
}

// An object that is slow, silent or gone, at start-up or at Apply: the user is
// asked after 5 seconds; a stop, or an object that dies, ends the program as a
// failure of that step with the list as it was; an answer while the box is
// open goes on as if it had come at once, past the 10 seconds calls once had.
// While the program waits, the window takes neither a second press nor a
// request to close. A box at start-up, with no window behind it, stands alone.
TEST_F(LinuxProgramTest, SlowSilentOrDyingObjectIsWaitedForAsTheUserChooses) {
  enum Then { kStop, kLetAnswer, kObjectDies };
  const struct {
    const char* label;
    const char* switch_file;  // with no list the program reads Name at start-up
    const char* switch_text;
    Then then;
    int status;
    const char* calls;
    const char* list;  // afterwards; nullptr: none
    const char* error;
  } cases[] = {
      {"hang at start-up", "get-name.hang", "", kStop, 1, "Get Name\n", nullptr,
       "smesso di attendere"},
      {"hang at Apply", "apply.hang", "", kStop, 1, "Set Name VERDI-2\nApply true\n",
       "ROSSI\r\nVERDI\r\n", "smesso di attendere"},
      {"slow Apply", "apply.delay", "12", kLetAnswer, 0, "Set Name VERDI-2\nApply true\n",
       "ROSSI\r\nVERDI-2\r\n", ""},
      {"dying in Apply", "apply.exit", "", kObjectDies, 1, "Set Name VERDI-2\nApply true\n",
       "ROSSI\r\nVERDI\r\n", "org.freedesktop.DBus.Error.NoReply: "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    std::filesystem::remove(list_);
    standin_.Write("calls", "");
    standin_.Write(c.switch_file, c.switch_text);
    const bool at_start = c.list == nullptr;
    if (!at_start) WriteBytes(list_, "ROSSI\r\nVERDI\r\n");
    Start();
    QStringList known{window_};
    EXPECT_TRUE(!at_start || StandsAlone(window_)) << "the wait box";
    if (!at_start) {
      Click(kLine1);
      Type("-2");
      Click(kApply1);
    }
    if (!at_start && c.then != kObjectDies) {
      // Once more, by the keyboard, and a request to close: both come to nothing.
      XTool("xdotool", {"windowfocus", "--sync", window_, "key", "Return", "alt+F4"});
      known << NewWindow(known);  // the box
    }
    if (c.then == kStop) {
      XTool("xdotool", {"windowfocus", "--sync", known.back(), "key", "Escape"});
    } else if (c.then == kLetAnswer) {
      EXPECT_TRUE(Eventually([&] { return !Shown("Varnik").contains(known.back()); }));
    }
    if (c.status != 0) {
      const QString failure_box = NewWindow(known);
      EXPECT_EQ(StandsAlone(failure_box), at_start);
      PressReturn(failure_box);
    }

    EXPECT_EQ(ExitStatus(), c.status);
    EXPECT_TRUE(program_.readAllStandardError().contains(c.error));
    EXPECT_EQ(standin_.Read("calls"), c.calls);
    EXPECT_EQ(std::filesystem::exists(list_) ? ReadBytes(list_) : "", c.list ? c.list : "");
    standin_.Remove(c.switch_file);
  }
}

// A save stopped by the file-size limit the program was started with is a
// failed save, reported as one, not the program ending without a word.
TEST_F(LinuxProgramTest, SaveStoppedByTheFileSizeLimitIsReported) {
  WriteBytes(list_, "ROSSI\r\nVERDI\r\n");
  const rlimit none{0, 0};
  Start([&] { setrlimit(RLIMIT_FSIZE, &none); });
  Click(kLine1);
  Type("-2");
  Click(kApply1);
  PressReturn(NewWindow({window_}));
  EXPECT_EQ(ExitStatus(), 1);
  EXPECT_TRUE(program_.readAllStandardError().contains("(name_start.txt), che è rimasto com'era"));
  EXPECT_EQ(ReadBytes(list_), "ROSSI\r\nVERDI\r\n");
}

// Exit then ends the program, the object told nothing, no list saved.
TEST_F(LinuxProgramTest, FramedWindowSitsInTheMiddleOfTheScreenAndExitEndsIt) {
  Start();
  // The window manager frames the window after it is shown; then the window
  // settles in the middle. Off is how far the middle of the frame is from the
  // screen's, in half pixels across and down.
  QPoint off;
  EXPECT_TRUE(Eventually([&] {
    const QString extents = XTool("xprop", {"-notype", "-id", window_, "_NET_FRAME_EXTENTS"});
    const QStringList frame = extents.section('=', 1).split(',');  // left, right, top, bottom
    if (frame.size() != 4) return false;
    const QString client = XTool("xwininfo", {"-id", window_});
    const QString screen = XTool("xwininfo", {"-root"});
    off = {2 * Number(client, "Absolute upper-left X:") + Number(client, "Width:") -
               frame[0].toInt() + frame[1].toInt() - Number(screen, "Width:"),
           2 * Number(client, "Absolute upper-left Y:") + Number(client, "Height:") -
               frame[2].toInt() + frame[3].toInt() - Number(screen, "Height:")};
    return std::abs(off.x()) <= 2 && std::abs(off.y()) <= 2;
  })) << "half pixels right of and below the middle: "
      << off.x() << ", " << off.y();
  Click(kExit);

  EXPECT_EQ(ExitStatus(), 0);
  EXPECT_EQ(standin_.Read("calls"), "Get Name\n");
  EXPECT_FALSE(std::filesystem::exists(list_));
}

}  // namespace
}  // namespace varnik::test
