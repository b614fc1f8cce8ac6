#include "capture/OpenFailure.h"

#include <unistd.h>

#include <filesystem>

#include "capture/CaptureRecovery.h"
#include "capture/ChunkData.h"

namespace qv {

namespace {

MessageId CodeMessage(int code) {
    switch (code) {
        case kQvrNoIndex:
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
        case kQvrNotFound:
            return MessageId::kReadNoRecord;
        default:
            return MessageId::kOpenErrorCode;
    }
}

std::string TextOf(MessageId id, int code, UiLanguage language) {
    std::string text = MessageText(id, language);
    if (id == MessageId::kOpenErrorCode) text += std::to_string(code);
    return text;
}

MessageId ReasonOf(const std::string& indexPath, int code) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (indexPath.empty()) return MessageId::kOpenNoName;
    if (!fs::exists(indexPath, ec)) return MessageId::kOpenMissing;
    if (fs::is_directory(indexPath, ec)) return MessageId::kOpenIsFolder;
    if (::access(indexPath.c_str(), R_OK) != 0) return MessageId::kOpenNoPermission;
    if (code == kQvrNoIndex) {
        if (indexPath.find(".qvr") == std::string::npos) return MessageId::kOpenNotIndex;
        if (CaptureIsIndexAlone(indexPath)) return MessageId::kOpenIndexAlone;
    }
    return CodeMessage(code);
}

}  // namespace

std::string CaptureOpenFailureReason(const std::string& indexPath, int code, UiLanguage language) {
    return TextOf(ReasonOf(indexPath, code), code, language);
}

std::string ReaderCodeText(int code, UiLanguage language) {
    return TextOf(CodeMessage(code), code, language);
}

}  // namespace qv
