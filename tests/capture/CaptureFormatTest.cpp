#include "capture/CaptureFormat.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "capture/RecordTime.h"
#include "core/TimeText.h"

namespace qv {
namespace {

constexpr uint64_t kLastTickOfDay = kTicksPerDay - 1;

ChunkEntry SampleEntry() {
    ChunkEntry e;
    SetDateField(e.date, "240315");
    e.startTime = FieldsToTicks(13, 45, 7, 123, 456, 780);
    e.sdRecords = 20'000;
    e.rdRecords = 19'000;
    e.lineChanges = 10'000;
    e.events = 1'000;
    for (int i = 0; i < 8; ++i)
        e.lineBitChanges[i] = 100 + i;
    e.eventBitChanges[0] = 7;
    e.eventBitChanges[1] = 9;
    return e;
}

void ExpectSameEntry(const ChunkEntry& a, const ChunkEntry& b) {
    EXPECT_EQ(DateFieldText(a.date), DateFieldText(b.date));
    EXPECT_EQ(a.startTime, b.startTime);
    EXPECT_EQ(a.sdRecords, b.sdRecords);
    EXPECT_EQ(a.rdRecords, b.rdRecords);
    EXPECT_EQ(a.lineChanges, b.lineChanges);
    EXPECT_EQ(a.events, b.events);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(a.lineBitChanges[i], b.lineBitChanges[i]) << i;
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(a.eventBitChanges[i], b.eventBitChanges[i]) << i;
}

// A value with `commas` commas: the first `commas` + 1 fields of a 16-field entry.
std::string EntryWithCommas(size_t commas) {
    std::string text = "240315,00:00:01 000:000:000";
    for (size_t i = 2; i <= commas; ++i)
        text += "," + std::to_string(i);
    return text;
}

// ---------------------------------------------------------------------------
// Binary layouts

TEST(CaptureRecord, HeaderByteRoundTripsEveryStoredValue) {
    for (int h = 0x80; h <= 0xFF; ++h) {
        const auto header = static_cast<uint8_t>(h);
        EXPECT_TRUE(HeaderIsStored(header));
        EXPECT_EQ(MakeHeader(HeaderKind(header), HeaderFlags(header)), header) << h;
    }
    EXPECT_FALSE(HeaderIsStored(0x7F));
    EXPECT_EQ(MakeHeader(RecordKind::kSdData), 0x80);
    EXPECT_EQ(MakeHeader(RecordKind::kRdData, kFlagParityError), 0xA4);
    EXPECT_EQ(MakeHeader(RecordKind::kLineChange), 0xC0);
    EXPECT_EQ(MakeHeader(RecordKind::kEvent), 0xE0);
    // Flags never spill into the kind.
    EXPECT_EQ(HeaderKind(MakeHeader(RecordKind::kSdData, 0xFF)), RecordKind::kSdData);
}

TEST(CaptureRecord, Le48AtItsLimits) {
    uint8_t buf[8] = {0xEE, 0, 0, 0, 0, 0, 0, 0xEE};
    WriteLe48(buf + 1, kMaxTimeStamp);
    EXPECT_EQ(ReadLe48(buf + 1), kMaxTimeStamp);
    // Neighbours untouched: exactly six bytes are written.
    EXPECT_EQ(buf[0], 0xEE);
    EXPECT_EQ(buf[7], 0xEE);

    WriteLe48(buf + 1, 0x010203040506ULL);
    const uint8_t expected[6] = {0x06, 0x05, 0x04, 0x03, 0x02, 0x01};
    EXPECT_EQ(std::memcmp(buf + 1, expected, 6), 0);

    for (uint64_t v : {uint64_t{0}, uint64_t{1}, kLastTickOfDay, kTicksPerDay, kMaxTimeStamp}) {
        WriteLe48(buf, v);
        EXPECT_EQ(ReadLe48(buf), v);
    }
    WriteLe48(buf, kMaxTimeStamp + 2);  // bit 48 is dropped
    EXPECT_EQ(ReadLe48(buf), 1u);

    WriteLe16(buf, 0xABCD);
    EXPECT_EQ(buf[0], 0xCD);
    EXPECT_EQ(ReadLe16(buf), 0xABCD);
}

TEST(CaptureRecord, ShortRecordLayoutAndRoundTrip) {
    uint8_t buf[kShortRecordSize];
    EncodeShortRecord(buf, {0xA4, 'A', 0x0000'1234'5678'9ABCULL});
    const uint8_t expected[8] = {0xA4, 'A', 0xBC, 0x9A, 0x78, 0x56, 0x34, 0x12};
    EXPECT_EQ(std::memcmp(buf, expected, 8), 0);

    for (uint64_t t : {uint64_t{0}, kLastTickOfDay, kMaxTimeStamp}) {
        for (int v : {0, 0x5A, 0xFF}) {
            EncodeShortRecord(buf, {0xE0, static_cast<uint8_t>(v), t});
            const ShortRecord r = DecodeShortRecord(buf);
            EXPECT_EQ(r.header, 0xE0);
            EXPECT_EQ(r.value, v);
            EXPECT_EQ(r.time, t);
        }
    }

    // The leading record of a rotated chunk carries the line state with time 0.
    EncodeRotatedLeadingRecord(buf, kLineRs | kLineExtOut);
    const uint8_t leading[8] = {0xC0, 0x81, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(std::memcmp(buf, leading, 8), 0);
    EXPECT_EQ(HeaderKind(buf[0]), RecordKind::kLineChange);
}

TEST(CaptureRecord, FrameHeaderLayoutAndRoundTrip) {
    uint8_t buf[kFrameHeaderSize];
    std::memset(buf, 0xFF, sizeof buf);
    EncodeFrameHeader(
        buf, {MakeHeader(RecordKind::kRdData, kFlagFcsError), 0x010203040506ULL, kMaxTimeStamp, 0});
    const uint8_t expected[16] = {0xA8, 6,    5,    4,    3,    2, 1, 0xFF,
                                  0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0};
    EXPECT_EQ(std::memcmp(buf, expected, 16), 0);
    EXPECT_EQ(FrameRecordSize(0), 16u);  // an empty frame is the bare header

    EncodeFrameHeader(buf, {0x80, kLastTickOfDay, kTicksPerDay, 65'535});
    const FrameHeader f = DecodeFrameHeader(buf);
    EXPECT_EQ(f.header, 0x80);
    EXPECT_EQ(f.start, kLastTickOfDay);
    EXPECT_EQ(f.end, kTicksPerDay);
    EXPECT_EQ(f.length, 65'535);
    EXPECT_EQ(FrameRecordSize(f.length), 16u + 65'535u);
}

TEST(CaptureRecord, RecordSizeWalksMixedChunks) {
    // A SYNC chunk: leading line change, an empty frame, a 3-byte frame, a line change.
    std::vector<uint8_t> chunk(8 + 16 + 19 + 8);
    EncodeRotatedLeadingRecord(chunk.data(), 0);
    EncodeFrameHeader(chunk.data() + 8, {0x80, 1, 2, 0});
    EncodeFrameHeader(chunk.data() + 24, {0xA0, 3, 4, 3});
    EncodeShortRecord(chunk.data() + 43, {0xC0, kLineCs, 5});

    std::vector<size_t> sizes;
    std::span<const uint8_t> rest(chunk);
    while (!rest.empty()) {
        const size_t n = RecordSizeAt(rest, true);
        ASSERT_GT(n, 0u);
        ASSERT_LE(n, rest.size());
        sizes.push_back(n);
        rest = rest.subspan(n);
    }
    EXPECT_EQ(sizes, (std::vector<size_t>{8, 16, 19, 8}));

    // Short form: every record is 8 bytes whatever its kind.
    EXPECT_EQ(RecordSizeAt(std::span<const uint8_t>(chunk).subspan(8), false), 8u);
    // A frame header cut short cannot be sized; nothing can from no bytes.
    EXPECT_EQ(RecordSizeAt(std::span<const uint8_t>(chunk).subspan(24, 15), true), 0u);
    EXPECT_EQ(RecordSizeAt({}, true), 0u);
}

TEST(CaptureRecord, ProtocolBytes) {
    for (int p = 0; p < 256; ++p) {
        const bool known = p == 0 || p == 16 || p == 32 || p == 48;
        EXPECT_EQ(IsValidProtocol(p), known) << p;
        EXPECT_EQ(UsesFrameRecords(p), p == 16 || p == 32) << p;
        // A code no protocol has asks for no protocol's handling.
        const ProtocolTraits& t = TraitsOfCode(p);
        EXPECT_EQ(t.startStopCharacters || t.characterErrors || t.breakEvents || t.lineSamples,
                  p == 0 || p == 48)
            << p;
    }
    for (Protocol p : kEveryProtocol) {
        EXPECT_EQ(ProtocolFromName(ProtocolName(p)), p);
        EXPECT_EQ(ProtocolFromCode(ProtocolCode(p)), p);
    }
    EXPECT_EQ(ProtocolName(Protocol::kLogic), "LOGIC");
    EXPECT_FALSE(ProtocolFromName("logic"));
}

TEST(CaptureRecord, ChunkEntryCounters) {
    ChunkEntry e;
    e.CountLineChange(0x00, kLineRs | kLineExtOut);     // bits 7 and 0
    e.CountLineChange(kLineRs | kLineExtOut, kLineRs);  // bit 0 back
    e.CountEvent(0, kEventSdBreak | 0x01);              // unused bit ignored
    e.CountEvent(kEventSdBreak, kEventRdBreak);
    EXPECT_EQ(e.lineChanges, 2u);
    EXPECT_EQ(e.lineBitChanges[0], 1u);  // RS
    EXPECT_EQ(e.lineBitChanges[7], 2u);  // Ext OUT
    for (int i = 1; i < 7; ++i)
        EXPECT_EQ(e.lineBitChanges[i], 0u) << i;
    EXPECT_EQ(e.events, 2u);
    EXPECT_EQ(e.eventBitChanges[0], 2u);
    EXPECT_EQ(e.eventBitChanges[1], 1u);

    ChunkEntry big = SampleEntry();
    big.sdRecords = big.rdRecords = big.lineChanges = big.events = UINT32_MAX;
    EXPECT_EQ(big.RecordCount(), 4ULL * UINT32_MAX);  // no 32-bit wrap

    ChunkEntry total = SampleEntry();
    total.AddCounters(SampleEntry()).AddCounters(e);
    EXPECT_EQ(DateFieldText(total.date), "240315");
    EXPECT_EQ(total.RecordCount(), 2 * SampleEntry().RecordCount() + 4);
    EXPECT_EQ(total.lineBitChanges[7], 2u * 107 + 2);
    EXPECT_EQ(total.eventBitChanges[1], 2u * 9 + 1);
}

TEST(CaptureRecord, DateField) {
    char field[kDateFieldSize];
    EXPECT_TRUE(SetDateField(field, "240315"));
    EXPECT_EQ(field[6], '\0');
    EXPECT_EQ(field[7], '\0');
    EXPECT_EQ(DateFieldText(field), "240315");
    EXPECT_TRUE(SetDateField(field, "12345678"));  // all 8 bytes, no terminator
    EXPECT_EQ(DateFieldText(field), "12345678");
    EXPECT_FALSE(SetDateField(field, "123456789"));
    EXPECT_EQ(DateFieldText(field), "12345678");
}

// ---------------------------------------------------------------------------
// Index values

TEST(CaptureIndexText, FieldSplitting) {
    EXPECT_EQ(CountCommas(""), 0u);
    EXPECT_EQ(CountCommas(",,"), 2u);
    const std::string_view v = "a, b ,,d";
    EXPECT_EQ(GetField(v, 1), "a");
    EXPECT_EQ(GetField(v, 2), " b ");  // blanks stay
    EXPECT_EQ(GetField(v, 3), "");
    EXPECT_EQ(GetField(v, 4), "d");
    EXPECT_EQ(GetField(v, 5), "");
    EXPECT_EQ(GetField(v, 0), "");
    EXPECT_EQ(GetField("x,", 2), "");
    EXPECT_EQ(GetField("", 1), "");
}

TEST(CaptureIndexText, SignalCodes) {
    const std::array<std::string_view, 12> names = {
        "SD_DATA", "RD_DATA", "SD", "RD", "RS", "CS", "ER", "DR", "CD", "CI", "EXT_IN", "EXT_OUT"};
    for (int code = 0; code < 12; ++code) {
        ASSERT_TRUE(SignalName(code).has_value()) << code;
        EXPECT_EQ(*SignalName(code), names[code]);
        EXPECT_EQ(SignalCodeFromName(*SignalName(code)), code);
    }
    EXPECT_EQ(SignalName(1).value(), "RD_DATA");
    EXPECT_EQ(SignalCodeFromName("RD_DATA"), 1);
    EXPECT_EQ(SignalName(255).value(), "NON");
    EXPECT_EQ(SignalName(-1).value(), "NON");
    EXPECT_EQ(SignalCodeFromName("NON"), kSignalNon);
    for (int bad : {12, 100, 254, 256, -2})
        EXPECT_FALSE(SignalName(bad).has_value()) << bad;
    for (std::string_view unknown : {"", "rd_data", "RD_DATA ", "XYZ"})
        EXPECT_EQ(SignalCodeFromName(unknown), 0) << unknown;
}

TEST(CaptureIndexText, ChunkEntryRoundTrip) {
    const ChunkEntry e = SampleEntry();
    const std::string text = FormatChunkEntry(e);
    EXPECT_EQ(text,
              "240315,13:45:07 123:456:780,20000,19000,10000,1000,"
              "100,101,102,103,104,105,106,107,7,9");
    ChunkEntry back;
    ASSERT_TRUE(ParseChunkEntry(text, back));
    ExpectSameEntry(back, e);

    // Counters are written signed, and every 32-bit pattern comes back.
    ChunkEntry wide = e;
    wide.sdRecords = UINT32_MAX;
    wide.eventBitChanges[1] = 0x8000'0000u;
    ASSERT_TRUE(ParseChunkEntry(FormatChunkEntry(wide), back));
    ExpectSameEntry(back, wide);
}

TEST(CaptureIndexText, ChunkEntryStartTimeBounds) {
    ChunkEntry e = SampleEntry();
    e.startTime = kLastTickOfDay;
    EXPECT_EQ(GetField(FormatChunkEntry(e), 2), "23:59:59 999:999:990");
    e.startTime = kTicksPerDay;
    EXPECT_EQ(GetField(FormatChunkEntry(e), 2), "24:00:00 000:000:000");
    e.startTime = kTicksPerDay + 1;
    EXPECT_EQ(GetField(FormatChunkEntry(e), 2), "00:00:00 000:000:000");
    e.startTime = kMaxTimeStamp;
    EXPECT_EQ(GetField(FormatChunkEntry(e), 2), "00:00:00 000:000:000");
}

TEST(CaptureIndexText, ChunkEntryNeedsExactlyFifteenCommas) {
    const ChunkEntry before = SampleEntry();
    for (size_t commas : {0u, 14u, 16u}) {
        ChunkEntry e = before;
        EXPECT_FALSE(ParseChunkEntry(EntryWithCommas(commas), e)) << commas;
        ExpectSameEntry(e, before);
    }
    ChunkEntry e = before;
    ASSERT_TRUE(ParseChunkEntry(EntryWithCommas(15), e));
    EXPECT_EQ(e.startTime, kTicksPerSecond);
    EXPECT_EQ(e.sdRecords, 2u);
    EXPECT_EQ(e.eventBitChanges[1], 15u);

    // A date that would not fit its 8 bytes rejects the whole entry.
    e = before;
    EXPECT_FALSE(ParseChunkEntry("123456789" + EntryWithCommas(15).substr(6), e));
    ExpectSameEntry(e, before);
}

TEST(CaptureIndexText, ChunkEntryEmptyFieldsLeaveValues) {
    const ChunkEntry before = SampleEntry();
    ChunkEntry e = before;
    ASSERT_TRUE(ParseChunkEntry(",,,,,,,,,,,,,,,", e));
    ExpectSameEntry(e, before);

    ASSERT_TRUE(ParseChunkEntry(",,5,,,,,,,,,,,,,x", e));
    EXPECT_EQ(DateFieldText(e.date), "240315");
    EXPECT_EQ(e.startTime, before.startTime);
    EXPECT_EQ(e.sdRecords, 5u);
    EXPECT_EQ(e.rdRecords, before.rdRecords);
    EXPECT_EQ(e.eventBitChanges[1], 0u);  // present but not a number: reads as 0
}

TEST(CaptureIndexText, TriggerRecord) {
    TriggerEvent t;
    t.chunk = 12;
    SetDateField(t.date, "240315");
    t.time = kLastTickOfDay;
    t.code = kTriggerCodeMemoryOverflow;
    const auto text = FormatTriggerRecord(t);
    ASSERT_TRUE(text.has_value());
    EXPECT_EQ(*text, "12,240315,23:59:59 999:999:990,255");

    TriggerEvent back;
    ASSERT_TRUE(ParseTriggerRecord(*text, back));
    EXPECT_EQ(back.chunk, 12u);
    EXPECT_EQ(DateFieldText(back.date), "240315");
    EXPECT_EQ(back.time, kLastTickOfDay);
    EXPECT_EQ(back.code, 255);

    t.chunk = 5'000'000'000ULL;  // 64-bit chunk numbers survive
    t.time = kTicksPerDay;
    ASSERT_TRUE(ParseTriggerRecord(FormatTriggerRecord(t).value(), back));
    EXPECT_EQ(back.chunk, 5'000'000'000ULL);
    EXPECT_EQ(back.time, kTicksPerDay);

    t.time = kTicksPerDay + 1;
    EXPECT_FALSE(FormatTriggerRecord(t).has_value());

    for (std::string_view bad : {"1,240315,00:00:00 000:000:000", "1,240315,x,2,3"}) {
        TriggerEvent same = back;
        EXPECT_FALSE(ParseTriggerRecord(bad, same)) << bad;
        EXPECT_EQ(same.chunk, back.chunk);
    }
    ASSERT_TRUE(ParseTriggerRecord(",,,7", back));
    EXPECT_EQ(back.chunk, 5'000'000'000ULL);
    EXPECT_EQ(back.code, 7);
}

TEST(CaptureIndexText, MarkRoundTrip) {
    CaptureMark m;
    m.name = "開始";  // UTF-8 bytes pass through untouched
    m.chunk = 3;
    m.date = "240315";
    m.time = FieldsToTicks(1, 2, 3, 4, 5, 60);
    m.signal = kSignalRdData;
    m.comment = "first reply";
    const auto text = FormatMark(m);
    ASSERT_TRUE(text.has_value());
    EXPECT_EQ(*text, "開始,3,240315,01:02:03 004:005:060,RD_DATA,first reply");

    CaptureMark back;
    ASSERT_TRUE(ParseMark(*text, back));
    EXPECT_EQ(back.name, m.name);
    EXPECT_EQ(back.chunk, 3);
    EXPECT_EQ(back.date, "240315");
    EXPECT_EQ(back.time, m.time);
    EXPECT_EQ(back.signal, kSignalRdData);
    EXPECT_EQ(back.comment, m.comment);

    // A new mark has an empty name; NON is a valid signal.
    CaptureMark fresh;
    fresh.signal = kSignalNon;
    ASSERT_TRUE(ParseMark(FormatMark(fresh).value(), back));
    EXPECT_EQ(back.signal, kSignalNon);
}

TEST(CaptureIndexText, MarkRejectedAsAWhole) {
    CaptureMark before;
    before.name = "keep";
    before.chunk = 9;
    before.comment = "keep";
    for (std::string_view bad :
         {"n,1,240315,00:00:01 000:000:000,SD", "n,1,240315,00:00:01 000:000:000,SD,c,extra"}) {
        CaptureMark m = before;
        EXPECT_FALSE(ParseMark(bad, m)) << bad;
        EXPECT_EQ(m.name, "keep");
        EXPECT_EQ(m.chunk, 9);
        EXPECT_EQ(m.comment, "keep");
    }
    CaptureMark m = before;
    ASSERT_TRUE(ParseMark(",,,,CS,", m));
    EXPECT_EQ(m.name, "keep");
    EXPECT_EQ(m.chunk, 9);
    EXPECT_EQ(m.signal, kSignalCs);
    ASSERT_TRUE(ParseMark(",,,,BOGUS,", m));
    EXPECT_EQ(m.signal, 0);
}

TEST(CaptureIndexText, MarkThatCouldNotBeReadBackIsNotWritten) {
    CaptureMark m;
    m.date = "240315";
    EXPECT_TRUE(FormatMark(m).has_value());
    for (auto spoil : std::initializer_list<void (*)(CaptureMark&)>{
             [](CaptureMark& x) { x.comment = "a,b"; }, [](CaptureMark& x) { x.name = "a,b"; },
             [](CaptureMark& x) { x.comment = "two\r\nlines"; },
             [](CaptureMark& x) { x.name = std::string(256, 'n'); },
             [](CaptureMark& x) { x.time = kTicksPerDay + 1; },
             [](CaptureMark& x) { x.signal = 12; }}) {
        CaptureMark bad = m;
        spoil(bad);
        EXPECT_FALSE(FormatMark(bad).has_value());
    }
    m.name = std::string(255, 'n');
    EXPECT_TRUE(FormatMark(m).has_value());
}

TEST(CaptureIndexText, StartAndEndTime) {
    EXPECT_EQ(FormatIndexTime("240315", kLastTickOfDay).value(), "240315,23:59:59 999:999:990");
    EXPECT_EQ(FormatIndexTime("240315", kTicksPerDay).value(), "240315,24:00:00 000:000:000");
    EXPECT_FALSE(FormatIndexTime("240315", kTicksPerDay + 1).has_value());

    IndexTime t{"991231", 42};
    ASSERT_TRUE(ParseIndexTime("240315,24:00:00 000:000:000", t));
    EXPECT_EQ(t.date, "240315");
    EXPECT_EQ(t.ticks, kTicksPerDay);
    EXPECT_FALSE(ParseIndexTime("240315", t));
    EXPECT_FALSE(ParseIndexTime("240315,00:00:00 000:000:000,", t));
    ASSERT_TRUE(ParseIndexTime(",00:00:01 000:000:000", t));
    EXPECT_EQ(t.date, "240315");
    EXPECT_EQ(t.ticks, kTicksPerSecond);

    // A stop just before midnight still gets an end time that can be written.
    EXPECT_EQ(IndexEndTicks(0), kEndTimeMargin);
    EXPECT_EQ(IndexEndTicks(kTicksPerDay - kEndTimeMargin), kTicksPerDay);
    for (uint64_t stop : {kTicksPerDay - kEndTimeMargin + 1, kLastTickOfDay, kTicksPerDay}) {
        EXPECT_EQ(IndexEndTicks(stop), kTicksPerDay) << stop;
        EXPECT_TRUE(FormatIndexTime("240315", IndexEndTicks(stop)).has_value());
    }
}

TEST(CaptureIndexText, DateTexts) {
    EXPECT_EQ(FormatDate(2024, 3, 15).value(), "240315");
    EXPECT_EQ(FormatDate(2000, 1, 1).value(), "000101");
    EXPECT_EQ(FormatDate(2099, 12, 31).value(), "991231");
    EXPECT_EQ(FormatDate(2024, 2, 29).value(), "240229");
    EXPECT_FALSE(FormatDate(2023, 2, 29).has_value());
    EXPECT_FALSE(FormatDate(2100, 1, 1).has_value());  // "1000101" would not fit six digits
    EXPECT_FALSE(FormatDate(1999, 12, 31).has_value());
    EXPECT_FALSE(FormatDate(2024, 13, 1).has_value());
    EXPECT_FALSE(FormatDate(2024, 4, 31).has_value());

    // Writer and validator agree on every day of a leap year and a common year.
    for (int y : {2024, 2099}) {
        int days = 0;
        for (int mo = 1; mo <= 12; ++mo) {
            for (int d = 1; d <= 31; ++d) {
                auto text = FormatDate(y, mo, d);
                char raw[40];
                std::snprintf(raw, sizeof raw, "%02d%02d%02d", y - 2000, mo, d);
                EXPECT_EQ(IsValidDateText(raw), text.has_value()) << raw;
                if (text) ++days;
            }
        }
        EXPECT_EQ(days, y == 2024 ? 366 : 365);
    }
    for (std::string_view bad :
         {"", "24031", "2403155", "24-315", "241301", "240300", "230229", " 40315"})
        EXPECT_FALSE(IsValidDateText(bad)) << bad;
}

TEST(CaptureIndexText, RecordTimeText) {
    const uint64_t t = FieldsToTicks(13, 5, 9, 4, 210, 560);
    EXPECT_EQ(FormatRecordTime("240315", t).value(), "24/03/15 13:05:09 004m210u560n");
    EXPECT_EQ(FormatRecordTime("240315", 0).value(), "24/03/15 00:00:00 000m000u000n");
    EXPECT_EQ(FormatRecordTime("991231", kLastTickOfDay).value(), "99/12/31 23:59:59 999m999u990n");
    EXPECT_EQ(FormatRecordTime("240315", kTicksPerDay).value(), "24/03/15 24:00:00 000m000u000n");
    EXPECT_FALSE(FormatRecordTime("240315", kTicksPerDay + 1).has_value());
    EXPECT_FALSE(FormatRecordTime("24031", t).has_value());
    EXPECT_FALSE(FormatRecordTime("24031x", t).has_value());

    for (uint64_t ticks :
         {uint64_t{0}, uint64_t{1}, uint64_t{99}, uint64_t{100}, t, kLastTickOfDay, kTicksPerDay}) {
        const auto back = ParseRecordTime(FormatRecordTime("240315", ticks).value());
        ASSERT_TRUE(back.has_value());
        EXPECT_EQ(back->date, 240315);
        EXPECT_EQ(back->ticks, ticks);
    }
    EXPECT_FALSE(ParseRecordTime("24/03/15 13:05:09 004m210u56").has_value());
    EXPECT_FALSE(ParseRecordTime("24/0x/15 13:05:09 004m210u560n").has_value());
    EXPECT_FALSE(ParseRecordTime("").has_value());
}

// Typed times are refused, never normalised: a second 61 does not become the
// next minute's first.
TEST(CaptureIndexText, TypedRecordTimeTakesOnlyRealTimes) {
    for (const char* good : {"24/03/15 13:05:09 004m210u560n", "24/02/29 23:59:59 999m999u990n",
                             "24/03/15 24:00:00 000m000u000n", "00/01/01 00:00:00 000m000u000n"}) {
        auto t = ParseTypedRecordTime(good);
        ASSERT_TRUE(t.has_value()) << good;
        EXPECT_EQ(t->ticks, ParseRecordTime(good)->ticks) << good;
    }
    for (const char* bad : {"24/11/06 12:00:61 000m000u000n", "24/11/06 12:00:60 000m000u000n",
                            "24/11/06 12:60:00 000m000u000n", "24/11/06 25:00:00 000m000u000n",
                            "24/11/06 24:00:01 000m000u000n", "23/02/29 12:00:00 000m000u000n",
                            "24/11/06 12:0x:00 000m000u000n", "24/11/06 12:00:00 000m000u000nx",
                            "24/11/06 12-00-00 000m000u000n", "24/11/06 12:00:00 000:000:000",
                            "24/11/06 12:00:00", ""})
        EXPECT_FALSE(ParseTypedRecordTime(bad).has_value()) << bad;
}

// Every form a command takes names the same instant; a second given whole
// says so, so that a range ending there can hold all of it.
TEST(RecordTime, TypedTimesInEveryForm) {
    const uint64_t at = FieldsToTicks(19, 25, 45, 0, 0, 0);
    struct Case {
        const char* text;
        uint64_t ticks;
        bool whole;
    };
    for (const Case& c : {Case{"26/12/07 19:25:45", at, true},
                          Case{"26/12/07 19:25:45 123m456u780n", at + 12'345'678, false},
                          Case{"2026-12-07T19:25:45", at, true},
                          Case{"2026-12-07T19:25:45.5", at + 50'000'000, false},
                          Case{"2026-12-07T19:25:45.123456789", at + 12'345'678, false}}) {
        auto t = ParseTypedTime(c.text);
        ASSERT_TRUE(t.has_value()) << c.text;
        EXPECT_EQ(t->at, (DayTime{261207, c.ticks})) << c.text;
        EXPECT_EQ(t->wholeSecond, c.whole) << c.text;
    }
    for (const char* bad : {"2026-12-07 19:25:45", "2026-12-07T19:25", "2026-02-30T00:00:00",
                            "1999-12-31T23:59:59", "2100-01-01T00:00:00", "2026-12-07T19:25:45.",
                            "2026-12-07T19:25:45.1234567890", "2026-12-07T19:25:45,5",
                            "2026-12-07T19:25:45Z", "2026-12-07T24:00:01", "26/12/07 19:25"})
        EXPECT_FALSE(ParseTypedTime(bad).has_value()) << bad;
}

TEST(RecordTime, OrderOfStoredDates) {
    const DayTime before = MakeDayTime("240315", kLastTickOfDay);
    const DayTime after = MakeDayTime("240316", 0);
    EXPECT_LT(before, after);
    // Across a year end the date numbers, not the ticks, decide.
    EXPECT_LT(MakeDayTime("241231", 5), MakeDayTime("250101", 1));
    // Same date: ticks decide.
    EXPECT_EQ(MakeDayTime("240315", 7), MakeDayTime("240315", 7));
    EXPECT_LT(MakeDayTime("240315", 7), MakeDayTime("240315", 8));
    // An absent date counts as 0, before every real date.
    EXPECT_LT(MakeDayTime("", kTicksPerDay), MakeDayTime("000101", 0));
    EXPECT_EQ(MakeDayTime("", 3), MakeDayTime("0", 3));
    // A stored date is read to 8 bytes at most: an overlong one cannot
    // overflow the number.
    EXPECT_LT(MakeDayTime("240315", 0), MakeDayTime("12345678", 0));
    EXPECT_EQ(MakeDayTime("1234567890", 0).date, 12345678);
}

}  // namespace
}  // namespace qv
