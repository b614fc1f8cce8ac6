// Items of the instrument's capture stream (the bytes of endpoint 0x88), in
// both layouts: ASYNC and LOGIC runs send 4-byte data items, SYNC and HDLC runs
// 8-byte line changes and variable-length frame items. A first byte below 0x80
// is a control item, whatever the layout.
//
// Every multi-byte field is little-endian. Times are 10 ns ticks since local
// midnight in 48 bits; steps are 16-bit tick counts added to the running time.
//
// The parser is inline because the decoder runs it once per item over streams
// of 10^8 items; it reads only the bytes it was given and allocates nothing.
// The encoder is the one the stream generator and the emulator both use, so
// that a round trip through the two is the test of either.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "capture/CaptureRecord.h"

namespace qv {

// Item layout of a run, decided by its protocol byte.
enum class StreamLayout : uint8_t {
    kShort,  // ASYNC, LOGIC: 4-byte data items
    kWide,   // SYNC, HDLC: 8-byte line changes, frame items of 14 + n bytes
};

constexpr StreamLayout StreamLayoutFor(Protocol protocol) {
    return UsesFrameRecords(protocol) ? StreamLayout::kWide : StreamLayout::kShort;
}
// Of a stored code; an unknown code has the 4-byte layout.
constexpr StreamLayout StreamLayoutFor(int protocol) {
    return UsesFrameRecords(protocol) ? StreamLayout::kWide : StreamLayout::kShort;
}

// First bytes of the control items.
inline constexpr uint8_t kItemTriggerStep = 0x61;  // 'a': code, 16-bit step (4 bytes)
inline constexpr uint8_t kItemTriggerTime = 0x62;  // 'b': code, 48-bit time (8 bytes)
inline constexpr uint8_t kItemNotice = 0x65;       // 'e': notice, 4-byte layout only (8 bytes)
inline constexpr uint8_t kItemDate = 0x73;         // 's': year - 2000, month, day (4 bytes)
inline constexpr uint8_t kItemTime = 0x74;         // 't': 48-bit time in bytes 2-7 (8 bytes)
inline constexpr uint8_t kItemPcTime = 0x75;       // 'u': seconds since 1970 in bytes 4-7 (8 bytes)
inline constexpr uint8_t kItemFiller = 0x7F;       // 32-bit length L in bytes 4-7, then L bytes

inline constexpr size_t kShortItemSize = 4;
inline constexpr size_t kWideItemSize = 8;
// A frame item: header, start time (6), end time (6), length n, n data bytes.
inline constexpr size_t kFrameItemHeadSize = 14;
// The instrument never sends an empty frame; the decoder waits for one data
// byte more than the head before it looks at a frame item.
inline constexpr size_t kFrameItemMinBuffered = 15;
// A long frame comes as continuation pieces of 255 data bytes each (header bit
// 4 set) and one closing piece; 256 pieces plus the closing 255 bytes are the
// most that the 16-bit length of a frame record can hold.
inline constexpr size_t kFramePieceData = 255;
inline constexpr size_t kMaxFramePieces = 256;
inline constexpr size_t kFillerHeadSize = 8;
// The trigger code by which the instrument reports that its memory overflowed.
inline constexpr uint8_t kTriggerCodeBufferFull = 255;

enum class ItemType : uint8_t {
    kData,         // 4-byte layout: header, value, step
    kLineChange,   // 8-byte layout: header, line state, time
    kEvent,        // 8-byte layout event (kind 3): 8 bytes, carries nothing kept
    kFrame,        // 8-byte layout SD/RD frame or continuation piece
    kTriggerStep,  // 'a'
    kTriggerTime,  // 'b'
    kNotice,       // 'e'
    kDate,         // 's'
    kTime,         // 't'
    kPcTime,       // 'u'
    kFiller,       // 0x7F: `size` covers the 8-byte head, `fillerLength` the body
    kUnknown,      // any other control byte: one byte, skipped
};

struct StreamItem {
    ItemType type = ItemType::kUnknown;
    uint8_t first = 0;  // byte 0: the data header or the control code
    // Data character, line state or event byte of a data item; trigger code.
    uint8_t value = 0;
    uint16_t step = 0;                     // 4-byte data and 'a': ticks to add to the running time
    uint64_t time = 0;                     // 'b', 't', line change, frame start: 10 ns ticks
    uint64_t endTime = 0;                  // frame end, 10 ns ticks
    uint8_t year = 0, month = 0, day = 0;  // 's': year - 2000
    uint32_t seconds = 0;                  // 'u': seconds since 1970 (UTC)
    uint32_t fillerLength = 0;             // 0x7F: bytes after the head
    uint8_t dataLength = 0;                // frame: n
    const uint8_t* data = nullptr;         // frame: n bytes inside the parsed buffer
    uint32_t size = 1;                     // bytes the item takes in the stream

