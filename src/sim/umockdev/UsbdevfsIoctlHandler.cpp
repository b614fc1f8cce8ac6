#include "sim/umockdev/UsbdevfsIoctlHandler.h"

#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <umockdev.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>

namespace qv::sim {

namespace {

// How long a non-blocking reap that finds nothing is held before it gets
// EAGAIN. The kernel answers at once, and libusb then waits in poll() for
// the node to signal a completion; a test bed's node is a plain file, which
// poll() always reports ready, so without the hold libusb would spin on
// reaps. A completion answers a held reap at once.
constexpr unsigned kReapHoldMs = 5;

// What a reap puts in the program's pointer: its own struct's address.
constexpr size_t kPointerSize = sizeof(void*);

}  // namespace

}  // namespace qv::sim

// The GObject that umockdev calls: a UMockdevIoctlBase whose virtual methods
// hand every call to the C++ handler.
extern "C" {

typedef struct {
    UMockdevIoctlBase parent;
    qv::sim::UsbdevfsIoctlHandler* handler;
} QvUsbdevfsHandler;

typedef struct {
    UMockdevIoctlBaseClass parent;
} QvUsbdevfsHandlerClass;

G_DEFINE_TYPE(QvUsbdevfsHandler, qv_usbdevfs_handler, UMOCKDEV_TYPE_IOCTL_BASE)

static gboolean qv_usbdevfs_handler_ioctl(UMockdevIoctlBase* base, UMockdevIoctlClient* client) {
    auto* self = reinterpret_cast<QvUsbdevfsHandler*>(base);
    if (!self->handler) {
        umockdev_ioctl_client_complete(client, -1, ENODEV);
        return TRUE;
    }
    return self->handler->HandleIoctl(client) ? TRUE : FALSE;
}

static void qv_usbdevfs_handler_connected(UMockdevIoctlBase* base, UMockdevIoctlClient* client) {
    auto* self = reinterpret_cast<QvUsbdevfsHandler*>(base);
    if (self->handler) self->handler->ClientConnected(client);
}

static void qv_usbdevfs_handler_vanished(UMockdevIoctlBase* base, UMockdevIoctlClient* client) {
    auto* self = reinterpret_cast<QvUsbdevfsHandler*>(base);
    if (self->handler) self->handler->ClientGone(client);
}

static void qv_usbdevfs_handler_class_init(QvUsbdevfsHandlerClass* klass) {
    klass->parent.handle_ioctl = qv_usbdevfs_handler_ioctl;
    klass->parent.client_connected = qv_usbdevfs_handler_connected;
    klass->parent.client_vanished = qv_usbdevfs_handler_vanished;
}

static void qv_usbdevfs_handler_init(QvUsbdevfsHandler* self) {
    self->handler = nullptr;
}

// The client's stream closed: the program closed the node (or ended).
static void qv_usbdevfs_client_notify(GObject* object, GParamSpec*, gpointer data) {
    auto* client = reinterpret_cast<UMockdevIoctlClient*>(object);
    auto* self = static_cast<QvUsbdevfsHandler*>(data);
    if (self->handler && !umockdev_ioctl_client_get_connected(client))
        self->handler->ClientGone(client);
}

}  // extern "C"

