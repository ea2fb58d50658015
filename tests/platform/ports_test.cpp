#include "platform/Ports.h"
#include "tests/platform/PortMap.h"

#include <gtest/gtest.h>

namespace {

const TPortEntry* Find(const std::vector<TPortEntry>& list, int number) {
    for (const auto& p : list)
        if (p.number == number) return &p;
    return nullptr;
}

} // namespace

TEST(Ports, ListIsOrderedByNumberWithEachPortOnce) {
    TTestPortMap map;
    const std::string device219 = map.Add(219);
    const std::string device218 = map.Add(218);
    ASSERT_FALSE(device219.empty());
    ASSERT_FALSE(device218.empty());

    const auto list = ListPorts();
    for (std::size_t i = 0; i < list.size(); ++i) {
        EXPECT_EQ(list[i].name, "COM" + std::to_string(list[i].number));
        EXPECT_TRUE(list[i].number >= 1 && list[i].number <= 255) << list[i].name;
        if (i > 0) {
            EXPECT_LT(list[i - 1].number, list[i].number);
        }
    }
    const TPortEntry* p218 = Find(list, 218);
    const TPortEntry* p219 = Find(list, 219);
    ASSERT_TRUE(p218 && p219);
    EXPECT_EQ(p218->device, device218);
    EXPECT_EQ(p219->device, device219);
}

TEST(Ports, ResolvesInstalledPortNamesOnly) {
    TTestPortMap map;
    const std::string device = map.Add(217);
    ASSERT_FALSE(device.empty());
    std::string resolved;
    ASSERT_TRUE(ResolvePort("COM217", resolved));
    EXPECT_EQ(resolved, device);
    EXPECT_TRUE(ResolvePort("com217", resolved));
    EXPECT_EQ(resolved, device);
    for (const char* bad : {"COM217x", "COM0217", "COM", "COM0", "COM256", "LPT1", ""}) {
        EXPECT_FALSE(ResolvePort(bad, resolved)) << bad;
        EXPECT_TRUE(resolved.empty()) << bad;
    }

    map.Remove(217);
    EXPECT_FALSE(ResolvePort("COM217", resolved));
    EXPECT_EQ(Find(ListPorts(), 217), nullptr);
}
