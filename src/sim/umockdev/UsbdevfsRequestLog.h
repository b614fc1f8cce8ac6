// The usbdevfs requests that programs made on an emulated USB bus, counted
// by name: what of the kernel's interface libusb really used.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>

namespace qv::sim {

// The usbdevfs requests programs made, by name ("SUBMITURB", ...), with
// how often; shared by every device of a bus.
class UsbdevfsRequestLog {
  public:
    void Count(const std::string& name);
    std::map<std::string, uint64_t> Counts() const;

  private:
    mutable std::mutex m_mutex;
    std::map<std::string, uint64_t> m_counts;
};

// The name of a usbdevfs request, or "0x..." for one this emulation does not know.
std::string UsbdevfsRequestName(unsigned long request);

}  // namespace qv::sim
