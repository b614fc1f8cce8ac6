#include "core/UiLanguage.h"

#include <cstdlib>

namespace qv {

namespace {

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

}  // namespace

UiLanguage UiLanguageFor(const std::string& qvortLang, const std::string& lcAll,
                         const std::string& lcMessages, const std::string& lang) {
    if (qvortLang == "ja") return UiLanguage::kJapanese;
    if (qvortLang == "en") return UiLanguage::kEnglish;
    // The first variable set wins, as in setlocale(): LC_ALL over
    // LC_MESSAGES over LANG.
    const std::string& locale = !lcAll.empty() ? lcAll : !lcMessages.empty() ? lcMessages : lang;
    // "ja", "ja_JP", "ja_JP.UTF-8", "ja_JP.eucJP", "ja_JP@..."
    const bool japanese = locale.rfind("ja", 0) == 0 &&
                          (locale.size() == 2 || locale[2] == '_' || locale[2] == '.' ||
                           locale[2] == '@');
    return japanese ? UiLanguage::kJapanese : UiLanguage::kEnglish;
}

UiLanguage ChosenUiLanguage() {
    return UiLanguageFor(Env("QVORT_LANG"), Env("LC_ALL"), Env("LC_MESSAGES"), Env("LANG"));
}

}  // namespace qv
