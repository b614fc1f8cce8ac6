#include "device/LibusbBackend.h"

#include <libusb.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <set>
#include <string>

namespace qv {

namespace {

// Without hotplug support the device list is compared this often.
constexpr auto kPollInterval = std::chrono::seconds(1);
// The interface the instrument's endpoints belong to.
constexpr int kInterfaceNumber = 0;

std::string KeyOf(libusb_device* dev) {
    return std::string(LibusbBackend::kKeyPrefix) + std::to_string(libusb_get_bus_number(dev)) +
           "-" + std::to_string(libusb_get_device_address(dev));
}

// The serial number as the kernel read it at enumeration: sysfs is readable
// by everyone, the device node only with permission. Empty when unknown.
std::string SysfsSerial(libusb_device* dev) {
    uint8_t ports[8];
    int n = libusb_get_port_numbers(dev, ports, sizeof ports);
    if (n <= 0) return {};
    std::string name = std::to_string(libusb_get_bus_number(dev)) + "-";
    for (int i = 0; i < n; ++i)
        name += (i ? "." : "") + std::to_string(ports[i]);
    std::ifstream in("/sys/bus/usb/devices/" + name + "/serial");
    std::string serial;
    std::getline(in, serial);
    // The unit's serial text is its first 8 characters.
    return serial.substr(0, 8);
}

OpenFailure FailureOf(int libusbError) {
    switch (libusbError) {
        case LIBUSB_ERROR_ACCESS:
            return OpenFailure::kNoAccess;
        case LIBUSB_ERROR_NO_DEVICE:
        case LIBUSB_ERROR_NOT_FOUND:
            return OpenFailure::kGone;
        case LIBUSB_ERROR_BUSY:
            return OpenFailure::kBusy;
        default:
            return OpenFailure::kOther;
    }
}

bool IsFamily(libusb_device* dev) {
    libusb_device_descriptor d{};
    if (libusb_get_device_descriptor(dev, &d) != 0) return false;
    return d.idVendor == kQvVendorId && IsQvProduct(d.idProduct);
}

// A string descriptor as UTF-16; empty when the device has none.
std::u16string ReadString(libusb_device_handle* h, uint8_t index) {
    if (index == 0) return {};
    unsigned char buf[256];
    // Language 0x0409 (US English), the one such instruments carry.
    int n = libusb_get_string_descriptor(h, index, 0x0409, buf, sizeof buf);
    std::u16string s;
    if (n < 2 || buf[1] != LIBUSB_DT_STRING) return s;
    for (int i = 2; i + 1 < n && i < buf[0]; i += 2)
        s.push_back(static_cast<char16_t>(buf[i] | (buf[i + 1] << 8)));
    return s;
}

class LibusbLink : public IDeviceLink {
  public:
    LibusbLink(libusb_device_handle* h, DeviceDescriptors d) : m_handle(h), m_desc(std::move(d)) {}
    ~LibusbLink() override {
        libusb_release_interface(m_handle, kInterfaceNumber);
        libusb_close(m_handle);
    }
    const DeviceDescriptors& Descriptors() const override { return m_desc; }

    TransferStatus Transfer(uint8_t endpoint, uint8_t* data, size_t& length,
                            unsigned timeoutMs) override {
        int moved = 0;
        // libusb's synchronous call cancels the request on time-out and waits
        // until it has come back, which is the abort the protocol expects.
        int rc = libusb_bulk_transfer(m_handle, endpoint, data, static_cast<int>(length), &moved,
                                      timeoutMs);
        // Bytes that moved before a time-out are reported too, so a caller
        // that wants them does not lose data the device already sent.
        length = static_cast<size_t>(moved);
        switch (rc) {
            case 0:
                return TransferStatus::kOk;
            case LIBUSB_ERROR_TIMEOUT:
                return TransferStatus::kTimeout;
            case LIBUSB_ERROR_NO_DEVICE:
                return TransferStatus::kNoDevice;
            default:
                return TransferStatus::kError;
        }
    }

