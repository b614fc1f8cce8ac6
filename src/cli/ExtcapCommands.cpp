// The instrument as a capture interface of Wireshark and tshark: their
// external-capture protocol (list the interfaces, their link type and their
// settings, then capture into a fifo), answered by qvtool itself, so that a
// capture there is a "record --pcapng" run: the ordinary capture is recorded
// beside the stream, and ends in order on SIGTERM or when the fifo's reader
// closes it.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "cli/CliSupport.h"
#include "cli/Commands.h"
#include "device/DeviceAccess.h"
#include "device/UnitList.h"
#include "export/PcapngExport.h"
#include "settings/MonitorSettings.h"

namespace qv::cli {

namespace {

constexpr const char* kInterfacePrefix = "qvort-";

struct ExtcapOptions {
    bool interfaces = false, dlts = false, config = false, capture = false;
    std::string version, interface, fifo, filter;
    std::string payload = "modbus-rtu";
    // Line settings; empty: the unit's own stays.
    std::string sdRate, rdRate, dataBits, parity, stopBits, protocol;
};

// A line setting the interface offers: its option, the status file's key and
// the shown name.
struct LineArg {
    const char* call;
    const char* key;
    const char* display;
    std::string ExtcapOptions::*value;
};
constexpr LineArg kLineArgs[] = {
    {"--sd-rate", "SD_Baudrate", "SD rate (bit/s)", &ExtcapOptions::sdRate},
    {"--rd-rate", "RD_Baudrate", "RD rate (bit/s)", &ExtcapOptions::rdRate},
    {"--data-bits", "DataLen", "Data bits", &ExtcapOptions::dataBits},
    {"--parity", "Parity", "Parity", &ExtcapOptions::parity},
    {"--stop-bits", "StopBit", "Stop bits", &ExtcapOptions::stopBits},
    {"--protocol", "Protocol", "Protocol", &ExtcapOptions::protocol},
};

std::string SerialOf(const std::string& interface) {
    const std::string prefix = kInterfacePrefix;
    if (!interface.starts_with(prefix))
        throw CommandError{kExitUsage, "no such interface: " + interface};
    return interface.substr(prefix.size());
}

void ListInterfaces(DeviceAccess& devices) {
    std::printf("extcap {version=%s}\n", QVORT_VERSION);
    UnitList list(ToolSelection());
    list.Reload(devices.CreateDevice().get());
    for (const UnitRow& r : list.Rows(false)) {
        if (r.attachedMark.empty() && !r.noAccess) continue;
        std::printf("interface {value=%s%s}{display=QV-ORT %s %s%s%s}\n", kInterfacePrefix,
                    r.serial.c_str(), r.model.c_str(), r.serial.c_str(), r.name.empty() ? "" : " ",
                    r.name.c_str());
    }
}

void ListConfig(DeviceAccess& devices, const std::string& serial) {
    int n = 0;
    for (const LineArg& a : kLineArgs) {
        const MonitorKey* key = FindMonitorKey(a.key);
        const std::string current = UnitSettingText(devices, serial, a.key);
        if (key->kind != MonitorKey::Kind::Word) {
            std::printf("arg {number=%d}{call=%s}{display=%s}{type=string}{default=%s}"
                        "{tooltip=%s of the unit's settings}{group=Line}\n",
                        n, a.call, a.display, current.c_str(), a.key);
        } else {
            std::printf("arg {number=%d}{call=%s}{display=%s}{type=selector}"
                        "{tooltip=%s of the unit's settings}{group=Line}\n",
                        n, a.call, a.display, a.key);
            for (const CodeWord& w : key->words)
                std::printf("value {arg=%d}{value=%s}{display=%s}{default=%s}\n", n,
                            std::string(w.word).c_str(), std::string(w.word).c_str(),
                            w.word == current ? "true" : "false");
        }
        ++n;
    }
    std::printf("arg {number=%d}{call=--payload}{display=Payload}{type=selector}"
                "{tooltip=What the messages carry (a message ends at 3.5 idle character "
                "times)}{group=Capture}\n",
                n);
    for (const char* p : {"none", "modbus-rtu", "dnp3"})
        std::printf("value {arg=%d}{value=%s}{display=%s}{default=%s}\n", n, p, p,
                    std::string_view(p) == "modbus-rtu" ? "true" : "false");
}

// Wireshark shows whatever its capture program wrote to standard error as an
// error when the capture ends, so while the run goes its notes (the capture's
// folder, the counters, the questions answered) go to standard output, which
// it does not show; a failure thrown out of the run reaches standard error.
class NotesToStandardOutput {
  public:
    NotesToStandardOutput() : m_stderr(::dup(2)) {
        std::fflush(stderr);
        if (m_stderr >= 0) ::dup2(1, 2);
    }
    ~NotesToStandardOutput() {
        std::cerr.flush();
        std::fflush(stderr);
        if (m_stderr < 0) return;
        ::dup2(m_stderr, 2);
        ::close(m_stderr);
    }
    NotesToStandardOutput(const NotesToStandardOutput&) = delete;
    NotesToStandardOutput& operator=(const NotesToStandardOutput&) = delete;

