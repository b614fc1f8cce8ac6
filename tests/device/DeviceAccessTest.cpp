// Each DeviceAccess is a world of its own: its backends, its device object,
// its selected unit. Two of them in one process never see each other's.
#include <gtest/gtest.h>

#include "device/DeviceAccess.h"
#include "device/FakeBackend.h"

namespace qv {
namespace {

BackendFactory FakeUnits(std::vector<test::FakeUnit> units) {
    auto wire = std::make_shared<test::FakeWire>();
    return [units, wire] {
        std::vector<std::unique_ptr<IDeviceBackend>> b;
        b.push_back(std::make_unique<test::FakeBackend>(units, wire));
        return b;
    };
}

TEST(DeviceAccessTest, TwoAccessesKeepTheirOwnDevicesAndSelection) {
    DeviceAccess a(FakeUnits({{kProductQvS1, "A1"}}));
    DeviceAccess b(FakeUnits({{kProductQvSz2, "B1"}, {kProductQvSz2, "B2"}}));
    EXPECT_EQ(a.Device(), nullptr);

    auto da = a.CreateDevice();
    auto db = b.CreateDevice();
    ASSERT_TRUE(da && db);
    // A new object opens its first device.
    EXPECT_TRUE(da->IsOpen());
    EXPECT_EQ(da->GetIdentity().serial, "A1");
    EXPECT_EQ(db->GetIdentity().serial, "B1");
    EXPECT_EQ(db->GetDeviceCount(), 2);
    EXPECT_EQ(a.Device(), da);
    EXPECT_EQ(b.DeviceOrNew(), db);

    a.Select({kQvVendorId, kProductQvS1, "A1", "bench"});
    EXPECT_EQ(a.Selected().serial, "A1");
    EXPECT_TRUE(b.Selected().IsNone());
}

TEST(DeviceAccessTest, ReplacingOrDroppingNeverPullsTheObjectFromAHolder) {
    DeviceAccess access(FakeUnits({{kProductQvS1, "A1"}}));
    auto held = access.DeviceOrNew();
    ASSERT_TRUE(held);
    auto fresh = access.CreateDevice();
    EXPECT_NE(fresh, held);
    EXPECT_EQ(access.Device(), fresh);
    // The holder's object still works.
    EXPECT_TRUE(held->IsOpen());
    EXPECT_EQ(held->GetIdentity().serial, "A1");

    access.DropDevice();
    EXPECT_EQ(access.Device(), nullptr);
    EXPECT_FALSE(fresh->IsOpen());  // dropped means closed
    auto again = access.DeviceOrNew();
    ASSERT_TRUE(again);
    EXPECT_NE(again, fresh);
}

}  // namespace
}  // namespace qv
