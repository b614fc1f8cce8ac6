// The contract of a device backend: what every caller above the device
// object relies on, whichever backend carries the instrument. One suite, run
// against each backend through a bench that puts two emulated instruments on
// it (the emulator sockets in SimBackendTest, libusb over an emulated USB bus
// in tests/usb).
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "device/DeviceCommand.h"
#include "sim/LineSource.h"
#include "sim/SimServer.h"
#include "support/StreamReader.h"
#include "support/TempDir.h"

namespace qv::test {

// Two emulated instruments served from a socket folder of their own: unit 0,
// a QV-S1 "A0000001", and unit 1, a QV-SZ2 "42". Both replay the same script
// of SD and RD lines as fast as they are read.
class ContractUnits {
  public:
    static constexpr int kLines = 600;

    ContractUnits() {
        std::string script;
        for (int i = 0; i < kLines; ++i) {
            // A line every 20 ms: its 13 characters take 13.5 ms at 9600 bit/s
            // (the rate of default settings; lines that overlapped at the
            // configured rate would refuse the run).
            char line[64];
            std::snprintf(line, sizeof line, "%d %s \"%s-LINE-%05d\"\n", 100 + 20000 * i,
                          i % 2 ? "RD" : "SD", i % 2 ? "RD" : "SD", i);
            script += line;
            (i % 2 ? m_rd : m_sd) += line + std::string(line).find('"') + 1;
        }
        for (std::string* s : {&m_sd, &m_rd})
            std::erase_if(*s, [](char c) { return c == '"' || c == '\n'; });
        const std::string path = m_dir.file("script.txt");
        std::FILE* f = std::fopen(path.c_str(), "w");
        std::fputs(script.c_str(), f);
        std::fclose(f);
        m_instruments[0] = std::make_unique<sim::SimInstrument>(Config(kProductQvS1, "A0000001", path));
        m_instruments[1] = std::make_unique<sim::SimInstrument>(Config(kProductQvSz2, "42", path));
        for (int u = 0; u < 2; ++u) {
            m_servers[u] = std::make_unique<sim::SimServer>(*m_instruments[u], Folder());
            std::string err;
            EXPECT_TRUE(m_servers[u]->Plug(err)) << err;
        }
    }

    std::string Folder() const { return m_dir.file("sims"); }
    sim::SimInstrument& Instrument(int unit) { return *m_instruments[unit]; }
    sim::SimServer& Server(int unit) { return *m_servers[unit]; }
    // The characters the script puts on SD and on RD.
    const std::string& SdText() const { return m_sd; }
    const std::string& RdText() const { return m_rd; }

  private:
    static sim::SimConfig Config(uint16_t product, const std::string& serial,
                                 const std::string& script) {
        sim::SimConfig c;
        c.productId = product;
        c.serial = serial;
        c.release = 0x0207;
        c.cardBlocks = sim::CardMemory::kDataFirstBlock + 256;
        c.rateMax = true;
        std::string error;
        EXPECT_TRUE(sim::ParseSourceSelection("replay:" + script, c.source, error)) << error;
        return c;
    }

    TempDir m_dir;
    std::string m_sd, m_rd;
    std::unique_ptr<sim::SimInstrument> m_instruments[2];
    std::unique_ptr<sim::SimServer> m_servers[2];
};

// A backend under test with the two units on it.
class ContractBench {
  public:
    virtual ~ContractBench() = default;
    // A device object of its own that reaches the units through the backend.
    virtual std::shared_ptr<UsbDevice> Device() = 0;

    void Unplug(int unit) {
        units.Server(unit).Unplug();
        Settle();
    }
    void Plug(int unit) {
        std::string err;
        ASSERT_TRUE(units.Server(unit).Plug(err)) << err;
        Settle();
    }

    ContractUnits units;

