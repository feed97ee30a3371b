// The widget tests need one QApplication for the whole run. Without a
// platform chosen from outside they use the offscreen one, so that listing
// the tests works without a display too, with the screens of screens.json:
// the primary one at 96 DPI, one at 192, and one at 96 with two pixels to
// each of Qt's.

#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char* argv[]) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" VARNIK_TEST_SCREENS);
    // Each screen's logical DPI as it is, as a desktop may say it to Qt.
    qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
  }
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
