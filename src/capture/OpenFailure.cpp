#include "capture/OpenFailure.h"

#include <unistd.h>

#include <filesystem>

#include "capture/CaptureRecovery.h"
#include "capture/ChunkData.h"

namespace qv {

namespace {

MessageId ReasonOf(const std::string& indexPath, int code) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (indexPath.empty()) return MessageId::kOpenNoName;
    if (!fs::exists(indexPath, ec)) return MessageId::kOpenMissing;
    if (fs::is_directory(indexPath, ec)) return MessageId::kOpenIsFolder;
    if (::access(indexPath.c_str(), R_OK) != 0) return MessageId::kOpenNoPermission;
    switch (code) {
        case kQvrNoIndex:
            if (indexPath.find(".qvr") == std::string::npos) return MessageId::kOpenNotIndex;
            if (CaptureIsIndexAlone(indexPath)) return MessageId::kOpenIndexAlone;
            return MessageId::kOpenNoChunks;
        case kQvrBadProtocol:
            return MessageId::kOpenBadProtocol;
        case kQvrChunkOpen:
            return MessageId::kOpenChunkMissing;
        case kQvrChunkRead:
            return MessageId::kOpenChunkDamaged;
        case kQvrChunkTooLarge:
            return MessageId::kOpenTooManyRecords;
        case kQvrNoMemory:
            return MessageId::kOpenNoMemory;
        default:
            return MessageId::kOpenErrorCode;
    }
}

}  // namespace

std::string CaptureOpenFailureReason(const std::string& indexPath, int code, UiLanguage language) {
    const MessageId id = ReasonOf(indexPath, code);
    std::string text = MessageText(id, language);
    if (id == MessageId::kOpenErrorCode) text += std::to_string(code);
    return text;
}

}  // namespace qv
