#include "core/MessageText.h"

#include <atomic>
#include <iterator>

namespace qv {

namespace {

struct Entry {
    MessageId id;
    const char* japanese;
    const char* english;
};

// In MessageId order; a static_assert below keeps the two in step.
constexpr Entry kEntries[] = {
    {MessageId::kUsbInitFailed, "USB初期化に失敗しました", "USB initialisation failed"},
    {MessageId::kNotConnected, "QVが接続されていません", "No unit is connected"},
    {MessageId::kClockFailed, "時刻情報取得できませんでした", "Could not read the unit's clock"},
    {MessageId::kClockOutOfRange, "本体の時計はこの時刻を保持できません。設定できる範囲:",
     "The unit's clock cannot hold this time. It holds"},
    {MessageId::kParamFailed, "パラメータ取得に失敗しました",
     "Could not read the unit's parameters"},
    {MessageId::kStateFailed, "QVステータス取得に失敗しました", "Could not read the unit's status"},
    {MessageId::kMonitoringNoChange, "モニタ中のため設定を変更できません",
     "The unit is monitoring; settings cannot be changed"},
    {MessageId::kNoAccessHint,
     "× の機器は接続されていますが、このユーザーには使用する権限がありません。"
     "udev ルール (61-qv-ort-uaccess.rules、62-qv-ort-plugdev.rules) を "
     "/lib/udev/rules.d にインストールして機器を差し直すか、"
     "ユーザーを plugdev グループに加えてログインし直してください。",
     "Units marked × are attached, but this user may not open them. Install the udev rules "
     "(61-qv-ort-uaccess.rules, 62-qv-ort-plugdev.rules) into /lib/udev/rules.d and replug the "
     "unit, or add the user to the plugdev group and log in again."},
    {MessageId::kUnitInUseQuestion,
     "他のアプリケーションが使用している場合、不具合が生じる可能性がありますが実行しますか?",
     "Another application may be using this unit, which can cause faults. Select it anyway?"},
    {MessageId::kAskStopRunning,
     "すでにQVはモニタ中です。新たにモニタを行う場合は、モニタを停止する必要があります。"
     "モニタを停止しますか?",
     "The unit is already monitoring. A new run needs that one stopped. Stop monitoring?"},
    {MessageId::kAskNoStoreTrigger,
     "トリガ条件に「蓄積開始」が設定されていないため、モニタデータの保存はされませんが、"
     "モニタを開始しますか?",
     "No trigger has the action \"start storing\", so no data will be stored. Start "
     "monitoring anyway?"},
    {MessageId::kBadMonitorParameter, "モニタパラメータが不正です", "Invalid monitor parameters"},
    {MessageId::kNeedAcPower,
     "CFカードにデータを蓄積するには、AC電源が必要です。\nAC電源を接続してください",
     "Storing data on the CF card needs AC power.\nConnect the AC adapter."},
    {MessageId::kNoCard, "CFカードが挿入されていません。", "No CF card is inserted."},
    {MessageId::kCardFault, "CFカードに異常があります。", "The CF card is faulty."},
    {MessageId::kCardIndexDamaged, "CF管理ファイルが壊れています。",
     "The index file on the CF card is damaged."},
    {MessageId::kCardConnecting, "QVと接続しています...", "Connecting to the unit..."},
    {MessageId::kCardSetting, "モニタパラメータを設定しています...",
     "Setting the monitor parameters..."},
    {MessageId::kCardAskStartNow, "すぐにモニタスタートしますか?", "Start monitoring now?"},
    {MessageId::kCardStarted, "モニタスタートしました。USBケーブルを外してもかまいません。",
     "Monitoring started. You may unplug the USB cable."},
    {MessageId::kCardStartsAtPowerOn, "次回電源ON時にモニタスタートします。",
     "Monitoring starts when the unit is next powered on."},
    {MessageId::kCardStartFailed, "モニタスタートできませんでした。",
     "Could not start monitoring."},
    {MessageId::kNoSearchCondition, "検索条件が設定されていません", "No search condition is set"},
    {MessageId::kSearchNotFound, "検索が終了しました。検索項目が見つかりませんでした。",
     "Search finished. No match was found."},
    {MessageId::kSearchBadParameters, "検索パラメータ不正", "Invalid search parameters"},
    {MessageId::kSearchEndOfCapture, "ファイルの最後まで検索しました。",
     "Searched to the end of the capture."},
    {MessageId::kSearchError, "デバッグ用\n検索エラーメッセージ受信",
     "Debug:\nthe search reported an error"},
    {MessageId::kPrintFailed, "印刷に失敗しました", "Printing failed"},
    {MessageId::kPrinterUnreachable, "プリンタに接続できません", "Cannot reach the printer"},
    {MessageId::kPrintFileUnwritable, "出力ファイルに書き込めません",
     "Cannot write the output file"},
    {MessageId::kPrintBadArgument, "無効な引数を受け取りました", "Invalid print arguments"},
    {MessageId::kPrintBadFormat, "ファイルフォーマットが正しくありません",
     "The file format is not valid"},
    {MessageId::kOpenNoName, "ファイル名が指定されていません", "No file name given"},
    {MessageId::kOpenMissing, "ファイルがありません", "No such file"},
    {MessageId::kOpenIsFolder, "フォルダです (インデックスファイル .qvr を指定してください)",
     "This is a folder (name the capture's .qvr index file)"},
    {MessageId::kOpenNoPermission, "ファイルを読む権限がありません",
     "No permission to read the file"},
    {MessageId::kOpenNotIndex, "キャプチャのインデックスファイル (.qvr) ではありません",
     "Not a capture index file (.qvr)"},
    {MessageId::kOpenNoChunks,
     "インデックスファイルにデータファイルの記録がありません (壊れているか空です)",
     "The index file lists no data files (damaged or empty)"},
    {MessageId::kOpenIndexAlone,
     "キャプチャにデータファイル (.qvd) がなく、インデックスにも記録がありません。"
     "最初のデータファイルの前に終わったコピーまたは記録の残りで、レコードはなく、復旧もできません",
     "The capture holds no data file (.qvd) and its index lists none: a copy or run ended "
     "before its first one. It has no records, and recovery cannot make any"},
    {MessageId::kOpenBadProtocol, "インデックスファイルのプロトコル設定が不正です (壊れています)",
     "The index file's protocol setting is invalid (damaged)"},
    {MessageId::kOpenChunkMissing, "データファイル (.qvd) が見つからないか開けません",
     "A data file (.qvd) is missing or cannot be opened"},
    {MessageId::kOpenChunkDamaged, "データファイル (.qvd) が壊れています",
     "A data file (.qvd) is damaged"},
    {MessageId::kOpenTooManyRecords,
     "データファイル (.qvd) のレコード数が多すぎます (壊れています)",
     "A data file (.qvd) holds too many records (damaged)"},
    {MessageId::kOpenNoMemory, "メモリが足りません", "Out of memory"},
    {MessageId::kOpenErrorCode, "エラーコード ", "Error code "},
    {MessageId::kReadNoRecord, "キャプチャにそのレコードがありません",
     "No such record in the capture"},
    {MessageId::kRunCaptureFull, "モニタデータがＦＩＸになりました",
     "The capture is full (FIX): no more records are kept"},
    {MessageId::kRunWriteFailed, "モニタデータ書込みに失敗しました！",
     "Writing the capture data failed!"},
};

constexpr bool InOrder() {
    for (size_t i = 0; i < std::size(kEntries); ++i)
        if (static_cast<size_t>(kEntries[i].id) != i) return false;
    return std::size(kEntries) == static_cast<size_t>(MessageId::kCount);
}
static_assert(InOrder(), "kEntries must list every MessageId once, in order");

std::atomic<UiLanguage> g_language{UiLanguage::kJapanese};

}  // namespace

const char* MessageText(MessageId id, UiLanguage language) {
    const auto i = static_cast<size_t>(id);
    if (i >= std::size(kEntries)) return "";
    return InUiLanguage(language, kEntries[i].japanese, kEntries[i].english);
}

const char* MessageText(MessageId id) {
    return MessageText(id, MessageLanguage());
}

void SetMessageLanguage(UiLanguage language) {
    g_language.store(language, std::memory_order_relaxed);
}

UiLanguage MessageLanguage() {
    return g_language.load(std::memory_order_relaxed);
}

}  // namespace qv
