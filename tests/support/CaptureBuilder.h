// Writes small captures record by record, exactly in the stored layout, and
// remembers what it wrote, so that reader tests can compare every record.
// It also writes damaged captures on purpose (see the raw accessors).
#pragma once

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "capture/CaptureIndexText.h"
#include "capture/CaptureRecord.h"
#include "core/IniFile.h"
#include "settings/MonitorSettings.h"
#include "settings/StatusFile.h"

namespace qv::test {

struct WrittenRecord {
    uint64_t frame;
    uint32_t chunk, index;
    uint8_t header, value, lineState;
    uint64_t start, end;
    std::vector<uint8_t> data;  // frame payload
    std::string date;
};

class CaptureBuilder {
  public:
    CaptureBuilder(std::string folder, int protocol) : m_folder(std::move(folder)) {
        m_settings.Protocol = static_cast<uint8_t>(protocol);
    }
    MonitorSettings& settings() { return m_settings; }
    int protocol() const { return m_settings.Protocol; }

    // Starts a chunk with a leading line-change record carrying `lineState`.
    void StartChunk(const std::string& date, uint8_t lineState, uint64_t leadTime = 0) {
        uint8_t lead[8];
        EncodeShortRecord(lead, {MakeHeader(RecordKind::kLineChange), lineState, leadTime});
        StartChunkRaw(date, lead);
        m_line = lineState;
    }
    // Starts a chunk whose leading record is any 8 bytes (ASYNC: any kind).
    void StartChunkRaw(const std::string& date, const uint8_t lead[8]) {
        m_chunks.emplace_back();
        m_bytes.emplace_back(lead, lead + 8);
        SetDateField(m_chunks.back().date, date);
        m_date = date;
        m_first = true;
        m_line = lead[1];
    }

    void Add(RecordKind kind, uint8_t value, uint64_t time, uint8_t flags = 0) {
        uint8_t rec[8];
        uint8_t header = MakeHeader(kind, flags);
        EncodeShortRecord(rec, {header, value, time});
        auto& e = m_chunks.back();
        if (kind == RecordKind::kLineChange)
            e.CountLineChange(m_prevLine, value), m_prevLine = value;
        else if (kind == RecordKind::kEvent)
            e.CountEvent(m_prevEvent, value), m_prevEvent = value;
        else if (kind == RecordKind::kSdData)
            ++e.sdRecords;
        else
            ++e.rdRecords;
        bool ownState = kind == RecordKind::kLineChange || protocol() == kProtocolLogic ||
                        (kind == RecordKind::kEvent && protocol() != kProtocolAsync);
        if (ownState) m_line = value;
        Push(rec, 8, header, value, time, time, {});
    }

    void AddFrame(RecordKind kind, uint64_t start, uint64_t end, const std::vector<uint8_t>& data,
                  uint8_t flags = 0) {
        std::vector<uint8_t> rec(FrameRecordSize(static_cast<uint16_t>(data.size())));
        uint8_t header = MakeHeader(kind, flags);
        EncodeFrameHeader(rec.data(), {header, start, end, static_cast<uint16_t>(data.size())});
        std::copy(data.begin(), data.end(), rec.begin() + kFrameHeaderSize);
        if (kind == RecordKind::kSdData)
            ++m_chunks.back().sdRecords;
        else
            ++m_chunks.back().rdRecords;
        Push(rec.data(), rec.size(), header, 0, start, end, data);
    }

    // Writes the chunk files and the index; returns the index path.
    std::string Finish(bool writeEntries = true) {
        std::string name = m_folder.substr(m_folder.find_last_of('/') + 1);
        std::string index = m_folder + "/" + name + ".qvr";
        for (size_t i = 0; i < m_bytes.size(); ++i) {
            std::ofstream out(ChunkPath(static_cast<uint32_t>(i + 1)), std::ios::binary);
            out.write(reinterpret_cast<const char*>(m_bytes[i].data()),
                      static_cast<std::streamsize>(m_bytes[i].size()));
        }
        StatusFile status;
        status.SetPath(index);
        SamplingSettings sampling;
        status.WriteMonitorStatus(m_settings, sampling, 0);
        IniFile ini;
        ini.SetPath(index);
        ini.BeginBatch();
        if (writeEntries)
            for (size_t i = 0; i < m_chunks.size(); ++i)
                ini.WriteString("DataFile", std::to_string(i + 1), FormatChunkEntry(m_chunks[i]));
        if (!m_records.empty()) {
            ini.WriteString("DataFile", "StartTime",
                            *FormatIndexTime(m_records.front().date, m_records.front().start));
            ini.WriteString("DataFile", "EndTime",
                            *FormatIndexTime(m_records.back().date, m_records.back().end));
        }
        ini.WriteString("DataFile", "FrameNum", std::to_string(m_records.size()));
        ini.EndBatch();
        return index;
    }

    std::string ChunkPath(uint32_t n) const {
        char name[32];
        std::snprintf(name, sizeof name, "/%09u.qvd", n);
        return m_folder + name;
    }
    const std::vector<WrittenRecord>& records() const { return m_records; }
    std::vector<ChunkEntry>& entries() { return m_chunks; }
    std::vector<uint8_t>& chunkBytes(size_t i) { return m_bytes[i]; }

  private:
    void Push(const uint8_t* rec, size_t len, uint8_t header, uint8_t value, uint64_t start,
              uint64_t end, std::vector<uint8_t> data) {
        auto& e = m_chunks.back();
        if (m_first) e.startTime = start, m_first = false;
        auto& bytes = m_bytes.back();
        bytes.insert(bytes.end(), rec, rec + len);
        uint32_t chunk = static_cast<uint32_t>(m_chunks.size());
        uint32_t index = static_cast<uint32_t>(e.RecordCount() - 1);
        m_records.push_back({m_records.size(), chunk, index, header, value, m_line, start, end,
                             std::move(data), m_date});
    }

    std::string m_folder;
    MonitorSettings m_settings;
    std::vector<ChunkEntry> m_chunks;
    std::vector<std::vector<uint8_t>> m_bytes;
    std::vector<WrittenRecord> m_records;
    std::string m_date;
    bool m_first = true;
    uint8_t m_line = 0, m_prevLine = 0, m_prevEvent = 0;
};

}  // namespace qv::test
