// What a test needs to start an instrument's run and follow its capture
// stream on endpoint 0x88 the way the decoder does: dates, running times,
// trigger items and data items, with the characters of SD and RD.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "device/CommandEncoding.h"
#include "device/DeviceCommand.h"
#include "device/StreamItem.h"

namespace qv::test {

struct Seen {
    uint8_t header = 0, value = 0;
    uint64_t time = 0;
};

// Follows the stream as the decoder does: date, running time, leading record.
class StreamReader {
  public:
    void Feed(const uint8_t* p, size_t n) {
        m_buf.insert(m_buf.end(), p, p + n);
        size_t pos = 0;
        while (pos < m_buf.size()) {
            if (m_skip) {
                size_t s = std::min<size_t>(m_skip, m_buf.size() - pos);
                pos += s;
                m_skip -= s;
                continue;
            }
            StreamItem it;
            size_t used =
                ParseStreamItem(m_buf.data() + pos, m_buf.size() - pos, StreamLayout::kShort, it);
            if (used == 0) break;
            pos += used;
            ++items;
            switch (it.type) {
                case ItemType::kDate:
                    m_running = 0;
                    m_started = false;
                    ++dates;
                    break;
                case ItemType::kTime:
                    m_running = it.time;
                    break;
                case ItemType::kTriggerStep:
                    m_running += it.step;
                    triggers.push_back(it.value);
                    break;
                case ItemType::kTriggerTime:
                    m_running = it.time;
                    triggers.push_back(it.value);
                    break;
                case ItemType::kFiller:
                    m_skip = it.fillerLength;
                    break;
                case ItemType::kData:
                    if (m_started) m_running += it.step;
                    m_started = true;
                    data.push_back({it.first, it.value, m_running});
                    break;
                default:
                    break;
            }
        }
        m_buf.erase(m_buf.begin(), m_buf.begin() + static_cast<std::ptrdiff_t>(pos));
    }
    std::string Text(RecordKind kind) const {
        std::string s;
        for (const auto& d : data)
            if (HeaderKind(d.header) == kind) s.push_back(static_cast<char>(d.value));
        return s;
    }
    uint64_t items = 0;
    int dates = 0;
    std::vector<Seen> data;
    std::vector<uint8_t> triggers;

  private:
    std::vector<uint8_t> m_buf;
    uint64_t m_running = 0;
    uint64_t m_skip = 0;
    bool m_started = false;
};

// Reads endpoint 0x88 until `done` holds or `seconds` pass.
template <class Done>
bool ReadStream(UsbDevice& dev, StreamReader& r, Done done, int seconds = 60) {
    std::vector<uint8_t> buf(65536);
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!done() && std::chrono::steady_clock::now() < until) {
        size_t n = buf.size();
        if (dev.Transfer(kEpStream, buf.data(), n) == TransferStatus::kOk) r.Feed(buf.data(), n);
    }
    return done();
}

// ASYNC 115200 8N1, and trigger 1 as given (trigger 2..5 off).
inline void Configure(DeviceCommand& cmd, const TriggerSetting& t1, const TriggerOption& opt = {}) {
    MonitorSettings m;
    m.SD_Baudrate = m.RD_Baudrate = 115200;
    ASSERT_EQ(SendMonitorSettings(cmd, m, SamplingSettings{}), 0);
    ASSERT_EQ(SendTriggerOption(cmd, opt), 0);
    ASSERT_EQ(SendTriggerSetting(cmd, 1, t1), 0);
    for (int n = 2; n <= 5; ++n)
        ASSERT_EQ(SendTriggerSetting(cmd, n, TriggerSetting{}), 0);
}

inline TriggerSetting StoreFromStart() {
    TriggerSetting t;
    t.enabled = 1;  // no condition: AND holds at once
    t.action1 = kActionStartStoring;
    t.option1 = kNoOption;
    return t;
}

}  // namespace qv::test
