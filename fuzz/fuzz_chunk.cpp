// Chunk files of any content: the first input byte picks the protocol, the
// rest is the chunk file; the index claims a generous record count.
#include "FuzzCapture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace qv;
    if (size < 1) return 0;
    static const std::string folder = fuzz::ScratchFolder();
    static const int protocols[] = {kProtocolAsync, kProtocolSync, kProtocolHdlc, kProtocolLogic};
    static const char* words[] = {"ASYNC", "SYNC", "HDLC", "LOGIC"};
    const std::string index = folder + "/20240101000000.qvr";
    int p = data[0] & 3;
    std::string text = std::string("[MonitorStatus]\r\nProtocol=") + words[p] +
                       "\r\n[DataFile]\r\n1=240101,00:00:00 000:000:000,30,30,30,30,1,1,1,1,1,1,1,1,1,1\r\n"
                       "2=240101,00:00:01 000:000:000,5,0,0,0,0,0,0,0,0,0,0,0,0,0\r\n";
    fuzz::WriteFile(index, reinterpret_cast<const uint8_t*>(text.data()), text.size());
    fuzz::WriteFile(folder + "/000000001.qvd", data + 1, size - 1);
    fuzz::WriteFile(folder + "/000000002.qvd", data + 1, (size - 1) / 2);
    (void)protocols;
    static SettingsStore store;  // one per process, as the application has
    static Log log;
    CaptureReader f(store, log);
    fuzz::Walk(f, index);
    return 0;
}
