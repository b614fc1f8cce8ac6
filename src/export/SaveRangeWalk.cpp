#include "export/SaveRangeWalk.h"

#include <string>

#include "core/TimeText.h"

namespace qv {

bool SaveRangeWalk::Begin(const SaveRange& range, bool endFallsBackToLast, ISaveReport* sink) {
    uint64_t total = 0;
    if (!CountSaveRange(m_file, range, endFallsBackToLast, total)) return false;
    m_start = range.start;
    m_end = range.end;
    m_progress = SaveProgress(sink, total);
    m_taken = 0;
    m_chunk = 0;
    return true;
}

bool SaveRangeWalk::EnterChunk(uint32_t chunk) {
    std::string text;
    if (m_file.GetChunkInfo(chunk, text, m_entry) != kQvrOk) return false;
    m_chunk = chunk;
    m_date = DateTextNumber(DateFieldText(m_entry.date));
    return true;
}

}  // namespace qv
