#pragma once

class QCoreApplication;

namespace varnik {

// Makes Italian the default locale and, when the system has Qt's own
// translations, puts Qt's texts (the entry lines' context menu, the message
// boxes' buttons) into Italian for the rest of the application's life.
// Returns whether the translations were found.
bool InstallItalianQtTexts(QCoreApplication& app);

}  // namespace varnik