namespace qv::sim {

UsbdevfsIoctlHandler::UsbdevfsIoctlHandler(std::shared_ptr<UsbdevfsDevice> device,
                                           bool scatterGather, UsbdevfsRequestLog& log,
                                           GMainContext* context)
    : m_device(std::move(device)),
      m_capabilities(USBDEVFS_CAP_ZERO_PACKET | USBDEVFS_CAP_BULK_CONTINUATION |
                     USBDEVFS_CAP_REAP_AFTER_DISCONNECT |
                     (scatterGather
                          ? USBDEVFS_CAP_BULK_SCATTER_GATHER | USBDEVFS_CAP_NO_PACKET_SIZE_LIM
                          : 0)),
      m_log(log),
      m_context(context),
      m_self(std::make_shared<UsbdevfsIoctlHandler*>(this)) {
    auto* obj = static_cast<QvUsbdevfsHandler*>(g_object_new(qv_usbdevfs_handler_get_type(), nullptr));
    obj->handler = this;
    m_object = reinterpret_cast<UMockdevIoctlBase*>(obj);
}

UsbdevfsIoctlHandler::~UsbdevfsIoctlHandler() {
    m_self.reset();
    for (auto& [client, c] : m_clients) {
        Unpark(c);
        ReleaseUrbs(c);
        g_signal_handlers_disconnect_by_data(client, m_object);
        m_device->CloseFile(c.file);
        g_object_unref(client);
    }
    m_clients.clear();
    reinterpret_cast<QvUsbdevfsHandler*>(m_object)->handler = nullptr;
    g_object_unref(m_object);
}

UsbdevfsIoctlHandler::Client* UsbdevfsIoctlHandler::Find(UMockdevIoctlClient* client) {
    auto it = m_clients.find(client);
    return it == m_clients.end() ? nullptr : &it->second;
}

UsbdevfsIoctlHandler::Client& UsbdevfsIoctlHandler::Ensure(UMockdevIoctlClient* client) {
    if (Client* c = Find(client)) return *c;
    ClientConnected(client);
    return m_clients[client];
}

void UsbdevfsIoctlHandler::ClientConnected(UMockdevIoctlClient* client) {
    if (Find(client)) return;
    // The file's number is known only once it is open; its completions ask
    // for it later.
    auto file = std::make_shared<int>(0);
    std::weak_ptr<UsbdevfsIoctlHandler*> weak = m_self;
    Client c;
    c.file = m_device->OpenFile([weak, file] {
        if (auto self = weak.lock()) (*self)->PostCompletion(*file);
    });
    *file = c.file;
    m_clients.emplace(client, std::move(c));
    g_object_ref(client);
    g_signal_connect(client, "notify::connected", G_CALLBACK(qv_usbdevfs_client_notify), m_object);
}

void UsbdevfsIoctlHandler::ClientGone(UMockdevIoctlClient* client) {
    auto it = m_clients.find(client);
    if (it == m_clients.end()) return;
    // A held reap of a program that went away is not answered.
    Unpark(it->second);
    ReleaseUrbs(it->second);
    m_device->CloseFile(it->second.file);
    g_signal_handlers_disconnect_by_data(client, m_object);
    m_clients.erase(it);
    g_object_unref(client);
}

void UsbdevfsIoctlHandler::ReleaseUrbs(Client& c) {
    for (auto& [id, u] : c.urbs) {
        if (u.buffer) g_object_unref(u.buffer);
        if (u.urb) g_object_unref(u.urb);
    }
    c.urbs.clear();
}

void UsbdevfsIoctlHandler::PostCompletion(int file) {
    struct Post {
        std::weak_ptr<UsbdevfsIoctlHandler*> handler;
        int file;
    };
    GSource* source = g_idle_source_new();
    g_source_set_callback(
        source,
        [](gpointer data) -> gboolean {
            auto* p = static_cast<Post*>(data);
            if (auto h = p->handler.lock()) (*h)->ServeParked(p->file);
            return G_SOURCE_REMOVE;
        },
        new Post{m_self, file}, [](gpointer data) { delete static_cast<Post*>(data); });
    g_source_attach(source, m_context);
    g_source_unref(source);
}

bool UsbdevfsIoctlHandler::HandleIoctl(UMockdevIoctlClient* client) {
    const unsigned long request = umockdev_ioctl_client_get_request(client);
    m_log.Count(UsbdevfsRequestName(request));
    Client& c = Ensure(client);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    const size_t size = _IOC_SIZE(request);
    auto done = [client](int rc) {
        if (rc < 0)
            umockdev_ioctl_client_complete(client, -1, -rc);
        else
            umockdev_ioctl_client_complete(client, rc, 0);
    };
    // The argument's memory in the program, copied here; written back when
    // the call completes.
    auto resolve = [arg](size_t n) -> UMockdevIoctlData* {
        GError* error = nullptr;
        UMockdevIoctlData* d = umockdev_ioctl_data_resolve(arg, 0, n, &error);
        if (error) g_error_free(error);
        return d;
    };
    if (request != USBDEVFS_REAPURBNDELAY) c.emptyReaps = 0;

    switch (request) {
        case USBDEVFS_GET_CAPABILITIES: {
            if (!m_device->Connected()) {
                done(-ENODEV);
                break;
            }
            UMockdevIoctlData* d = resolve(size);
            if (!d) {
                done(-EFAULT);
                break;
            }
            std::memcpy(d->data, &m_capabilities, sizeof m_capabilities);
            g_object_unref(d);
            done(0);
            break;
        }
        case USBDEVFS_CLAIMINTERFACE:
        case USBDEVFS_RELEASEINTERFACE:
        case USBDEVFS_DISCONNECT_CLAIM: {
            // The interface number leads all three arguments.
            UMockdevIoctlData* d = resolve(size);
            if (!d) {
                done(-EFAULT);
                break;
            }
            unsigned iface = 0;
            std::memcpy(&iface, d->data, sizeof iface);
            g_object_unref(d);
            // No kernel driver is bound to the instrument's interface, so
            // disconnect-and-claim is a plain claim.
            done(request == USBDEVFS_RELEASEINTERFACE ? m_device->ReleaseInterface(c.file, iface)
                                                      : m_device->ClaimInterface(c.file, iface));
            break;
        }
        case USBDEVFS_GETDRIVER:
        case USBDEVFS_IOCTL:
            // Asking for, or detaching, the kernel driver of an interface:
            // there is none.
            done(m_device->Connected() ? -ENODATA : -ENODEV);
            break;
        case USBDEVFS_SETCONFIGURATION:
        case USBDEVFS_CLEAR_HALT:
        case USBDEVFS_RESETEP:
        case USBDEVFS_RESET:
            done(m_device->Connected() ? 0 : -ENODEV);
            break;
        case USBDEVFS_SUBMITURB:
            Submit(client, c);
            break;
        case USBDEVFS_DISCARDURB: {
            // The argument is the URB's address itself.
            uint64_t id = 0;
            std::memcpy(&id, arg->data, sizeof(unsigned long));
            done(m_device->Discard(c.file, id));
            break;
        }
        case USBDEVFS_REAPURB:
        case USBDEVFS_REAPURBNDELAY: {
            if (c.parked) {  // one reap at a time per open file
                done(-EBUSY);
                break;
            }
            int error = 0;
            if (TryReap(client, c, error)) {
                c.emptyReaps = 0;
                break;
            }
            if (error != -EAGAIN) {
                done(error);
                break;
            }
            const bool blocking = request == USBDEVFS_REAPURB;
            // The first empty reap after a completion is answered at once, so
            // that a program that reaps until EAGAIN is not held up.
            if (!blocking && c.emptyReaps++ == 0) {
                done(-EAGAIN);
                break;
            }
            Park(client, c, blocking);
            break;
        }
        default:
            done(-ENOTTY);
            break;
    }
    return true;
}

void UsbdevfsIoctlHandler::Submit(UMockdevIoctlClient* client, Client& c) {
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    auto fail = [client](int error) { umockdev_ioctl_client_complete(client, -1, error); };
    GError* error = nullptr;
    UMockdevIoctlData* urbData = umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), &error);
    if (error) g_error_free(error);
    if (!urbData) return fail(EFAULT);
    const auto* urb = reinterpret_cast<const usbdevfs_urb*>(urbData->data);
    UrbRequest r;
    r.id = urbData->client_addr;
    r.type = urb->type;
    r.endpoint = urb->endpoint;
    r.flags = urb->flags;
    if (urb->buffer_length < 0) {
        g_object_unref(urbData);
        return fail(EINVAL);
    }
    r.length = static_cast<size_t>(urb->buffer_length);
    UMockdevIoctlData* buffer = nullptr;
    if (r.length > 0) {
        buffer = umockdev_ioctl_data_resolve(urbData, offsetof(usbdevfs_urb, buffer), r.length,
                                             &error);
        if (error) g_error_free(error);
        if (!buffer) {
            g_object_unref(urbData);
            return fail(EFAULT);
        }
        // What goes out: an OUT transfer's bytes, a control transfer's setup
        // packet and data stage.
        if (!(r.endpoint & 0x80) || r.type == kUrbTypeControl)
            r.data.assign(buffer->data, buffer->data + buffer->data_len);
    }
    const uint8_t type = r.type;
    const uint64_t id = r.id;
    int rc = m_device->Submit(c.file, std::move(r));
    if (rc != 0) {
        if (buffer) g_object_unref(buffer);
        g_object_unref(urbData);
        return fail(-rc);
    }
    // Kept (with their copies of the program's memory) until the URB is
    // reaped: the reap writes its status and data back through them.
    c.urbs[id] = Urb{urbData, buffer, type};
    umockdev_ioctl_client_complete(client, 0, 0);
}

