#include "sim/ReplaySource.h"

#include <cctype>
#include <cmath>
#include <sstream>

#include "capture/CaptureRecord.h"
#include "core/FileUtil.h"

namespace qv::sim {

namespace {

bool ParseBytes(std::istringstream& in, std::vector<uint8_t>& out) {
    std::string tok;
    while (in >> std::ws && !in.eof()) {
        if (in.peek() == '"') {
            in.get();
            std::string s;
            if (!std::getline(in, s, '"')) return false;
            out.insert(out.end(), s.begin(), s.end());
            continue;
        }
        in >> tok;
        if (tok.size() != 2 || !std::isxdigit(static_cast<unsigned char>(tok[0])) ||
            !std::isxdigit(static_cast<unsigned char>(tok[1])))
            return false;
        out.push_back(static_cast<uint8_t>(std::stoi(tok, nullptr, 16)));
    }
    return !out.empty();
}

bool LineBit(const std::string& name, uint8_t& bit) {
    static const std::pair<const char*, uint8_t> kNames[] = {
        {"RS", kLineRs}, {"CS", kLineCs}, {"ER", kLineEr},       {"DR", kLineDr},
        {"CD", kLineCd}, {"CI", kLineCi}, {"EXTIN", kLineExtIn}, {"EXTOUT", kLineExtOut}};
    for (const auto& [n, b] : kNames)
        if (name == n) {
            bit = b;
            return true;
        }
    return false;
}

}  // namespace

ReplaySource::ReplaySource(const LineFormat& format, uint64_t startTicks)
    : m_format(format), m_start(startTicks) {}

bool ReplaySource::Load(const std::string& path, std::string& error) {
    auto text = ReadWholeFile(path);
    if (!text) {
        error = path + ": cannot be read";
        return false;
    }
    if (!Parse(*text, error)) {
        error = path + ":" + error;
        return false;
    }
    return true;
}

bool ReplaySource::Parse(const std::string& text, std::string& error) {
    std::istringstream lines(text);
    std::string line;
    int number = 0;
    uint64_t last = 0;
    uint8_t breaks = 0;
    m_events.clear();
    while (std::getline(lines, line)) {
        ++number;
        auto fail = [&](const std::string& why) {
            error = std::to_string(number) + ": " + why;
            return false;
        };
        std::istringstream in(line);
        std::string timeText, what;
        if (!(in >> timeText) || timeText[0] == '#') continue;
        double micros = 0;
        try {
            size_t used = 0;
            micros = std::stod(timeText, &used);
            if (used != timeText.size() || !(micros >= 0) || micros > 8.64e10)
                return fail("bad time");
        } catch (...) {
            return fail("bad time");
        }
        uint64_t t = m_start + static_cast<uint64_t>(std::llround(micros * 100.0));
        if (t < last) return fail("goes back in time");
        if (!(in >> what)) return fail("nothing after the time");
        LineEvent ev;
        ev.time = t;
        if (what == "SD" || what == "RD" || what == "PARITY" || what == "FRAMING" ||
            what == "OVERRUN") {
            uint8_t flags = 0;
            std::string dir = what;
            if (what == "PARITY" || what == "FRAMING" || what == "OVERRUN") {
                flags = what == "PARITY"    ? kFlagParityError
                        : what == "FRAMING" ? kFlagFramingError
                                            : kFlagOverrunError;
                if (!(in >> dir) || (dir != "SD" && dir != "RD")) return fail("SD or RD expected");
            }
            std::vector<uint8_t> bytes;
            if (!ParseBytes(in, bytes)) return fail("bytes expected (hex pairs or \"text\")");
            bool sd = dir == "SD";
            uint64_t step = CharacterTicks(sd ? m_format.sdBaudrate : m_format.rdBaudrate,
                                           m_format.dataLen, m_format.parity, m_format.stopBit);
            for (size_t i = 0; i < bytes.size(); ++i) {
                ev.kind = LineEventKind::kData;
                ev.header = MakeHeader(sd ? RecordKind::kSdData : RecordKind::kRdData, flags);
                ev.value = bytes[i];
                ev.time = t + i * step;
                m_events.push_back(ev);
            }
            last = ev.time;
        } else if (what == "LINES") {
            uint8_t state = 0;
            std::string name;
            while (in >> name) {
                uint8_t bit = 0;
                if (name == "-") continue;
                if (!LineBit(name, bit)) return fail("unknown line " + name);
                state |= bit;
            }
            ev.kind = LineEventKind::kLines;
            ev.value = state;
            m_events.push_back(ev);
            last = t;
        } else if (what == "BREAK") {
            std::string dir, on;
            if (!(in >> dir >> on) || (dir != "SD" && dir != "RD") || (on != "ON" && on != "OFF"))
                return fail("BREAK SD|RD ON|OFF expected");
            uint8_t bit = dir == "SD" ? kEventSdBreak : kEventRdBreak;
            breaks = on == "ON" ? (breaks | bit) : (breaks & static_cast<uint8_t>(~bit));
            ev.kind = LineEventKind::kEvent;
            ev.value = breaks;
            ev.header = MakeHeader(RecordKind::kEvent);
            m_events.push_back(ev);
            last = t;
        } else {
            return fail("unknown event " + what);
        }
    }
    m_next = 0;
    return true;
}

bool CheckReplayScript(const std::string& path, std::string& error) {
    LineFormat fastest;
    // One tick per character (the least a character takes), whatever the
    // format the computer sends later.
    fastest.sdBaudrate = fastest.rdBaudrate = 1e12;
    ReplaySource probe(fastest, 0);
    return probe.Load(path, error);
}

bool ReplaySource::Next(LineEvent& ev, const std::atomic<bool>& stop) {
    if (stop || m_next >= m_events.size()) return false;
    ev = m_events[m_next++];
    return true;
}

}  // namespace qv::sim
