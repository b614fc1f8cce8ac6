#include "sim/umockdev/EmulatedUsbBus.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <umockdev.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <future>
#include <set>

#include "sim/UsbDescriptorSet.h"

namespace qv::sim {

namespace {

// How often the bus looks at the socket folder for instruments that came or
// went.
constexpr unsigned kReconcileMs = 100;
// The character-device major of USB device nodes.
constexpr int kUsbDeviceMajor = 189;

std::string Hex4(unsigned v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%04x", v & 0xFFFF);
    return buf;
}

std::string Utf8Of(const std::u16string& s) {
    // The descriptors here carry ASCII only.
    std::string out;
    for (char16_t c : s)
        out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    return out;
}

// Runs a std::function posted to a main context.
gboolean RunPosted(gpointer data) {
    (*static_cast<std::function<void()>*>(data))();
    return G_SOURCE_REMOVE;
}

void DeletePosted(gpointer data) {
    delete static_cast<std::function<void()>*>(data);
}

void Post(GMainContext* context, std::function<void()> fn) {
    // An idle source never runs the function on the calling thread, unlike
    // g_main_context_invoke, so nothing of the bus runs outside its thread.
    GSource* source = g_idle_source_new();
    g_source_set_callback(source, RunPosted, new std::function<void()>(std::move(fn)),
                          DeletePosted);
    g_source_attach(source, context);
    g_source_unref(source);
}

// A device's sysfs attributes and udev properties as the kernel and udev
// give them to a USB device; the lists alternate names and values.
struct SysfsEntry {
    std::vector<std::string> attributes;
    std::vector<std::string> properties;
};

SysfsEntry UsbDeviceEntry(const DeviceDescriptors& d, int busnum, int devnum,
                          const std::string& devpath, const std::string& devnode) {
    char num[16];
    const int minor = (busnum - 1) * 128 + (devnum - 1);
    SysfsEntry e;
    auto attr = [&](const std::string& k, const std::string& v) {
        e.attributes.push_back(k);
        e.attributes.push_back(v);
    };
    auto prop = [&](const std::string& k, const std::string& v) {
        e.properties.push_back(k);
        e.properties.push_back(v);
    };
    attr("busnum", std::to_string(busnum));
    attr("devnum", std::to_string(devnum));
    attr("devpath", devpath);
    attr("speed", "480");
    attr("version", " 2.00");
    attr("bConfigurationValue", "1");
    attr("bNumConfigurations", "1");
    attr("bNumInterfaces", " 1");
    attr("bDeviceClass", "00");
    attr("bMaxPacketSize0", "64");
    attr("idVendor", Hex4(d.vendorId));
    attr("idProduct", Hex4(d.productId));
    attr("bcdDevice", Hex4(d.release));
    attr("manufacturer", Utf8Of(d.manufacturer));
    attr("product", Utf8Of(d.product));
    attr("serial", Utf8Of(d.serial));
    attr("dev", std::to_string(kUsbDeviceMajor) + ":" + std::to_string(minor));
    prop("DEVNAME", devnode);
    prop("DEVTYPE", "usb_device");
    prop("DRIVER", "usb");
    std::snprintf(num, sizeof num, "%03d", busnum);
    prop("BUSNUM", num);
    std::snprintf(num, sizeof num, "%03d", devnum);
    prop("DEVNUM", num);
    prop("MAJOR", std::to_string(kUsbDeviceMajor));
    prop("MINOR", std::to_string(minor));
    char product[32];
    std::snprintf(product, sizeof product, "%x/%x/%x", d.vendorId, d.productId, d.release);
    prop("PRODUCT", product);
    prop("TYPE", "0/0/0");
    prop("ID_VENDOR_ID", Hex4(d.vendorId));
    prop("ID_MODEL_ID", Hex4(d.productId));
    prop("ID_SERIAL_SHORT", Utf8Of(d.serial));
    prop("ID_BUS", "usb");
    return e;
}

std::vector<gchar*> NullTerminated(std::vector<std::string>& v) {
    std::vector<gchar*> out;
    for (auto& s : v)
        out.push_back(s.data());
    out.push_back(nullptr);
    return out;
}

}  // namespace

EmulatedUsbBus::EmulatedUsbBus(UsbBusOptions options)
    : m_options(std::move(options)), m_sockets(m_options.simFolder) {
    m_testbed = umockdev_testbed_new();
    gchar* root = umockdev_testbed_get_root_dir(m_testbed);
    m_root = root;
    g_free(root);
    m_context = g_main_context_new();
    m_loop = g_main_loop_new(m_context, FALSE);
    m_thread = std::thread([this] {
        g_main_context_push_thread_default(m_context);
        g_main_loop_run(m_loop);
        g_main_context_pop_thread_default(m_context);
    });
    RunOnLoop([this] {
        AddRootHub();
        Reconcile();
        GSource* timer = g_timeout_source_new(kReconcileMs);
        g_source_set_callback(
            timer,
            [](gpointer self) -> gboolean {
                static_cast<EmulatedUsbBus*>(self)->Reconcile();
                return G_SOURCE_CONTINUE;
            },
            this, nullptr);
        m_timer = g_source_attach(timer, m_context);
        g_source_unref(timer);
    });
}

EmulatedUsbBus::~EmulatedUsbBus() {
    RunOnLoop([this] {
        if (GSource* s = g_main_context_find_source_by_id(m_context, m_timer)) g_source_destroy(s);
        for (Attached& a : m_devices)
            if (a.present) RemoveDevice(a);
    });
    g_main_loop_quit(m_loop);
    m_thread.join();
    // The loop has stopped: nothing posted from here on runs, and the
    // devices' threads end with the devices.
    for (Attached& a : m_devices) {
        GError* error = nullptr;
        umockdev_testbed_detach_ioctl(m_testbed, a.devnode.c_str(), &error);
        if (error) g_error_free(error);
        a.handler.reset();
    }
    m_devices.clear();
    g_object_unref(m_testbed);
    g_main_loop_unref(m_loop);
    g_main_context_unref(m_context);
}

void EmulatedUsbBus::RunOnLoop(const std::function<void()>& fn) {
    std::promise<void> done;
    Post(m_context, [&] {
        fn();
        done.set_value();
    });
    done.get_future().wait();
}

void EmulatedUsbBus::PostReconcile() {
    Post(m_context, [this] { Reconcile(); });
}

void EmulatedUsbBus::Sync() {
    RunOnLoop([this] { Reconcile(); });
}

int EmulatedUsbBus::InstrumentCount() {
    int n = 0;
    RunOnLoop([&] {
        for (const Attached& a : m_devices)
            if (a.present && !a.key.empty()) ++n;
    });
    return n;
}

int EmulatedUsbBus::PortFor(const std::string& key) {
    if (!key.empty()) {
        auto it = m_ports.find(key);
        if (it != m_ports.end()) return it->second;
    }
    int port = m_nextPort++;
    if (!key.empty()) m_ports[key] = port;
    return port;
}

void EmulatedUsbBus::AddRootHub() {
    DeviceDescriptors hub;
    hub.vendorId = 0x1D6B;  // the Linux Foundation's id, which root hubs carry
    hub.productId = 0x0002;  // USB 2.0 root hub
    hub.release = 0x0601;
    hub.manufacturer = u"Linux xhci-hcd";
    hub.product = u"xHCI Host Controller";
    hub.serial = u"0000:00:14.0";
    hub.endpoints.push_back(EndpointInfo{0x81, TransferType::kInterrupt, 4, 0});
    char devnode[32];
    std::snprintf(devnode, sizeof devnode, "/dev/bus/usb/%03d/%03d", kBusNumber, 1);
    SysfsEntry e = UsbDeviceEntry(hub, kBusNumber, 1, "0", devnode);
    auto attrs = NullTerminated(e.attributes);
    auto props = NullTerminated(e.properties);
    gchar* path = umockdev_testbed_add_devicev(m_testbed, "usb", "usb1", nullptr, attrs.data(),
                                               props.data());
    m_hubPath = path;
    g_free(path);
    auto bytes = UsbDescriptorSet(hub).SysfsDescriptors();
    umockdev_testbed_set_attribute_binary(m_testbed, m_hubPath.c_str(), "descriptors",
                                          bytes.data(), static_cast<gint>(bytes.size()));
}

void EmulatedUsbBus::AddDevice(const std::string& key, const DeviceDescriptors& d,
                               std::shared_ptr<UsbdevfsDevice> device) {
    const int port = PortFor(key);
    const int devnum = m_nextDevnum++;
    char devnode[32];
    std::snprintf(devnode, sizeof devnode, "/dev/bus/usb/%03d/%03d", kBusNumber, devnum);
    const std::string name = std::to_string(kBusNumber) + "-" + std::to_string(port);
    SysfsEntry e = UsbDeviceEntry(d, kBusNumber, devnum, std::to_string(port), devnode);
    auto attrs = NullTerminated(e.attributes);
    auto props = NullTerminated(e.properties);
    // Named below the hub's directory rather than given the hub as parent:
    // umockdev checks a parent in the real /sys unless this process runs
    // under its preload library too.
    const std::string below = m_hubPath.substr(std::strlen("/sys/devices/")) + "/" + name;
    gchar* path = umockdev_testbed_add_devicev(m_testbed, "usb", below.c_str(), nullptr,
                                               attrs.data(), props.data());
    Attached a;
    a.key = key;
    a.syspath = path;
    a.devnode = devnode;
    g_free(path);
    auto bytes = device->Descriptors().SysfsDescriptors();
    umockdev_testbed_set_attribute_binary(m_testbed, a.syspath.c_str(), "descriptors",
                                          bytes.data(), static_cast<gint>(bytes.size()));
    // The node itself: an empty file whose ioctls the handler answers.
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(m_root + devnode).parent_path(), ec);
    int fd = ::open((m_root + devnode).c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0666);
    if (fd >= 0) ::close(fd);
    a.handler = std::make_unique<UsbdevfsIoctlHandler>(std::move(device), m_options.scatterGather,
                                                       m_log, m_context);
    GError* error = nullptr;
    if (!umockdev_testbed_attach_ioctl(m_testbed, devnode, a.handler->Object(), &error)) {
        std::fprintf(stderr, "usb bus: %s: %s\n", devnode, error ? error->message : "not attached");
    }
    if (error) g_error_free(error);
    // Announced once everything a program reads about it is in place.
    umockdev_testbed_uevent(m_testbed, a.syspath.c_str(), "add");
    m_devices.push_back(std::move(a));
}