bool UsbdevfsIoctlHandler::TryReap(UMockdevIoctlClient* client, Client& c, int& error) {
    for (;;) {
        UrbCompletion done;
        error = m_device->Reap(c.file, done);
        if (error != 0) return false;
        auto it = c.urbs.find(done.id);
        if (it == c.urbs.end()) continue;  // not submitted through this node: skip it
        Urb u = it->second;
        c.urbs.erase(it);
        auto* urb = reinterpret_cast<usbdevfs_urb*>(u.urb->data);
        urb->status = done.status;
        urb->actual_length = static_cast<int>(done.actualLength);
        if (u.buffer && !done.data.empty()) {
            // A control transfer's data stage follows its setup packet.
            size_t at = u.type == kUrbTypeControl ? 8 : 0;
            size_t room = static_cast<size_t>(u.buffer->data_len) > at ? u.buffer->data_len - at : 0;
            std::memcpy(u.buffer->data + at, done.data.data(), std::min(room, done.data.size()));
        }
        // The reap's argument is where the URB's address goes.
        UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
        GError* err = nullptr;
        UMockdevIoctlData* slot = umockdev_ioctl_data_resolve(arg, 0, kPointerSize, &err);
        if (err) g_error_free(err);
        if (!slot) {
            if (u.buffer) g_object_unref(u.buffer);
            g_object_unref(u.urb);
            error = -EFAULT;
            return false;
        }
        umockdev_ioctl_data_set_ptr(slot, 0, u.urb);
        g_object_unref(slot);
        umockdev_ioctl_client_complete(client, 0, 0);
        if (u.buffer) g_object_unref(u.buffer);
        g_object_unref(u.urb);
        return true;
    }
}