  protected:
    // Returns once a change of the units can be seen through the backend.
    virtual void Settle() {}
};

// The index of the unit with this serial in the device object's last count.
inline int IndexOf(UsbDevice& dev, const std::string& serial) {
    for (int i = 0; auto ref = dev.CountedDevice(i); ++i)
        if (ref->serial == serial) return i;
    return -1;
}

// Waits up to 30 s (a loaded machine) for `pred`.
template <class Pred>
bool Eventually(Pred pred) {
    for (int i = 0; i < 300 && !pred(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    return pred();
}

inline double MillisecondsSince(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

template <class Bench>
class DeviceContract : public ::testing::Test {
  protected:
    Bench bench;
};

TYPED_TEST_SUITE_P(DeviceContract);

TYPED_TEST_P(DeviceContract, FindsTheFamilyInAStableOrderAndNamesEachUnit) {
    auto dev = this->bench.Device();
    ASSERT_EQ(dev->GetDeviceCount(), 2);
    // Known before a unit is opened, so that one the user may not open can
    // still be named.
    EXPECT_EQ(dev->CountedDevice(0)->serial, "A0000001");
    EXPECT_EQ(dev->CountedDevice(0)->productId, kProductQvS1);
    EXPECT_EQ(dev->CountedDevice(1)->serial, "42");
    ASSERT_TRUE(dev->Open(0));
    EXPECT_EQ(dev->GetIdentity(), (UnitIdentity{kQvVendorId, kProductQvS1, "A0000001"}));
    EXPECT_EQ(dev->GetDeviceRelease(), 0x0207);
    EXPECT_EQ(dev->GetManufacturer(), u"QV-ORT emulator");
    EXPECT_EQ(dev->GetProduct(), u"QV-S1");
    ASSERT_TRUE(dev->Open(1));  // closes the first
    EXPECT_EQ(dev->OpenIndex(), 1);
    EXPECT_EQ(dev->GetIdentity(), (UnitIdentity{kQvVendorId, kProductQvSz2, "42"}));
    EXPECT_EQ(dev->GetProduct(), u"QV-SZ2");
    for (uint8_t ep : {kEpControlWord, kEpCommand, kEpReply, kEpStream})
        EXPECT_EQ(dev->GetEndpoint(ep)->type, TransferType::kBulk) << int(ep);
    EXPECT_EQ(dev->GetEndpoint(kEpReply)->timeoutMs, 1000u);
    EXPECT_EQ(dev->GetEndpoint(kEpStream)->timeoutMs, 100u);
    EXPECT_EQ(dev->GetEndpoint(kEpCommand)->timeoutMs, 200u);
    EXPECT_TRUE(dev->GetEndpoint(kEpControl).has_value());
    EXPECT_FALSE(dev->GetEndpoint(0x83).has_value());
    EXPECT_FALSE(dev->Open(2));
    EXPECT_FALSE(dev->IsOpen());
    uint8_t buf[4] = {};
    size_t n = sizeof buf;
    EXPECT_EQ(dev->Transfer(kEpCommand, buf, n), TransferStatus::kError);
    EXPECT_EQ(n, 0u);
}

// The emulator keeps its own table of the protocol, so this is the computer's
// command code against an independent peer; the state bits are the protocol's
// numbers: 0x04 to card, 0x08 external power, 0x10 card inserted, 0x80 master,
// bits 1-0 the run (1 waiting, 3 storing).
TYPED_TEST_P(DeviceContract, EveryCommandIsAnswered) {
    auto dev = this->bench.Device();
    dev->GetDeviceCount();
    ASSERT_TRUE(dev->Open(IndexOf(*dev, "42")));
    DeviceCommand cmd(dev);
    uint32_t bits = 0;
    ASSERT_EQ(cmd.QueryState(bits), 0);
    EXPECT_EQ(bits, 0x08u | 0x10u);
    ASSERT_EQ(cmd.SetClock(1'700'000'000), 0);
    uint32_t monitoring = 0, clock = 0;
    ASSERT_EQ(cmd.ReadClocks(monitoring, clock), 0);
    EXPECT_NEAR(static_cast<double>(clock), 1'700'000'000.0, 5.0);
    EXPECT_NEAR(static_cast<double>(monitoring), 1'700'000'000.0, 5.0);
    std::array<uint32_t, 3> version{};
    ASSERT_EQ(cmd.QueryVersion(version), 0);
    EXPECT_EQ(version, (std::array<uint32_t, 3>{sim::kSimVersion, sim::kSimFirmware, sim::kSimFpga}));
    std::array<uint32_t, 7> figures{};
    EXPECT_EQ(cmd.QueryCardFigures(figures), 0);
    ASSERT_EQ(cmd.SetMasterSlave(1, 1), 0);
    ASSERT_EQ(cmd.QueryState(bits), 0);
    EXPECT_TRUE(bits & 0x80u);
    EXPECT_EQ(cmd.SetMasterSlave(3, 0), -1);

    // The configuration of a run, every command of it; the rate the units'
    // script is written for (at a slower one its lines would overlap, and a
    // run of it could not start).
    MonitorSettings line;
    line.SD_Baudrate = line.RD_Baudrate = 115200;
    EXPECT_EQ(SendMonitorSettings(cmd, line, SamplingSettings{}), 0);
    EXPECT_EQ(SendTriggerOption(cmd, TriggerOption{}), 0);
    for (int t = 1; t <= 5; ++t)
        EXPECT_EQ(SendTriggerSetting(cmd, t, StoreFromStart()), 0) << t;
    EXPECT_EQ(cmd.SetCardMemoryMode(false), 0);

    // Each way of starting, seen in the state bits, and stopping.
    ASSERT_EQ(cmd.StartToCard(), 0);
    ASSERT_EQ(cmd.QueryState(bits), 0);
    EXPECT_EQ(bits & 0x05u, 0x05u);
    ASSERT_EQ(cmd.Stop(), 0);
    ASSERT_EQ(cmd.StartToComputer(), 0);
    ASSERT_EQ(cmd.QueryState(bits), 0);
    EXPECT_EQ(bits & 0x05u, 0x01u);
    uint32_t waiting = 0;
    EXPECT_EQ(cmd.QueryRunStatus(waiting), 0);
    ASSERT_EQ(cmd.Stop(), 0);
    ASSERT_EQ(cmd.QueryState(bits), 0);
    EXPECT_EQ(bits & 0x01u, 0u);
    EXPECT_EQ(cmd.StartCardRetrieval(), 0);
    EXPECT_EQ(cmd.Stop(), 0);
    EXPECT_EQ(cmd.SendControlWord(), 0);
    // A command the instrument does not know is answered, and refused; a
    // packet that is no command at all fails the transfer.
    ASSERT_EQ(cmd.Query(0x7E, 0, 0), 0);
    EXPECT_EQ(cmd.ReplyWord(0) & 0xFF, 1u);
    uint8_t junk[4] = {'X', 'Y', 0, 0};
    size_t n = sizeof junk;
    EXPECT_EQ(dev->Transfer(kEpCommand, junk, n), TransferStatus::kError);
}

TYPED_TEST_P(DeviceContract, CardBlocksWrittenAreReadBack) {
    auto dev = this->bench.Device();
    dev->GetDeviceCount();
    ASSERT_TRUE(dev->Open(IndexOf(*dev, "A0000001")));
    DeviceCommand cmd(dev);
    std::vector<uint8_t> data(3 * 512);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<uint8_t>(i * 7);
    ASSERT_EQ(cmd.WriteCardBlocks(0x10020, data.data(), 3), 3 * 512);
    std::vector<uint8_t> back;
    ASSERT_EQ(cmd.ReadCardBlocks(0x10020, 3, back), 3 * 512);
    EXPECT_EQ(back, data);
    // Past the card's end the reads stop early, without a time-out each.
    const uint32_t last = sim::CardMemory::kDataFirstBlock + 255;
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(cmd.ReadCardBlocks(last, 4, back), 512);
    EXPECT_LT(MillisecondsSince(t0), 900);
    uint32_t bits = 0;  // the link still speaks commands afterwards
    EXPECT_EQ(cmd.QueryState(bits), 0);
}

TYPED_TEST_P(DeviceContract, AReplayedScriptArrivesWholeOnTheStreamEndpoint) {
    auto dev = this->bench.Device();
    dev->GetDeviceCount();
    ASSERT_TRUE(dev->Open(IndexOf(*dev, "A0000001")));
    DeviceCommand cmd(dev);
    Configure(cmd, StoreFromStart());
    ASSERT_EQ(cmd.StartToComputer(), 0);
    const std::string& sd = this->bench.units.SdText();
    const std::string& rd = this->bench.units.RdText();
    StreamReader r;
    ASSERT_TRUE(ReadStream(*dev, r, [&] {
        return r.Text(RecordKind::kSdData).size() >= sd.size() &&
               r.Text(RecordKind::kRdData).size() >= rd.size();
    })) << r.data.size();
    EXPECT_EQ(r.Text(RecordKind::kSdData), sd);
    EXPECT_EQ(r.Text(RecordKind::kRdData), rd);
    ASSERT_EQ(cmd.Stop(), 0);
    EXPECT_EQ(this->bench.units.Instrument(0).ItemsSent(), r.items);
}

TYPED_TEST_P(DeviceContract, TimeOutsEndTransfersNothingAnswers) {
    auto dev = this->bench.Device();
    dev->GetDeviceCount();
    ASSERT_TRUE(dev->Open(IndexOf(*dev, "A0000001")));
    uint8_t buf[512];
    // No command was sent: no reply comes.
    ASSERT_TRUE(dev->SetTimeout(kEpReply, 300));
    auto t0 = std::chrono::steady_clock::now();
    size_t n = sizeof buf;
    EXPECT_EQ(dev->Transfer(kEpReply, buf, n), TransferStatus::kTimeout);
    EXPECT_EQ(n, 0u);
    EXPECT_GE(MillisecondsSince(t0), 290);
    EXPECT_LT(MillisecondsSince(t0), 5000);
    // No run: nothing on the stream within its own 100 ms.
    t0 = std::chrono::steady_clock::now();
    n = sizeof buf;
    EXPECT_EQ(dev->Transfer(kEpStream, buf, n), TransferStatus::kTimeout);
    EXPECT_GE(MillisecondsSince(t0), 95);
    // A transfer that timed out is over: the next command gets its own reply.
    DeviceCommand cmd(dev);
    uint32_t bits = 0;
    EXPECT_EQ(cmd.QueryState(bits), 0);
    EXPECT_EQ(bits, kStateAcPower | kStateCardInserted);
}

TYPED_TEST_P(DeviceContract, RemovalDuringABulkReadEndsItAndLaterTransfersFail) {
    auto dev = this->bench.Device();
    dev->GetDeviceCount();
    ASSERT_TRUE(dev->Open(IndexOf(*dev, "A0000001")));
    std::atomic<int> status{-1};
    std::atomic<double> took{0};
    dev->SetTimeout(kEpStream, 20000);
    std::thread reader([&] {
        uint8_t buf[512];
        size_t n = sizeof buf;
        auto t0 = std::chrono::steady_clock::now();
        status = static_cast<int>(dev->Transfer(kEpStream, buf, n));
        took = MillisecondsSince(t0);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    this->bench.Unplug(0);
    reader.join();
    EXPECT_EQ(status.load(), static_cast<int>(TransferStatus::kNoDevice));
    EXPECT_LT(took.load(), 15000) << "ended by the time-out, not by the removal";
    DeviceCommand cmd(dev);
    uint32_t bits = 0;
    EXPECT_EQ(cmd.QueryState(bits), -1);
    EXPECT_EQ(dev->GetDeviceCount(), 1);
}

TYPED_TEST_P(DeviceContract, AUnitPluggedInAgainIsFoundInItsPlaceAndAnswers) {
    auto dev = this->bench.Device();
    ASSERT_EQ(dev->GetDeviceCount(), 2);
    ASSERT_TRUE(dev->Open(0));
    this->bench.Unplug(0);
    EXPECT_EQ(dev->GetDeviceCount(), 1);
    EXPECT_EQ(IndexOf(*dev, "A0000001"), -1);
    this->bench.Plug(0);
    ASSERT_EQ(dev->GetDeviceCount(), 2);
    EXPECT_EQ(IndexOf(*dev, "A0000001"), 0);
    ASSERT_TRUE(dev->Open(0));
    EXPECT_EQ(dev->GetIdentity().serial, "A0000001");
    DeviceCommand cmd(dev);
    uint32_t bits = 0;
    EXPECT_EQ(cmd.QueryState(bits), 0);
}

TYPED_TEST_P(DeviceContract, PlugNotificationsNameTheUnit) {
    auto dev = this->bench.Device();
    ASSERT_EQ(dev->GetDeviceCount(), 2);
    const std::string before = dev->CountedDevice(IndexOf(*dev, "42"))->key;
    std::mutex m;
    std::vector<std::pair<PlugEvent, std::string>> seen;
    dev->SetPlugListener([&](PlugEvent e, const std::string& key) {
        std::lock_guard lock(m);
        seen.emplace_back(e, key);
    });
    auto count = [&] {
        std::lock_guard lock(m);
        return seen.size();
    };
    this->bench.Unplug(1);
    ASSERT_TRUE(Eventually([&] { return count() >= 1; }));
    this->bench.Plug(1);
    ASSERT_TRUE(Eventually([&] { return count() >= 2; }));
    dev->SetPlugListener({});
    EXPECT_EQ(seen[0], std::make_pair(PlugEvent::kRemoval, before));
    EXPECT_EQ(seen[1].first, PlugEvent::kArrival);
    // The arrival names the unit as a new count does.
    ASSERT_EQ(dev->GetDeviceCount(), 2);
    EXPECT_EQ(seen[1].second, dev->CountedDevice(IndexOf(*dev, "42"))->key);
}

REGISTER_TYPED_TEST_SUITE_P(DeviceContract, FindsTheFamilyInAStableOrderAndNamesEachUnit,
                            EveryCommandIsAnswered, CardBlocksWrittenAreReadBack,
                            AReplayedScriptArrivesWholeOnTheStreamEndpoint,
                            TimeOutsEndTransfersNothingAnswers,
                            RemovalDuringABulkReadEndsItAndLaterTransfersFail,
                            AUnitPluggedInAgainIsFoundInItsPlaceAndAnswers,
                            PlugNotificationsNameTheUnit);

}  // namespace qv::test
