// The pcapng file read back block by block: section, interface with 10 ns
// stamps and the RTAC serial link type, one packet per message with its
// direction, control lines and errors, and packets for line changes, breaks,
// character errors and missing records, in time order.
#include "export/PcapngExport.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <map>
#include <ctime>

#include "export/LineClock.h"
#include "support/TempDir.h"

namespace qv {
namespace {

struct Block {
    uint32_t type = 0;
    std::string body;  // after type and length, before the trailing length
};

uint32_t U32(const std::string& s, size_t at) {
    return static_cast<uint32_t>(static_cast<uint8_t>(s[at]) | static_cast<uint8_t>(s[at + 1]) << 8 |
                                 static_cast<uint8_t>(s[at + 2]) << 16 |
                                 static_cast<uint32_t>(static_cast<uint8_t>(s[at + 3])) << 24);
}

std::vector<Block> Blocks(const std::string& file) {
    std::vector<Block> out;
    size_t at = 0;
    while (at + 12 <= file.size()) {
        const uint32_t len = U32(file, at + 4);
        EXPECT_EQ(len % 4, 0u);
        EXPECT_LE(at + len, file.size());
        EXPECT_EQ(U32(file, at + len - 4), len);
        out.push_back({U32(file, at), file.substr(at + 8, len - 12)});
        at += len;
    }
    EXPECT_EQ(at, file.size());
    return out;
}

// Options of a block from `at`: code -> value.
std::map<uint16_t, std::string> Options(const std::string& body, size_t at) {
    std::map<uint16_t, std::string> out;
    while (at + 4 <= body.size()) {
        const uint16_t code = static_cast<uint16_t>(U32(body, at) & 0xFFFF);
        const uint16_t len = static_cast<uint16_t>(U32(body, at) >> 16);
        if (code == 0) break;
        out[code] = body.substr(at + 4, len);
        at += 4 + (len + 3u) / 4 * 4;
    }
    return out;
}

struct Packet {
    uint64_t ts = 0;
    std::string data;
    uint32_t flags = 0;
    std::string comment;
    uint8_t Event() const { return static_cast<uint8_t>(data[8]); }
    uint8_t Lines() const { return static_cast<uint8_t>(data[9]); }
};

std::vector<Packet> Packets(const std::vector<Block>& blocks) {
    std::vector<Packet> out;
    for (const Block& b : blocks) {
        if (b.type != 6) continue;
        Packet p;
        p.ts = uint64_t{U32(b.body, 4)} << 32 | U32(b.body, 8);
        const uint32_t len = U32(b.body, 12);
        EXPECT_EQ(U32(b.body, 16), len);
        p.data = b.body.substr(20, len);
        auto opts = Options(b.body, 20 + (len + 3u) / 4 * 4);
        if (opts.count(2)) p.flags = U32(opts[2], 0);
        p.comment = opts[1];
        out.push_back(p);
    }
    return out;
}

class Pcapng : public ::testing::Test {
  protected:
    void SetUp() override {
        if (const char* tz = std::getenv("TZ")) m_tz = tz;
        ::setenv("TZ", "JST-9", 1);  // no daylight saving: midnights are fixed
        ::tzset();
    }
    void TearDown() override {
        if (m_tz.empty())
            ::unsetenv("TZ");
        else
            ::setenv("TZ", m_tz.c_str(), 1);
        ::tzset();
    }

    // Exports `feed`'s records with 10 000 bit/s 8N1 timing; returns the file.
    template <class Feed>
    std::string Export(Feed feed, PayloadKind payload = PayloadKind::kModbusRtu) {
        const std::string path = dir.file("out.pcapng");
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        {
            PcapngWriter writer(fd);
            AsyncCharTiming t;
            t.sdBaud = t.rdBaud = 10'000;
            PcapngOptions o;
            o.payload = payload;
            o.application = "qvtool test";
            o.source = "C.qvr";
            o.lineSummary = "ASYNC 10000 bit/s 8N1";
            PcapngExport ex(writer, Protocol::kAsync, t, o);
            ex.Begin();
            feed(ex);
            ex.Finish();
            EXPECT_TRUE(writer.Flush());
        }
        ::close(fd);
        return test::ReadBytes(path);
    }

    static WalkRecord Rec(RecordKind kind, uint8_t value, int64_t stamp, uint8_t lines = 0,
                          uint8_t flags = 0) {
        static uint8_t bytes[256];
        WalkRecord r;
        r.kind = kind;
        r.header = MakeHeader(kind, flags);
        r.value = value;
        r.lineState = kind == RecordKind::kLineChange ? value : lines;
        r.end = LineTicks(DayIndexOf(240501), stamp);
        r.start = IsDataKind(kind) ? r.end - 95'000 : r.end;
        bytes[value] = value;
        r.data = std::span<const uint8_t>(bytes + value, 1);
        return r;
    }