    // Convenience constructors for encoders and tests.
    static StreamItem Data(uint8_t header, uint8_t value, uint16_t step);
    static StreamItem LineChange(uint8_t header, uint8_t state, uint64_t time);
    static StreamItem Event(uint8_t header, uint8_t eventByte, uint64_t time);
    static StreamItem Frame(uint8_t header, uint64_t start, uint64_t end,
                            std::span<const uint8_t> bytes);
    static StreamItem TriggerStep(uint8_t code, uint16_t step);
    static StreamItem TriggerTime(uint8_t code, uint64_t time);
    static StreamItem Notice();
    static StreamItem Date(uint8_t year, uint8_t month, uint8_t day);
    static StreamItem Time(uint64_t time);
    static StreamItem PcTime(uint32_t seconds);
    static StreamItem Filler(uint32_t length);
};

namespace stream_detail {
constexpr uint32_t ReadLe32(const uint8_t* p) {
    return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}
}  // namespace stream_detail

// Parses the item at the front of `bytes`. Returns its size (item.size, at
// least 1), or 0 when more bytes are needed to take the whole item; a filler
// counts as taken once its 8-byte head is there, and the caller skips its body.
// Never reads beyond `n`.
inline size_t ParseStreamItem(const uint8_t* p, size_t n, StreamLayout layout, StreamItem& it) {
    using stream_detail::ReadLe32;
    if (n == 0) return 0;
    const uint8_t b0 = p[0];
    it.first = b0;
    if (b0 >= 0x80) {
        if (layout == StreamLayout::kShort) {
            if (n < kShortItemSize) return 0;
            it.type = ItemType::kData;
            it.value = p[1];
            it.step = ReadLe16(p + 2);
            return it.size = kShortItemSize;
        }
        const RecordKind kind = HeaderKind(b0);
        if (!IsDataKind(kind)) {
            if (n < kWideItemSize) return 0;
            it.type = kind == RecordKind::kLineChange ? ItemType::kLineChange : ItemType::kEvent;
            it.value = p[1];
            it.time = ReadLe48(p + 2);
            return it.size = kWideItemSize;
        }
        if (n < kFrameItemMinBuffered) return 0;
        const size_t total = kFrameItemHeadSize + p[13];
        if (n < total) return 0;
        it.type = ItemType::kFrame;
        it.time = ReadLe48(p + 1);
        it.endTime = ReadLe48(p + 7);
        it.dataLength = p[13];
        it.data = p + kFrameItemHeadSize;
        return it.size = static_cast<uint32_t>(total);
    }
    switch (b0) {
        case kItemTriggerStep:
            if (n < 4) return 0;
            it.type = ItemType::kTriggerStep;
            it.value = p[1];
            it.step = ReadLe16(p + 2);
            return it.size = 4;
        case kItemDate:
            if (n < 4) return 0;
            it.type = ItemType::kDate;
            it.year = p[1];
            it.month = p[2];
            it.day = p[3];
            return it.size = 4;
        case kItemTriggerTime:
            if (n < 8) return 0;
            it.type = ItemType::kTriggerTime;
            it.value = p[1];
            it.time = ReadLe48(p + 2);
            return it.size = 8;
        case kItemTime:
            if (n < 8) return 0;
            it.type = ItemType::kTime;
            it.time = ReadLe48(p + 2);
            return it.size = 8;
        case kItemPcTime:
            if (n < 8) return 0;
            it.type = ItemType::kPcTime;
            it.seconds = ReadLe32(p + 4);
            return it.size = 8;
        case kItemFiller:
            if (n < kFillerHeadSize) return 0;
            it.type = ItemType::kFiller;
            it.fillerLength = ReadLe32(p + 4);
            return it.size = kFillerHeadSize;
        case kItemNotice:
            // The notice exists only in the 4-byte layout; elsewhere the byte is
            // as unknown as any other.
            if (layout == StreamLayout::kShort) {
                if (n < 8) return 0;
                it.type = ItemType::kNotice;
                return it.size = 8;
            }
            [[fallthrough]];
        default:
            it.type = ItemType::kUnknown;
            return it.size = 1;
    }
}

inline size_t ParseStreamItem(std::span<const uint8_t> bytes, StreamLayout layout,
                              StreamItem& item) {
    return ParseStreamItem(bytes.data(), bytes.size(), layout, item);
}

// Appends the item's bytes (a filler with its body of zero bytes; a frame with
// its data). Unused bytes are 0. A data item of the other layout's form, or a
// notice in the 8-byte layout, is written as the 4-byte/8-byte form its type
// names; the parser then reads it by the layout it is given.
void AppendStreamItem(std::vector<uint8_t>& out, const StreamItem& item);

// Bytes AppendStreamItem writes for the item, filler body included.
size_t EncodedItemSize(const StreamItem& item);

}  // namespace qv
