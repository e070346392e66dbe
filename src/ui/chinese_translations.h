#pragma once

class QCoreApplication;

// Qt's own texts (standard buttons, file dialogs, editors' context menus)
// in Chinese, from the translations Qt installs (Debian:
// qt6-translations-l10n). False when they cannot be found; the program's
// own boxes set their button texts themselves and stay Chinese then too.
// The texts Qt leaves untranslated (a message box's details button) come
// from the program itself, with or without those translations.
bool installChineseTranslations(QCoreApplication& app);
