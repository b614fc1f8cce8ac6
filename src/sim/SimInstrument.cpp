#include "sim/SimInstrument.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "device/SimWire.h"
#include "sim/SimProtocol.h"

namespace qv::sim {

namespace {

using namespace simwire;
using namespace wire;

// Replies carry word 0 and 15 more words, 64 bytes in all.
constexpr size_t kReplyWords = 16;

std::u16string Utf16(const std::string& s) {
    return std::u16string(s.begin(), s.end());
}

}  // namespace

SimInstrument::SimInstrument(SimConfig config)
    : m_cfg(std::move(config)),
      m_card(m_cfg.cardFile, m_cfg.cardBlocks,
             static_cast<uint32_t>(std::time(nullptr) + m_cfg.clockOffset)),
      m_clockOffset(m_cfg.clockOffset),
      m_clockFixed(m_cfg.clockFixed),
      m_monitorOffset(m_cfg.monitorClockOffset),
      m_master(m_cfg.master) {}

SimInstrument::~SimInstrument() {
    std::unique_ptr<SimRun> run;
    {
        std::lock_guard lock(m_mutex);
        run = std::move(m_run);
    }
}

bool SimInstrument::AccessDenied() const {
    return m_cfg.accessDenied;
}

DeviceDescriptors SimInstrument::Descriptors() const {
    DeviceDescriptors d;
    d.vendorId = kQvVendorId;
    d.productId = m_cfg.productId;
    d.release = m_cfg.release;
    d.manufacturer = u"QV-ORT emulator";
    d.product = Utf16(ModelName(m_cfg.productId));
    d.serial = Utf16(m_cfg.serial);
    for (uint8_t a : {kEpControlWord, kEpCommand, kEpReply, kEpStream})
        d.endpoints.push_back(EndpointInfo{a, TransferType::kBulk, 512, 0});
    return d;
}

uint32_t SimInstrument::Clock() const {
    if (m_clockFixed >= 0) return static_cast<uint32_t>(m_clockFixed);
    return static_cast<uint32_t>(std::time(nullptr) + m_clockOffset);
}

uint32_t SimInstrument::MonitoringClock() const {
    return static_cast<uint32_t>(static_cast<int64_t>(Clock()) + m_monitorOffset);
}

uint32_t SimInstrument::StateBits() {
    std::lock_guard lock(m_mutex);
    return StateBitsLocked();
}

uint32_t SimInstrument::StateBitsLocked() {
    uint32_t bits = 0;
    if (m_run && m_run->Mode() != RunMode::kRetrieval) {
        bits |= m_run->RunBits();
        if (m_run->Mode() == RunMode::kToCard) bits |= kStateToCard;
    }
    if (m_cfg.acPower) bits |= kStateAcPower;
    if (m_cfg.cardInserted) {
        bits |= kStateCardInserted;
        if (m_cfg.cardFault || !m_card.Ok()) bits |= kStateCardFault;
        if (m_cfg.cardIndexDamaged) bits |= kStateCardIndexDamaged;
    }
    if (m_master) bits |= kStateMaster;
    return bits;
}

uint64_t SimInstrument::ItemsSent() {
    std::lock_guard lock(m_mutex);
    return ItemsSentLocked();
}

uint64_t SimInstrument::RecordsSent() {
    std::lock_guard lock(m_mutex);
    return m_recordsSentBefore + (m_run ? m_run->RecordsSent() : 0);
}

uint64_t SimInstrument::ItemsSentLocked() {
    return m_itemsSentBefore + (m_run ? m_run->ItemsSent() : 0);
}

void SimInstrument::SetAttached(bool attached) {
    {
        std::lock_guard lock(m_mutex);
        m_attached = attached;
        if (!attached) {
            m_replies.clear();
            m_writeBlocks = 0;
        }
    }
    m_cv.notify_all();
}

void SimInstrument::Reply(uint8_t cmd, uint8_t sub, std::initializer_list<uint32_t> words,
                          uint32_t status) {
    std::string r(kReplyWords * 4, '\0');
    auto* p = reinterpret_cast<uint8_t*>(r.data());
    wire::PutBe32(p, (uint32_t{cmd} << 24) | (uint32_t{sub} << 16) | status);
    size_t i = 1;
    for (uint32_t w : words) {
        if (i >= kReplyWords) break;
        wire::PutBe32(p + 4 * i++, w);
    }
    m_replies.push_back(std::move(r));
}

RunSetup SimInstrument::Setup() const {
    RunSetup s;
    s.line = m_line;
    s.triggers.patterns = m_patterns;
    s.triggers.scopes = m_scopes;
    s.triggers.words = m_triggers;
    s.triggers.times = m_timers;
    s.triggers.counts = m_counters;
    // The computer's clock to full resolution, and the steady clock with it:
    // a live source stamps what it hears on the computer's time.
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    s.startSteady = std::chrono::steady_clock::now();
    s.startClock = m_clockFixed >= 0 ? static_cast<uint32_t>(m_clockFixed + m_monitorOffset)
                                     : static_cast<uint32_t>(now.tv_sec + m_clockOffset + m_monitorOffset);
    s.startNanos = m_clockFixed >= 0 ? 0 : static_cast<uint32_t>(now.tv_nsec);
    return s;
}

void SimInstrument::StopRun() {
    if (!m_run) return;
    m_itemsSentBefore += m_run->ItemsSent();
    m_recordsSentBefore += m_run->RecordsSent();
    // The run's thread may wait for the buffer; it notifies without our lock,
    // so ending it here under the lock cannot deadlock.
    m_run.reset();
}

bool SimInstrument::StartRun(RunMode mode) {
    StopRun();
    SimRun::Options opt;
    opt.rateMax = m_cfg.rateMax;
    opt.bufferBytes = m_cfg.bufferBytes;
    RunSetup setup = Setup();
    auto run = std::make_unique<SimRun>(mode, setup, m_cfg.source, opt, m_card,
                                        [this] { m_cv.notify_all(); });
    if (!run->SourceError().empty()) {
        // The instrument stays stopped, which is what the computer sees; the
        // reason is for whoever runs the emulator.
        std::fprintf(stderr, "qvsim: the run cannot start: %s\n", run->SourceError().c_str());
        return false;
    }
    if (mode == RunMode::kToCard)
        m_card.BeginRun(setup.startClock, DecodeLineConfig(setup.line).protocol);
    m_run = std::move(run);
    m_run->Begin();
    return true;
}

void SimInstrument::Command(const uint8_t* p, size_t n) {
    const uint8_t cmd = p[2], sub = p[3];
    auto word = [&](int i) -> uint32_t {
        size_t off = static_cast<size_t>(4 * i);
        return off + 4 <= n ? Be32(p + off) : 0;
    };
    const wire::Command* row = FindCommand(cmd, sub);
    // An unknown command, or a packet shorter than its parameters, is
    // answered and refused; the instrument never reads words it was not sent.
    if (!row || n < 4u + row->paramBytes) {
        Reply(cmd, sub, {}, kRefused);
        return;
    }
    switch (row->op) {
        case Op::kReadClock: {
            Reply(cmd, sub, {MonitoringClock(), Clock()});
            return;
        }
        case Op::kSetClock:
            m_monitorOffset = 0;
            if (m_clockFixed >= 0)
                m_clockFixed = word(1);
            else
                m_clockOffset =
                    static_cast<int64_t>(word(1)) - static_cast<int64_t>(std::time(nullptr));
            break;
        case Op::kStop:
            StopRun();
            break;
        case Op::kStartToComputer:
            if (!StartRun(RunMode::kToComputer)) {
                Reply(cmd, sub, {}, kRefused);
                return;
            }
            break;
        case Op::kStartToCard:
            // Storing in the card needs external power and a sound card.
            if (!m_cfg.acPower || !m_cfg.cardInserted || m_cfg.cardFault ||
                !StartRun(RunMode::kToCard)) {
                Reply(cmd, sub, {}, kRefused);
                return;
            }
            break;
        case Op::kStartRetrieval:
            if (!StartRun(RunMode::kRetrieval)) {
                Reply(cmd, sub, {}, kRefused);
                return;
            }
            break;
        case Op::kMasterSlave:
            m_master = word(1) == kMasterCode && sub == 1;
            break;
        case Op::kLineConfig:
            for (int i = 0; i < 7; ++i)
                m_line[static_cast<size_t>(i)] = word(i + 1);
            break;
        case Op::kSampling:
            for (int i = 0; i < 10; ++i)
                m_sampling[static_cast<size_t>(i)] = word(i + 1);
            break;
        case Op::kSdString:
        case Op::kRdString: {
            // SD1..SD4 keep places 0..3, RD1..RD4 places 4..7.
            size_t index = (row->op == Op::kSdString ? 0u : 4u) + (sub - row->subFirst);
            std::memcpy(m_patterns[index].data(), p + 4, 16);
            std::memcpy(m_scopes[index].data(), p + 20, 16);
            break;
        }
        case Op::kTrigger:
            for (int i = 0; i < 6; ++i)
                m_triggers[sub][static_cast<size_t>(i)] = word(i + 1);
            break;
        case Op::kTimers:
            for (int i = 0; i < 4; ++i)
                m_timers[static_cast<size_t>(i)] = word(i + 1);
            break;
        case Op::kCounters:
            for (int i = 0; i < 4; ++i)
                m_counters[static_cast<size_t>(i)] = word(i + 1);
            break;
        case Op::kCardMode:
            m_cardMode = word(1);
            break;
        case Op::kRunStatus: {
            uint32_t waiting = m_run ? m_run->Waiting() : 0;
            uint32_t runBits = m_run ? m_run->RunBits() : 0;
            Reply(cmd, sub, {waiting, runBits, static_cast<uint32_t>(ItemsSentLocked())});
            return;
        }
        case Op::kVersion:
            Reply(cmd, sub, {kSimVersion, kSimFirmware, kSimFpga});
            return;
        case Op::kState:
            Reply(cmd, sub, {StateBitsLocked()});
            return;
        case Op::kCardFigures: {
            auto f = m_card.GetFigures();
            Reply(cmd, sub,
                  {f.minSector, f.maxSector, f.cfStarts, f.ringLaps, f.lastSector, f.created,
                   f.lastWrite});
            return;
        }
        case Op::kCardRead: {
            uint32_t address = word(1), blocks = word(2);
            bool card = CardUsable();
            Reply(cmd, sub, {}, card ? kDone : kRefused);
            uint8_t block[CardMemory::kBlockSize];
            uint32_t read = 0;
            for (; card && read < blocks; ++read) {
                if (!m_card.ReadBlock(address + read, block)) break;
                m_replies.emplace_back(reinterpret_cast<char*>(block), sizeof block);
            }
            // A short answer ends the computer's block reads at once
            // instead of after a read time-out per missing block.
            if (read < blocks) m_replies.emplace_back(4, '\0');
            return;
        }
        case Op::kCardWrite: {
            bool card = CardUsable();
            Reply(cmd, sub, {}, card ? kDone : kRefused);
            if (card) {
                m_writeAddress = word(1);
                m_writeBlocks = word(2);
                m_writeCmd = cmd;
                m_writeSub = sub;
            }
            return;
        }
    }
    Reply(cmd, sub, {});
}

bool SimInstrument::CardUsable() const {
    return m_cfg.cardInserted && !m_cfg.cardFault && m_card.Ok();
}

uint8_t SimInstrument::Out(uint8_t endpoint, const uint8_t* data, size_t n, size_t& taken) {
    taken = 0;
    std::unique_lock lock(m_mutex);
    if (!m_attached) return kStatusGone;
    if (endpoint == kEpControlWord) {
        if (n != 4) return kStatusError;
        uint32_t value = uint32_t{data[0]} | (uint32_t{data[1]} << 8) | (uint32_t{data[2]} << 16) |
                         (uint32_t{data[3]} << 24);
        // The reset word drops stream bytes nobody has read yet.
        if (value == kControlReset && m_run) m_run->Discard();
        taken = n;
        return kStatusOk;
    }
    if (endpoint != kEpCommand) return kStatusError;
    if (m_writeBlocks > 0 && n == CardMemory::kBlockSize) {
        bool ok = m_card.WriteBlock(m_writeAddress, data);
        ++m_writeAddress;
        --m_writeBlocks;
        if (!ok) {
            m_writeBlocks = 0;
            return kStatusError;
        }
        Reply(m_writeCmd, m_writeSub, {});
        taken = n;
        m_cv.notify_all();
        return kStatusOk;
    }
    m_writeBlocks = 0;  // anything else ends a block write
    if (n < 4 || data[0] != kMagic0 || data[1] != kMagic1) return kStatusError;
    Command(data, n);
    taken = n;
    m_cv.notify_all();
    return kStatusOk;
}

uint8_t SimInstrument::In(uint8_t endpoint, size_t maxLength, unsigned timeoutMs,
                          std::string& out, const std::function<bool()>& requesterGone) {
    out.clear();
    std::unique_lock lock(m_mutex);
    auto ready = [&] {
        if (!m_attached) return true;
        if (endpoint == kEpReply) return !m_replies.empty();
        return m_run && m_run->Waiting() > 0;
    };
    if (endpoint != kEpReply && endpoint != kEpStream) return kStatusError;
    if (!m_cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready)) return kStatusTimeout;
    if (!m_attached) return kStatusGone;
    if (requesterGone && requesterGone()) return kStatusGone;
    if (endpoint == kEpReply) {
        out = std::move(m_replies.front());
        m_replies.pop_front();
        if (out.size() > maxLength) out.resize(maxLength);
        return kStatusOk;
    }
    out.resize(maxLength);
    size_t got = m_run->Take(reinterpret_cast<uint8_t*>(out.data()), maxLength);
    out.resize(got);
    return kStatusOk;
}

}  // namespace qv::sim
