#include "app/CommandLine.h"

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

StartupRequest ParseStartupArgs(const std::vector<std::string>& args) {
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
                r.error = "不明なオプションです: " + a;
            }
        } else if (r.captureFile.empty()) {
            r.captureFile = a;
        } else if (r.action != StartupRequest::kError) {
            r.action = StartupRequest::kError;
            r.error = "開けるキャプチャは一つだけです: " + a;
        }
    }
    return r;
}

std::string UsageText(const std::string& program) {
    return "使い方: " + program +
           " [オプション] [キャプチャ.qvr]\n"
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
           "${XDG_DATA_HOME:-$HOME/.local/share}/qv-ort です。\n";
}

std::string VersionText() {
    return std::string("qv-ort ") + QVORT_VERSION + "\n";
}

}  // namespace qv
