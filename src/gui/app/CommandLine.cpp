#include "app/CommandLine.h"

#include "common/ProgramName.h"

namespace qv {

namespace {

bool IsHelp(const std::string& a) {
    return a == "-h" || a == "--help";
}
bool IsVersion(const std::string& a) {
    return a == "-v" || a == "--version";
}

}  // namespace

bool AsksForHelpOrVersion(const std::vector<std::string>& args) {
    for (const auto& a : args) {
        if (a == "--") return false;
        if (IsHelp(a) || IsVersion(a)) return true;
    }
    return false;
}

StartupRequest ParseStartupArgs(const std::vector<std::string>& args, UiLanguage language) {
    StartupRequest r;
    bool optionsEnd = false;
    for (const auto& a : args) {
        if (!optionsEnd && a == "--") {
            optionsEnd = true;
        } else if (!optionsEnd && IsHelp(a)) {
            return {StartupRequest::kHelp, {}, {}};
        } else if (!optionsEnd && IsVersion(a)) {
            return {StartupRequest::kVersion, {}, {}};
        } else if (!optionsEnd && a.size() > 1 && a[0] == '-') {
            if (r.action != StartupRequest::kError) {
                r.action = StartupRequest::kError;
                r.error = InUiLanguage(language, "不明なオプションです: ", "unknown option: ") + a;
            }
        } else if (r.captureFile.empty()) {
            r.captureFile = a;
        } else if (r.action != StartupRequest::kError) {
            r.action = StartupRequest::kError;
            r.error =
                InUiLanguage(language, "開けるキャプチャは一つだけです: ", "only one capture can be opened: ") + a;
        }
    }
    return r;
}

std::string UsageLine(const std::string& program, UiLanguage language) {
    return InUiLanguage(language, "使い方: ", "Usage: ") + program +
           InUiLanguage(language, " [オプション] [キャプチャ.qvr]\n", " [OPTIONS] [CAPTURE.qvr]\n");
}

std::string UsageText(const std::string& program, UiLanguage language) {
    if (language == UiLanguage::kEnglish)
        return UsageLine(program, language) +
               "Desktop application of the serial line monitor QV-ORT.\n"
               "A capture given here opens in a Monitor window once the unit is selected.\n"
               "\n"
               "Options:\n"
               "  -h, --help     show this help and exit\n"
               "  -v, --version  show the version and exit\n"
               "  --             take the arguments after it as file names\n"
               "\n"
               "Qt's standard options (-platform, -style, ...) work too.\n"
               "The application folder is $QVORT_HOME, or when it is unset\n"
               "${XDG_DATA_HOME:-$HOME/.local/share}/qv-ort.\n"
               "QVORT_LANG=ja or en chooses the language; unset, the locale does.\n";
    return UsageLine(program, language) +
           "シリアル回線モニタ QV-ORT のデスクトップアプリケーション。\n"
           "キャプチャを指定すると、モニタ機器選択の後にモニタウィンドウで開きます。\n"
           "\n"
           "オプション:\n"
           "  -h, --help     この説明を表示して終了します\n"
           "  -v, --version  バージョンを表示して終了します\n"
           "  --             これ以降の引数をファイル名として扱います\n"
           "\n"
           "Qt の標準オプション (-platform, -style など) も使えます。\n"
           "アプリケーションフォルダは $QVORT_HOME、未設定なら\n"
           "${XDG_DATA_HOME:-$HOME/.local/share}/qv-ort です。\n"
           "QVORT_LANG=ja または en で表示言語を選べます (未設定ならロケールに従います)。\n";
}

std::string UsageHint(const std::string& program, UiLanguage language) {
    return InUiLanguage(language, "詳しくは '", "Try '") + program +
           InUiLanguage(language, " --help' を参照してください。\n", " --help' for more information.\n");
}

std::string VersionText() {
    return WritingProgram() + "\n";
}

}  // namespace qv
