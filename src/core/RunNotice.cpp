#include "core/RunNotice.h"

namespace qv {

std::string_view RunNoticeText(RunNotice notice) {
    switch (notice) {
        case RunNotice::kCaptureFull:
            return "モニタデータがＦＩＸになりました";
        case RunNotice::kWriteFailed:
            return "モニタデータ書込みに失敗しました！";
        case RunNotice::kStop:
            break;
    }
    return {};
}

}  // namespace qv
