// Running the real programs from a test: each with its own environment, its
// output kept in files, ended by signals and waited for with generous limits
// (the test machine may be loaded).
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/TempDir.h"

extern char** environ;

namespace qv::test {

struct RunResult {
    int status = -1;
    std::string out, err;
};

// The environment of this process with QVORT_HOME and QVORT_SIM_DIR set.
inline std::vector<std::string> TestEnv(const std::string& home, const std::string& simDir) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        std::string s = *e;
        if (s.starts_with("QVORT_HOME=") || s.starts_with("QVORT_SIM_DIR=")) continue;
        // A test run under umockdev's preload library starts the programs
        // without it; the one that wants it (qvsim-usb) loads it itself.
        if (s.starts_with("LD_PRELOAD=") || s.starts_with("UMOCKDEV_DIR=")) continue;
        env.push_back(s);
    }
    env.push_back("QVORT_HOME=" + home);
    env.push_back("QVORT_SIM_DIR=" + simDir);
    return env;
}

class Process {
  public:
    Process(const std::vector<std::string>& args, const std::vector<std::string>& env,
            const std::string& outFile, const std::string& errFile)
        : m_out(outFile), m_err(errFile) {
        std::vector<char*> argv, envp;
        for (auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        for (auto& e : env)
            envp.push_back(const_cast<char*>(e.c_str()));
        envp.push_back(nullptr);
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_addopen(&fa, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        posix_spawn_file_actions_addopen(&fa, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        if (posix_spawn(&m_pid, argv[0], &fa, nullptr, argv.data(), envp.data()) != 0) m_pid = -1;
        posix_spawn_file_actions_destroy(&fa);
    }
    ~Process() {
        if (m_pid > 0 && !m_done) {
            ::kill(m_pid, SIGKILL);
            Wait(60);
        }
    }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    pid_t Pid() const { return m_pid; }
    void Signal(int sig) const {
        if (m_pid > 0 && !m_done) ::kill(m_pid, sig);
    }
    // The exit status, or -1 when it has not ended within `seconds`.
    int Wait(int seconds) {
        if (m_done) return m_status;
        if (m_pid <= 0) return -1;
        auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        for (;;) {
            int st = 0;
            pid_t r = ::waitpid(m_pid, &st, WNOHANG);
            if (r == m_pid) {
                m_done = true;
                m_status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
                return m_status;
            }
            if (std::chrono::steady_clock::now() >= until) return -1;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    std::string Out() const { return ReadBytes(m_out); }
    std::string Err() const { return ReadBytes(m_err); }

  private:
    pid_t m_pid = -1;
    bool m_done = false;
    int m_status = -1;
    std::string m_out, m_err;
};

// Waits until `pred` holds, looking every 50 ms, for at most `seconds`.
template <class Pred>
bool WaitFor(Pred pred, int seconds = 60) {
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < until) {
        if (pred()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return pred();
}

// True once qvsim's socket for `serial` takes connections: qvsim binds it as
// "….sock.new" first and renames it when it listens, so a test that took that
// name for it could look for the unit too early.
inline bool SimSocketUp(const std::string& simDir, const std::string& serial) {
    std::error_code ec;
    for (auto& e : std::filesystem::directory_iterator(simDir, ec))
        if (e.path().filename().string().ends_with("-" + serial + ".sock")) return true;
    return false;
}

// An emulated instrument for a test: qvsim started with `args` (its
// "--serial" among them) for the application folder `home` and emulator
// folder `simDir`, its output kept in `logStem`.out/.err. Up() once its
// socket takes connections; killed with the object.
class SimUnit {
  public:
    SimUnit(const std::string& qvsim, const std::string& home, const std::string& simDir,
            std::vector<std::string> args, const std::string& logStem) {
        std::string serial = "00000001";
        for (size_t i = 0; i + 1 < args.size(); ++i)
            if (args[i] == "--serial") serial = args[i + 1];
        args.insert(args.begin(), qvsim);
        m_process = std::make_unique<Process>(args, TestEnv(home, simDir), logStem + ".out",
                                              logStem + ".err");
        m_up = WaitFor([&] { return SimSocketUp(simDir, serial) || m_process->Wait(0) != -1; }) &&
               SimSocketUp(simDir, serial);
    }
    bool Up() const { return m_up; }
    Process& process() { return *m_process; }

  private:
    std::unique_ptr<Process> m_process;
    bool m_up = false;
};

}  // namespace qv::test