    test::TempDir dir;
    std::string m_tz;
};

TEST_F(Pcapng, HeaderAndInterfaceSayWhatReadersNeed) {
    const std::string file = Export([](PcapngExport&) {});
    auto blocks = Blocks(file);
    ASSERT_EQ(blocks.size(), 2u);
    EXPECT_EQ(blocks[0].type, 0x0A0D0D0Au);
    EXPECT_EQ(U32(blocks[0].body, 0), 0x1A2B3C4Du);
    auto shb = Options(blocks[0].body, 16);
    EXPECT_EQ(shb[4], "qvtool test");
    EXPECT_NE(shb[1].find("-d rtacser.data,mbrtu"), std::string::npos) << shb[1];
    EXPECT_EQ(blocks[1].type, 1u);
    EXPECT_EQ(U32(blocks[1].body, 0) & 0xFFFF, kLinkTypeRtacSerial);
    auto idb = Options(blocks[1].body, 8);
    EXPECT_EQ(idb[9], std::string(1, '\x08'));  // 10^-8 s
    EXPECT_EQ(idb[3], "ASYNC 10000 bit/s 8N1, Modbus RTU");
}

TEST_F(Pcapng, MessagesAreOnePacketEachWithTimeDirectionAndLines) {
    const std::string file = Export([](PcapngExport& ex) {
        ex.Add(Rec(RecordKind::kSdData, 1, 1'000'000, kLineRs | kLineEr));
        ex.Add(Rec(RecordKind::kSdData, 3, 1'100'000, kLineRs | kLineEr));
        ex.Add(Rec(RecordKind::kRdData, 7, 2'000'000, kLineCs));
    });
    auto p = Packets(Blocks(file));
    ASSERT_EQ(p.size(), 2u);
    // Local midnight of 2024-05-01 in JST is 2024-04-30T15:00:00Z.
    const uint64_t midnight = 1'714'489'200ULL * 100'000'000ULL;
    EXPECT_EQ(p[0].ts, midnight + 1'000'000 - 95'000);
    EXPECT_EQ(p[0].data.size(), kRtacHeaderSize + 2);
    EXPECT_EQ(p[0].data.substr(12), std::string("\x01\x03", 2));
    EXPECT_EQ(p[0].Event(), kRtacDataTx);
    EXPECT_EQ(p[0].Lines(), 0x08 | 0x10);  // RTS, DTR
    EXPECT_EQ(p[0].flags, kEpbOutbound);
    // The header's own stamp: seconds and microseconds, big-endian.
    const uint64_t t = midnight + 905'000;
    const uint32_t sec = static_cast<uint32_t>(t / 100'000'000);
    EXPECT_EQ(static_cast<uint8_t>(p[0].data[0]), sec >> 24);
    EXPECT_EQ(static_cast<uint8_t>(p[0].data[3]), sec & 0xFF);
    EXPECT_EQ(static_cast<uint8_t>(p[0].data[7]), (t % 100'000'000 / 100) & 0xFF);
    EXPECT_EQ(p[1].Event(), kRtacDataRx);
    EXPECT_EQ(p[1].Lines(), 0x01);  // CTS
    EXPECT_EQ(p[1].flags, kEpbInbound);
}

TEST_F(Pcapng, LineChangesBreaksErrorsAndGapsAreKeptInTimeOrder) {
    const std::string file = Export([](PcapngExport& ex) {
        ex.Add(Rec(RecordKind::kSdData, 1, 1'000'000));
        ex.Add(Rec(RecordKind::kLineChange, kLineRs, 1'050'000));  // inside the open message
        ex.Add(Rec(RecordKind::kSdData, 2, 1'100'000, kLineRs, kFlagParityError));
        ex.Add(Rec(RecordKind::kEvent, kEventRdBreak, 3'000'000, kLineRs));
        ex.Add(Rec(RecordKind::kEvent, 0, 3'100'000, kLineRs));
        ex.AddGap(WalkGap{2, 7, 9, -2}, "000000002.qvd: cannot be opened");
    });
    auto p = Packets(Blocks(file));
    ASSERT_EQ(p.size(), 6u);
    EXPECT_EQ(p[0].Event(), kRtacDataTx);
    EXPECT_EQ(p[0].data.substr(12), std::string("\x01\x02", 2));  // the bad byte stays
    EXPECT_EQ(p[0].flags, kEpbOutbound | kEpbSymbolError);
    EXPECT_EQ(p[0].comment, "parity error");
    EXPECT_EQ(p[1].Event(), kRtacStatusChange);
    EXPECT_EQ(p[1].comment, "RS on");
    EXPECT_EQ(p[1].data.size(), kRtacHeaderSize);
    EXPECT_EQ(p[2].Event(), kRtacParityError);
    EXPECT_EQ(p[2].comment, "parity error in SD character 0x02");
    EXPECT_EQ(p[3].Event(), kRtacBreak);
    EXPECT_EQ(p[3].flags, kEpbInbound);
    EXPECT_EQ(p[3].comment, "RD break begins");
    EXPECT_EQ(p[4].comment, "RD break ends");
    EXPECT_EQ(p[5].Event(), kRtacDataLost);
    EXPECT_EQ(p[5].comment, "records 8 to 9 missing: 000000002.qvd: cannot be opened");
    for (size_t i = 1; i < p.size(); ++i)
        EXPECT_LE(p[i - 1].ts, p[i].ts) << i;
}

TEST(LocalCalendar, IsoTimesCarryTheZoneOffsetAndTenNanoseconds) {
    const char* old = std::getenv("TZ");
    const std::string saved = old ? old : "";
    ::setenv("TZ", "JST-9", 1);
    ::tzset();
    LocalCalendar cal;
    EXPECT_EQ(cal.Iso(LineTicks(DayIndexOf(240501), 100'000'001)),
              "2024-05-01T00:00:01.000000010+09:00");
    // A character that began before midnight belongs to the day before.
    EXPECT_EQ(cal.Iso(LineTicks(DayIndexOf(240301), -1)), "2024-02-29T23:59:59.999999990+09:00");
    EXPECT_EQ(LineDayOf(LineTicks(DayIndexOf(240301), -1)).yymmdd, 240229);
    if (old)
        ::setenv("TZ", saved.c_str(), 1);
    else
        ::unsetenv("TZ");
    ::tzset();
}

}  // namespace
}  // namespace qv
