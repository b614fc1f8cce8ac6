// qvsim: an emulated instrument. It appears as one attached unit in the
// emulator folder and answers the computer as the instrument does.
//
//   SIGUSR1 unplugs it, SIGUSR2 plugs it in again with the same identity;
//   SIGINT or SIGTERM end it, printing the number of stream items sent.
#include <signal.h>

#include <cstdio>
#include <iostream>
#include <string>

#include <CLI/CLI.hpp>

#include "cmdline/HelpFormat.h"
#include "cmdline/UsageFailure.h"

#include "device/SimWire.h"
#include "sim/ReplaySource.h"
#include "sim/SimInstrument.h"
#include "sim/SimServer.h"

namespace {

bool ParseProduct(const std::string& model, uint16_t& product) {
    if (model == "QV-S1")
        product = qv::kProductQvS1;
    else if (model == "QV-SZ2")
        product = qv::kProductQvSz2;
    else
        return false;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    // Named here, so that usage lines show the program's name, not the path it
    // was started by.
    CLI::App app{"qvsim - emulated serial line monitor instrument", "qvsim"};
    qv::cmdline::UseHelpFormatter(app);
    app.set_version_flag("--version", std::string("qvsim ") + QVORT_VERSION);
    std::string model = "QV-S1", source = "synth", rate = "real", release = "0100", folder;
    qv::sim::SimConfig cfg;
    bool noAc = false, noCard = false;
    app.add_option("--model", model, "QV-S1 or QV-SZ2")->check(CLI::IsMember({"QV-S1", "QV-SZ2"}));
    app.add_option("--serial", cfg.serial, "serial text (at most 8 characters)")
        ->check([](const std::string& s) {
            return s.empty() || s.size() > 8 ? std::string("1 to 8 characters") : std::string();
        });
    app.add_option("--release", release, "device release number, 4 hex digits");
    app.add_option("--clock-offset", cfg.clockOffset,
                   "seconds the instrument's clock is ahead of the computer's (negative: behind)");
    app.add_option("--clock-fixed", cfg.clockFixed,
                   "the instrument's clock stands at these seconds since 1970 (reproducible runs)")
        ->check(CLI::NonNegativeNumber);
    app.add_option("--monitor-clock-offset", cfg.monitorClockOffset,
                   "seconds the monitoring clock (what runs go by) is ahead of the built-in "
                   "clock (negative: behind); setting the clock sets both");
    app.add_flag("--no-ac", noAc, "no external (AC) power");
    app.add_flag("--no-card", noCard, "no memory card inserted");
    app.add_flag("--card-fault", cfg.cardFault, "the memory card is faulty");
    app.add_flag("--card-index-damaged", cfg.cardIndexDamaged, "the card's index file is damaged");
    app.add_flag("--master", cfg.master, "start in master mode");
    app.add_flag("--no-access", cfg.accessDenied,
                 "refuse every open, as a unit whose device node the user may not open");
    app.add_option("--card", cfg.cardFile, "file that holds the card memory (default: in memory)");
    app.add_option("--source", source, "synth[:SEED], flood[:SEED] (both lines busy without a pause), replay:FILE or tty:SD_DEVICE,RD_DEVICE");
    app.add_option("--rate", rate, "real (the line's pace) or max (as fast as it is read)")
        ->check(CLI::IsMember({"real", "max"}));
    app.add_option("--buffer", cfg.bufferBytes, "stream bytes held before the buffer overflows");
    app.add_option("--dir", folder,
                   std::string("socket folder, where the programs look for instruments (default: ") +
                       qv::simwire::kSimSocketFolderRule + ")");
    // A wrong command line: the reason and the usage line, exit status 2.
    bool exitNow = false;
    if (int rc = qv::cmdline::ParseOrExit(app, argc, argv, exitNow); exitNow) return rc;

    ParseProduct(model, cfg.productId);
    try {
        cfg.release = static_cast<uint16_t>(std::stoul(release, nullptr, 16));
    } catch (...) {
        std::cerr << "qvsim: --release needs hex digits\n";
        return 2;
    }
    cfg.acPower = !noAc;
    cfg.cardInserted = !noCard;
    cfg.rateMax = rate == "max";
    std::string error;
    if (!qv::sim::ParseSourceSelection(source, cfg.source, error)) {
        std::cerr << "qvsim: " << error << "\n";
        return 2;
    }
    // A script that cannot be replayed at any rate is refused now, with its
    // line: found only at a run's start it would make every run store nothing.
    if (cfg.source.kind == qv::sim::SourceSelection::Kind::kReplay &&
        !qv::sim::CheckReplayScript(cfg.source.path, error)) {
        std::cerr << "qvsim: " << error << "\n";
        return 2;
    }
    if (folder.empty()) folder = qv::simwire::SimSocketFolder();

    // Signals are taken by sigwait below, never by a handler in some thread.
    sigset_t set;
    sigemptyset(&set);
    for (int s : {SIGUSR1, SIGUSR2, SIGINT, SIGTERM, SIGHUP})
        sigaddset(&set, s);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);

    qv::sim::SimInstrument instrument(cfg);
    qv::sim::SimServer server(instrument, folder);
    if (!server.Plug(error)) {
        std::cerr << "qvsim: " << error << "\n";
        return 1;
    }
    std::cout << "qvsim: " << model << " " << cfg.serial << " at " << server.SocketPath()
              << std::endl;

    for (;;) {
        int sig = 0;
        if (sigwait(&set, &sig) != 0) break;
        if (sig == SIGUSR1) {
            server.Unplug();
            std::cout << "qvsim: unplugged" << std::endl;
        } else if (sig == SIGUSR2) {
            if (server.Plug(error))
                std::cout << "qvsim: plugged in" << std::endl;
            else
                std::cerr << "qvsim: " << error << std::endl;
        } else {
            break;
        }
    }
    server.Unplug();
    std::cout << "items sent: " << instrument.ItemsSent() << std::endl;
    std::cout << "records sent: " << instrument.RecordsSent() << std::endl;
    return 0;
}
