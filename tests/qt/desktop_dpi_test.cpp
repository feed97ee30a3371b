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

// The number after `label` in an X utility's report, e.g. "Width: 443".
int Number(const QString& report, const QString& label) {
  return report.section(label, 1).section('\n', 0, 0).toInt();
}

// Shown at the DPI Qt found: the client size in the screen's pixels, whether
// every caption fits inside its button's margins, whether the form's font is
// the desktop's font for buttons, and the apply caption's width in the
// screen's pixels. One line on standard output.
int ShowForm(int argc, char* argv[]) {
  QApplication app(argc, argv);
  VarnikWindow window;
  window.show();
  if (!QTest::qWaitForWindowExposed(&window)) return 1;
  QProcess xwininfo;
  xwininfo.start("xwininfo", {"-id", QString::number(window.winId())});
  xwininfo.waitForFinished();
  const QString client = QString::fromUtf8(xwininfo.readAllStandardOutput());
  bool fit = true;
  for (const QPushButton* button : window.findChildren<QPushButton*>()) {
    const int margin = button->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button);
    fit = fit && QFontMetricsF(button->font(), button).horizontalAdvance(button->text()) <=
                     button->width() - 2 * margin;
  }
  const auto* apply = window.findChild<QPushButton*>("CmdAvvia0");
  const QFont desktop = QApplication::font(apply);
  std::cout << Number(client, "Width:") << ' ' << Number(client, "Height:") << ' ' << fit << ' '
            << (window.font().family() == desktop.family() &&
                window.font().pointSizeF() <= desktop.pointSizeF())
            << ' '
            << QFontMetricsF(apply->font(), apply).horizontalAdvance(apply->text()) *
                   window.devicePixelRatioF()
            << std::endl;
  return 0;
}

// Says the DPI as the X resource Xft.dpi.
void SetResource(int dpi) {
  QProcess xrdb;
  xrdb.start("xrdb", {"-nocpp", "-merge"});
  xrdb.write("Xft.dpi: " + QByteArray::number(dpi) + "\n");
  xrdb.closeWriteChannel();
  ASSERT_TRUE(xrdb.waitForFinished());
}

// Says the DPI as XSETTINGS' Xft/DPI, through `daemon` until it ends.
void StartSettings(int dpi, const QTemporaryDir& scratch, QProcess& daemon) {
  QFile conf(scratch.filePath("xsettingsd.conf"));
  ASSERT_TRUE(conf.open(QIODevice::WriteOnly));
  conf.write("Xft/DPI " + QByteArray::number(dpi * 1024) + "\n");
  conf.close();
  daemon.setReadChannel(QProcess::StandardError);
  daemon.start("xsettingsd", {"-c", conf.fileName()});
  // It says so once it holds the screen's settings.
  QByteArray said;
  while (!said.contains("Took ownership") && daemon.waitForReadyRead(20000))
    said += daemon.readAll();
  ASSERT_TRUE(said.contains("Took ownership")) << said.toStdString();
}

// The client area is the form's twips at the DPI, within a pixel, and its
// text grows with it: the desktop's font, as large as the captions allow.
TEST(DesktopDpiTest, FormAndItsTextGrowWithTheDpiEachWayADesktopSaysIt) {
  enum class Desktop { kNothing, kResource, kXSettings };
  const struct {
    const char* way;
    Desktop desktop;
    const char* variable;  // a variable of Qt's, or nullptr
    const char* value;     // its value; nullptr: the scale the DPI makes
  } ways[] = {
      {"Xft.dpi", Desktop::kResource, nullptr, nullptr},
      {"Xft/DPI", Desktop::kXSettings, nullptr, nullptr},
      {"QT_SCALE_FACTOR", Desktop::kNothing, "QT_SCALE_FACTOR", nullptr},
      {"QT_SCREEN_SCALE_FACTORS", Desktop::kNothing, "QT_SCREEN_SCALE_FACTORS", nullptr},
      // A logical DPI alone, the device pixel ratio 1, and both at once.
      {"Xft.dpi, Qt's scaling off", Desktop::kResource, "QT_ENABLE_HIGHDPI_SCALING", "0"},
      {"Xft/DPI, Qt's scale rounded", Desktop::kXSettings, "QT_SCALE_FACTOR_ROUNDING_POLICY",
       "Round"},
  };
  const QTemporaryDir scratch;
  for (const auto& w : ways) {
    double caption_at_96 = 0;  // the apply caption's width in pixels
    for (const int dpi : {96, 120, 144, 192}) {
      SCOPED_TRACE(testing::Message() << w.way << " at " << dpi);
      QProcess settings;
      if (w.desktop == Desktop::kResource) SetResource(dpi);
      if (w.desktop == Desktop::kXSettings) StartSettings(dpi, scratch, settings);
      QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
      environment.insert("QT_QPA_PLATFORM", "xcb");
      if (w.variable)
        environment.insert(w.variable, w.value ? w.value : QString::number(dpi / 96.0));
      QProcess form;
      form.setProcessEnvironment(environment);
      form.start(QCoreApplication::applicationFilePath(), {kShowForm});
      form.waitForFinished(20000);
      settings.kill();
      settings.waitForFinished();
      QProcess::execute("xrdb", {"-remove"});

      int width = 0, height = 0;
      bool fit = false, desktop_font = false;
      double caption = 0;
      std::istringstream(form.readAllStandardOutput().toStdString()) >> width >> height >> fit >>
          desktop_font >> caption;
      EXPECT_LE(std::abs(width - 6645 * dpi / 1440.0), 1) << width;
      EXPECT_LE(std::abs(height - 1050 * dpi / 1440.0), 1) << height;
      EXPECT_TRUE(fit);
      EXPECT_TRUE(desktop_font);
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
