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

std::string ClockIso(int64_t seconds) {
    time_t t = static_cast<time_t>(seconds);
    tm local{};
    localtime_r(&t, &local);
    char buf[40];
    size_t n = std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%S", &local);
    const long offset = local.tm_gmtoff / 60;  // minutes east of UTC
    const long a = offset < 0 ? -offset : offset;
    std::snprintf(buf + n, sizeof buf - n, "%c%02ld:%02ld", offset < 0 ? '-' : '+', a / 60, a % 60);
    return buf;
}

std::optional<int64_t> ParseLocalTimeText(const std::string& text) {
    // "YYYY/MM/DD hh:mm:ss" or ISO 8601 "YYYY-MM-DDThh:mm:ss[.fraction]" by
    // fixed positions (the clock keeps whole seconds: a fraction is cut); the
    // clock part by the rule every typed time follows.
    const bool iso = text.size() >= 19 && text[4] == '-' && text[7] == '-' && text[10] == 'T';
    const bool slashes = text.size() == 19 && text[4] == '/' && text[7] == '/' && text[10] == ' ';
    if (!iso && !slashes) return std::nullopt;
    if (iso && text.size() > 19 &&
        (text[19] != '.' || text.size() == 20 || text.size() > 29 ||
         text.find_first_not_of("0123456789", 20) != std::string::npos))
        return std::nullopt;
    for (size_t i : {0, 1, 2, 3, 5, 6, 8, 9})
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
    auto clock = ParseClockText(std::string_view(text).substr(11, 8));
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

std::vector<StatusRow> StateRows(uint32_t bits, UiLanguage l) {
    auto say = [l](const char* ja, const char* en) { return std::string(InUiLanguage(l, ja, en)); };
    const std::string stopped = say("停止中", "Stopped");
    const std::string kRun[] = {stopped, say("モニタ中（トリガ待ち）", "Monitoring (waiting for a trigger)"),
                                stopped, say("モニタ中（蓄積中）", "Monitoring (storing)")};
    const bool card = bits & kStateCardInserted;
    std::vector<StatusRow> rows;
    auto row = [&](const char* key, std::string label, std::string value) {
        rows.push_back({key, std::move(label), std::move(value), std::nullopt});
    };
    row("status", say("ステータス", "Status"), kRun[bits & kStateRunMask]);
    row("save_to", say("保存先", "Save to"), (bits & kStateToCard) ? "CF" : "PC");
    row("ac_power", say("AC電源供給", "AC power"),
        (bits & kStateAcPower) ? say("あり", "Yes") : say("なし", "No"));
    row("card", say("CFカード", "CF card"),
        card ? say("挿入済み", "Inserted") : say("未挿入", "Not inserted"));
    row("card_state", say("CFカードの状態", "CF card state"),
        card ? ((bits & kStateCardFault) ? say("異常", "Fault") : say("正常", "Good")) : "-");
    row("card_index", "",
        card && (bits & kStateCardIndexDamaged)
            ? say("管理ファイルが壊れています", "The card's index file is damaged")
            : "");
    row("mode", say("モード", "Mode"), (bits & kStateMaster) ? say("マスタ", "Master") : say("スレーブ", "Slave"));
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
                   std::vector<StatusRow>& rows, UiLanguage l) {
    auto say = [l](const char* ja, const char* en) { return std::string(InUiLanguage(l, ja, en)); };
    auto row = [&rows](const char* key, std::string label, std::string value) {
        rows.push_back({key, std::move(label), std::move(value), std::nullopt});
    };
    auto clockRow = [&rows](const char* key, std::string label, uint32_t seconds) {
        rows.push_back({key, std::move(label), ClockText(seconds), seconds});
    };
    rows.clear();
    uint32_t bits = 0;
    if (cmd.QueryState(bits) != 0) return -1;
    rows = StateRows(bits, l);
    uint32_t monitoring = 0, clock = 0;
    if (cmd.ReadClocks(monitoring, clock) != 0) return -1;
    clockRow("monitoring_clock", say("モニタ用時刻", "Monitoring clock"), monitoring);
    clockRow("unit_clock", say("本体内蔵時計", "Unit clock"), clock);
    std::array<uint32_t, 3> version{};
    if (cmd.QueryVersion(version) != 0) return -1;
    row("version", say("本体バージョン", "Unit version"), Hex8(version[0]));
    if (!extended) return 0;
    char release[8];
    std::snprintf(release, sizeof release, "%04X", deviceRelease);
    row("firmware", say("ファーム", "Firmware"), Hex8(version[1]));
    row("fpga", "FPGA", Hex8(version[2]));
    row("fx2", "FX2", release);
    row("api", "API", "1.11");
    row("memo", say("メモ", "Memo"), "");
    std::array<uint32_t, 7> card{};
    if (cmd.QueryCardFigures(card) != 0) return -1;
    static const char* kCardKeys[] = {"card_sector_min", "card_sector_max", "card_starts",
                                      "ring_laps", "card_last_sector"};
    const std::string kCardLabels[] = {
        say("データ記録セクター番号（最小）", "Data sector (lowest)"),
        say("データ記録セクター番号（最大）", "Data sector (highest)"),
        say("CFモード起動回数（最初の起動で1）", "CF mode starts (1 at the first)"),
        say("Ring モード周回数（１周すると１）", "Ring mode laps (1 after one lap)"),
        say("最後にデータを記録したセクター番号", "Last sector written")};
    for (int i = 0; i < 5; ++i)
        row(kCardKeys[i], kCardLabels[i],
            std::to_string(static_cast<int32_t>(card[static_cast<size_t>(i)])));
    clockRow("card_index_created", say("管理ファイルが作成された日時分秒", "Card index created"),
             card[5]);
    clockRow("card_last_written", say("最後のデータを書き込んだ日時分秒", "Last data written"),
             card[6]);
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
