// The core's messages to the user, each in Japanese, the language they are
// written in and what log files keep, and in English. Callers that show a
// message take it in the message language, which the program sets once from
// its interface language; callers that log take the Japanese.
#pragma once

#include "core/UiLanguage.h"

namespace qv {

enum class MessageId {
    // The instrument and its status.
    kUsbInitFailed,
    kNotConnected,
    kClockFailed,
    kClockOutOfRange,
    kParamFailed,
    kStateFailed,
    kMonitoringNoChange,
    kNoAccessHint,
    kUnitInUseQuestion,
    // Before a run starts.
    kAskStopRunning,
    kAskNoStoreTrigger,
    kBadMonitorParameter,
    kNeedAcPower,
    kNoCard,
    kCardFault,
    kCardIndexDamaged,
    // A run onto the instrument's card.
    kCardConnecting,
    kCardSetting,
    kCardAskStartNow,
    kCardStarted,
    kCardStartsAtPowerOn,
    kCardStartFailed,
    // Searching a capture.
    kNoSearchCondition,
    kSearchNotFound,
    kSearchBadParameters,
    kSearchEndOfCapture,
    kSearchError,
    // Printing.
    kPrintFailed,
    kPrinterUnreachable,
    kPrintFileUnwritable,  // followed by the file and the system's reason
    kPrintBadArgument,
    kPrintBadFormat,
    // Why a capture did not open.
    kOpenNoName,
    kOpenMissing,
    kOpenIsFolder,
    kOpenNoPermission,
    kOpenNotIndex,
    kOpenNoChunks,
    kOpenIndexAlone,
    kOpenBadProtocol,
    kOpenChunkMissing,
    kOpenChunkDamaged,
    kOpenTooManyRecords,
    kOpenNoMemory,
    kOpenErrorCode,  // followed by the reader's code
    kReadNoRecord,
    // Notices of a monitoring run.
    kRunCaptureFull,
    kRunWriteFailed,
    kCount
};

// The text of `id` in `language`.
const char* MessageText(MessageId id, UiLanguage language);
// The text of `id` in the message language.
const char* MessageText(MessageId id);

// The language messages are shown in: Japanese until the program sets it.
void SetMessageLanguage(UiLanguage language);
UiLanguage MessageLanguage();

// One of two texts of the same words, in the message language: for texts
// built from parts, which a table of whole messages cannot hold.
inline const char* Say(const char* japanese, const char* english) {
    return InUiLanguage(MessageLanguage(), japanese, english);
}

}  // namespace qv
