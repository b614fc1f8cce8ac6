// The kernel's side of an emulated USB device, without umockdev: the
// descriptors as a host reads them, and the rules of URBs (order, discards,
// short packets, claims, disconnection) over links the test scripts.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "sim/UsbdevfsDevice.h"

namespace qv::sim {
namespace {

DeviceDescriptors Instrument() {
    DeviceDescriptors d;
    d.vendorId = kQvVendorId;
    d.productId = kProductQvSz2;
    d.release = 0x0207;
    d.manufacturer = u"Maker";
    d.product = u"QV-SZ2";
    d.serial = u"42";
    for (uint8_t a : {kEpControlWord, kEpCommand, kEpReply, kEpStream})
        d.endpoints.push_back(EndpointInfo{a, TransferType::kBulk, 512, 0});
    return d;
}

std::vector<uint8_t> SetupPacket(uint8_t type, uint8_t request, uint16_t value, uint16_t index,
                           uint16_t length) {
    return {type,
            request,
            static_cast<uint8_t>(value),
            static_cast<uint8_t>(value >> 8),
            static_cast<uint8_t>(index),
            static_cast<uint8_t>(index >> 8),
            static_cast<uint8_t>(length),
            static_cast<uint8_t>(length >> 8)};
}

// The device's answer to a standard request.
std::optional<std::vector<uint8_t>> Ask(const UsbDescriptorSet& set, uint8_t type, uint8_t request,
                                        uint16_t value, uint16_t index, uint16_t length) {
    return set.AnswerControl(UsbSetup::Parse(SetupPacket(type, request, value, index, length).data()));
}

TEST(UsbDescriptorSet, WhatAHostReadsOfTheInstrument) {
    UsbDescriptorSet set(Instrument());
    const auto& dev = set.Device();
    ASSERT_EQ(dev.size(), 18u);
    EXPECT_EQ(dev[1], kUsbDescDevice);
    EXPECT_EQ(dev[8] | (dev[9] << 8), kQvVendorId);  // little-endian on the wire
    EXPECT_EQ(dev[10] | (dev[11] << 8), kProductQvSz2);
    EXPECT_EQ(dev[12] | (dev[13] << 8), 0x0207);
    EXPECT_EQ(dev[17], 1);  // one configuration
    const auto& cfg = set.Configuration();
    ASSERT_EQ(cfg.size(), 9u + 9u + 4 * 7u);
    EXPECT_EQ(cfg[2] | (cfg[3] << 8), static_cast<int>(cfg.size()));  // wTotalLength
    EXPECT_EQ(cfg[9 + 4], 4);  // endpoints of interface 0
    EXPECT_EQ(cfg[18 + 7 * 3 + 2], kEpStream);
    EXPECT_EQ(cfg[18 + 7 * 3 + 3], 2);  // bulk
    EXPECT_EQ(set.SysfsDescriptors().size(), dev.size() + cfg.size());

    // A host reads the first 8 bytes of the device descriptor, then all of it.
    auto first = Ask(set, 0x80, kUsbReqGetDescriptor, 0x0100, 0, 8);
    ASSERT_TRUE(first);
    EXPECT_EQ(*first, std::vector<uint8_t>(dev.begin(), dev.begin() + 8));
    auto langs = Ask(set, 0x80, kUsbReqGetDescriptor, 0x0300, 0, 255);
    EXPECT_EQ(*langs, (std::vector<uint8_t>{4, kUsbDescString, 0x09, 0x04}));
    auto serial = Ask(set, 0x80, kUsbReqGetDescriptor, 0x0303, kUsbLangUsEnglish, 255);
    EXPECT_EQ(*serial, (std::vector<uint8_t>{6, kUsbDescString, '4', 0, '2', 0}));
    // What the device does not have, or does not know, stalls.
    EXPECT_FALSE(Ask(set, 0x80, kUsbReqGetDescriptor, 0x0303, 0x0407, 255));
    EXPECT_FALSE(Ask(set, 0x80, kUsbReqGetDescriptor, 0x0304, kUsbLangUsEnglish, 255));
    EXPECT_FALSE(Ask(set, 0xC0, 0x01, 0, 0, 4));  // vendor request
    EXPECT_TRUE(Ask(set, 0x00, kUsbReqSetConfiguration, 1, 0, 0));
}

// Links whose IN answers the test queues; OUT bytes are kept. A link can be
// made to report the instrument gone.
struct Wire {
    std::mutex m;
    std::condition_variable cv;
    std::deque<std::vector<uint8_t>> answers;  // for endpoint 0x86
    std::vector<std::vector<uint8_t>> sent;
    bool gone = false;
};

class ScriptedLink : public IDeviceLink {
  public:
    explicit ScriptedLink(std::shared_ptr<Wire> w) : m_wire(std::move(w)) {}
    const DeviceDescriptors& Descriptors() const override { return m_desc; }
    TransferStatus Transfer(uint8_t ep, uint8_t* data, size_t& length, unsigned timeoutMs) override {
        std::unique_lock lock(m_wire->m);
        if (m_wire->gone) {
            length = 0;
            return TransferStatus::kNoDevice;
        }
        if (!(ep & 0x80)) {
            m_wire->sent.emplace_back(data, data + length);
            return TransferStatus::kOk;
        }
        bool ready = m_wire->cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
            return m_wire->gone || (ep == kEpReply && !m_wire->answers.empty());
        });
        if (m_wire->gone) {
            length = 0;
            return TransferStatus::kNoDevice;
        }
        if (!ready) {
            length = 0;
            return TransferStatus::kTimeout;
        }
        auto a = std::move(m_wire->answers.front());
        m_wire->answers.pop_front();
        length = std::min(length, a.size());
        std::copy(a.begin(), a.begin() + static_cast<std::ptrdiff_t>(length), data);
        return TransferStatus::kOk;
    }

