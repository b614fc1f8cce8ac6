// Index files of any content over a fixed, valid chunk file.
#include "FuzzCapture.h"
#include "capture/CaptureIndexText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace qv;
    static const std::string folder = [] {
        std::string f = fuzz::ScratchFolder();
        uint8_t chunk[8 + 8 * 64] = {0xC0, 0x00};
        for (int i = 0; i < 64; ++i) {
            chunk[8 + i * 8] = static_cast<uint8_t>(0x80 | ((i % 4) << 5));
            chunk[8 + i * 8 + 1] = static_cast<uint8_t>(i * 37);
            chunk[8 + i * 8 + 2] = static_cast<uint8_t>(i);
        }
        fuzz::WriteFile(f + "/000000001.qvd", chunk, sizeof chunk);
        return f;
    }();
    const std::string index = folder + "/20240101000000.qvr";
    fuzz::WriteFile(index, data, size);
    static SettingsStore store;  // one per process, as the application has
    static Log log;
    CaptureReader f(store, log);
    fuzz::Walk(f, index);
    uint32_t chunk;
    std::string text, comment;
    int kind;
    for (int m = 1; m <= 5; ++m) f.ReadMark(m, chunk, text, kind, comment);
    std::vector<FormatEntry> rows;
    f.ReadFormatRows(rows);
    std::string s(reinterpret_cast<const char*>(data), size);
    ChunkEntry e;
    ParseChunkEntry(s, e);
    TriggerEvent t;
    ParseTriggerRecord(s, t);
    CaptureMark mark;
    ParseMark(s, mark);
    ParseRecordTime(s);
    return 0;
}
