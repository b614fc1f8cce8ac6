// What the window registry tells the user and logs under, and the small text
// helpers its parts share. Internal to the registry's source files.
#pragma once

#include <QString>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "core/CaptureIndexText.h"

namespace qv::registry {

inline constexpr const char* kSource = "WindowRegistry";
inline constexpr const char* kMsgOpenFailed = "ウィンドウオープンに失敗しました！";
inline constexpr const char* kMsgNoData = "モニタデータがありません！";
inline constexpr const char* kAskRecover =
    "モニタが正常に終了していないデータです。チャンクファイルから復旧しますか?";
inline constexpr const char* kMsgNotConnected = "ＱＶ本体が接続されていません！";
inline constexpr const char* kMsgStartFailed = "モニタスタート出来ませんでした！";
inline constexpr const char* kMsgReadFailed = "モニタデータ読み込みに失敗しました！";
inline constexpr const char* kMsgNoDataAfterStop = "モニタデータがありませんでした！";

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
