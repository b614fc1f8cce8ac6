#include "device/StreamItem.h"

#include <gtest/gtest.h>

#include <vector>

namespace qv {
namespace {

std::vector<uint8_t> Bytes(const StreamItem& item) {
    std::vector<uint8_t> out;
    AppendStreamItem(out, item);
    return out;
}

// Every item type written and read back by the layout it belongs to, at every
// cut: a prefix never parses, the whole item does, with the same fields.
TEST(StreamItemTest, EveryItemRoundTripsAndNeedsAllItsBytes) {
    std::vector<uint8_t> frameData(255);
    for (size_t i = 0; i < frameData.size(); ++i)
        frameData[i] = static_cast<uint8_t>(i * 7);
    struct Case {
        StreamItem item;
        StreamLayout layout;
    } cases[] = {
        {StreamItem::Data(0xA4, 0x41, 0x1234), StreamLayout::kShort},
        {StreamItem::LineChange(0xC0, 0xA5, 0x123456789ABCULL), StreamLayout::kWide},
        {StreamItem::Event(0xE0, 0x80, 77), StreamLayout::kWide},
        {StreamItem::Frame(0x90, 1000, 2000, frameData), StreamLayout::kWide},
        {StreamItem::Frame(0xA8, 5, 6, {frameData.data(), 3}), StreamLayout::kWide},
        {StreamItem::TriggerStep(3, 0xFFFF), StreamLayout::kShort},
        {StreamItem::TriggerTime(255, 8'640'000'000'000ULL), StreamLayout::kWide},
        {StreamItem::Notice(), StreamLayout::kShort},
        {StreamItem::Date(24, 12, 31), StreamLayout::kShort},
        {StreamItem::Time(kMaxTimeStamp), StreamLayout::kShort},
        {StreamItem::PcTime(0xDEADBEEF), StreamLayout::kWide},
        {StreamItem::Filler(0x01020304), StreamLayout::kShort},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.item.type));
        std::vector<uint8_t> bytes = Bytes(c.item);
        ASSERT_EQ(bytes.size(), EncodedItemSize(c.item));
        for (size_t cut = 0; cut < c.item.size; ++cut) {
            StreamItem probe;
            // A frame is only looked at with 15 bytes buffered.
            if (c.item.type == ItemType::kFrame && cut >= kFrameItemMinBuffered) continue;
            EXPECT_EQ(ParseStreamItem(bytes.data(), cut, c.layout, probe), 0u) << cut;
        }
        StreamItem got;
        ASSERT_EQ(ParseStreamItem(bytes, c.layout, got), c.item.size);
        EXPECT_EQ(got.type, c.item.type);
        EXPECT_EQ(got.first, c.item.first);
        EXPECT_EQ(got.value, c.item.value);
        EXPECT_EQ(got.step, c.item.step);
        EXPECT_EQ(got.time, c.item.time);
        EXPECT_EQ(got.endTime, c.item.endTime);
        EXPECT_EQ(got.year, c.item.year);
        EXPECT_EQ(got.month, c.item.month);
        EXPECT_EQ(got.day, c.item.day);
        EXPECT_EQ(got.seconds, c.item.seconds);
        EXPECT_EQ(got.fillerLength, c.item.fillerLength);
        ASSERT_EQ(got.dataLength, c.item.dataLength);
        for (size_t i = 0; i < got.dataLength; ++i)
            EXPECT_EQ(got.data[i], c.item.data[i]);
    }
}

TEST(StreamItemTest, LayoutDecidesDataItemsAndTheNotice) {
    const std::vector<uint8_t> bytes = {0x80, 0x41, 0x02, 0x00, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    StreamItem it;
    EXPECT_EQ(ParseStreamItem(bytes, StreamLayout::kShort, it), 4u);
    EXPECT_EQ(it.type, ItemType::kData);
    EXPECT_EQ(it.step, 2);
    // In the 8-byte layout 0x80 is an SD frame: 14 + byte 13 bytes.
    EXPECT_EQ(ParseStreamItem(bytes, StreamLayout::kWide, it), 14u);
    EXPECT_EQ(it.type, ItemType::kFrame);

    const std::vector<uint8_t> notice = Bytes(StreamItem::Notice());
    EXPECT_EQ(ParseStreamItem(notice, StreamLayout::kShort, it), 8u);
    EXPECT_EQ(it.type, ItemType::kNotice);
    EXPECT_EQ(ParseStreamItem(notice, StreamLayout::kWide, it), 1u);
    EXPECT_EQ(it.type, ItemType::kUnknown);

    EXPECT_EQ(StreamLayoutFor(kProtocolAsync), StreamLayout::kShort);
    EXPECT_EQ(StreamLayoutFor(kProtocolLogic), StreamLayout::kShort);
    EXPECT_EQ(StreamLayoutFor(kProtocolSync), StreamLayout::kWide);
    EXPECT_EQ(StreamLayoutFor(kProtocolHdlc), StreamLayout::kWide);
}

// Any byte sequence parses into items that each stay inside the buffer.
TEST(StreamItemTest, RandomBytesNeverReadPastTheEnd) {
    uint64_t x = 88172645463325252ULL;
    std::vector<uint8_t> bytes(4096);
    for (auto& b : bytes) {
        x ^= x << 13, x ^= x >> 7, x ^= x << 17;
        b = static_cast<uint8_t>(x);
    }
    for (StreamLayout layout : {StreamLayout::kShort, StreamLayout::kWide}) {
        size_t pos = 0;
        while (pos < bytes.size()) {
            StreamItem it;
            const size_t n = ParseStreamItem(bytes.data() + pos, bytes.size() - pos, layout, it);
            if (n == 0) break;
            ASSERT_LE(pos + n, bytes.size());
            if (it.type == ItemType::kFrame) {
                ASSERT_GE(it.data, bytes.data() + pos);
                ASSERT_LE(it.data + it.dataLength, bytes.data() + bytes.size());
            }
            pos += n;
        }
        EXPECT_GT(pos, bytes.size() / 2);
    }
}

}  // namespace
}  // namespace qv
