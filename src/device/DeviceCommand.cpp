#include "device/DeviceCommand.h"

#include <algorithm>
#include <cstring>

namespace qv {

void PutBe32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v >> 24);
    p[1] = static_cast<uint8_t>(v >> 16);
    p[2] = static_cast<uint8_t>(v >> 8);
    p[3] = static_cast<uint8_t>(v);
}

uint32_t GetBe32(const uint8_t* p) {
    return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
           (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}

void RightAlignTriggerString(std::array<uint8_t, 16>& pattern, std::array<uint8_t, 16>& scopes) {
    constexpr uint8_t kScopeEnd = 5;
    auto end = std::find(scopes.begin(), scopes.end(), kScopeEnd);
    if (end == scopes.end()) return;
    size_t k = static_cast<size_t>(end - scopes.begin());
    std::array<uint8_t, 16> p{}, s{};
    s.fill(kScopeEnd);
    for (size_t i = 0; i < k; ++i) {
        p[16 - k + i] = pattern[i];
        s[16 - k + i] = scopes[i];
    }
    pattern = p;
    scopes = s;
}

int MasterSlaveCode(int mode) {
    switch (mode) {
        case 0:
            return 0;
        case 1:
            return 2;
        case 2:
            return 1;
        default:
            return -1;
    }
}

DeviceCommand::DeviceCommand(std::shared_ptr<UsbDevice> device) : m_device(std::move(device)) {}

void DeviceCommand::SetParam(int i, uint32_t value) {
    if (!m_device || i < 1 || static_cast<size_t>(4 * i + 4) > kPacketBufferSize) return;
    PutBe32(m_device->CommandBuffer().data() + 4 * i, value);
}

void DeviceCommand::SetPayload(const uint8_t* data, size_t n) {
    if (!m_device) return;
    n = std::min(n, kPacketBufferSize - 4);
    std::memcpy(m_device->CommandBuffer().data() + 4, data, n);
}

int DeviceCommand::Send(size_t length, unsigned timeoutMs) {
    if (!m_device) return -1;
    auto& buf = m_device->CommandBuffer();
    size_t n = std::min(length, kPacketBufferSize);
    bool changed = timeoutMs != kTimeoutCommandMs && m_device->SetTimeout(kEpCommand, timeoutMs);
    TransferStatus st = m_device->Transfer(kEpCommand, buf.data(), n);
    if (changed) m_device->SetTimeout(kEpCommand, kTimeoutCommandMs);
    return st == TransferStatus::kOk && n == std::min(length, kPacketBufferSize) ? 0 : -1;
}

int DeviceCommand::ReadReply() {
    m_replyLength = 0;
    if (!m_device) return -1;
    auto& reply = m_device->ReplyBuffer();
    size_t n = reply.size();
    TransferStatus st = m_device->Transfer(kEpReply, reply.data(), n);
    if (st != TransferStatus::kOk || n < 1) return -1;
    m_replyLength = n;
    return 0;
}

int DeviceCommand::Query(uint8_t cmd, uint8_t sub, size_t paramLength) {
    if (!m_device) return -1;
    auto& buf = m_device->CommandBuffer();
    buf[0] = kPacketMagic0;
    buf[1] = kPacketMagic1;
    buf[2] = cmd;
    buf[3] = sub;
    if (Send(4 + paramLength) != 0) return -1;
    return ReadReply();
}

int DeviceCommand::Query4(uint8_t cmd, uint8_t sub, uint32_t p1, uint32_t p2, uint32_t p3,
                          uint32_t p4) {
    if (!m_device) return -1;
    SetParam(1, p1);
    SetParam(2, p2);
    SetParam(3, p3);
    SetParam(4, p4);
    return Query(cmd, sub, 16);
}

uint32_t DeviceCommand::ReplyWord(int i) const {
    // A word the last reply did not carry reads as 0, never as a stale word of
    // an earlier, longer reply.
    if (!m_device || i < 0 || static_cast<size_t>(4 * i + 4) > m_replyLength) return 0;
    return GetBe32(m_device->ReplyBuffer().data() + 4 * i);
}

int DeviceCommand::SendControlWord(uint32_t value) {
    if (!m_device) return -1;
    uint8_t word[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                       static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
    size_t n = sizeof word;
    return m_device->Transfer(kEpControlWord, word, n) == TransferStatus::kOk && n == 4 ? 0 : -1;
}

int DeviceCommand::ReadClocks(uint32_t& monitoringTime, uint32_t& clock) {
    if (Query(kCmdReadClock, 0, 0) != 0) return -1;
    monitoringTime = ReplyWord(1);
    clock = ReplyWord(2);
    return 0;
}

int DeviceCommand::SetClock(uint32_t secondsSince1970) {
    return Query4(kCmdSetClock, 0, secondsSince1970);
}

int DeviceCommand::Stop() {
    if (Query4(kCmdStop, 0) != 0) return -1;
    return SendControlWord();
}

int DeviceCommand::StartToComputer() {
    if (SendControlWord() != 0) return -1;
    return Query4(kCmdStart, kSubStartToComputer);
}

int DeviceCommand::StartToCard() {
    return Query4(kCmdStart, kSubStartToCard);
}

int DeviceCommand::StartCardRetrieval() {
    if (SendControlWord() != 0) return -1;
    return Query4(kCmdStart, kSubStartRetrieval);
}

int DeviceCommand::SetMasterSlave(int mode, int second) {
    int code = MasterSlaveCode(mode);
    if (code < 0) return -1;
    return Query4(kCmdMasterSlave, second == 1 ? 1 : 0, static_cast<uint32_t>(code));
}

int DeviceCommand::SendLineConfig(const std::array<uint32_t, 7>& words) {
    if (!m_device) return -1;
    for (int i = 0; i < 7; ++i)
        SetParam(i + 1, words[static_cast<size_t>(i)]);
    return Query(kCmdLineConfig, 0, 28);
}

int DeviceCommand::SendSamplingCycles(const std::array<uint32_t, 10>& words) {
    if (!m_device) return -1;
    for (int i = 0; i < 10; ++i)
        SetParam(i + 1, words[static_cast<size_t>(i)]);
    return Query(kCmdSampling, 0, 40);
}

int DeviceCommand::SendTriggerString(int index, std::array<uint8_t, 16> pattern,
                                     std::array<uint8_t, 16> scopes) {
    if (!m_device || index < 0 || index > 7) return -1;
    RightAlignTriggerString(pattern, scopes);
    uint8_t payload[32];
    std::memcpy(payload, pattern.data(), 16);
    std::memcpy(payload + 16, scopes.data(), 16);
    SetPayload(payload, sizeof payload);
    uint8_t sub = static_cast<uint8_t>(index < 4 ? index : 16 + (index - 4));
    return Query(kCmdTriggerString, sub, 32);
}

int DeviceCommand::SendTrigger(int trigger, const std::array<uint32_t, 6>& words) {
    if (!m_device || trigger < 1 || trigger > 5) return -1;
    for (int i = 0; i < 6; ++i)
        SetParam(i + 1, words[static_cast<size_t>(i)]);
    return Query(kCmdTrigger, static_cast<uint8_t>(trigger - 1), 24);
}

int DeviceCommand::SendTimers(const std::array<uint32_t, 4>& w) {
    return Query4(kCmdTimers, 0, w[0], w[1], w[2], w[3]);
}

int DeviceCommand::SendCounters(const std::array<uint32_t, 4>& w) {
    return Query4(kCmdCounters, 0, w[0], w[1], w[2], w[3]);
}

int DeviceCommand::QueryRunStatus(uint32_t& waiting) {
    if (Query4(kCmdQuery, kSubRunStatus) != 0) return -1;
    waiting = ReplyWord(1);
    return 0;
}

int DeviceCommand::QueryVersion(std::array<uint32_t, 3>& words) {
    if (Query4(kCmdQuery, kSubVersion) != 0) return -1;
    for (int i = 0; i < 3; ++i)
        words[static_cast<size_t>(i)] = ReplyWord(i + 1);
    return 0;
}

int DeviceCommand::QueryState(uint32_t& bits) {
    if (Query4(kCmdQuery, kSubState) != 0) return -1;
    bits = ReplyWord(1);
    return 0;
}

int DeviceCommand::QueryCardFigures(std::array<uint32_t, 7>& words) {
    if (Query4(kCmdQuery, kSubCardFigures) != 0) return -1;
    for (int i = 0; i < 7; ++i)
        words[static_cast<size_t>(i)] = ReplyWord(i + 1);
    return 0;
}

int DeviceCommand::SetCardMemoryMode(bool fixMemory) {
    uint32_t p1 = 0x80000000u | (fixMemory ? 0u : 0x40000000u);
    return Query4(kCmdCardMode, 0, p1);
}

long DeviceCommand::ReadCardBlocks(uint32_t address, uint32_t blocks, std::vector<uint8_t>& out) {
    out.clear();
    if (Query4(kCmdCardBlocks, kSubCardRead, address, blocks) != 0) return -1;
    uint8_t block[kPacketBufferSize];
    for (uint32_t i = 0; i < blocks; ++i) {
        size_t n = sizeof block;
        if (m_device->Transfer(kEpReply, block, n) != TransferStatus::kOk || n != sizeof block)
            break;
        out.insert(out.end(), block, block + n);
    }
    return static_cast<long>(out.size());
}

long DeviceCommand::WriteCardBlocks(uint32_t address, const uint8_t* data, uint32_t blocks) {
    if (Query4(kCmdCardBlocks, kSubCardWrite, address, blocks) != 0) return -1;
    long written = 0;
    auto& buf = m_device->CommandBuffer();
    for (uint32_t i = 0; i < blocks; ++i) {
        // The block travels in the command buffer, as the packets do.
        std::memcpy(buf.data(), data + static_cast<size_t>(i) * kPacketBufferSize,
                    kPacketBufferSize);
        if (Send(kPacketBufferSize, kTimeoutDataBlockMs) != 0 || ReadReply() != 0) break;
        written += static_cast<long>(kPacketBufferSize);
    }
    return written;
}

}  // namespace qv
