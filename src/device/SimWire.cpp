#include "device/SimWire.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace qv::simwire {

void PutLe16(std::string& out, uint16_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>(v >> 8));
}

void PutLe32(std::string& out, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

uint16_t GetLe16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t GetLe32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

std::string EncodeRequestHeader(const Request& r) {
    std::string out;
    out.push_back(static_cast<char>(r.op));
    out.push_back(static_cast<char>(r.endpoint));
    PutLe16(out, 0);
    PutLe32(out, r.length);
    PutLe32(out, r.timeoutMs);
    return out;
}

Request DecodeRequestHeader(const uint8_t* p) {
    Request r;
    r.op = p[0];
    r.endpoint = p[1];
    r.length = GetLe32(p + 4);
    r.timeoutMs = GetLe32(p + 8);
    return r;
}

std::string EncodeResponseHeader(const Response& r) {
    std::string out;
    out.push_back(static_cast<char>(r.status));
    out.append(3, '\0');
    PutLe32(out, r.length);
    return out;
}

Response DecodeResponseHeader(const uint8_t* p) {
    Response r;
    r.status = p[0];
    r.length = GetLe32(p + 4);
    return r;
}

namespace {

void PutString(std::string& out, const std::u16string& s) {
    PutLe16(out, static_cast<uint16_t>(s.size()));
    for (char16_t c : s)
        PutLe16(out, static_cast<uint16_t>(c));
}

bool GetString(const uint8_t* p, size_t n, size_t& pos, std::u16string& s) {
    if (pos + 2 > n) return false;
    size_t count = GetLe16(p + pos);
    pos += 2;
    if (pos + 2 * count > n) return false;
    s.clear();
    for (size_t i = 0; i < count; ++i)
        s.push_back(static_cast<char16_t>(GetLe16(p + pos + 2 * i)));
    pos += 2 * count;
    return true;
}

}  // namespace

std::string EncodeDescriptors(const DeviceDescriptors& d) {
    std::string out;
    PutLe16(out, d.vendorId);
    PutLe16(out, d.productId);
    PutLe16(out, d.release);
    out.push_back(static_cast<char>(d.endpoints.size()));
    for (const auto& ep : d.endpoints) {
        out.push_back(static_cast<char>(ep.address));
        out.push_back(static_cast<char>(ep.type));
        PutLe16(out, ep.maxPacketSize);
    }
    PutString(out, d.manufacturer);
    PutString(out, d.product);
    PutString(out, d.serial);
    return out;
}

bool DecodeDescriptors(const uint8_t* p, size_t n, DeviceDescriptors& out) {
    if (n < 7) return false;
    out.vendorId = GetLe16(p);
    out.productId = GetLe16(p + 2);
    out.release = GetLe16(p + 4);
    size_t count = p[6];
    size_t pos = 7;
    if (pos + 4 * count > n) return false;
    out.endpoints.clear();
    for (size_t i = 0; i < count; ++i, pos += 4) {
        EndpointInfo ep;
        ep.address = p[pos];
        ep.type = static_cast<TransferType>(p[pos + 1] & 3);
        ep.maxPacketSize = GetLe16(p + pos + 2);
        out.endpoints.push_back(ep);
    }
    return GetString(p, n, pos, out.manufacturer) && GetString(p, n, pos, out.product) &&
           GetString(p, n, pos, out.serial);
}

std::string SimSocketFolder() {
    if (const char* d = std::getenv("QVORT_SIM_DIR"); d && *d) return d;
    if (const char* r = std::getenv("XDG_RUNTIME_DIR"); r && *r)
        return std::string(r) + "/qv-ort-sim";
    return "/tmp/qv-ort-sim-" + std::to_string(::getuid());
}

std::string SimFolderProblem(const std::string& folder) {
    struct stat st {};
    // A link to a folder is followed: what counts is who owns the folder.
    if (::stat(folder.c_str(), &st) != 0) return {};
    char mode[16];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
    if (!S_ISDIR(st.st_mode)) return folder + " is not a folder";
    if (st.st_uid != ::geteuid())
        return folder + " belongs to another user (uid " + std::to_string(st.st_uid) + ")";
    if (st.st_mode & (S_IWGRP | S_IWOTH))
        return folder + " may be written by other users (mode " + mode + ")";
    return {};
}

std::string SimSocketProblem(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return {};
    if (!S_ISSOCK(st.st_mode)) return path + " is not a socket";
    if (st.st_uid != ::geteuid())
        return path + " belongs to another user (uid " + std::to_string(st.st_uid) + ")";
    return {};
}

bool ReadFull(int fd, void* buf, size_t n) {
    auto* p = static_cast<uint8_t*>(buf);
    while (n > 0) {
        ssize_t got = ::read(fd, p, n);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        p += got;
        n -= static_cast<size_t>(got);
    }
    return true;
}

bool WriteFull(int fd, const void* buf, size_t n) {
    const auto* p = static_cast<const uint8_t*>(buf);
    while (n > 0) {
        // MSG_NOSIGNAL: a vanished peer must give an error, not kill us with SIGPIPE.
        ssize_t put = ::send(fd, p, n, MSG_NOSIGNAL);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        p += put;
        n -= static_cast<size_t>(put);
    }
    return true;
}

}  // namespace qv::simwire
