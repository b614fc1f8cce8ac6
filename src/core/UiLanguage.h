// The language of the interface: Japanese, the language every text is
// written in, or English. Only what is shown changes; files keep their
// Japanese texts whatever the choice.
#pragma once

#include <string>

namespace qv {

enum class UiLanguage { kJapanese, kEnglish };

// The choice from the environment: QVORT_LANG ("ja" or "en") when set, else
// the locale that decides messages (LC_ALL, then LC_MESSAGES, then LANG, the
// first one set): Japanese for a "ja" locale, English for any other, C and
// POSIX included. A QVORT_LANG of any other value is ignored.
UiLanguage ChosenUiLanguage();

// The same rule over given values (an empty text stands for an unset
// variable), for callers that hold them already and for tests.
UiLanguage UiLanguageFor(const std::string& qvortLang, const std::string& lcAll,
                         const std::string& lcMessages, const std::string& lang);

// Picks one of two texts of the same message.
inline const char* InUiLanguage(UiLanguage l, const char* japanese, const char* english) {
    return l == UiLanguage::kJapanese ? japanese : english;
}

}  // namespace qv
