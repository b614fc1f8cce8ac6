// qvtool record through the libusb backend: qvsim as the instrument,
// qvsim-usb putting it on an emulated USB bus, qvtool as the user, who
// reaches the instrument through libusb and usbdevfs only.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <thread>

#include "integration/Bench.h"

namespace qv::test {
namespace {

class UsbRecord : public Bench {
  protected:
    // qvtool run on the emulated USB bus of the bench's instruments.
    RunResult ToolOnUsb(std::vector<std::string> args) {
        args.insert(args.begin(), {QVSIM_USB_PATH, "--dir", sims.path(), "--", QVTOOL_PATH});
        int n = ++counter;
        Process p(args, TestEnv(home.path(), sims.path()), work.file("usb" + std::to_string(n) + ".out"),
                  work.file("usb" + std::to_string(n) + ".err"));
        RunResult r;
        r.status = p.Wait(180);
        r.out = p.Out();
        r.err = p.Err();
        return r;
    }

    // Selects the unit; its run stores from the start at 115200 bit/s.
    void Prepare(const std::string& serial) {
        for (std::vector<std::string> args :
             {std::vector<std::string>{"units", "select", serial},
              {"settings", "set", "SD_Baudrate=115200", "RD_Baudrate=115200"},
              {"settings", "trigger", "5", "--disable"},
              {"settings", "trigger", "1", "--clear", "--enable", "--action1", "20"}}) {
            auto r = Tool(args);
            ASSERT_EQ(r.status, 0) << r.err;
        }
    }

    // A script of `lines` lines taking turns on SD and RD; the characters of
    // each line in `sd` and `rd`.
    std::string WriteScript(int lines, std::string& sd, std::string& rd) {
        std::string script;
        for (int i = 0; i < lines; ++i) {
            char text[16];
            std::snprintf(text, sizeof text, "%c-%05d", i % 2 ? 'R' : 'S', i);
            script += std::to_string(100 + 2000 * i) + (i % 2 ? " RD \"" : " SD \"") + text + "\"\n";
            (i % 2 ? rd : sd) += text;
        }
        std::string path = work.file("script.txt");
        WriteBytes(path, script);
        return path;
    }
};

// The characters of SD and of RD in a capture, in order.
void CaptureTexts(const std::string& index, std::string& sd, std::string& rd) {
    SettingsStore store;
    Log log;
    CaptureReader file(store, log);
    ASSERT_EQ(file.Open(index), 0);
    if (!file.HasRecord()) return;
    do {
        std::vector<uint8_t> raw;
        file.GetRawRecord(raw);
        if (HeaderKind(raw[0]) == RecordKind::kSdData) sd.push_back(static_cast<char>(raw[1]));
        if (HeaderKind(raw[0]) == RecordKind::kRdData) rd.push_back(static_cast<char>(raw[1]));
    } while (file.NextRecord() == 0);
}

TEST_F(UsbRecord, AReplayedScriptIsStoredWholeAndByteForByteAsThroughTheSockets) {
    std::string sd, rd;
    const std::string script = WriteScript(3000, sd, rd);
    // A clock that stands still: both runs start at the same instrument time.
    Process& sim = StartSim({"--serial", "U1", "--source", "replay:" + script, "--rate", "max",
                             "--clock-fixed", "1700000000"});
    Prepare("U1");
    // The instrument's clock is years behind: keep it (--no).
    auto viaSockets = Tool({"record", "--duration", "3", "--no"});
    ASSERT_EQ(viaSockets.status, 0) << viaSockets.err;
    namespace fs = std::filesystem;
    const fs::path socketFolder = fs::path(IndexOf(viaSockets)).parent_path();
    const fs::path kept = fs::path(work.path()) / socketFolder.filename();
    fs::rename(socketFolder, kept);

    auto viaUsb = ToolOnUsb({"record", "--duration", "3", "--no"});
    ASSERT_EQ(viaUsb.status, 0) << viaUsb.err;
    const std::string usbIndex = IndexOf(viaUsb);
    const uint64_t stored = CheckConsistent(usbIndex);
    std::string gotSd, gotRd;
    CaptureTexts(usbIndex, gotSd, gotRd);
    EXPECT_EQ(gotSd, sd);
    EXPECT_EQ(gotRd, rd);

    // The same files with the same bytes; only the folder's name, the time
    // the computer started the run, differs, and so the names made from it.
    auto files = [](const fs::path& folder) {
        std::map<std::string, std::string> out;
        const std::string stamp = folder.filename().string();
        for (auto& e : fs::directory_iterator(folder)) {
            std::string name = e.path().filename().string();
            if (auto at = name.find(stamp); at != std::string::npos)
                name.replace(at, stamp.size(), "FOLDER");
            out[name] = ReadBytes(e.path().string());
        }
        return out;
    };
    auto a = files(kept), b = files(fs::path(usbIndex).parent_path());
    ASSERT_EQ(a.size(), b.size());
    for (auto& [name, bytes] : a) {
        EXPECT_TRUE(b.count(name)) << name;
        EXPECT_TRUE(b[name] == bytes) << name << " differs";
    }
    sim.Signal(SIGTERM);
    ASSERT_EQ(sim.Wait(60), 0);
    EXPECT_EQ(Counted(sim.Out(), "records sent: "), 2 * stored) << sim.Out();
}

TEST_F(UsbRecord, AnUnplugAndReplugDuringARunThroughLibusb) {
    Process& sim = StartSim({"--serial", "V1", "--source", "synth:8", "--rate", "max"});
    ASSERT_EQ(Tool({"units", "select", "V1"}).status, 0);
    ASSERT_EQ(Tool({"settings", "check", "--yes"}).status, 0);
    Process record({QVSIM_USB_PATH, "--dir", sims.path(), "--", QVTOOL_PATH, "record",
                    "--duration", "8", "--yes"},
                   TestEnv(home.path(), sims.path()), work.file("rec.out"), work.file("rec.err"));
    std::this_thread::sleep_for(std::chrono::seconds(2));
    sim.Signal(SIGUSR1);
    std::this_thread::sleep_for(std::chrono::seconds(1));
    sim.Signal(SIGUSR2);
    ASSERT_EQ(record.Wait(180), 0) << record.Err();
    // The run found the unit gone and opened it again at its new address.
    std::string log = ReadBytes(home.file("qv-ort.log"));
    EXPECT_NE(log.find("USBDevice Close -> Open."), std::string::npos) << log;
    EXPECT_GT(CheckConsistent(IndexOf({0, record.Out(), record.Err()})), 0u);
}

}  // namespace
}  // namespace qv::test
