// Answers the usbdevfs ioctls a program makes on an emulated USB device node
// (under umockdev's preload library, every ioctl on the node arrives here
// through the test bed's socket): capabilities, interface claims, URB
// submission, discard and reaping. The URBs themselves are carried by a
// UsbdevfsDevice; this class moves their bytes between the program's memory
// and the device.
//
// Everything here runs on the bus's GLib main context.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>

#include "sim/UsbdevfsDevice.h"
#include "sim/umockdev/UsbdevfsRequestLog.h"

typedef struct _GMainContext GMainContext;
typedef struct _UMockdevIoctlBase UMockdevIoctlBase;
typedef struct _UMockdevIoctlClient UMockdevIoctlClient;
typedef struct _UMockdevIoctlData UMockdevIoctlData;

namespace qv::sim {

class UsbdevfsIoctlHandler {
  public:
    // `scatterGather`: the host controller takes a bulk transfer of any
    // length in one URB; without it libusb splits transfers into 16 KiB
    // URBs chained as continuations.
    UsbdevfsIoctlHandler(std::shared_ptr<UsbdevfsDevice> device, bool scatterGather,
                         UsbdevfsRequestLog& log, GMainContext* context);
    ~UsbdevfsIoctlHandler();
    UsbdevfsIoctlHandler(const UsbdevfsIoctlHandler&) = delete;
    UsbdevfsIoctlHandler& operator=(const UsbdevfsIoctlHandler&) = delete;

    // The object to attach to the device node with umockdev_testbed_attach_ioctl.
    UMockdevIoctlBase* Object() const { return m_object; }
    UsbdevfsDevice& Device() { return *m_device; }

    // Called by the GObject glue.
    bool HandleIoctl(UMockdevIoctlClient* client);
    void ClientConnected(UMockdevIoctlClient* client);
    void ClientGone(UMockdevIoctlClient* client);

  private:
    struct Urb {
        UMockdevIoctlData* urb = nullptr;     // the program's struct usbdevfs_urb
        UMockdevIoctlData* buffer = nullptr;  // its data buffer (may be null)
        uint8_t type = 0;
    };
    struct Client {
        int file = 0;
        UMockdevIoctlClient* parked = nullptr;  // a reap waiting for a completion
        bool parkedBlocking = false;
        unsigned parkTimer = 0;                 // GLib source id ending a non-blocking wait
        int emptyReaps = 0;                     // non-blocking reaps in a row that found nothing
        std::map<uint64_t, Urb> urbs;           // submitted, not yet reaped, by address
    };

    struct Hold;  // a held reap's timer data

    Client* Find(UMockdevIoctlClient* client);
    Client& Ensure(UMockdevIoctlClient* client);
    void Submit(UMockdevIoctlClient* client, Client& c);
    // Answers a reap with the oldest completion; false when there is none.
    bool TryReap(UMockdevIoctlClient* client, Client& c, int& error);
    void Park(UMockdevIoctlClient* client, Client& c, bool blocking);
    void Unpark(Client& c);
    void ServeParked(int file);
    static int ParkTimeout(void* data);
    void ReleaseUrbs(Client& c);
    // Posts ServeParked(file) to the main context from any thread.
    void PostCompletion(int file);

    std::shared_ptr<UsbdevfsDevice> m_device;
    uint32_t m_capabilities;
    UsbdevfsRequestLog& m_log;
    GMainContext* m_context;
    UMockdevIoctlBase* m_object = nullptr;
    std::map<UMockdevIoctlClient*, Client> m_clients;
    // Shared with completions posted from the device's threads, so that one
    // arriving after this handler is gone finds it gone.
    std::shared_ptr<UsbdevfsIoctlHandler*> m_self;
};

}  // namespace qv::sim
