// The interface's language. Japanese is the language every text is written
// in; English comes from the application's own catalogue, built into the
// program. Qt's own texts (the standard buttons, the colour and file dialogs)
// follow the same choice.
#pragma once

#include "core/UiLanguage.h"

class QCoreApplication;

namespace qv {

// Installs the catalogues for `language` into the application and makes it
// the core's message language (MessageText). False when one is missing:
// Qt's Japanese catalogue comes from the Debian package
// qt6-translations-l10n, without which Qt's texts stay in English.
bool InstallQtTranslations(QCoreApplication& app, UiLanguage language);

}  // namespace qv
