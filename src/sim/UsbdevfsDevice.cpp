#include "sim/UsbdevfsDevice.h"

#include <cerrno>

namespace qv::sim {

namespace {

// How long one OUT transfer may take before it is tried again; the emulated
// instrument takes its packets at once, so this only bounds a stuck peer.
constexpr unsigned kOutSliceMs = 1000;
// The one interface the instrument has.
constexpr unsigned kInterfaceCount = 1;

}  // namespace

UsbdevfsDevice::UsbdevfsDevice(const DeviceDescriptors& descriptors, LinkFactory links,
                               std::function<void()> onGone)
    : m_descriptors(descriptors), m_links(std::move(links)), m_onGone(std::move(onGone)) {
    for (const EndpointInfo& e : descriptors.endpoints) {
        auto ep = std::make_unique<Endpoint>();
        ep->address = e.address;
        m_endpoints.emplace(e.address, std::move(ep));
    }
    for (auto& [address, ep] : m_endpoints)
        ep->worker = std::thread([this, e = ep.get()] { Serve(*e); });
}

UsbdevfsDevice::~UsbdevfsDevice() {
    Disconnect();
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_files.clear();
    }
    for (auto& [address, ep] : m_endpoints) {
        ep->wake.notify_all();
        if (ep->worker.joinable()) ep->worker.join();
    }
}

int UsbdevfsDevice::OpenFile(std::function<void()> onCompletion) {
    std::lock_guard lock(m_mutex);
    int id = m_nextFile++;
    m_files[id].onCompletion = std::move(onCompletion);
    return id;
}

void UsbdevfsDevice::CloseFile(int file) {
    std::lock_guard lock(m_mutex);
    for (auto& [address, ep] : m_endpoints) {
        std::erase_if(ep->queue, [file](const auto& p) { return p->file == file; });
        if (ep->current && ep->current->file == file) ep->current->cancelled = true;
    }
    std::erase_if(m_claims, [file](const auto& c) { return c.second == file; });
    m_files.erase(file);
}

int UsbdevfsDevice::CheckInterfaceLocked(int file, unsigned iface) {
    if (iface >= kInterfaceCount) return -ENOENT;
    auto it = m_claims.find(iface);
    if (it != m_claims.end()) return it->second == file ? 0 : -EBUSY;
    // A transfer on an interface nobody claimed claims it for the file, as
    // the kernel does for programs that skip the claim.
    m_claims[iface] = file;
    return 0;
}

int UsbdevfsDevice::ClaimInterface(int file, unsigned iface) {
    std::lock_guard lock(m_mutex);
    if (!m_connected) return -ENODEV;
    if (!m_files.count(file)) return -EBADF;
    return CheckInterfaceLocked(file, iface);
}

int UsbdevfsDevice::ReleaseInterface(int file, unsigned iface) {
    std::lock_guard lock(m_mutex);
    if (!m_connected) return -ENODEV;
    auto it = m_claims.find(iface);
    if (it == m_claims.end() || it->second != file) return -EINVAL;
    m_claims.erase(it);
    return 0;
}

int UsbdevfsDevice::Submit(int file, UrbRequest urb) {
    std::vector<std::function<void()>> calls;
    std::shared_ptr<Pending> atOnce;
    Endpoint* atOnceEp = nullptr;
    {
        std::lock_guard lock(m_mutex);
        if (!m_connected) return -ENODEV;
        if (!m_files.count(file)) return -EBADF;
        if (urb.type == kUrbTypeControl) {
            if ((urb.endpoint & 0x7F) != 0) return -ENOENT;
            if (urb.length < 8 || urb.data.size() < 8) return -EINVAL;
            const UsbSetup setup = UsbSetup::Parse(urb.data.data());
            if (setup.length > urb.length - 8) return -EINVAL;
            // Answered by the device's USB controller at once.
            auto answer = m_descriptors.AnswerControl(setup);
            Pending p{file, urb};
            if (!answer) {
                calls.push_back(CompleteLocked(p, -EPIPE, {}, 0));
            } else {
                size_t actual = setup.IsIn() ? answer->size() : setup.length;
                calls.push_back(CompleteLocked(p, 0, std::move(*answer), actual));
            }
        } else {
            if (urb.type != kUrbTypeBulk && urb.type != kUrbTypeInterrupt) return -EINVAL;
            auto it = m_endpoints.find(urb.endpoint);
            if (it == m_endpoints.end()) return -ENOENT;
            // Every endpoint of the instrument is a bulk endpoint.
            if (urb.type != kUrbTypeBulk) return -EINVAL;
            if (!(urb.endpoint & 0x80) && urb.data.size() < urb.length) return -EFAULT;
            if (int rc = CheckInterfaceLocked(file, 0); rc != 0) return rc;
            Endpoint& ep = *it->second;
            auto p = std::make_shared<Pending>(Pending{file, std::move(urb)});
            if (ep.current || !ep.queue.empty()) {
                ep.queue.push_back(std::move(p));  // behind the URBs before it
                ep.wake.notify_all();
            } else {
                ep.current = p;
                atOnce = std::move(p);
                atOnceEp = &ep;
            }
        }
    }
    CallAll(calls);
    if (atOnce) StartAtOnce(*atOnceEp, atOnce);
    return 0;
}

