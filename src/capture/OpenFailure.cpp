#include "capture/OpenFailure.h"

#include <unistd.h>

#include <filesystem>

#include "capture/ChunkData.h"

namespace qv {

std::string CaptureOpenFailureReason(const std::string& indexPath, int code) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (indexPath.empty()) return "ファイル名が指定されていません";
    if (!fs::exists(indexPath, ec)) return "ファイルがありません";
    if (fs::is_directory(indexPath, ec)) return "フォルダです (インデックスファイル .qvr を指定してください)";
    if (::access(indexPath.c_str(), R_OK) != 0) return "ファイルを読む権限がありません";
    switch (code) {
        case kQvrNoIndex:
            if (indexPath.find(".qvr") == std::string::npos)
                return "キャプチャのインデックスファイル (.qvr) ではありません";
            return "インデックスファイルにデータファイルの記録がありません (壊れているか空です)";
        case kQvrBadProtocol:
            return "インデックスファイルのプロトコル設定が不正です (壊れています)";
        case kQvrChunkOpen:
            return "データファイル (.qvd) が見つからないか開けません";
        case kQvrChunkRead:
            return "データファイル (.qvd) が壊れています";
        case kQvrChunkTooLarge:
            return "データファイル (.qvd) のレコード数が多すぎます (壊れています)";
        case kQvrNoMemory:
            return "メモリが足りません";
        default:
            return "エラーコード " + std::to_string(code);
    }
}

}  // namespace qv
