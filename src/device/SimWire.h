// The wire between the emulator backend and an emulated instrument (qvsim):
// one Unix-domain stream socket per attached instrument, in one folder.
//
// Every exchange is one request and one response, in the order sent. All
// fields are little-endian.
//   request:  op (1) | endpoint (1) | reserved (2) | length (4) | time-out ms (4) | data
//   response: status (1) | reserved (3) | length (4) | data
// Describe: request length 0; the response data is the descriptor block below.
// Out: request data is the `length` bytes to send; response length is the
// count taken. In: `length` is the most bytes wanted; the instrument answers
// as soon as it has some, or with kTimeout (no data) once the time-out has
// passed. The instrument keeps the time, so a loaded machine cannot make a
// reply late and the next one early, and a timed-out request is already
// finished when its answer arrives, as an aborted USB request is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "device/DeviceBackend.h"

namespace qv::simwire {

inline constexpr uint8_t kOpDescribe = 1;
inline constexpr uint8_t kOpOut = 2;
inline constexpr uint8_t kOpIn = 3;

inline constexpr uint8_t kStatusOk = 0;
inline constexpr uint8_t kStatusTimeout = 1;
inline constexpr uint8_t kStatusError = 2;
// The answer to Describe of a unit the user may not open: the emulated
// counterpart of a device node without permission.
inline constexpr uint8_t kStatusDenied = 3;
// Never sent: the instrument was unplugged, so the server cuts the
// connection and the computer sees what an unplugged USB device gives.
inline constexpr uint8_t kStatusGone = 0xFF;

inline constexpr size_t kRequestHeaderSize = 12;
inline constexpr size_t kResponseHeaderSize = 8;
// The most bytes one exchange carries; the read step asks for 1 MiB at most.
inline constexpr uint32_t kMaxTransfer = 4u << 20;

// The socket file of an instrument: "<product id>-<serial>.sock".
inline constexpr const char* kSocketSuffix = ".sock";

struct Request {
    uint8_t op = 0;
    uint8_t endpoint = 0;
    uint32_t length = 0;
    uint32_t timeoutMs = 0;
};

struct Response {
    uint8_t status = kStatusOk;
    uint32_t length = 0;
};

void PutLe16(std::string& out, uint16_t v);
void PutLe32(std::string& out, uint32_t v);
uint16_t GetLe16(const uint8_t* p);
uint32_t GetLe32(const uint8_t* p);

std::string EncodeRequestHeader(const Request& r);
Request DecodeRequestHeader(const uint8_t* p);
std::string EncodeResponseHeader(const Response& r);
Response DecodeResponseHeader(const uint8_t* p);

// Descriptor block: vendor id (2), product id (2), release (2), endpoint count
// (1), per endpoint address (1), type (1), max packet size (2); then three
// strings (manufacturer, product, serial), each a UTF-16 code-unit count (2)
// and the code units (2 each).
std::string EncodeDescriptors(const DeviceDescriptors& d);
// False for a block that is short or inconsistent.
bool DecodeDescriptors(const uint8_t* p, size_t n, DeviceDescriptors& out);

// The folder of the instrument sockets: $QVORT_SIM_DIR, else
// $XDG_RUNTIME_DIR/qv-ort-sim, else /tmp/qv-ort-sim-<uid>.
std::string SimSocketFolder();
// That rule in words, for the help of the programs that take a folder.
inline constexpr const char* kSimSocketFolderRule =
    "$QVORT_SIM_DIR if set, else $XDG_RUNTIME_DIR/qv-ort-sim, else /tmp/qv-ort-sim-UID";

// Why a folder of instrument sockets cannot be trusted, for a message; empty
// when it can, or when nothing is there. Anyone who may put a socket in it
// could pose as an instrument, so it must be a folder of this user that no
// other user may write in, as ssh-agent's socket folder must.
std::string SimFolderProblem(const std::string& folder);
// The same for one socket in a trusted folder: it must be a socket (not a
// link to one elsewhere) of this user.
std::string SimSocketProblem(const std::string& path);

// Reads or writes exactly n bytes on a blocking socket, restarting on EINTR.
// False on end of stream or error.
bool ReadFull(int fd, void* buf, size_t n);
bool WriteFull(int fd, const void* buf, size_t n);

}  // namespace qv::simwire
