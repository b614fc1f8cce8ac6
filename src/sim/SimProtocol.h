// The command protocol as the emulated instrument understands it, written
// down on the instrument's side of the wire and on purpose kept apart from the
// computer's command code: if both sides took their numbers from one header, a
// wrong number there would pass every test and still reach a real instrument
// as an unknown command.
//
// A packet on endpoint 0x02 is "Q" "V", the command, the sub-command, then
// parameter words (unsigned 32-bit, most significant byte first) from byte 4.
// A reply is word 0 (command << 24 | sub-command << 16 | result: 0 done,
// 1 refused) followed by the reply words, big-endian as well.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace qv::sim::wire {

inline constexpr uint8_t kMagic0 = 0x51;  // "Q"
inline constexpr uint8_t kMagic1 = 0x56;  // "V"

// Endpoints of the instrument's interface.
inline constexpr uint8_t kEpControlWord = 0x01;  // out: 4 bytes, least significant first
inline constexpr uint8_t kEpCommand = 0x02;      // out: packets and 512-byte card blocks
inline constexpr uint8_t kEpReply = 0x86;        // in: replies
inline constexpr uint8_t kEpStream = 0x88;       // in: the capture stream

// The control word that resets the stream before a start and after a stop.
inline constexpr uint32_t kControlReset = 8;

// What the instrument does for a command.
enum class Op {
    kReadClock,
    kSetClock,
    kStop,
    kStartToComputer,
    kStartToCard,
    kStartRetrieval,
    kMasterSlave,
    kLineConfig,
    kSampling,
    kSdString,
    kRdString,
    kTrigger,
    kTimers,
    kCounters,
    kRunStatus,
    kVersion,
    kState,
    kCardFigures,
    kCardMode,
    kCardRead,
    kCardWrite,
};

struct Command {
    Op op;
    uint8_t cmd;
    uint8_t subFirst, subLast;  // the sub-commands this row answers
    uint8_t paramBytes;         // bytes after the 4-byte head the instrument reads
    uint8_t replyWords;         // reply words after word 0 that carry meaning
};

// Every command the instrument answers, one row per meaning.
std::span<const Command> Commands();
// The row of a command and sub-command; nullptr for one the instrument does
// not know (it is answered, and refused).
const Command* FindCommand(uint8_t cmd, uint8_t sub);

// The results in the low byte of reply word 0.
inline constexpr uint32_t kDone = 0;
inline constexpr uint32_t kRefused = 1;

// State bits (reply word 1 of the state query).
inline constexpr uint32_t kStateWaiting = 0x01;  // bits 1-0: 1 waiting for a trigger
inline constexpr uint32_t kStateStoring = 0x03;  // 3 storing
inline constexpr uint32_t kStateToCard = 0x04;
inline constexpr uint32_t kStateAcPower = 0x08;
inline constexpr uint32_t kStateCardInserted = 0x10;
inline constexpr uint32_t kStateCardFault = 0x20;
inline constexpr uint32_t kStateCardIndexDamaged = 0x40;
inline constexpr uint32_t kStateMaster = 0x80;

// Mode word of the master/slave command that, with sub-command 1, makes the
// instrument the master.
inline constexpr uint32_t kMasterCode = 2;

uint32_t Be32(const uint8_t* p);
void PutBe32(uint8_t* p, uint32_t v);

}  // namespace qv::sim::wire
