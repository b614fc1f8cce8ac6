// qvsim-usb: runs a program with the emulated instruments on an emulated USB
// bus, so that it reaches them through libusb and the kernel's usbdevfs
// interface (emulated by umockdev) instead of their sockets.
//
//   qvsim-usb [--dir FOLDER] [--no-scatter-gather] [--requests] -- PROGRAM [ARGS...]
//
// Every qvsim instrument of FOLDER (default: the emulator folder) appears on
// the bus while the program runs; one unplugged or plugged in again leaves or
// joins the bus. The program gets an emulator folder of its own, empty, so it
// finds the instruments on USB only. SIGINT, SIGTERM and SIGHUP are passed on
// to the program; qvsim-usb ends with its exit status.
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "cmdline/UsageFailure.h"

#include "device/SimWire.h"
#include "sim/umockdev/EmulatedUsbBus.h"
#include "sim/umockdev/Preload.h"

extern char** environ;

namespace {

std::vector<std::string> ChildEnvironment(const std::string& simDir) {
    std::vector<std::string> env;
    std::string preload = qv::sim::kUmockdevPreload;
    for (char** e = environ; *e; ++e) {
        std::string s = *e;
        if (s.starts_with("QVORT_SIM_DIR=")) continue;
        if (s.starts_with("LD_PRELOAD=")) {
            if (s.size() > 11) preload += ":" + s.substr(11);
            continue;
        }
        env.push_back(s);
    }
    env.push_back("LD_PRELOAD=" + preload);
    env.push_back("QVORT_SIM_DIR=" + simDir);
    return env;
}

}  // namespace

int main(int argc, char** argv) {
    // umockdev sends uevents with libudev, which must see the test bed too:
    // this program runs under the preload library as well.
    if (!qv::sim::RunUnderUmockdevPreload(argv)) return 1;
    CLI::App app{"qvsim-usb - run a program with the emulated instruments on an emulated USB bus"};
    std::string folder;
    bool noScatterGather = false, showRequests = false;
    std::vector<std::string> command;
    app.add_option("--dir", folder,
                   std::string("the instruments' socket folder (default: ") +
                       qv::simwire::kSimSocketFolderRule + ")");
    app.add_flag("--no-scatter-gather", noScatterGather,
                 "a host controller without scatter-gather: libusb splits bulk transfers");
    app.add_flag("--requests", showRequests,
                 "print the usbdevfs requests the program made when it ends");
    app.add_option("command", command, "the program and its arguments (after --)")->required();
    // A wrong command line: the reason and the usage line, exit status 2.
    bool exitNow = false;
    if (int rc = qv::cmdline::ParseOrExit(app, argc, argv, exitNow); exitNow) return rc;
    if (folder.empty()) folder = qv::simwire::SimSocketFolder();

    // Signals are taken by sigwait below; the bus's threads inherit the mask.
    sigset_t set;
    sigemptyset(&set);
    for (int s : {SIGINT, SIGTERM, SIGHUP, SIGCHLD})
        sigaddset(&set, s);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);

    std::string tmpl = (std::filesystem::temp_directory_path() / "qvsim-usb.XXXXXX").string();
    if (!::mkdtemp(tmpl.data())) {
        std::perror("qvsim-usb: mkdtemp");
        return 1;
    }
    const std::string ownSimDir = tmpl;
    int status = 1;
    {
        qv::sim::UsbBusOptions options;
        options.simFolder = folder;
        options.scatterGather = !noScatterGather;
        qv::sim::EmulatedUsbBus bus(options);
        bus.Sync();
        std::cerr << "qvsim-usb: " << bus.InstrumentCount() << " instrument(s) on the bus at "
                  << bus.RootDir() << std::endl;

        std::vector<std::string> env = ChildEnvironment(ownSimDir);
        std::vector<char*> argvChild, envp;
        for (auto& a : command)
            argvChild.push_back(a.data());
        argvChild.push_back(nullptr);
        for (auto& e : env)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        posix_spawnattr_t attr;
        posix_spawnattr_init(&attr);
        sigset_t none;
        sigemptyset(&none);
        posix_spawnattr_setsigmask(&attr, &none);
        posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK);
        pid_t child = -1;
        int rc = posix_spawnp(&child, argvChild[0], nullptr, &attr, argvChild.data(), envp.data());
        posix_spawnattr_destroy(&attr);
        if (rc != 0) {
            std::cerr << "qvsim-usb: " << command[0] << ": " << std::strerror(rc) << std::endl;
        } else {
            for (;;) {
                int sig = 0;
                if (sigwait(&set, &sig) != 0) break;
                if (sig != SIGCHLD) {
                    ::kill(child, sig);
                    continue;
                }
                int st = 0;
                if (::waitpid(child, &st, WNOHANG) == child) {
                    status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
                    break;
                }
            }
        }
        if (showRequests)
            for (auto& [name, count] : bus.RequestCounts())
                std::cerr << "usbdevfs " << name << " " << count << "\n";
    }
    std::error_code ec;
    std::filesystem::remove_all(ownSimDir, ec);
    return status;
}
