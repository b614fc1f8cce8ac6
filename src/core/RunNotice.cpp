#include "core/RunNotice.h"

#include "core/MessageText.h"

namespace qv {

std::string_view RunNoticeText(RunNotice notice) {
    switch (notice) {
        case RunNotice::kCaptureFull:
            return MessageText(MessageId::kRunCaptureFull);
        case RunNotice::kWriteFailed:
            return MessageText(MessageId::kRunWriteFailed);
        case RunNotice::kStop:
            break;
    }
    return {};
}

}  // namespace qv
