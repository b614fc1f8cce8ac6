// The vocabulary of the instrument's USB link: who a unit is, which endpoints
// it has and how a transfer ended. Shared by the device object, both of its
// backends and the instrument emulator.
#pragma once

#include <cstdint>
#include <string>

namespace qv {

// Vendor id of the instrument family (5330 decimal, the value the unit list writes).
inline constexpr uint16_t kQvVendorId = 0x14D2;
// The two models; any other product id is not an instrument of this family.
inline constexpr uint16_t kProductQvS1 = 0x0010;
inline constexpr uint16_t kProductQvSz2 = 0x0011;

constexpr bool IsQvProduct(uint16_t productId) {
    return productId == kProductQvS1 || productId == kProductQvSz2;
}

// Endpoint addresses (bit 7 set: towards the computer).
inline constexpr uint8_t kEpControl = 0x00;  // the default control endpoint
inline constexpr uint8_t kEpControlWord = 0x01;
inline constexpr uint8_t kEpCommand = 0x02;
inline constexpr uint8_t kEpReply = 0x86;
inline constexpr uint8_t kEpStream = 0x88;

// Time-outs in milliseconds.
inline constexpr unsigned kTimeoutControlWordMs = 200;
inline constexpr unsigned kTimeoutCommandMs = 200;
inline constexpr unsigned kTimeoutDataBlockMs = 100;
inline constexpr unsigned kTimeoutReplyMs = 1000;
inline constexpr unsigned kTimeoutStreamMs = 100;

// Bytes in one command packet, one reply and one card memory block.
inline constexpr size_t kPacketBufferSize = 512;

// A unit is known by (vendor id, product id, serial text). The serial text is
// the low bytes of the first 8 UTF-16 code units of the serial-number string.
struct UnitIdentity {
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    std::string serial;

    bool IsNone() const { return vendorId == 0 && productId == 0 && serial.empty(); }
    friend bool operator==(const UnitIdentity&, const UnitIdentity&) = default;
};

// The serial text of a serial-number string descriptor.
std::string SerialTextFromUtf16(const std::u16string& serial);
// "QV-S1", "QV-SZ2", or "" for another product id.
const char* ModelName(uint16_t productId);

enum class TransferType : uint8_t { kControl = 0, kIsochronous = 1, kBulk = 2, kInterrupt = 3 };

struct EndpointInfo {
    uint8_t address = 0;
    TransferType type = TransferType::kBulk;
    uint16_t maxPacketSize = 0;
    unsigned timeoutMs = 0;

    bool IsIn() const { return (address & 0x80) != 0; }
};

// How one transfer ended. kNoDevice is what a transfer to an unplugged
// instrument gives, whichever backend carried it.
enum class TransferStatus { kOk, kTimeout, kNoDevice, kError };

const char* TransferStatusText(TransferStatus s);

enum class PlugEvent { kArrival, kRemoval };

}  // namespace qv