  private:
    std::shared_ptr<Wire> m_wire;
    DeviceDescriptors m_desc;
};

class Usbdevfs : public ::testing::Test {
  protected:
    std::shared_ptr<Wire> wire = std::make_shared<Wire>();
    std::atomic<int> goneCalls{0};
    UsbdevfsDevice dev{Instrument(), [w = wire] { return std::make_unique<ScriptedLink>(w); },
                       [this] { ++goneCalls; }};

    void Answer(std::vector<uint8_t> bytes) {
        std::lock_guard lock(wire->m);
        wire->answers.push_back(std::move(bytes));
        wire->cv.notify_all();
    }
    // Waits up to 10 s for the file's next completion.
    UrbCompletion Next(int file) {
        UrbCompletion c;
        for (int i = 0; i < 1000; ++i) {
            if (dev.Reap(file, c) == 0) return c;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ADD_FAILURE() << "no completion";
        return c;
    }
    static UrbRequest In(uint64_t id, uint8_t ep, size_t length, uint32_t flags = 0) {
        return UrbRequest{id, kUrbTypeBulk, ep, flags, length, {}};
    }
};

TEST_F(Usbdevfs, TransfersCompleteInOrderAndControlRequestsAtOnce) {
    int f = dev.OpenFile({});
    UrbCompletion c;
    EXPECT_EQ(dev.Reap(f, c), -EAGAIN);
    ASSERT_EQ(dev.Submit(f, UrbRequest{1, kUrbTypeBulk, kEpCommand, 0, 4, {'Q', 'V', 72, 2}}), 0);
    ASSERT_EQ(dev.Submit(f, In(2, kEpReply, 512)), 0);
    Answer({1, 2, 3});
    c = Next(f);
    EXPECT_EQ(c.id, 1u);
    EXPECT_EQ(c.actualLength, 4u);
    c = Next(f);
    EXPECT_EQ(c.id, 2u);
    EXPECT_EQ(c.status, 0);  // a short packet ends an IN transfer
    EXPECT_EQ(c.data, (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(wire->sent.at(0), (std::vector<uint8_t>{'Q', 'V', 72, 2}));

    auto setup = SetupPacket(0x80, kUsbReqGetDescriptor, 0x0100, 0, 18);
    ASSERT_EQ(dev.Submit(f, UrbRequest{3, kUrbTypeControl, 0, 0, 8 + 18, setup}), 0);
    c = Next(f);
    EXPECT_EQ(c.actualLength, 18u);
    EXPECT_EQ(c.data, dev.Descriptors().Device());
    setup = SetupPacket(0xC0, 0x01, 0, 0, 4);
    ASSERT_EQ(dev.Submit(f, UrbRequest{4, kUrbTypeControl, 0, 0, 12, setup}), 0);
    EXPECT_EQ(Next(f).status, -EPIPE);
    // Endpoints and types the device does not have.
    EXPECT_EQ(dev.Submit(f, In(5, 0x83, 512)), -ENOENT);
    EXPECT_EQ(dev.Submit(f, UrbRequest{6, kUrbTypeInterrupt, kEpReply, 0, 8, {}}), -EINVAL);
    EXPECT_EQ(dev.Submit(f, UrbRequest{7, kUrbTypeControl, 0, 0, 4, {0, 0, 0, 0}}), -EINVAL);
}

TEST_F(Usbdevfs, DiscardsAndShortPacketsEndURBsAsTheKernelDoes) {
    int f = dev.OpenFile({});
    ASSERT_EQ(dev.Submit(f, In(1, kEpReply, 512)), 0);  // waits for an answer
    ASSERT_EQ(dev.Submit(f, In(2, kEpReply, 512)), 0);  // queued behind it
    EXPECT_EQ(dev.Discard(f, 2), 0);
    UrbCompletion c = Next(f);
    EXPECT_EQ(c.id, 2u);
    EXPECT_EQ(c.status, -ENOENT);
    EXPECT_EQ(dev.Discard(f, 1), 0);  // in flight: ends within a slice
    c = Next(f);
    EXPECT_EQ(c.id, 1u);
    EXPECT_EQ(c.status, -ENOENT);
    EXPECT_EQ(dev.Discard(f, 1), -EINVAL);  // already complete

    // A split transfer: the first URB comes back short, so the continuation
    // URBs behind it are unlinked.
    ASSERT_EQ(dev.Submit(f, In(10, kEpReply, 16, kUrbShortNotOk)), 0);
    ASSERT_EQ(dev.Submit(f, In(11, kEpReply, 16, kUrbShortNotOk | kUrbBulkContinuation)), 0);
    ASSERT_EQ(dev.Submit(f, In(12, kEpReply, 16, kUrbBulkContinuation)), 0);
    ASSERT_EQ(dev.Submit(f, In(13, kEpReply, 16)), 0);  // the next transfer
    Answer({7, 7, 7});
    c = Next(f);
    EXPECT_EQ(c.status, -EREMOTEIO);
    EXPECT_EQ(c.actualLength, 3u);
    EXPECT_EQ(Next(f).status, -ECONNRESET);
    EXPECT_EQ(Next(f).status, -ECONNRESET);
    Answer({8});
    c = Next(f);
    EXPECT_EQ(c.id, 13u);
    EXPECT_EQ(c.status, 0);
}

TEST_F(Usbdevfs, OneFileHoldsTheInterfaceUntilItReleasesOrCloses) {
    int a = dev.OpenFile({});
    int b = dev.OpenFile({});
    EXPECT_EQ(dev.ClaimInterface(a, 0), 0);
    EXPECT_EQ(dev.ClaimInterface(b, 0), -EBUSY);
    EXPECT_EQ(dev.Submit(b, In(1, kEpReply, 512)), -EBUSY);
    EXPECT_EQ(dev.ClaimInterface(a, 1), -ENOENT);
    EXPECT_EQ(dev.ReleaseInterface(b, 0), -EINVAL);
    ASSERT_EQ(dev.Submit(a, In(2, kEpReply, 512)), 0);
    dev.CloseFile(a);  // its URBs go with it, and its claim
    EXPECT_EQ(dev.ClaimInterface(b, 0), 0);
    // A transfer claims an interface nobody holds.
    int c = dev.OpenFile({});
    EXPECT_EQ(dev.ReleaseInterface(b, 0), 0);
    ASSERT_EQ(dev.Submit(c, UrbRequest{3, kUrbTypeBulk, kEpCommand, 0, 1, {1}}), 0);
    EXPECT_EQ(dev.ClaimInterface(b, 0), -EBUSY);
}

TEST_F(Usbdevfs, UnpluggedEveryURBEndsAndThenEveryRequestFails) {
    std::atomic<int> told{0};
    int f = dev.OpenFile([&] { ++told; });
    ASSERT_EQ(dev.Submit(f, In(1, kEpStream, 4096)), 0);  // in flight: nothing comes
    ASSERT_EQ(dev.Submit(f, In(2, kEpStream, 4096)), 0);  // queued
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    {
        std::lock_guard lock(wire->m);
        wire->gone = true;  // the instrument went away under the transfer
        wire->cv.notify_all();
    }
    EXPECT_EQ(Next(f).status, -ESHUTDOWN);
    EXPECT_EQ(Next(f).status, -ESHUTDOWN);
    EXPECT_FALSE(dev.Connected());
    EXPECT_EQ(goneCalls.load(), 1);
    EXPECT_EQ(told.load(), 2);
    UrbCompletion c;
    EXPECT_EQ(dev.Reap(f, c), -ENODEV);
    EXPECT_EQ(dev.Submit(f, In(3, kEpStream, 512)), -ENODEV);
    EXPECT_EQ(dev.Discard(f, 3), -ENODEV);
    EXPECT_EQ(dev.ClaimInterface(f, 0), -ENODEV);
}

}  // namespace
}  // namespace qv::sim
