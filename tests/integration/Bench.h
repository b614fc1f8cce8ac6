// A test bench: its own application folder and emulator folder, qvsim
// instruments started as processes, qvtool run as the user runs it, and a
// device object of the test's own that reaches the same instruments.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "capture/CaptureReader.h"
#include "core/IniFile.h"
#include "core/Log.h"
#include "core/Prompt.h"
#include "core/SettingsStore.h"
#include "device/DeviceCommand.h"
#include "device/SimSocketBackend.h"
#include "support/Processes.h"

namespace qv::test {

// The non-empty lines of a program's output.
inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);)
        if (!l.empty()) out.push_back(l);
    return out;
}

// The number after `label` in a program's output ("records sent: 123"), or
// UINT64_MAX when the label is missing.
inline uint64_t Counted(const std::string& out, const std::string& label) {
    auto at = out.find(label);
    return at == std::string::npos ? UINT64_MAX
                                   : std::strtoull(out.c_str() + at + label.size(), nullptr, 10);
}

// Answers every question of a run with `answer` and keeps what was asked
// and shown.
struct ScriptedPrompt : IPrompt {
    bool answer = true;
    std::vector<std::string> asked, shown;
    void ShowMessage(const std::string& t) override { shown.push_back(t); }
    bool AskYesNo(const std::string& t) override {
        asked.push_back(t);
        return answer;
    }
};

class Bench : public ::testing::Test {
  protected:
    TempDir home, sims, work;
    int counter = 0;

    // Starts qvsim and waits for its socket.
    Process& StartSim(std::vector<std::string> args) {
        const std::string log = work.file("sim" + std::to_string(++counter));
        m_sims.push_back(
            std::make_unique<SimUnit>(QVSIM_PATH, home.path(), sims.path(), std::move(args), log));
        SimUnit& sim = *m_sims.back();
        EXPECT_TRUE(sim.Up()) << "qvsim did not come up: " << sim.process().Err();
        return sim.process();
    }

    bool SocketFor(const std::string& serial) const { return SimSocketUp(sims.path(), serial); }

    // Variables qvtool runs with in place of the test's own (QVORT_LANG, TZ).
    std::map<std::string, std::string> toolEnv;

    RunResult Tool(std::vector<std::string> args) {
        args.insert(args.begin(), QVTOOL_PATH);
        int n = ++counter;
        std::vector<std::string> env = TestEnv(home.path(), sims.path());
        for (const auto& [name, value] : toolEnv) {
            std::erase_if(env, [&](const std::string& e) { return e.starts_with(name + "="); });
            env.push_back(name + "=" + value);
        }
        Process p(args, env,
                  work.file("tool" + std::to_string(n) + ".out"),
                  work.file("tool" + std::to_string(n) + ".err"));
        RunResult r;
        r.status = p.Wait(120);
        r.out = p.Out();
        r.err = p.Err();
        return r;
    }

    // The capture's index path from qvtool record's output.
    static std::string IndexOf(const RunResult& r) { return r.out.substr(0, r.out.find('\n')); }

    // FrameNum, the chunk entries and the chunk files must agree.
    uint64_t CheckConsistent(const std::string& index) {
        IniFile ini;
        ini.SetPath(index);
        uint64_t frameNum =
            std::strtoull(ini.ReadValue("DataFile", "FrameNum").c_str(), nullptr, 10);
        ::setenv("QVORT_HOME", home.path().c_str(), 1);
        SettingsStore store;
        Log log;
        CaptureReader file(store, log);
        EXPECT_EQ(file.Open(index), 0);
        EXPECT_EQ(file.GetTotalRecords(), frameNum);
        uint64_t walked = file.HasRecord() ? 1 : 0;
        while (file.NextRecord() == 0)
            ++walked;
        EXPECT_EQ(walked, frameNum);
        return frameNum;
    }

    // The backends that reach the emulated instruments of this bench only.
    BackendFactory SimBackends() const {
        const std::string folder = sims.path();
        return [folder] {
            std::vector<std::unique_ptr<IDeviceBackend>> b;
            b.push_back(std::make_unique<SimSocketBackend>(folder));
            return b;
        };
    }

    std::shared_ptr<UsbDevice> Device() const { return std::make_shared<UsbDevice>(SimBackends()()); }

    // Opens the instrument with this serial on a device object of the test's own.
    std::shared_ptr<UsbDevice> OpenUnit(const std::string& serial) const {
        auto dev = Device();
        int n = dev->GetDeviceCount();
        for (int i = 0; i < n; ++i)
            if (dev->Open(i) && dev->GetIdentity().serial == serial) return dev;
        ADD_FAILURE() << "unit " << serial << " not found";
        return dev;
    }

  private:
    std::vector<std::unique_ptr<SimUnit>> m_sims;
};

}  // namespace qv::test
