#include "app/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "core/MessageText.h"

namespace qv {

namespace {

bool Install(QCoreApplication& app, const QLocale& locale, const QString& name,
             const QString& dir) {
    auto* translator = new QTranslator(&app);
    if (!translator->load(locale, name, "_", dir)) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

}  // namespace

bool InstallQtTranslations(QCoreApplication& app, UiLanguage language) {
    // The core's messages the windows show follow the same choice.
    SetMessageLanguage(language);
    if (language == UiLanguage::kEnglish) {
        // The source texts are Japanese, so English needs the application's
        // catalogue; Qt's own texts are English already.
        return Install(app, QLocale(QLocale::English), "qv-ort", ":/i18n");
    }
    // "qtbase" holds the widgets' and dialogs' texts; "qt" is the meta
    // catalogue some distributions ship instead.
    const QString dir = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    const QLocale japanese(QLocale::Japanese, QLocale::Japan);
    return Install(app, japanese, "qtbase", dir) || Install(app, japanese, "qt", dir);
}

}  // namespace qv