int UsbdevfsDevice::Discard(int file, uint64_t id) {
    std::vector<std::function<void()>> calls;
    {
        std::lock_guard lock(m_mutex);
        if (!m_connected) return -ENODEV;
        bool found = false;
        for (auto& [address, ep] : m_endpoints) {
            for (auto it = ep->queue.begin(); it != ep->queue.end(); ++it) {
                if ((*it)->file != file || (*it)->urb.id != id) continue;
                calls.push_back(CompleteLocked(**it, -ENOENT, {}, 0));
                ep->queue.erase(it);
                found = true;
                break;
            }
            // One in flight completes when its worker sees the mark.
            if (!found && ep->current && ep->current->file == file && ep->current->urb.id == id) {
                ep->current->cancelled = true;
                found = true;
            }
            if (found) break;
        }
        if (!found) return -EINVAL;
    }
    CallAll(calls);
    return 0;
}

int UsbdevfsDevice::Reap(int file, UrbCompletion& out) {
    std::lock_guard lock(m_mutex);
    auto it = m_files.find(file);
    if (it == m_files.end()) return -EBADF;
    if (it->second.done.empty()) return m_connected ? -EAGAIN : -ENODEV;
    out = std::move(it->second.done.front());
    it->second.done.pop_front();
    return 0;
}

void UsbdevfsDevice::Disconnect() {
    std::vector<std::function<void()>> calls;
    {
        std::lock_guard lock(m_mutex);
        if (!m_connected.exchange(false)) return;
        for (auto& [address, ep] : m_endpoints) {
            for (auto& p : ep->queue)
                calls.push_back(CompleteLocked(*p, -ESHUTDOWN, {}, 0));
            ep->queue.clear();
            // The one in flight ends with -ESHUTDOWN within a slice.
        }
        m_claims.clear();
    }
    CallAll(calls);
}

void UsbdevfsDevice::LinkGone() {
    Disconnect();
    if (m_onGone) m_onGone();
}

std::function<void()> UsbdevfsDevice::CompleteLocked(const Pending& p, int status,
                                                     std::vector<uint8_t> data, size_t actual) {
    auto it = m_files.find(p.file);
    if (it == m_files.end()) return {};
    it->second.done.push_back(UrbCompletion{p.urb.id, status, actual, std::move(data)});
    return it->second.onCompletion;
}

void UsbdevfsDevice::CallAll(std::vector<std::function<void()>>& calls) {
    for (auto& c : calls)
        if (c) c();
    calls.clear();
}

