#include "device/StreamItem.h"

namespace qv {

StreamItem StreamItem::Data(uint8_t header, uint8_t value, uint16_t step) {
    StreamItem it;
    it.type = ItemType::kData;
    it.first = header;
    it.value = value;
    it.step = step;
    it.size = kShortItemSize;
    return it;
}

StreamItem StreamItem::LineChange(uint8_t header, uint8_t state, uint64_t time) {
    StreamItem it;
    it.type = ItemType::kLineChange;
    it.first = header;
    it.value = state;
    it.time = time;
    it.size = kWideItemSize;
    return it;
}

StreamItem StreamItem::Event(uint8_t header, uint8_t eventByte, uint64_t time) {
    StreamItem it = LineChange(header, eventByte, time);
    it.type = ItemType::kEvent;
    return it;
}

StreamItem StreamItem::Frame(uint8_t header, uint64_t start, uint64_t end,
                             std::span<const uint8_t> bytes) {
    StreamItem it;
    it.type = ItemType::kFrame;
    it.first = header;
    it.time = start;
    it.endTime = end;
    // A frame item carries at most 255 bytes; longer frames are sent in pieces.
    it.dataLength = static_cast<uint8_t>(bytes.size() > 255 ? 255 : bytes.size());
    it.data = bytes.data();
    it.size = static_cast<uint32_t>(kFrameItemHeadSize + it.dataLength);
    return it;
}

StreamItem StreamItem::TriggerStep(uint8_t code, uint16_t step) {
    StreamItem it;
    it.type = ItemType::kTriggerStep;
    it.first = kItemTriggerStep;
    it.value = code;
    it.step = step;
    it.size = 4;
    return it;
}

StreamItem StreamItem::TriggerTime(uint8_t code, uint64_t time) {
    StreamItem it;
    it.type = ItemType::kTriggerTime;
    it.first = kItemTriggerTime;
    it.value = code;
    it.time = time;
    it.size = 8;
    return it;
}

StreamItem StreamItem::Notice() {
    StreamItem it;
    it.type = ItemType::kNotice;
    it.first = kItemNotice;
    it.size = 8;
    return it;
}

StreamItem StreamItem::Date(uint8_t year, uint8_t month, uint8_t day) {
    StreamItem it;
    it.type = ItemType::kDate;
    it.first = kItemDate;
    it.year = year;
    it.month = month;
    it.day = day;
    it.size = 4;
    return it;
}

StreamItem StreamItem::Time(uint64_t time) {
    StreamItem it;
    it.type = ItemType::kTime;
    it.first = kItemTime;
    it.time = time;
    it.size = 8;
    return it;
}

StreamItem StreamItem::PcTime(uint32_t seconds) {
    StreamItem it;
    it.type = ItemType::kPcTime;
    it.first = kItemPcTime;
    it.seconds = seconds;
    it.size = 8;
    return it;
}

StreamItem StreamItem::Filler(uint32_t length) {
    StreamItem it;
    it.type = ItemType::kFiller;
    it.first = kItemFiller;
    it.fillerLength = length;
    it.size = kFillerHeadSize;
    return it;
}

size_t EncodedItemSize(const StreamItem& it) {
    switch (it.type) {
        case ItemType::kData:
        case ItemType::kTriggerStep:
        case ItemType::kDate:
            return 4;
        case ItemType::kFrame:
            return kFrameItemHeadSize + it.dataLength;
        case ItemType::kFiller:
            return kFillerHeadSize + size_t{it.fillerLength};
        case ItemType::kUnknown:
            return 1;
        default:
            return 8;
    }
}

void AppendStreamItem(std::vector<uint8_t>& out, const StreamItem& it) {
    const size_t at = out.size();
    out.resize(at + EncodedItemSize(it), 0);
    uint8_t* p = out.data() + at;
    p[0] = it.first;
    switch (it.type) {
        case ItemType::kData:
        case ItemType::kTriggerStep:
            p[1] = it.value;
            WriteLe16(p + 2, it.step);
            break;
        case ItemType::kDate:
            p[1] = it.year;
            p[2] = it.month;
            p[3] = it.day;
            break;
        case ItemType::kLineChange:
        case ItemType::kEvent:
        case ItemType::kTriggerTime:
            p[1] = it.value;
            WriteLe48(p + 2, it.time);
            break;
        case ItemType::kTime:
            WriteLe48(p + 2, it.time);
            break;
        case ItemType::kPcTime:
            for (int i = 0; i < 4; ++i)
                p[4 + i] = static_cast<uint8_t>(it.seconds >> (8 * i));
            break;
        case ItemType::kFiller:
            for (int i = 0; i < 4; ++i)
                p[4 + i] = static_cast<uint8_t>(it.fillerLength >> (8 * i));
            break;
        case ItemType::kFrame:
            WriteLe48(p + 1, it.time);
            WriteLe48(p + 7, it.endTime);
            p[13] = it.dataLength;
            for (size_t i = 0; i < it.dataLength; ++i)
                p[kFrameItemHeadSize + i] = it.data[i];
            break;
        case ItemType::kNotice:
        case ItemType::kUnknown:
            break;
    }
}

}  // namespace qv
