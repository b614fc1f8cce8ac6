#include "sim/SimRun.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>

#include "core/TimeText.h"

namespace qv::sim {

namespace {

// Without events the time conditions are looked at this often.
constexpr auto kIdleTick = std::chrono::milliseconds(100);

}  // namespace

LineFormat DecodeLineConfig(const std::array<uint32_t, 7>& w) {
    LineFormat f;
    switch (w[0] & 0x3000) {
        case 0x2000:
            f.protocol = kProtocolSync;
            break;
        case 0x3000:
            f.protocol = kProtocolHdlc;
            break;
        case 0x1000:
            f.protocol = kProtocolLogic;
            break;
        default:
            f.protocol = kProtocolAsync;
            break;
    }
    f.sdInverted = w[0] & 0x200;
    f.rdInverted = w[0] & 0x100;
    f.msbFirst = w[1] & 0x800000;
    uint32_t len = (w[1] >> 24) & 0xF;
    f.dataLen = len >= 5 && len <= 8 ? static_cast<int>(len) : 8;
    switch ((w[1] >> 20) & 7) {
        case 5:
            f.parity = 1;
            break;
        case 4:
            f.parity = 2;
            break;
        case 7:
            f.parity = 3;
            break;
        case 6:
            f.parity = 4;
            break;
        case 1:
            f.parity = 5;
            break;
        default:
            f.parity = 0;
            break;
    }
    switch ((w[1] >> 16) & 7) {
        case 0:
            f.stopBit = 0;
            break;
        case 3:
            f.stopBit = 15;
            break;
        case 4:
            f.stopBit = 20;
            break;
        default:
            f.stopBit = 10;
            break;
    }
    // A run the computer never configured (or configured with rate 0) runs at
    // 9600 bit/s, so that character times stay finite.
    f.sdBaudrate = w[2] ? w[2] : 9600.0;
    f.rdBaudrate = w[3] ? w[3] : f.sdBaudrate;
    return f;
}

SimRun::SimRun(RunMode mode, RunSetup setup, const SourceSelection& source, Options options,
               CardMemory& card, std::function<void()> notify)
    : m_mode(mode),
      m_setup(setup),
      m_sourceSel(source),
      m_opt(options),
      m_card(card),
      m_notify(std::move(notify)) {
    m_format = DecodeLineConfig(setup.line);
    if (mode == RunMode::kRetrieval) m_format.protocol = m_card.GetFigures().protocol;
    time_t start = static_cast<time_t>(m_setup.startClock);
    tm local{};
    localtime_r(&start, &local);
    m_firstDay = StreamDate{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
    m_startTicks =
        FieldsToTicks(static_cast<uint64_t>(local.tm_hour), static_cast<uint64_t>(local.tm_min),
                      static_cast<uint64_t>(local.tm_sec), 0, 0, 0);
    if (mode != RunMode::kRetrieval) {
        // Opened before the start is answered, so that a port that cannot be
        // opened refuses the start instead of making a silent run.
        const LiveClockAnchor clock{m_startTicks + m_setup.startNanos / 10, m_setup.startSteady};
        m_source = MakeLineSource(m_sourceSel, m_format, m_startTicks, clock, m_sourceError);
    }
}

void SimRun::Begin() {
    if (const char* log = std::getenv("QVSIM_EMIT_LOG"); log && *log && !m_emitLog)
        m_emitLog = std::fopen(log, "a");
    if (!m_thread.joinable() && m_sourceError.empty()) m_thread = std::thread([this] { Loop(); });
}

SimRun::~SimRun() {
    m_stop = true;
    m_space.notify_all();
    if (m_thread.joinable()) m_thread.join();
    if (m_emitLog) std::fclose(m_emitLog);
}

uint32_t SimRun::Waiting() {
    std::lock_guard lock(m_mutex);
    return static_cast<uint32_t>(std::min<size_t>(m_buffer.size(), UINT32_MAX));
}

size_t SimRun::Take(uint8_t* out, size_t max) {
    std::lock_guard lock(m_mutex);
    size_t n = std::min(max, m_buffer.size());
    std::copy_n(m_buffer.begin(), n, out);
    m_buffer.erase(m_buffer.begin(), m_buffer.begin() + static_cast<std::ptrdiff_t>(n));
    // Count the whole items that have now left, carrying a split item over.
    const uint8_t* p = out;
    size_t left = n;
    if (m_sentFillerLeft) {
        size_t skip = static_cast<size_t>(std::min<uint64_t>(m_sentFillerLeft, left));
        m_sentFillerLeft -= skip;
        p += skip;
        left -= skip;
    }
    m_sentPartial.insert(m_sentPartial.end(), p, p + left);
    StreamLayout layout = StreamLayoutFor(m_format.protocol);
    size_t pos = 0;
    while (pos < m_sentPartial.size()) {
        StreamItem it;
        size_t used =
            ParseStreamItem(m_sentPartial.data() + pos, m_sentPartial.size() - pos, layout, it);
        if (used == 0) break;
        ++m_itemsSent;
        CountRecord(it);
        pos += used;
        if (it.type == ItemType::kFiller) {
            size_t body = std::min<size_t>(it.fillerLength, m_sentPartial.size() - pos);
            pos += body;
            m_sentFillerLeft = it.fillerLength - body;
        }
    }
    m_sentPartial.erase(m_sentPartial.begin(),
                        m_sentPartial.begin() + static_cast<std::ptrdiff_t>(pos));
    m_space.notify_all();
    return n;
}

void SimRun::Discard() {
    std::lock_guard lock(m_mutex);
    m_buffer.clear();
    m_sentPartial.clear();
    m_sentFillerLeft = 0;
    m_space.notify_all();
}

// Counts the items that become records of the computer's capture: the first
// record item after a date item is the chunk's leading record and is not
// counted, nothing before the first date is kept, a frame is one record
// however many pieces it came in, and in the frame layout items before the
// first line change after a date are skipped.
void SimRun::CountRecord(const StreamItem& it) {
    const bool frames = StreamLayoutFor(m_format.protocol) == StreamLayout::kWide;
    switch (it.type) {
        case ItemType::kDate:
            m_dateSent = true;
            m_awaitLeading = true;
            break;
        case ItemType::kData:
        case ItemType::kLineChange:
            if (!m_dateSent) break;
            if (m_awaitLeading)
                m_awaitLeading = false;
            else
                ++m_recordsSent;
            break;
        case ItemType::kFrame:
            if (frames && m_dateSent && !m_awaitLeading && !(it.first & 0x10)) ++m_recordsSent;
            break;
        default:
            break;
    }
}

uint64_t SimRun::RecordsSent() {
    std::lock_guard lock(m_mutex);
    return m_recordsSent;
}

uint64_t SimRun::ItemsSent() {
    std::lock_guard lock(m_mutex);
    return m_itemsSent;
}

uint32_t SimRun::ClockAt(uint64_t ticks) const {
    uint64_t since = ticks > m_startTicks ? ticks - m_startTicks : 0;
    return m_setup.startClock + static_cast<uint32_t>(since / kTicksPerSecond);
}

uint32_t SimRun::ClockNow() const {
    auto s =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - m_t0);
    return m_setup.startClock + static_cast<uint32_t>(s.count());
}

void SimRun::Emit(const std::vector<uint8_t>& bytes) {
    if (bytes.empty()) return;
    if (m_mode == RunMode::kToCard) {
        m_card.AppendStream(bytes.data(), bytes.size(), ClockNow());
        return;
    }
    {
        std::unique_lock lock(m_mutex);
        if (m_opt.rateMax || m_mode == RunMode::kRetrieval) {
            // As fast as the reader takes it: wait for room, lose nothing.
            m_space.wait(lock, [&] {
                return m_stop || m_buffer.empty() ||
                       m_buffer.size() + bytes.size() <= m_opt.bufferBytes;
            });
            if (m_stop) return;
        }
        m_buffer.insert(m_buffer.end(), bytes.begin(), bytes.end());
    }
    if (m_emitLog) {
        const auto now = std::chrono::system_clock::now().time_since_epoch();
        std::fprintf(m_emitLog, "%lld %llu\n",
                     static_cast<long long>(
                         std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()),
                     static_cast<unsigned long long>(m_dataEncoded));
        std::fflush(m_emitLog);
    }
    if (m_notify) m_notify();
}

bool SimRun::WaitUntil(uint64_t ticks) {
    if (ticks <= m_startTicks) return !m_stop;
    auto due = m_t0 + std::chrono::nanoseconds((ticks - m_startTicks) * 10);
    std::unique_lock lock(m_mutex);
    return !m_space.wait_until(lock, due, [this] { return m_stop.load(); });
}

void SimRun::EnsureBegun(std::vector<uint8_t>& out, uint64_t ticks, uint8_t lines) {
    if (m_begun) return;
    m_encoder->Begin(out, ticks, lines);
    m_begun = true;
}

void SimRun::ApplyFires(const std::vector<TriggerFire>& fires, uint64_t ticks, uint8_t linesBefore,
                        std::vector<uint8_t>& out) {
    for (const auto& f : fires) {
        if ((f.actions & kActStartStoring) && !m_storing) {
            m_storing = true;
            EnsureBegun(out, ticks, linesBefore);
        }
        if (m_storing) {
            LineEvent t;
            t.kind = LineEventKind::kTrigger;
            t.time = ticks;
            t.value = static_cast<uint8_t>(f.trigger);
            m_encoder->Add(out, t);
        }
        if (f.actions & kActStopStoring) m_storing = false;
    }
}

void SimRun::Handle(const LineEvent& ev, std::vector<uint8_t>& out, size_t waiting) {
    const bool paced = m_mode == RunMode::kToComputer && !m_opt.rateMax;
    if (paced) {
        waiting += out.size();
        if (m_overflow && waiting <= m_opt.bufferBytes / 2) {
            // Items were lost, so the reader's running time is unknown: start
            // afresh with a date item and a leading record.
            m_overflow = false;
            m_encoder = std::make_unique<StreamEncoder>(m_format.protocol, m_firstDay);
            m_begun = false;
        } else if (!m_overflow && waiting >= m_opt.bufferBytes) {
            m_overflow = true;
            if (m_begun) {
                LineEvent t;
                t.kind = LineEventKind::kTrigger;
                t.time = ev.time;
                t.value = kTriggerCodeBufferFull;
                m_encoder->Add(out, t);
            }
        }
    }
    // What this event adds; an overflowing buffer takes none of it.
    const size_t mark = out.size();
    const uint8_t before = m_lines;
    if (ev.kind == LineEventKind::kLines) m_lines = ev.value;
    auto fires = m_triggers.Evaluate(&ev, m_lines, ClockAt(ev.time), m_overflow);
    ApplyFires(fires, ev.time, before, out);
    if (m_storing && ev.kind != LineEventKind::kTrigger) {
        EnsureBegun(out, ev.time, before);
        m_encoder->Add(out, ev);
        if (!m_overflow && (ev.kind == LineEventKind::kData || ev.kind == LineEventKind::kFrame))
            ++m_dataEncoded;
    }
    if (m_overflow) out.resize(mark);
}

uint64_t SimRun::LineClock() const {
    const auto since = std::chrono::steady_clock::now() - m_t0;
    return m_startTicks + static_cast<uint64_t>(
                              std::chrono::duration_cast<std::chrono::nanoseconds>(since).count() / 10);
}

void SimRun::PacedLoop() {
    // The shortest sleep: a busy line is handed over a millisecond at a time.
    constexpr uint64_t kSliceTicks = kTicksPerSecond / 1000;
    const bool toComputer = m_mode == RunMode::kToComputer;
    std::vector<uint8_t> out;
    LineEvent ev;
    bool have = m_source->Next(ev, m_stop);
    while (have && !m_stop) {
        const uint64_t now = LineClock();
        const size_t waiting = toComputer ? Waiting() : 0;
        out.clear();
        while (have && ev.time <= now) {
            Handle(ev, out, waiting);
            have = m_source->Next(ev, m_stop);
        }
        Emit(out);
        if (have && !WaitUntil(std::max(ev.time, now + kSliceTicks))) break;
    }
}

void SimRun::UnpacedLoop() {
    // Bytes go to the reader in pieces of about this size; a live source's
    // events go one by one, since the next may be long in coming.
    constexpr size_t kPiece = 65536;
    const size_t piece = m_source->Live() ? 1 : kPiece;
    std::vector<uint8_t> out;
    LineEvent ev;
    while (!m_stop && m_source->Next(ev, m_stop)) {
        Handle(ev, out, 0);
        if (out.size() >= piece) {
            Emit(out);
            out.clear();
        }
    }
    Emit(out);
}

void SimRun::Retrieve() {
    std::vector<uint8_t> stored = m_card.StoredStream();
    m_storing = true;
    constexpr size_t kPiece = 65536;
    for (size_t pos = 0; pos < stored.size() && !m_stop; pos += kPiece) {
        size_t n = std::min(kPiece, stored.size() - pos);
        Emit(std::vector<uint8_t>(stored.begin() + static_cast<std::ptrdiff_t>(pos),
                                  stored.begin() + static_cast<std::ptrdiff_t>(pos + n)));
    }
}

void SimRun::Loop() {
    m_t0 = std::chrono::steady_clock::now();
    if (m_mode == RunMode::kRetrieval) {
        Retrieve();
        return;
    }
    m_triggers.Reset(m_setup.triggers);
    m_lines = m_source->InitialLines();
    m_encoder = std::make_unique<StreamEncoder>(m_format.protocol, m_firstDay);
    {
        // Triggers without conditions (or a time already reached) act at the start.
        std::vector<uint8_t> out;
        ApplyFires(m_triggers.Evaluate(nullptr, m_lines, m_setup.startClock, false), m_startTicks,
                   m_lines, out);
        Emit(out);
    }
    if (!m_source->Live() && !m_opt.rateMax)
        PacedLoop();
    else
        UnpacedLoop();
    // The source has ended: the clock still moves and time conditions may
    // still come true.
    std::unique_lock lock(m_mutex);
    while (!m_space.wait_for(lock, kIdleTick, [this] { return m_stop.load(); })) {
        lock.unlock();
        std::vector<uint8_t> out;
        ApplyFires(m_triggers.Evaluate(nullptr, m_lines, ClockNow(), m_overflow), LineClock(),
                   m_lines, out);
        Emit(out);
        lock.lock();
    }
}

}  // namespace qv::sim
