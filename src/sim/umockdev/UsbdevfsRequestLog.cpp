#include "sim/umockdev/UsbdevfsRequestLog.h"

#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>

#include <cstdio>

namespace qv::sim {

void UsbdevfsRequestLog::Count(const std::string& name) {
    std::lock_guard lock(m_mutex);
    ++m_counts[name];
}

std::map<std::string, uint64_t> UsbdevfsRequestLog::Counts() const {
    std::lock_guard lock(m_mutex);
    return m_counts;
}

std::string UsbdevfsRequestName(unsigned long request) {
    switch (request) {
        case USBDEVFS_CONTROL:
            return "CONTROL";
        case USBDEVFS_BULK:
            return "BULK";
        case USBDEVFS_RESETEP:
            return "RESETEP";
        case USBDEVFS_SETINTERFACE:
            return "SETINTERFACE";
        case USBDEVFS_SETCONFIGURATION:
            return "SETCONFIGURATION";
        case USBDEVFS_GETDRIVER:
            return "GETDRIVER";
        case USBDEVFS_SUBMITURB:
            return "SUBMITURB";
        case USBDEVFS_DISCARDURB:
            return "DISCARDURB";
        case USBDEVFS_REAPURB:
            return "REAPURB";
        case USBDEVFS_REAPURBNDELAY:
            return "REAPURBNDELAY";
        case USBDEVFS_CLAIMINTERFACE:
            return "CLAIMINTERFACE";
        case USBDEVFS_RELEASEINTERFACE:
            return "RELEASEINTERFACE";
        case USBDEVFS_CONNECTINFO:
            return "CONNECTINFO";
        case USBDEVFS_IOCTL:
            return "IOCTL";
        case USBDEVFS_RESET:
            return "RESET";
        case USBDEVFS_CLEAR_HALT:
            return "CLEAR_HALT";
        case USBDEVFS_GET_CAPABILITIES:
            return "GET_CAPABILITIES";
        case USBDEVFS_DISCONNECT_CLAIM:
            return "DISCONNECT_CLAIM";
        case USBDEVFS_ALLOC_STREAMS:
            return "ALLOC_STREAMS";
        case USBDEVFS_GET_SPEED:
            return "GET_SPEED";
        default: {
            char buf[24];
            std::snprintf(buf, sizeof buf, "0x%lx", request);
            return buf;
        }
    }
}

}  // namespace qv::sim