void EmulatedUsbBus::RemoveDevice(Attached& a) {
    a.handler->Device().Disconnect();
    // udev reads the device's properties for the event, so it goes first.
    umockdev_testbed_uevent(m_testbed, a.syspath.c_str(), "remove");
    umockdev_testbed_remove_device(m_testbed, a.syspath.c_str());
    ::unlink((m_root + a.devnode).c_str());
    a.present = false;
}

void EmulatedUsbBus::AddForeignDevice(uint16_t vendorId, uint16_t productId,
                                      const std::string& serial) {
    RunOnLoop([&] {
        DeviceDescriptors d;
        d.vendorId = vendorId;
        d.productId = productId;
        d.release = 0x0100;
        d.manufacturer = u"Another maker";
        d.product = u"Another device";
        d.serial = std::u16string(serial.begin(), serial.end());
        d.endpoints.push_back(EndpointInfo{0x81, TransferType::kBulk, 512, 0});
        // Nothing answers its endpoints: a transfer there finds it gone.
        auto device = std::make_shared<UsbdevfsDevice>(d, [] { return nullptr; });
        AddDevice("", d, std::move(device));
    });
}

void EmulatedUsbBus::Reconcile() {
    std::vector<DeviceRef> refs = m_sockets.Enumerate();
    std::set<std::string> present;
    for (const DeviceRef& r : refs)
        present.insert(r.key);
    for (Attached& a : m_devices) {
        if (!a.present || a.key.empty()) continue;
        if (!present.count(a.key) || !a.handler->Device().Connected()) RemoveDevice(a);
    }
    for (const DeviceRef& ref : refs) {
        bool attached = false;
        for (const Attached& a : m_devices)
            attached = attached || (a.present && a.key == ref.key);
        if (attached) continue;
        // A socket nobody answers on, or a unit this user may not open,
        // stays off the bus until it answers.
        std::unique_ptr<IDeviceLink> probe = m_sockets.Open(ref);
        if (!probe) continue;
        DeviceDescriptors d = probe->Descriptors();
        probe.reset();
        auto device = std::make_shared<UsbdevfsDevice>(
            d, [this, ref] { return m_sockets.Open(ref); }, [this] { PostReconcile(); });
        AddDevice(ref.key, d, std::move(device));
    }
}

}  // namespace qv::sim
