#include "sim/LineSource.h"

#include "sim/FloodSource.h"
#include "sim/ReplaySource.h"
#include "sim/TtySource.h"

namespace qv::sim {

namespace {

// The seeded traffic model. The instrument's own triggers decide about
// trigger events, so the model is asked for none.
class SynthSource : public ILineSource {
  public:
    SynthSource(const LineFormat& f, uint64_t seed, uint64_t startTicks)
        : m_traffic([&] {
              TrafficOptions o;
              o.protocol = f.protocol;
              o.sdBaudrate = f.sdBaudrate;
              o.rdBaudrate = f.rdBaudrate;
              o.dataLen = f.dataLen;
              o.parity = f.parity;
              o.stopBit = f.stopBit;
              o.seed = seed;
              o.startTicks = startTicks;
              o.triggerOneIn = 0;
              return o;
          }()) {}
    bool Next(LineEvent& ev, const std::atomic<bool>& stop) override {
        if (stop) return false;
        ev = m_traffic.Next();
        return true;
    }
    uint8_t InitialLines() const override { return 0; }
    bool Live() const override { return false; }

  private:
    LineTraffic m_traffic;
};

}  // namespace

bool ParseSourceSelection(const std::string& text, SourceSelection& out, std::string& error) {
    out = SourceSelection{};
    // "synth" and "flood", each with an optional ":SEED".
    for (auto [name, kind] : {std::pair{"synth", SourceSelection::Kind::kSynth},
                              std::pair{"flood", SourceSelection::Kind::kFlood}}) {
        const std::string word = name;
        if (text != word && !text.starts_with(word + ":")) continue;
        out.kind = kind;
        if (text == word) return true;
        try {
            size_t used = 0;
            const std::string seed = text.substr(word.size() + 1);
            out.seed = std::stoull(seed, &used, 0);
            if (used == seed.size() && !seed.empty()) return true;
        } catch (...) {
        }
        error = word + ":SEED needs a whole number";
        return false;
    }
    if (text.starts_with("replay:") && text.size() > 7) {
        out.kind = SourceSelection::Kind::kReplay;
        out.path = text.substr(7);
        return true;
    }
    if (text.starts_with("tty:")) {
        auto comma = text.find(',', 4);
        if (comma != std::string::npos && comma > 4 && comma + 1 < text.size()) {
            out.kind = SourceSelection::Kind::kTty;
            out.sdPath = text.substr(4, comma - 4);
            out.rdPath = text.substr(comma + 1);
            return true;
        }
        error = "tty:SD_DEVICE,RD_DEVICE names two devices";
        return false;
    }
    error = "unknown source '" + text + "' (synth[:SEED], flood[:SEED], replay:FILE, tty:SD,RD)";
    return false;
}

std::unique_ptr<ILineSource> MakeLineSource(const SourceSelection& sel, const LineFormat& format,
                                            uint64_t startTicks, const LiveClockAnchor& clock,
                                            std::string& error) {
    switch (sel.kind) {
        case SourceSelection::Kind::kSynth:
            return std::make_unique<SynthSource>(format, sel.seed, startTicks);
        case SourceSelection::Kind::kFlood:
            return std::make_unique<FloodSource>(format, sel.seed, startTicks);
        case SourceSelection::Kind::kReplay: {
            auto s = std::make_unique<ReplaySource>(format, startTicks);
            if (!s->Load(sel.path, error)) return nullptr;
            return s;
        }
        case SourceSelection::Kind::kTty: {
            auto s = std::make_unique<TtySource>(format, clock);
            if (!s->Open(sel.sdPath, sel.rdPath, error)) return nullptr;
            return s;
        }
    }
    return nullptr;
}

}  // namespace qv::sim