struct UsbdevfsIoctlHandler::Hold {
    std::weak_ptr<UsbdevfsIoctlHandler*> handler;
    UMockdevIoctlClient* client;
};

void UsbdevfsIoctlHandler::Park(UMockdevIoctlClient* client, Client& c, bool blocking) {
    c.parked = client;
    c.parkedBlocking = blocking;
    if (!blocking) {
        GSource* source = g_timeout_source_new(kReapHoldMs);
        g_source_set_callback(source, ParkTimeout, new Hold{m_self, client},
                              [](gpointer data) { delete static_cast<Hold*>(data); });
        c.parkTimer = g_source_attach(source, m_context);
        g_source_unref(source);
    }
}

int UsbdevfsIoctlHandler::ParkTimeout(void* data) {
    auto* hold = static_cast<Hold*>(data);
    auto h = hold->handler.lock();
    if (!h) return G_SOURCE_REMOVE;
    UsbdevfsIoctlHandler& self = **h;
    Client* c = self.Find(hold->client);
    if (!c || c->parked != hold->client) return G_SOURCE_REMOVE;
    c->parkTimer = 0;  // this source ends by returning G_SOURCE_REMOVE
    c->parked = nullptr;
    int error = 0;
    if (!self.TryReap(hold->client, *c, error))
        umockdev_ioctl_client_complete(hold->client, -1, -error);
    return G_SOURCE_REMOVE;
}

void UsbdevfsIoctlHandler::Unpark(Client& c) {
    if (c.parkTimer) {
        GSource* s = g_main_context_find_source_by_id(m_context, c.parkTimer);
        if (s) g_source_destroy(s);
        c.parkTimer = 0;
    }
    c.parked = nullptr;
}

void UsbdevfsIoctlHandler::ServeParked(int file) {
    for (auto& [client, c] : m_clients) {
        if (c.file != file || !c.parked) continue;
        UMockdevIoctlClient* waiting = c.parked;
        int error = 0;
        if (TryReap(waiting, c, error)) {
            Unpark(c);
            c.emptyReaps = 0;
        } else if (error != -EAGAIN) {
            Unpark(c);
            umockdev_ioctl_client_complete(waiting, -1, -error);
        }
        return;
    }
}

}  // namespace qv::sim
