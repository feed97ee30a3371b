#include "ui/qt/italian_qt_texts.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLocale>

namespace varnik {
namespace {

TEST(ItalianQtTextsTest, QtsOwnTextsAndTheLocaleBecomeItalian) {
  ASSERT_TRUE(InstallItalianQtTexts(*QCoreApplication::instance()));
  EXPECT_EQ(QLocale().language(), QLocale::Italian);
  // The entry lines' context menu.
  EXPECT_NE(QCoreApplication::translate("QLineEdit", "&Copy"), QStringLiteral("&Copy"));
  EXPECT_NE(QCoreApplication::translate("QLineEdit", "&Paste"), QStringLiteral("&Paste"));
}

}  // namespace
}  // namespace varnik
