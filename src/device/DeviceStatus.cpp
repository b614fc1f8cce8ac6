#include "device/DeviceStatus.h"

#include <cstdio>
#include <ctime>

#include "core/TimeText.h"
#include "device/UnitList.h"

namespace qv {

StatusOpen OpenForStatus(DeviceAccess& devices, StatusUse use, const UnitIdentity& selected) {
    StatusOpen r;
    r.device = devices.CreateDevice();
    if (!r.device) {
        r.message = MessageText(MessageId::kUsbInitFailed);
        return r;
    }
    bool found = false;
    if (use == StatusUse::kMasterSlave) {
        // Any attached instrument of the family.
        int count = r.device->GetDeviceCount();
        for (int i = 0; i < count && !found; ++i)
            found = r.device->Open(i) && IsQvProduct(r.device->GetIdentity().productId);
        if (!found) r.device->Close();
    } else {
        // With no unit selected the search fails even when one is attached.
        found = !selected.IsNone() && FindUnit(*r.device, selected, false);
    }
    if (!found)
        r.message = use == StatusUse::kClock ? MessageText(MessageId::kClockFailed)
                                             : MessageText(MessageId::kNotConnected);
    return r;
}

std::string ClockText(uint32_t seconds) {
    time_t t = static_cast<time_t>(seconds);
    tm local{};
    localtime_r(&t, &local);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y/%m/%d %H:%M:%S", &local);
    return buf;
}

std::optional<int64_t> ParseLocalTimeText(const std::string& text) {
    // "YYYY/MM/DD hh:mm:ss" by fixed positions; the clock part by the rule
    // every typed time follows.
    if (text.size() != 19 || text[4] != '/' || text[7] != '/' || text[10] != ' ') return std::nullopt;
    for (size_t i : {0, 1, 2, 3, 5, 6, 8, 9})
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
    auto clock = ParseClockText(std::string_view(text).substr(11));
    if (!clock) return std::nullopt;
    const int y = std::stoi(text.substr(0, 4)), mo = std::stoi(text.substr(5, 2)),
              d = std::stoi(text.substr(8, 2));
    const int h = clock->hours, mi = clock->minutes, s = clock->seconds;
    if (mo < 1 || mo > 12 || d < 1 || d > 31 || y < 1) return std::nullopt;
    tm t{};
    t.tm_year = y - 1900;
    t.tm_mon = mo - 1;
    t.tm_mday = d;
    t.tm_hour = h;
    t.tm_min = mi;
    t.tm_sec = s;
    t.tm_isdst = -1;
    time_t v = std::mktime(&t);
    // mktime moves 31 February to March; such a date is not a date.
    if (t.tm_mday != d || t.tm_mon != mo - 1) return std::nullopt;
    return static_cast<int64_t>(v);
}

std::string ClockRangeProblem(int64_t seconds) {
    if (seconds >= 0 && seconds <= static_cast<int64_t>(UINT32_MAX)) return {};
    return std::string(MessageText(MessageId::kClockOutOfRange)) + " " + ClockText(0) + " - " +
           ClockText(UINT32_MAX);
}

std::optional<uint32_t> ParseClockText(const std::string& text) {
    std::optional<int64_t> v = ParseLocalTimeText(text);
    if (!v || !ClockRangeProblem(*v).empty()) return std::nullopt;
    return static_cast<uint32_t>(*v);
}

std::vector<StatusRow> StateRows(uint32_t bits) {
    static const char* kRun[] = {"停止中", "モニタ中（トリガ待ち）", "停止中",
                                 "モニタ中（蓄積中）"};
    const bool card = bits & kStateCardInserted;
    std::vector<StatusRow> rows;
    rows.push_back({"ステータス", kRun[bits & kStateRunMask]});
    rows.push_back({"保存先", (bits & kStateToCard) ? "CF" : "PC"});
    rows.push_back({"AC電源供給", (bits & kStateAcPower) ? "あり" : "なし"});
    rows.push_back({"CFカード", card ? "挿入済み" : "未挿入"});
    rows.push_back({"CFカードの状態", card ? ((bits & kStateCardFault) ? "異常" : "正常") : "-"});
    rows.push_back(
        {"", card && (bits & kStateCardIndexDamaged) ? "管理ファイルが壊れています" : ""});
    rows.push_back({"モード", (bits & kStateMaster) ? "マスタ" : "スレーブ"});
    return rows;
}

namespace {

std::string Hex8(uint32_t v) {
    char b[16];
    std::snprintf(b, sizeof b, "%08X", v);
    return b;
}

}  // namespace

int ReadStatusRows(DeviceCommand& cmd, uint16_t deviceRelease, bool extended,
                   std::vector<StatusRow>& rows) {
    rows.clear();
    uint32_t bits = 0;
    if (cmd.QueryState(bits) != 0) return -1;
    rows = StateRows(bits);
    uint32_t monitoring = 0, clock = 0;
    if (cmd.ReadClocks(monitoring, clock) != 0) return -1;
    rows.push_back({"モニタ用時刻", ClockText(monitoring)});
    rows.push_back({"本体内蔵時計", ClockText(clock)});
    std::array<uint32_t, 3> version{};
    if (cmd.QueryVersion(version) != 0) return -1;
    rows.push_back({"本体バージョン", Hex8(version[0])});
    if (!extended) return 0;
    char release[8];
    std::snprintf(release, sizeof release, "%04X", deviceRelease);
    rows.push_back({"ファーム", Hex8(version[1])});
    rows.push_back({"FPGA", Hex8(version[2])});
    rows.push_back({"FX2", release});
    rows.push_back({"API", "1.11"});
    rows.push_back({"メモ", ""});
    std::array<uint32_t, 7> card{};
    if (cmd.QueryCardFigures(card) != 0) return -1;
    static const char* kCardLabels[] = {
        "データ記録セクター番号（最小）", "データ記録セクター番号（最大）",
        "CFモード起動回数（最初の起動で1）", "Ring モード周回数（１周すると１）",
        "最後にデータを記録したセクター番号"};
    for (int i = 0; i < 5; ++i)
        rows.push_back(
            {kCardLabels[i], std::to_string(static_cast<int32_t>(card[static_cast<size_t>(i)]))});
    rows.push_back({"管理ファイルが作成された日時分秒", ClockText(card[5])});
    rows.push_back({"最後のデータを書き込んだ日時分秒", ClockText(card[6])});
    return 0;
}

MasterSlaveOpen PrepareMasterSlave(DeviceCommand& cmd) {
    MasterSlaveOpen r;
    uint32_t bits = 0;
    if (cmd.QueryState(bits) != 0) {
        r.message = MessageText(MessageId::kStateFailed);
        return r;
    }
    if (bits & kStateMonitoring) {
        r.message = MessageText(MessageId::kMonitoringNoChange);
        return r;
    }
    r.entry = (bits & kStateMaster) ? 1 : 0;
    return r;
}

int ApplyMasterSlave(DeviceCommand& cmd, int entry) {
    return cmd.SetMasterSlave(1, entry == 1 ? 1 : 0);
}

}  // namespace qv
