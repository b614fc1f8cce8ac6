#include "device/UsbTypes.h"

namespace qv {

std::string SerialTextFromUtf16(const std::u16string& serial) {
    std::string out;
    for (size_t i = 0; i < serial.size() && i < 8; ++i) {
        char c = static_cast<char>(serial[i] & 0xFF);
        if (c == '\0') break;
        out.push_back(c);
    }
    return out;
}

const char* ModelName(uint16_t productId) {
    switch (productId) {
        case kProductQvS1:
            return "QV-S1";
        case kProductQvSz2:
            return "QV-SZ2";
        default:
            return "";
    }
}

const char* TransferStatusText(TransferStatus s) {
    switch (s) {
        case TransferStatus::kOk:
            return "ok";
        case TransferStatus::kTimeout:
            return "timed out";
        case TransferStatus::kNoDevice:
            return "no device";
        case TransferStatus::kError:
            return "transfer error";
    }
    return "transfer error";
}

}  // namespace qv
