#include "device/SimSocketBackend.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <optional>
#include <set>

#include "device/SimWire.h"

namespace qv {

namespace {

using namespace simwire;

// How long to wait for an instrument's answer beyond the transfer's own
// time-out. The instrument answers a timed-out request itself, so this only
// ends the wait on a peer that hangs; it is generous because a loaded
// machine may deschedule the emulator for seconds.
constexpr int kPeerGraceMs = 30000;
// How often the folder is looked at for sockets that came or went.
constexpr auto kWatchInterval = std::chrono::milliseconds(200);

class SimSocketLink : public IDeviceLink {
  public:
    SimSocketLink(int fd, DeviceDescriptors d) : m_fd(fd), m_desc(std::move(d)) {}
    ~SimSocketLink() override {
        if (m_fd >= 0) ::close(m_fd);
    }
    const DeviceDescriptors& Descriptors() const override { return m_desc; }

    TransferStatus Transfer(uint8_t endpoint, uint8_t* data, size_t& length,
                            unsigned timeoutMs) override {
        size_t wanted = length;
        length = 0;
        if (m_fd < 0) return TransferStatus::kNoDevice;
        if (wanted > kMaxTransfer) return TransferStatus::kError;
        bool in = (endpoint & 0x80) != 0;
        Request req{in ? kOpIn : kOpOut, endpoint, static_cast<uint32_t>(wanted), timeoutMs};
        std::string head = EncodeRequestHeader(req);
        if (!in) head.append(reinterpret_cast<const char*>(data), wanted);
        if (!WriteFull(m_fd, head.data(), head.size())) return Vanished();

        pollfd pfd{m_fd, POLLIN, 0};
        int limit = static_cast<int>(std::min<unsigned>(timeoutMs, 600000)) + kPeerGraceMs;
        int rc;
        do {
            rc = ::poll(&pfd, 1, limit);
        } while (rc < 0 && errno == EINTR);
        if (rc <= 0) return Vanished();

        uint8_t rh[kResponseHeaderSize];
        if (!ReadFull(m_fd, rh, sizeof rh)) return Vanished();
        Response resp = DecodeResponseHeader(rh);
        if (in) {
            if (resp.length > wanted) return Vanished();  // a peer that breaks the rules
            if (resp.length > 0 && !ReadFull(m_fd, data, resp.length)) return Vanished();
        }
        if (resp.status == kStatusTimeout) return TransferStatus::kTimeout;
        if (resp.status != kStatusOk) return TransferStatus::kError;
        length = in ? resp.length : std::min<size_t>(resp.length, wanted);
        return TransferStatus::kOk;
    }

  private:
    TransferStatus Vanished() {
        ::close(m_fd);
        m_fd = -1;
        return TransferStatus::kNoDevice;
    }

    int m_fd;
    DeviceDescriptors m_desc;
};

int ConnectSocket(const std::string& path) {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof addr.sun_path) return -1;
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        int e = errno;
        ::close(fd);
        errno = e;
        return -1;
    }
    return fd;
}

// Says once per process why a folder or socket is not used: the user sees
// an instrument missing and must learn that someone may be posing as one.
void Refuse(const std::string& problem) {
    static std::mutex mutex;
    static std::set<std::string> told;
    std::lock_guard lock(mutex);
    if (!told.insert(problem).second) return;
    std::fprintf(stderr,
                 "qv-ort: %s; emulated instruments there are not used (remove it, or set "
                 "QVORT_SIM_DIR to a folder of your own)\n",
                 problem.c_str());
}

// The socket's path when the folder and the socket can be trusted.
std::optional<std::string> TrustedSocket(const std::string& folder, const std::string& name) {
    if (std::string why = SimFolderProblem(folder); !why.empty()) {
        Refuse(why);
        return std::nullopt;
    }
    std::string path = folder + "/" + name;
    if (std::string why = SimSocketProblem(path); !why.empty()) {
        Refuse(why);
        return std::nullopt;
    }
    return path;
}

}  // namespace

SimSocketBackend::SimSocketBackend(std::string folder) : m_folder(std::move(folder)) {}

SimSocketBackend::~SimSocketBackend() {
    StopWatching();
}

std::string SimSocketBackend::Folder() const {
    return m_folder.empty() ? SimSocketFolder() : m_folder;
}

std::vector<DeviceRef> SimSocketBackend::Enumerate() {
    std::vector<DeviceRef> out;
    const std::string folder = Folder();
    if (std::string why = SimFolderProblem(folder); !why.empty()) {
        Refuse(why);
        return out;
    }
    std::error_code ec;
    std::filesystem::directory_iterator it(folder, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (!name.ends_with(kSocketSuffix)) continue;
        std::error_code typeEc;
        if (!it->is_socket(typeEc) && !it->is_symlink(typeEc)) continue;
        if (!TrustedSocket(folder, name)) continue;
        // The emulator names its socket "pppp-SERIAL.sock" (product id in hex).
        DeviceRef ref;
        ref.key = kKeyPrefix + name;
        std::string stem = name.substr(0, name.size() - std::strlen(kSocketSuffix));
        if (stem.size() > 5 && stem[4] == '-') {
            ref.productId = static_cast<uint16_t>(std::strtoul(stem.substr(0, 4).c_str(), nullptr, 16));
            ref.serial = stem.substr(5, 8);
        }
        out.push_back(std::move(ref));
    }
    std::sort(out.begin(), out.end(),
              [](const DeviceRef& a, const DeviceRef& b) { return a.key < b.key; });
    return out;
}

std::unique_ptr<IDeviceLink> SimSocketBackend::Open(const DeviceRef& ref, OpenFailure* why) {
    OpenFailure ignored;
    OpenFailure& failure = why ? *why : ignored;
    failure = OpenFailure::kOther;
    if (!ref.key.starts_with(kKeyPrefix)) return nullptr;
    std::optional<std::string> path = TrustedSocket(Folder(), ref.key.substr(std::strlen(kKeyPrefix)));
    if (!path) return nullptr;
    int fd = ConnectSocket(*path);
    if (fd < 0) {
        failure = errno == EACCES || errno == EPERM ? OpenFailure::kNoAccess
                  : errno == ENOENT || errno == ECONNREFUSED ? OpenFailure::kGone
                                                              : OpenFailure::kOther;
        return nullptr;
    }
    std::string head = EncodeRequestHeader(Request{kOpDescribe, 0, 0, 0});
    uint8_t rh[kResponseHeaderSize];
    DeviceDescriptors desc;
    bool ok = WriteFull(fd, head.data(), head.size()) && ReadFull(fd, rh, sizeof rh);
    if (ok) {
        Response resp = DecodeResponseHeader(rh);
        // An emulated unit set up to refuse this user, as a device node
        // without permission does.
        if (resp.status == kStatusDenied) failure = OpenFailure::kNoAccess;
        std::string block(resp.length, '\0');
        ok = resp.status == kStatusOk && resp.length < 65536 &&
             ReadFull(fd, block.data(), block.size()) &&
             DecodeDescriptors(reinterpret_cast<const uint8_t*>(block.data()), block.size(), desc);
    }
    if (!ok) {
        ::close(fd);
        return nullptr;
    }
    failure = OpenFailure::kNone;
    return std::make_unique<SimSocketLink>(fd, std::move(desc));
}

void SimSocketBackend::StartWatching(PlugCallback callback) {
    m_poller.Start([this] { return KeysOf(Enumerate()); }, std::move(callback), kWatchInterval);
}

void SimSocketBackend::StopWatching() { m_poller.Stop(); }

}  // namespace qv
