// An emulated USB bus for programs run under umockdev's preload library
// (libumockdev-preload): a test bed whose sysfs, udev data and /dev/bus/usb
// show a root hub and, on ports of their own, the emulated instruments of
// one socket folder, each as the kernel shows a device: its sysfs directory
// below the hub with the "descriptors", "busnum", "devnum", "serial" and
// other attributes libusb and udev read, a device node whose ioctls reach a
// UsbdevfsIoctlHandler, and "add" and "remove" uevents when an instrument
// comes and goes. Transfers on the node reach the instrument through its
// socket, so the same emulated instrument answers both device backends.
//
// The bus follows the folder: an instrument that is unplugged (its socket
// goes) is removed from the bus, one plugged in again gets a new device
// address on the same port, as a real unit does.
//
// A program sees the bus when $UMOCKDEV_DIR names RootDir() and the preload
// library is loaded (umockdev-wrapper). Creating the bus sets $UMOCKDEV_DIR
// in this process, for itself and the programs it starts; one bus per
// process at a time.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "device/SimSocketBackend.h"
#include "sim/umockdev/UsbdevfsIoctlHandler.h"

typedef struct _GMainContext GMainContext;
typedef struct _GMainLoop GMainLoop;
typedef struct _UMockdevTestbed UMockdevTestbed;

namespace qv::sim {

struct UsbBusOptions {
    std::string simFolder;  // the instruments' sockets; empty: SimSocketFolder()
    // The host controller takes a bulk transfer of any length as one URB (as
    // xHCI does); false makes libusb split transfers into 16 KiB URBs.
    bool scatterGather = true;
};

class EmulatedUsbBus {
  public:
    explicit EmulatedUsbBus(UsbBusOptions options = {});
    ~EmulatedUsbBus();
    EmulatedUsbBus(const EmulatedUsbBus&) = delete;
    EmulatedUsbBus& operator=(const EmulatedUsbBus&) = delete;

    // The test bed's root: what $UMOCKDEV_DIR must name.
    const std::string& RootDir() const { return m_root; }
    // The bus's number in sysfs and /dev/bus/usb.
    static constexpr int kBusNumber = 1;

    // Brings the bus in line with the folder now, and returns once the
    // devices and their uevents are in place.
    void Sync();
    // Puts a device that is not one of the instruments on the next free port:
    // a unit of another model or maker, which no program here should take.
    void AddForeignDevice(uint16_t vendorId, uint16_t productId, const std::string& serial);
    // How many instruments are on the bus.
    int InstrumentCount();
    // The usbdevfs requests the programs made, by name.
    std::map<std::string, uint64_t> RequestCounts() const { return m_log.Counts(); }

  private:
    struct Attached {
        std::string key;       // the instrument's socket, or empty for a foreign device
        std::string syspath;   // /sys/devices/...
        std::string devnode;   // /dev/bus/usb/BBB/DDD
        std::unique_ptr<UsbdevfsIoctlHandler> handler;
        bool present = true;
    };

    // Runs `fn` on the bus's main context and waits for it.
    void RunOnLoop(const std::function<void()>& fn);
    void Reconcile();
    void AddDevice(const std::string& key, const DeviceDescriptors& d,
                   std::shared_ptr<UsbdevfsDevice> device);
    void RemoveDevice(Attached& a);
    void AddRootHub();
    int PortFor(const std::string& key);
    void PostReconcile();

    UsbBusOptions m_options;
    SimSocketBackend m_sockets;
    UsbdevfsRequestLog m_log;
    std::string m_root;
    UMockdevTestbed* m_testbed = nullptr;
    GMainContext* m_context = nullptr;
    GMainLoop* m_loop = nullptr;
    std::thread m_thread;
    unsigned m_timer = 0;
    // Owned by the main context's thread once it runs.
    std::string m_hubPath;
    std::vector<Attached> m_devices;  // removed ones stay: their programs may still hold the node
    std::map<std::string, int> m_ports;
    int m_nextPort = 1;
    int m_nextDevnum = 2;  // 1 is the root hub's
};

}  // namespace qv::sim