  private:
    libusb_device_handle* m_handle;
    DeviceDescriptors m_desc;
};

int LIBUSB_CALL HotplugThunk(libusb_context*, libusb_device* dev, libusb_hotplug_event event,
                             void* user) {
    auto* cb = static_cast<PlugCallback*>(user);
    libusb_device_descriptor d{};
    if (libusb_get_device_descriptor(dev, &d) == 0 && IsQvProduct(d.idProduct) && *cb)
        (*cb)(event == LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED ? PlugEvent::kArrival
                                                           : PlugEvent::kRemoval,
              KeyOf(dev));
    return 0;  // stay registered
}

}  // namespace

LibusbBackend::LibusbBackend() {
    if (libusb_init(&m_ctx) != 0) m_ctx = nullptr;
}

LibusbBackend::~LibusbBackend() {
    StopWatching();
    if (m_ctx) libusb_exit(m_ctx);
}

std::vector<DeviceRef> LibusbBackend::Enumerate() {
    std::vector<DeviceRef> out;
    if (!m_ctx) return out;
    // Ordered by where the unit sits (bus, then the ports from the root
    // hub), so that a unit keeps its place in the list when another one is
    // plugged in or it is itself plugged in again on the same port.
    std::vector<std::pair<std::vector<uint8_t>, DeviceRef>> found;
    libusb_device** list = nullptr;
    ssize_t n = libusb_get_device_list(m_ctx, &list);
    for (ssize_t i = 0; i < n; ++i) {
        if (!IsFamily(list[i])) continue;
        libusb_device_descriptor d{};
        libusb_get_device_descriptor(list[i], &d);
        uint8_t ports[8];
        int depth = libusb_get_port_numbers(list[i], ports, sizeof ports);
        std::vector<uint8_t> place{libusb_get_bus_number(list[i])};
        if (depth > 0) place.insert(place.end(), ports, ports + depth);
        found.emplace_back(std::move(place),
                           DeviceRef{KeyOf(list[i]), d.idProduct, SysfsSerial(list[i])});
    }
    if (list) libusb_free_device_list(list, 1);
    std::sort(found.begin(), found.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    for (auto& f : found)
        out.push_back(std::move(f.second));
    return out;
}

std::unique_ptr<IDeviceLink> LibusbBackend::Open(const DeviceRef& ref, OpenFailure* why) {
    OpenFailure ignored;
    OpenFailure& failure = why ? *why : ignored;
    failure = OpenFailure::kOther;
    if (!m_ctx) return nullptr;
    libusb_device** list = nullptr;
    ssize_t n = libusb_get_device_list(m_ctx, &list);
    libusb_device* dev = nullptr;
    for (ssize_t i = 0; i < n && !dev; ++i)
        if (KeyOf(list[i]) == ref.key) dev = list[i];
    libusb_device_handle* h = nullptr;
    DeviceDescriptors desc;
    libusb_device_descriptor dd{};
    bool ok = dev && libusb_get_device_descriptor(dev, &dd) == 0;
    if (!dev) failure = OpenFailure::kGone;
    if (ok) {
        // The reason matters to the user: no permission is fixed by the udev
        // rule, a busy device by closing the other program.
        int rc = libusb_open(dev, &h);
        ok = rc == 0;
        if (!ok) failure = FailureOf(rc);
    }
    if (ok) {
        libusb_set_auto_detach_kernel_driver(h, 1);
        int rc = libusb_claim_interface(h, kInterfaceNumber);
        ok = rc == 0;
        if (!ok) {
            failure = FailureOf(rc);
            libusb_close(h);
        }
    }
    if (ok) {
        desc.vendorId = dd.idVendor;
        desc.productId = dd.idProduct;
        desc.release = dd.bcdDevice;
        desc.manufacturer = ReadString(h, dd.iManufacturer);
        desc.product = ReadString(h, dd.iProduct);
        desc.serial = ReadString(h, dd.iSerialNumber);
        libusb_config_descriptor* cfg = nullptr;
        if (libusb_get_active_config_descriptor(dev, &cfg) == 0) {
            if (cfg->bNumInterfaces > kInterfaceNumber &&
                cfg->interface[kInterfaceNumber].num_altsetting > 0) {
                const libusb_interface_descriptor& alt =
                    cfg->interface[kInterfaceNumber].altsetting[0];
                for (int e = 0; e < alt.bNumEndpoints; ++e) {
                    EndpointInfo ep;
                    ep.address = alt.endpoint[e].bEndpointAddress;
                    ep.type = static_cast<TransferType>(alt.endpoint[e].bmAttributes & 3);
                    ep.maxPacketSize = alt.endpoint[e].wMaxPacketSize;
                    desc.endpoints.push_back(ep);
                }
            }
            libusb_free_config_descriptor(cfg);
        }
    }
    if (list) libusb_free_device_list(list, 1);
    if (!ok) return nullptr;
    failure = OpenFailure::kNone;
    return std::make_unique<LibusbLink>(h, std::move(desc));
}

void LibusbBackend::StartWatching(PlugCallback callback) {
    StopWatching();
    if (!m_ctx) return;
    m_callback = std::move(callback);
    m_stop = false;
    if (libusb_has_capability(LIBUSB_CAP_HAS_HOTPLUG) &&
        libusb_hotplug_register_callback(
            m_ctx,
            static_cast<libusb_hotplug_event>(LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED |
                                              LIBUSB_HOTPLUG_EVENT_DEVICE_LEFT),
            LIBUSB_HOTPLUG_NO_FLAGS, kQvVendorId, LIBUSB_HOTPLUG_MATCH_ANY,
            LIBUSB_HOTPLUG_MATCH_ANY, HotplugThunk, &m_callback, &m_hotplugHandle) == 0) {
        m_hotplugRegistered = true;
        m_thread = std::thread([this] { EventLoop(); });
    } else {
        m_poller.Start([this] { return KeysOf(Enumerate()); }, m_callback, kPollInterval);
    }
}

void LibusbBackend::StopWatching() {
    m_stop = true;
    m_poller.Stop();
    if (m_hotplugRegistered) {
        // Deregistering also wakes the event loop so that it sees the stop flag.
        libusb_hotplug_deregister_callback(m_ctx, m_hotplugHandle);
        m_hotplugRegistered = false;
    }
    if (m_thread.joinable()) m_thread.join();
}

void LibusbBackend::EventLoop() {
    while (!m_stop) {
        timeval tv{0, 200000};
        libusb_handle_events_timeout_completed(m_ctx, &tv, nullptr);
    }
}

}  // namespace qv
