// What the window registry tells the user and logs under, and the small text
// helpers its parts share. Internal to the registry's source files.
#pragma once

#include <QCoreApplication>
#include <QString>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "capture/CaptureIndexText.h"

namespace qv::registry {

inline constexpr const char* kSource = "WindowRegistry";
// Logged in Japanese; shown through Shown(), in the interface's language.
inline constexpr const char* kMsgOpenFailed =
    QT_TRANSLATE_NOOP("qv::WindowRegistry", "ウィンドウオープンに失敗しました！");
inline constexpr const char* kMsgNoData =
    QT_TRANSLATE_NOOP("qv::WindowRegistry", "モニタデータがありません！");
inline constexpr const char* kAskRecover =
    QT_TRANSLATE_NOOP("qv::WindowRegistry",
                      "モニタが正常に終了していないデータです。チャンクファイルから復旧しますか?");
inline constexpr const char* kMsgNotConnected =
    QT_TRANSLATE_NOOP("qv::WindowRegistry", "ＱＶ本体が接続されていません！");
inline constexpr const char* kMsgStartFailed =
    QT_TRANSLATE_NOOP("qv::WindowRegistry", "モニタスタート出来ませんでした！");
inline constexpr const char* kMsgReadFailed =
    QT_TRANSLATE_NOOP("qv::WindowRegistry", "モニタデータ読み込みに失敗しました！");
inline constexpr const char* kMsgNoDataAfterStop =
    QT_TRANSLATE_NOOP("qv::WindowRegistry", "モニタデータがありませんでした！");
inline constexpr const char* kMsgTooManyWindows =
    QT_TRANSLATE_NOOP("qv::WindowRegistry", "開けるウィンドウは8つまでです");
inline constexpr const char* kMsgFinishing =
    QT_TRANSLATE_NOOP("qv::WindowRegistry", "モニタデータの書き込みを終えています... %1%");
inline constexpr const char* kMsgRecordedWithGaps =
    QT_TRANSLATE_NOOP("qv::WindowRegistry",
                      "モニタ中にQVのバッファがあふれました。モニタデータに%1か所の欠落があります(計%2秒)。");
inline constexpr const char* kMsgParametersRefused =
    QT_TRANSLATE_NOOP("qv::WindowRegistry", "パラメータ設定できませんでした(%1)");

// One of the texts above as the user reads it.
inline std::string Shown(const char* japanese) {
    return QCoreApplication::translate("qv::WindowRegistry", japanese).toStdString();
}

// Codes of a failed start that the user is told about specially.
inline constexpr int kErrNotConnected = -22;
inline constexpr int kErrParameters = -10;
inline constexpr int kErrNoRun = -7;

inline std::string Stem(const std::string& path) {
    return std::filesystem::path(path).stem().string();
}

// The first three characters of a line name (which may be Japanese).
inline std::string ShortLabel(const std::string& name) {
    return QString::fromStdString(name).left(3).toStdString();
}

}  // namespace qv::registry
