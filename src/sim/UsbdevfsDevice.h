// One attached USB device as the kernel's usbdevfs presents it to a program
// that opened its device node: interfaces claimed per open file, URBs
// submitted, discarded and reaped, and the device going away under them.
// The transfers themselves are carried to the emulated instrument through
// device links (one per endpoint, made on first use), so whatever answers a
// link (qvsim through its socket) answers the USB host too.
//
// The rules follow the kernel's: URBs of one endpoint are served in the
// order submitted, completions are reaped in the order they happened, a
// discarded URB completes with -ENOENT (or with its data, when it finished
// first), a short IN URB flagged SHORT_NOT_OK fails with -EREMOTEIO and the
// continuation URBs queued behind it come back with -ECONNRESET, and on
// disconnection every URB in flight comes back with -ESHUTDOWN, after which
// reaping gives the completions left and then -ENODEV. Standard requests on
// the control endpoint are answered from the descriptors, as the device's
// USB controller does; anything else on it stalls (-EPIPE).
//
// All calls are thread-safe. Errors are negative errno values. Submit may
// carry the transfer itself when its endpoint is idle (an OUT transfer, or an
// IN transfer whose data waits already), so it may take a round trip to the
// instrument.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "device/DeviceBackend.h"
#include "sim/UsbDescriptorSet.h"

namespace qv::sim {

// URB types and flags, with the values of usbdevfs.
inline constexpr uint8_t kUrbTypeIso = 0;
inline constexpr uint8_t kUrbTypeInterrupt = 1;
inline constexpr uint8_t kUrbTypeControl = 2;
inline constexpr uint8_t kUrbTypeBulk = 3;
inline constexpr uint32_t kUrbShortNotOk = 0x01;
inline constexpr uint32_t kUrbBulkContinuation = 0x04;

struct UrbRequest {
    uint64_t id = 0;  // the URB's address in the program: how a discard names it
    uint8_t type = kUrbTypeBulk;
    uint8_t endpoint = 0;
    uint32_t flags = 0;
    size_t length = 0;          // of the URB's buffer
    std::vector<uint8_t> data;  // OUT: the bytes to send; control: the setup packet and OUT data
};

struct UrbCompletion {
    uint64_t id = 0;
    int status = 0;             // 0 or a negative errno
    size_t actualLength = 0;    // bytes moved in the data stage
    std::vector<uint8_t> data;  // IN: the bytes of the data stage
};

class UsbdevfsDevice {
  public:
    using LinkFactory = std::function<std::unique_ptr<IDeviceLink>()>;

    // `links` makes a link to the instrument, nullptr when it cannot be
    // reached. `onGone` is called (on any thread) when a link finds the
    // instrument gone, so its owner can take the device off the bus.
    UsbdevfsDevice(const DeviceDescriptors& descriptors, LinkFactory links,
                   std::function<void()> onGone = {});
    ~UsbdevfsDevice();
    UsbdevfsDevice(const UsbdevfsDevice&) = delete;
    UsbdevfsDevice& operator=(const UsbdevfsDevice&) = delete;

    const UsbDescriptorSet& Descriptors() const { return m_descriptors; }
    bool Connected() const { return m_connected; }

    // An open of the device node. `onCompletion` is called (on any thread,
    // without a lock held) whenever a URB of this file completes.
    int OpenFile(std::function<void()> onCompletion);
    // The file is closed: its URBs are killed and forgotten, its interfaces
    // released.
    void CloseFile(int file);

    int ClaimInterface(int file, unsigned iface);
    int ReleaseInterface(int file, unsigned iface);
    int Submit(int file, UrbRequest urb);
    int Discard(int file, uint64_t id);
    // The oldest completion of the file; -EAGAIN when there is none, -ENODEV
    // when there is none and the device is gone.
    int Reap(int file, UrbCompletion& out);

    // The device is unplugged: every URB not yet complete comes back with
    // -ESHUTDOWN and every later request fails with -ENODEV.
    void Disconnect();

    // How long one wait of an IN transfer on the instrument lasts; a discard
    // or a disconnection is noticed within this (milliseconds).
    static constexpr unsigned kInSliceMs = 20;

  private:
    struct Pending {
        int file;
        UrbRequest urb;
        bool cancelled = false;  // discarded, or its file closed, while in flight
    };
    struct Endpoint {
        uint8_t address = 0;
        std::deque<std::shared_ptr<Pending>> queue;
        std::shared_ptr<Pending> current;
        std::unique_ptr<IDeviceLink> link;
        std::condition_variable wake;
        std::thread worker;
    };
    struct File {
        std::function<void()> onCompletion;
        std::deque<UrbCompletion> done;
    };

    void Serve(Endpoint& ep);
    // Moves the URB to its file's completions; returns the callback to call
    // once the lock is released (empty when the file is gone).
    std::function<void()> CompleteLocked(const Pending& p, int status, std::vector<uint8_t> data,
                                         size_t actual);
    void CallAll(std::vector<std::function<void()>>& calls);
    int CheckInterfaceLocked(int file, unsigned iface);
    // One try of `p` on the endpoint's link, waiting at most `waitMs` for
    // an IN transfer's data: its status, or kPending when nothing moved.
    int Attempt(Endpoint& ep, Pending& p, std::vector<uint8_t>& data, size_t& actual,
                unsigned waitMs);
    // Tries until `p` ends: moved, discarded or the device gone.
    int Carry(Endpoint& ep, Pending& p, std::vector<uint8_t>& data, size_t& actual);
    // On the submitting thread: `p` is the endpoint's current URB.
    void StartAtOnce(Endpoint& ep, const std::shared_ptr<Pending>& p);
    void FinishLocked(Endpoint& ep, const Pending& p, int status, std::vector<uint8_t> data,
                      size_t actual, std::vector<std::function<void()>>& calls);
    static constexpr int kPending = 1;
    void LinkGone();

    UsbDescriptorSet m_descriptors;
    LinkFactory m_links;
    std::function<void()> m_onGone;
    std::atomic<bool> m_connected{true};
    std::mutex m_mutex;
    bool m_stopping = false;
    int m_nextFile = 1;
    std::map<int, File> m_files;
    std::map<unsigned, int> m_claims;  // interface -> file
    std::map<uint8_t, std::unique_ptr<Endpoint>> m_endpoints;
};

}  // namespace qv::sim
