#pragma once

class QCoreApplication;

// Qt's own texts (standard buttons, file dialogs, editors' context menus)
// in Chinese, from the translations Qt installs (Debian:
// qt6-translations-l10n). False when they cannot be found; the program's
// own boxes set their button texts themselves and stay Chinese then too.
// The texts Qt leaves untranslated (a message box's details button) come
// from the program itself, with or without those translations.
bool installChineseTranslations(QCoreApplication& app);

// Dates in Qt's file dialogs follow the system's time locale, which a
// desktop set to English or to none (C) would write in English. Call before
// the application object is made: without a Chinese time locale in the
// environment, the process takes zh_CN.UTF-8 for dates and times only.
void useChineseDates();