  private:
    int m_stderr;
};

// Wireshark stops its capture program once the fifo ends, so a failure must
// be on standard error before then: a second writer holds the fifo open
// until the program exits, after the failure is written.
void HoldFifoUntilExit(const std::string& fifo) {
    struct stat st {};
    if (::stat(fifo.c_str(), &st) != 0 || !S_ISFIFO(st.st_mode)) return;
    (void)::open(fifo.c_str(), O_WRONLY | O_CLOEXEC);  // closed by the exit
}

void Capture(DeviceAccess& devices, const ExtcapOptions& o) {
    const std::string serial = SerialOf(o.interface);
    if (o.fifo.empty()) throw CommandError{kExitUsage, "--capture needs --fifo"};
    std::vector<std::string> pairs;
    for (const LineArg& a : kLineArgs)
        if (!(o.*a.value).empty()) pairs.push_back(std::string(a.key) + "=" + (o.*a.value));
    HoldFifoUntilExit(o.fifo);
    NotesToStandardOutput notes;
    SetUnitSettings(devices, serial, pairs);
    RecordStream(devices, serial, o.fifo, o.payload);
}

}  // namespace

void AddExtcapCommands(CLI::App& app, DeviceAccess& devices) {
    auto* ext = app.add_subcommand(
        "extcap", "The unit as a capture interface of Wireshark (run as qvort-extcap)");
    ext->allow_extras();
    auto o = std::make_shared<ExtcapOptions>();
    ext->add_flag("--extcap-interfaces", o->interfaces, "List the attached units");
    ext->add_flag("--extcap-dlts", o->dlts, "The interface's link type");
    ext->add_flag("--extcap-config", o->config, "The interface's settings");
    ext->add_flag("--capture", o->capture, "Record, writing the pcapng stream to --fifo");
    ext->add_option("--extcap-version", o->version, "The asking program's version")
        ->expected(0, 1);
    ext->add_option("--extcap-interface", o->interface, "The interface (qvort-SERIAL)");
    ext->add_option("--fifo", o->fifo, "Where the pcapng stream goes");
    ext->add_option("--extcap-capture-filter", o->filter, "Not used: every record is taken");
    ext->add_option("--payload", o->payload, "none, modbus-rtu or dnp3")
        ->check(CLI::IsMember({"none", "modbus-rtu", "dnp3"}));
    for (const LineArg& a : kLineArgs)
        ext->add_option(a.call, (*o).*a.value, std::string("The unit's ") + a.key);
    ext->callback([&devices, o] {
        if (o->interfaces) return ListInterfaces(devices);
        if (o->interface.empty())
            throw CommandError{kExitUsage, "--extcap-interface names no interface"};
        if (o->dlts) {
            SerialOf(o->interface);
            std::printf("dlt {number=%d}{name=RTAC_SERIAL}{display=Serial line (RTAC serial)}\n",
                        kLinkTypeRtacSerial);
            return;
        }
        if (o->config) return ListConfig(devices, SerialOf(o->interface));
        if (o->capture) return Capture(devices, *o);
        throw CommandError{kExitUsage, "give --extcap-interfaces, --extcap-dlts, --extcap-config "
                                       "or --capture"};
    });
}

}  // namespace qv::cli