int UsbdevfsDevice::Attempt(Endpoint& ep, Pending& p, std::vector<uint8_t>& data, size_t& actual,
                            unsigned waitMs) {
    actual = 0;
    const bool in = (ep.address & 0x80) != 0;
    if (p.urb.length == 0) return 0;
    if (!ep.link) ep.link = m_links ? m_links() : nullptr;
    if (!ep.link) {
        LinkGone();
        return -ESHUTDOWN;
    }
    size_t n = p.urb.length;
    TransferStatus st;
    if (in) {
        data.resize(n);
        st = ep.link->Transfer(ep.address, data.data(), n, waitMs);
    } else {
        st = ep.link->Transfer(ep.address, p.urb.data.data(), n, waitMs);
    }
    switch (st) {
        case TransferStatus::kOk:
            actual = n;
            if (in) data.resize(n);
            // A short packet ends an IN transfer; SHORT_NOT_OK makes it a fault.
            return in && n < p.urb.length && (p.urb.flags & kUrbShortNotOk) ? -EREMOTEIO : 0;
        case TransferStatus::kTimeout:
            if (n == 0) return kPending;  // nothing moved within the wait
            actual = n;
            if (in) data.resize(n);
            return 0;
        case TransferStatus::kNoDevice:
            ep.link.reset();
            LinkGone();
            return -ESHUTDOWN;
        case TransferStatus::kError:
            // The instrument refused the transfer: the endpoint stalls.
            return -EPIPE;
    }
    return -EPROTO;
}

int UsbdevfsDevice::Carry(Endpoint& ep, Pending& p, std::vector<uint8_t>& data, size_t& actual) {
    const unsigned slice = (ep.address & 0x80) ? kInSliceMs : kOutSliceMs;
    for (;;) {
        {
            std::lock_guard lock(m_mutex);
            if (!m_connected) return -ESHUTDOWN;
            if (p.cancelled) return -ENOENT;
        }
        // Waits a slice at a time, so that a discard or a disconnection
        // meanwhile is seen.
        int status = Attempt(ep, p, data, actual, slice);
        if (status != kPending) return status;
    }
}

void UsbdevfsDevice::FinishLocked(Endpoint& ep, const Pending& p, int status,
                                  std::vector<uint8_t> data, size_t actual,
                                  std::vector<std::function<void()>>& calls) {
    // A discarded URB that finished first keeps its data and status.
    calls.push_back(CompleteLocked(p, status, std::move(data), actual));
    if (status == -EREMOTEIO) {
        // The rest of that transfer, queued as continuations, is unlinked
        // by the kernel.
        while (!ep.queue.empty() && ep.queue.front()->file == p.file &&
               (ep.queue.front()->urb.flags & kUrbBulkContinuation)) {
            calls.push_back(CompleteLocked(*ep.queue.front(), -ECONNRESET, {}, 0));
            ep.queue.pop_front();
        }
    }
    ep.current.reset();
    ep.wake.notify_all();
}

void UsbdevfsDevice::StartAtOnce(Endpoint& ep, const std::shared_ptr<Pending>& p) {
    // An OUT transfer goes out now; an IN transfer takes what waits now.
    // Only what has to wait is left to the endpoint's thread: every hand-over
    // between threads costs time a loaded machine may not give, and the
    // host's time-outs (200 ms for a command) keep running meanwhile.
    const bool in = (ep.address & 0x80) != 0;
    std::vector<uint8_t> data;
    size_t actual = 0;
    int status = Attempt(ep, *p, data, actual, in ? 0 : kOutSliceMs);
    std::vector<std::function<void()>> calls;
    {
        std::lock_guard lock(m_mutex);
        if (status == kPending && m_connected && !p->cancelled) {
            ep.queue.push_front(p);
            ep.current.reset();
            ep.wake.notify_all();
            return;
        }
        if (status == kPending) status = m_connected ? -ENOENT : -ESHUTDOWN;
        FinishLocked(ep, *p, status, std::move(data), actual, calls);
    }
    CallAll(calls);
}

void UsbdevfsDevice::Serve(Endpoint& ep) {
    std::vector<std::function<void()>> calls;
    std::unique_lock lock(m_mutex);
    for (;;) {
        ep.wake.wait(lock, [&] { return m_stopping || (!ep.queue.empty() && !ep.current); });
        if (m_stopping) return;
        std::shared_ptr<Pending> p = ep.queue.front();
        ep.queue.pop_front();
        ep.current = p;
        lock.unlock();
        std::vector<uint8_t> data;
        size_t actual = 0;
        int status = Carry(ep, *p, data, actual);
        lock.lock();
        FinishLocked(ep, *p, status, std::move(data), actual, calls);
        lock.unlock();
        CallAll(calls);
        lock.lock();
    }
}

}  // namespace qv::sim
