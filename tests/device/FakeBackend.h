// A backend whose devices live in the test: it records every transfer and
// answers IN transfers from a script, so a test can check packets byte by
// byte and feed the replies it wants.
#pragma once

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "device/DeviceBackend.h"
#include "device/UsbDevice.h"

namespace qv::test {

struct FakeUnit {
    uint16_t productId = kProductQvS1;
    std::string serial = "00000001";
    bool opens = true;
};

struct FakeWire {
    struct Out {
        uint8_t endpoint;
        std::vector<uint8_t> bytes;
    };
    std::vector<Out> outs;
    std::deque<std::vector<uint8_t>> replies;  // answers on 0x86, in order
    bool unplugged = false;
    unsigned lastTimeout = 0;

    // A reply carrying words 1..n after word 0.
    void Reply(std::initializer_list<uint32_t> words) {
        std::vector<uint8_t> r(4, 0);
        for (uint32_t w : words)
            for (int s = 24; s >= 0; s -= 8)
                r.push_back(static_cast<uint8_t>(w >> s));
        replies.push_back(r);
    }
};

class FakeLink : public IDeviceLink {
  public:
    FakeLink(const FakeUnit& u, std::shared_ptr<FakeWire> wire) : m_wire(std::move(wire)) {
        m_desc.vendorId = kQvVendorId;
        m_desc.productId = u.productId;
        m_desc.release = 0x0123;
        m_desc.serial = std::u16string(u.serial.begin(), u.serial.end());
        for (uint8_t a : {kEpControlWord, kEpCommand, kEpReply, kEpStream})
            m_desc.endpoints.push_back(EndpointInfo{a, TransferType::kBulk, 512, 0});
    }
    const DeviceDescriptors& Descriptors() const override { return m_desc; }
    TransferStatus Transfer(uint8_t ep, uint8_t* data, size_t& length,
                            unsigned timeoutMs) override {
        m_wire->lastTimeout = timeoutMs;
        if (m_wire->unplugged) {
            length = 0;
            return TransferStatus::kNoDevice;
        }
        if (!(ep & 0x80)) {
            m_wire->outs.push_back({ep, std::vector<uint8_t>(data, data + length)});
            return TransferStatus::kOk;
        }
        if (ep != kEpReply || m_wire->replies.empty()) {
            length = 0;
            return TransferStatus::kTimeout;
        }
        auto r = m_wire->replies.front();
        m_wire->replies.pop_front();
        length = std::min(length, r.size());
        std::copy_n(r.begin(), length, data);
        return TransferStatus::kOk;
    }

  private:
    std::shared_ptr<FakeWire> m_wire;
    DeviceDescriptors m_desc;
};

class FakeBackend : public IDeviceBackend {
  public:
    FakeBackend(std::vector<FakeUnit> units, std::shared_ptr<FakeWire> wire)
        : m_units(std::move(units)), m_wire(std::move(wire)) {}
    std::vector<DeviceRef> Enumerate() override {
        std::vector<DeviceRef> v;
        for (size_t i = 0; i < m_units.size(); ++i)
            v.push_back({"fake:" + std::to_string(i)});
        return v;
    }
    std::unique_ptr<IDeviceLink> Open(const DeviceRef& ref) override {
        size_t i = std::stoul(ref.key.substr(5));
        if (i >= m_units.size() || !m_units[i].opens) return nullptr;
        return std::make_unique<FakeLink>(m_units[i], m_wire);
    }
    void StartWatching(PlugCallback) override {}
    void StopWatching() override {}

  private:
    std::vector<FakeUnit> m_units;
    std::shared_ptr<FakeWire> m_wire;
};

// A device object over fake units.
inline std::shared_ptr<UsbDevice> MakeFakeDevice(std::vector<FakeUnit> units,
                                                  std::shared_ptr<FakeWire> wire) {
    std::vector<std::unique_ptr<IDeviceBackend>> b;
    b.push_back(std::make_unique<FakeBackend>(std::move(units), std::move(wire)));
    return std::make_shared<UsbDevice>(std::move(b));
}

}  // namespace qv::test
