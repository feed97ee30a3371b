// The window at the DPI an X desktop gives it, each way a desktop says it, on
// a real X server (scripts/x-desktop). Qt reads the DPI once, as it starts, so
// for each DPI this program starts itself again (kShowForm) to show the
// window alone and tell how it came out.

#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetricsF>
#include <QProcess>
#include <QPushButton>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <iostream>
#include <sstream>
#include <string_view>

#include "ui/qt/varnik_window.h"

namespace varnik {
namespace {

// Shows the window alone and reports on it (ShowForm).
constexpr char kShowForm[] = "--show-form";

// One line on standard output: the client size in the screen's pixels as X
// tells it, whether the apply caption, which the form's font is chosen for,
// fits inside its button's margins, and its width in the screen's pixels.
int ShowForm(int argc, char* argv[]) {
  QApplication app(argc, argv);
  VarnikWindow window;
  window.show();
  if (!QTest::qWaitForWindowExposed(&window)) return 1;
  QProcess client;  // its width and height
  client.start("sh", {"-c", "xwininfo -id $0 | awk '/Width:|Height:/ { printf \"%s \", $2 }'",
                      QString::number(window.winId())});
  client.waitForFinished();
  const auto& apply = *window.findChild<QPushButton*>("CmdAvvia0");
  const int margin = apply.style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, &apply);
  const qreal caption = QFontMetricsF(apply.font(), &apply).horizontalAdvance(apply.text());
  std::cout << client.readAllStandardOutput().toStdString()
            << (caption <= apply.width() - 2 * margin) << ' '
            << caption * window.devicePixelRatioF() << std::endl;
  return 0;
}

// The client area is the form's twips at the DPI, within a pixel, and its
// text grows with it, the caption still fitting.
TEST(DesktopDpiTest, FormAndItsTextGrowWithTheDpiEachWayADesktopSaysIt) {
  // A shell command that says the DPI (%1) on the desktop, and a variable of
  // Qt's (%1 the scale factor). With Qt's own scaling off or rounded, Qt
  // keeps a logical DPI, alone or beside a device pixel ratio.
  const char* const resource = "echo Xft.dpi: %1 | xrdb -nocpp -merge";
  const char* const xsettings =  // into "$0", a file of the test's own
      "printf 'Xft/DPI %d\\n' $((%1 * 1024)) >\"$0\" && exec xsettingsd -c \"$0\"";
  const struct {
    const char *command, *variable, *value;
  } ways[] = {
      {resource, nullptr, nullptr},
      {xsettings, nullptr, nullptr},
      {nullptr, "QT_SCALE_FACTOR", "%1"},
      {nullptr, "QT_SCREEN_SCALE_FACTORS", "%1"},
      {resource, "QT_ENABLE_HIGHDPI_SCALING", "0"},
      {xsettings, "QT_SCALE_FACTOR_ROUNDING_POLICY", "Round"},
  };
  const QTemporaryDir scratch;
  for (const auto& way : ways) {
    double caption_at_96 = 0;  // the apply caption's width in pixels
    for (const int dpi : {96, 120, 144, 192}) {
      SCOPED_TRACE(testing::Message() << (way.command ? way.command : "") << ' '
                                      << (way.variable ? way.variable : "") << " at " << dpi);
      QProcess desktop;  // xsettingsd runs until killed
      if (way.command) {
        desktop.setProcessChannelMode(QProcess::MergedChannels);
        desktop.start("sh", {"-c", QString(way.command).arg(dpi), scratch.filePath("settings")});
        // xrdb has set the resource once it ends; xsettingsd says when it
        // holds the screen's settings.
        QByteArray said;
        while (!said.contains("Took ownership") && desktop.waitForReadyRead(20000)) {
          said += desktop.readAll();
        }
        ASSERT_TRUE(said.contains("Took ownership") || desktop.exitCode() == 0) << said.data();
      }
      QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
      environment.insert("QT_QPA_PLATFORM", "xcb");
      for (const auto& other : ways) environment.remove(other.variable ? other.variable : "");
      if (way.variable) environment.insert(way.variable, QString(way.value).arg(dpi / 96.0));
      QProcess form;
      form.setProcessEnvironment(environment);
      form.start(QCoreApplication::applicationFilePath(), {kShowForm});
      form.waitForFinished(20000);
      desktop.kill();
      desktop.waitForFinished();
      QProcess::execute("xrdb", {"-remove"});

      int width = 0, height = 0;
      bool fit = false;
      double caption = 0;
      std::istringstream(form.readAllStandardOutput().toStdString()) >> width >> height >> fit >>
          caption;
      EXPECT_LE(std::abs(width - 6645 * dpi / 1440.0), 1) << width;
      EXPECT_LE(std::abs(height - 1050 * dpi / 1440.0), 1) << height;
      EXPECT_TRUE(fit);
      if (dpi == 96) caption_at_96 = caption;
      EXPECT_NEAR(caption, caption_at_96 * dpi / 96, caption_at_96 * dpi / 96 / 10);
    }
  }
}

}  // namespace
}  // namespace varnik

int main(int argc, char* argv[]) {
  if (argc == 2 && std::string_view(argv[1]) == varnik::kShowForm) {
    return varnik::ShowForm(argc, argv);
  }
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
