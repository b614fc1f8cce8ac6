#include "sim/SimServer.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "core/FileUtil.h"
#include "device/SimWire.h"

namespace qv::sim {

namespace {

using namespace simwire;

// How often the accept loop looks at its stop flag.
constexpr int kAcceptPollMs = 100;

}  // namespace

SimServer::SimServer(SimInstrument& instrument, std::string folder)
    : m_instrument(instrument), m_folder(std::move(folder)) {
    auto d = instrument.Descriptors();
    char name[64];
    std::snprintf(name, sizeof name, "%04x-%s%s", d.productId,
                  SerialTextFromUtf16(d.serial).c_str(), kSocketSuffix);
    m_path = m_folder + "/" + name;
}

SimServer::~SimServer() {
    Unplug();
}

bool SimServer::Plug(std::string& error) {
    if (m_listen >= 0) return true;
    // The folder is this user's alone: anyone who may add a socket to it
    // could pose as an instrument.
    if (!IsDirectory(m_folder) &&
        ((DirName(m_folder) != "." && MakeDirectories(DirName(m_folder)) != 0) ||
         (::mkdir(m_folder.c_str(), 0700) != 0 && errno != EEXIST))) {
        error = m_folder + ": " + std::strerror(errno);
        return false;
    }
    if (std::string why = SimFolderProblem(m_folder); !why.empty()) {
        error = why + "; not used for an instrument (remove it, or set QVORT_SIM_DIR)";
        return false;
    }
    // The socket is bound and listening under a temporary name, then renamed
    // into place: a client that sees the file can always connect to it.
    const std::string staging = m_path + ".new";
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (staging.size() >= sizeof addr.sun_path) {
        error = m_path + ": path too long for a socket";
        return false;
    }
    std::memcpy(addr.sun_path, staging.c_str(), staging.size() + 1);
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = std::string("socket: ") + std::strerror(errno);
        return false;
    }
    ::unlink(staging.c_str());
    // The socket's own mode does not matter: the folder keeps others out.
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 16) != 0 ||
        ::rename(staging.c_str(), m_path.c_str()) != 0) {
        error = m_path + ": " + std::strerror(errno);
        ::close(fd);
        ::unlink(staging.c_str());
        return false;
    }
    m_instrument.SetAttached(true);
    m_listen = fd;
    m_stopAccept = false;
    m_acceptThread = std::thread([this, fd] { AcceptLoop(fd); });
    return true;
}

void SimServer::Unplug() {
    if (m_listen < 0) return;
    // The socket goes first, so nobody new finds the instrument.
    ::unlink(m_path.c_str());
    m_stopAccept = true;
    if (m_acceptThread.joinable()) m_acceptThread.join();
    ::close(m_listen);
    m_listen = -1;
    m_instrument.SetAttached(false);
    std::vector<std::thread> workers;
    {
        std::lock_guard lock(m_mutex);
        // Shutting down wakes a worker blocked in read; it closes its own fd.
        for (int c : m_clients)
            ::shutdown(c, SHUT_RDWR);
        workers.swap(m_workers);
    }
    for (auto& w : workers)
        if (w.joinable()) w.join();
}

void SimServer::AcceptLoop(int listenFd) {
    while (!m_stopAccept) {
        pollfd p{listenFd, POLLIN, 0};
        int rc = ::poll(&p, 1, kAcceptPollMs);
        if (rc <= 0) continue;
        int c = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (c < 0) continue;
        std::lock_guard lock(m_mutex);
        m_clients.insert(c);
        m_workers.emplace_back([this, c] { Serve(c); });
    }
}

namespace {

// The program at the other end closed its connection (it exited or was
// killed): nothing it asked for can reach it any more.
bool PeerClosed(int fd) {
    pollfd p{fd, POLLRDHUP, 0};
    return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0;
}

}  // namespace

void SimServer::Serve(int fd) {
    std::string data;
    for (;;) {
        uint8_t head[kRequestHeaderSize];
        if (!ReadFull(fd, head, sizeof head)) break;
        Request req = DecodeRequestHeader(head);
        if (req.length > kMaxTransfer) break;
        Response resp;
        std::string payload;
        if (req.op == kOpDescribe && m_instrument.AccessDenied()) {
            resp.status = kStatusDenied;
        } else if (req.op == kOpDescribe) {
            payload = EncodeDescriptors(m_instrument.Descriptors());
        } else if (req.op == kOpOut) {
            data.resize(req.length);
            if (!ReadFull(fd, data.data(), data.size())) break;
            size_t taken = 0;
            resp.status = m_instrument.Out(req.endpoint, reinterpret_cast<uint8_t*>(data.data()),
                                           data.size(), taken);
            resp.length = static_cast<uint32_t>(taken);
        } else if (req.op == kOpIn) {
            resp.status = m_instrument.In(req.endpoint, req.length, req.timeoutMs, payload,
                                          [fd] { return PeerClosed(fd); });
        } else {
            break;
        }
        if (resp.status == kStatusGone) break;
        if (req.op != kOpOut) resp.length = static_cast<uint32_t>(payload.size());
        std::string out = EncodeResponseHeader(resp) + payload;
        if (!WriteFull(fd, out.data(), out.size())) break;
    }
    std::lock_guard lock(m_mutex);
    m_clients.erase(fd);
    ::close(fd);
}

}  // namespace qv::sim
