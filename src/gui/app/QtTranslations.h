// Qt's own texts (the standard buttons "Yes"/"No"/"Cancel", the colour and
// file dialogs) in Japanese, to match the rest of the application whatever
// the user's locale is.
#pragma once

class QCoreApplication;

namespace qv {

// Installs Qt's Japanese catalogue into the application. False when it is not
// installed (Debian package qt6-translations-l10n); Qt's texts then stay in
// English.
bool InstallQtTranslations(QCoreApplication& app);

}  // namespace qv
