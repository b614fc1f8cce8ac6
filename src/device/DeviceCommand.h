// The instrument's command protocol. A command is a packet on endpoint 0x02:
// "Q" "V", the command, the sub-command, then parameter words (unsigned
// 32-bit, most significant byte first). Most commands are answered by one
// read of up to 512 bytes on endpoint 0x86 whose word i is the big-endian
// value at byte 4*i. A 4-byte control word (least significant byte first)
// goes to endpoint 0x01 around starting and stopping.
//
// Every operation returns 0 on success and -1 on failure (no device object, a
// failed send, a failed or empty reply), unless it says otherwise.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "device/UsbDevice.h"

namespace qv {

// Command numbers.
enum : uint8_t {
    kCmdCardBlocks = 8,
    kCmdReadClock = 16,
    kCmdSetClock = 17,
    kCmdStop = 18,
    kCmdStart = 19,
    kCmdMasterSlave = 24,
    kCmdLineConfig = 32,
    kCmdSampling = 33,
    kCmdTriggerString = 48,
    kCmdTrigger = 64,
    kCmdTimers = 65,
    kCmdCounters = 66,
    kCmdQuery = 72,
    kCmdCardMode = 80,
};
// Sub-commands.
enum : uint8_t {
    kSubCardRead = 16,
    kSubCardWrite = 17,
    kSubStartToComputer = 16,
    kSubStartToCard = 32,
    kSubStartRetrieval = 64,
    kSubRunStatus = 0,
    kSubVersion = 1,
    kSubState = 2,
    kSubCardFigures = 3,
};

inline constexpr uint8_t kPacketMagic0 = 0x51;  // "Q"
inline constexpr uint8_t kPacketMagic1 = 0x56;  // "V"
// The only control word in use, sent before starting and when stopping.
inline constexpr uint32_t kControlWordReset = 8;
// Card memory address (in 512-byte blocks) of the settings of a card run,
// and their size: 64 blocks.
inline constexpr uint32_t kCardSettingsAddress = 0x10020;
inline constexpr size_t kCardSettingsBytes = 32768;

// State bits (reply word 1 of command 72/2).
inline constexpr uint32_t kStateRunMask = 0x03;  // 0, 2 stopped; 1 waiting; 3 storing
inline constexpr uint32_t kStateMonitoring = 0x01;
inline constexpr uint32_t kStateToCard = 0x04;
inline constexpr uint32_t kStateAcPower = 0x08;
inline constexpr uint32_t kStateCardInserted = 0x10;
inline constexpr uint32_t kStateCardFault = 0x20;
inline constexpr uint32_t kStateCardIndexDamaged = 0x40;
inline constexpr uint32_t kStateMaster = 0x80;

// Big-endian parameter and reply words.
void PutBe32(uint8_t* p, uint32_t v);
uint32_t GetBe32(const uint8_t* p);

// Right-aligns a trigger string before it is sent: with the first END scope
// (5) at position k, the k pattern bytes and their scopes move to the last k
// positions and the 16 - k leading positions become pattern 0 with scope END.
// Without an END scope both arrays stay as they are.
void RightAlignTriggerString(std::array<uint8_t, 16>& pattern, std::array<uint8_t, 16>& scopes);

// The mode code of command 24 for a mode setting 0, 1, 2 (sent as 0, 2, 1);
// -1 for any other setting.
int MasterSlaveCode(int mode);

class DeviceCommand {
  public:
    // `device` may be null: then every command fails.
    explicit DeviceCommand(std::shared_ptr<UsbDevice> device);

    // --- packet layer
    // Sets parameter word i (1-based) of the command buffer.
    void SetParam(int i, uint32_t value);
    // Copies a payload to offset 4 of the command buffer.
    void SetPayload(const uint8_t* data, size_t n);
    // Sends "QV", cmd, sub and `paramLength` bytes of parameters, then reads
    // one reply (at least 1 byte).
    int Query(uint8_t cmd, uint8_t sub, size_t paramLength);
    // Sets words 1..4 and sends 16 parameter bytes, then reads one reply.
    int Query4(uint8_t cmd, uint8_t sub, uint32_t p1 = 0, uint32_t p2 = 0, uint32_t p3 = 0,
               uint32_t p4 = 0);
    // Reply word i of the last reply; 0 for a word the reply did not carry.
    uint32_t ReplyWord(int i) const;
    size_t ReplyLength() const { return m_replyLength; }
    // Sends the 4-byte control word on endpoint 0x01.
    int SendControlWord(uint32_t value = kControlWordReset);

    // --- commands
    // 16: w1 the monitoring time, w2 the built-in clock, seconds since 1970.
    int ReadClocks(uint32_t& monitoringTime, uint32_t& clock);
    int SetClock(uint32_t secondsSince1970);  // 17
    // 18, then the control word.
    int Stop();
    // Control word, then 19/16.
    int StartToComputer();
    // 19/32.
    int StartToCard();
    // Control word, then 19/64.
    int StartCardRetrieval();
    // 24: mode 0, 1, 2 (others refused without sending); sub 1 when the
    // second setting byte is 1.
    int SetMasterSlave(int mode, int second);
    int SendLineConfig(const std::array<uint32_t, 7>& words);       // 32
    int SendSamplingCycles(const std::array<uint32_t, 10>& words);  // 33
    // 48: string 0..3 are SD1..SD4 (sub 0..3), 4..7 RD1..RD4 (sub 16..19);
    // the arrays are right-aligned here.
    int SendTriggerString(int index, std::array<uint8_t, 16> pattern,
                          std::array<uint8_t, 16> scopes);
    // 64: trigger 1..5 (sub = trigger - 1).
    int SendTrigger(int trigger, const std::array<uint32_t, 6>& words);
    int SendTimers(const std::array<uint32_t, 4>& words);    // 65
    int SendCounters(const std::array<uint32_t, 4>& words);  // 66
    // 72/0: bytes of capture data waiting in the instrument (w1).
    int QueryRunStatus(uint32_t& waiting);
    // 72/1: w1..w3.
    int QueryVersion(std::array<uint32_t, 3>& words);
    // 72/2: the state bits.
    int QueryState(uint32_t& bits);
    // 72/3: w1..w7.
    int QueryCardFigures(std::array<uint32_t, 7>& words);
    // 80: bit 31 (store in card), bit 30 unless the memory mode is FIX.
    int SetCardMemoryMode(bool fixMemory);
    // 8/16: reads up to `blocks` blocks of 512 bytes at block `address`,
    // stopping at a read that does not bring 512 bytes. The bytes read, or -1
    // when the command itself failed.
    long ReadCardBlocks(uint32_t address, uint32_t blocks, std::vector<uint8_t>& out);
    // 8/17: writes `blocks` blocks from `data` (512 each), stopping at the
    // first block that is not sent and answered. The bytes written, or -1.
    long WriteCardBlocks(uint32_t address, const uint8_t* data, uint32_t blocks);

  private:
    int Send(size_t length, unsigned timeoutMs = kTimeoutCommandMs);
    int ReadReply();

    std::shared_ptr<UsbDevice> m_device;
    size_t m_replyLength = 0;
};

}  // namespace qv
