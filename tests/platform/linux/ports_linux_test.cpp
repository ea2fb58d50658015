#include "platform/linux/PortsLinux.h"
#include "tests/platform/PtyPort.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

// A fake /sys/class/tty tree and port directory in a temporary folder.
class FakeSystem {
public:
    FakeSystem() {
        char tmpl[] = "/tmp/varno-sys-XXXXXX";
        root = mkdtemp(tmpl);
        fs::create_directories(root / "tty");
        fs::create_directories(root / "ports");
    }
    ~FakeSystem() { fs::remove_all(root); }
    void Tty(const std::string& name, bool device, int type = -1) {
        fs::create_directories(root / "tty" / name);
        if (device) fs::create_directories(root / "tty" / name / "device");
        if (type >= 0) std::ofstream(root / "tty" / name / "type") << type << "\n";
    }
    void Link(const std::string& name, const fs::path& target) {
        fs::create_symlink(target, root / "ports" / name);
    }
    std::vector<TPortEntry> List() {
        return ListPortsFrom((root / "tty").string(), (root / "ports").string());
    }
    fs::path root;
};

std::string Names(const std::vector<TPortEntry>& list) {
    std::string s;
    for (const auto& p : list)
        s += p.name + "=" + p.device + " ";
    return s;
}

} // namespace

TEST(Ports, FixedNumbersFreeNumbersAndLinks) {
    FakeSystem sys;
    sys.Tty("ttyS0", true, 4);
    sys.Tty("ttyS1", true, 0); // no UART
    sys.Tty("ttyS3", true, 4);
    sys.Tty("tty1", false); // virtual console: no device
    sys.Tty("ttyUSB0", true);
    sys.Tty("ttyACM2", true);
    sys.Tty("ttyXR10", true);
    sys.Tty("ttyXR2", true);
    sys.Tty("ttyAMA0", true);
    sys.Tty("ttyS32", true, 4);  // beyond the fixed range: would collide with ttyUSB0
    sys.Tty("ttyS129", true, 4); // a free number, like any other kind
    sys.Tty("ttyUSB40", true);   // would collide with ttyACM7
    sys.Tty("ttyACM7", true);
    EXPECT_EQ(Names(sys.List()),
              "COM1=/dev/ttyS0 COM4=/dev/ttyS3 COM33=/dev/ttyUSB0 COM67=/dev/ttyACM2 "
              "COM72=/dev/ttyACM7 COM129=/dev/ttyAMA0 COM130=/dev/ttyS32 COM131=/dev/ttyS129 "
              "COM132=/dev/ttyUSB40 COM133=/dev/ttyXR2 COM134=/dev/ttyXR10 ");

    // Links add ports and override fixed ones; dangling links and bad names are ignored.
    fs::path node = sys.root / "node";
    std::ofstream(node) << "";
    sys.Link("COM33", node);
    sys.Link("COM5", node);
    sys.Link("COM7", sys.root / "missing");
    sys.Link("COM256", node);
    sys.Link("COM05", node);
    sys.Link("notaport", node);
    auto list = sys.List();
    EXPECT_EQ(Names(list),
              "COM1=/dev/ttyS0 COM4=/dev/ttyS3 COM5=" + (sys.root / "ports/COM5").string() +
                  " COM33=" + (sys.root / "ports/COM33").string() +
                  " COM67=/dev/ttyACM2 COM72=/dev/ttyACM7 COM129=/dev/ttyAMA0 "
                  "COM130=/dev/ttyS32 COM131=/dev/ttyS129 COM132=/dev/ttyUSB40 "
                  "COM133=/dev/ttyXR2 COM134=/dev/ttyXR10 ");
}

TEST(Ports, ResolvesThroughThePortDirectory) {
    TPtyPort pty(220);
    std::string device;
    ASSERT_TRUE(ResolvePort("COM220", device));
    EXPECT_EQ(fs::canonical(device), fs::canonical(pty.slave));
    EXPECT_TRUE(ResolvePort("com220", device));
    EXPECT_FALSE(ResolvePort("COM220x", device));
    EXPECT_FALSE(ResolvePort("COM0220", device));
    EXPECT_FALSE(ResolvePort("COM", device));
    EXPECT_EQ(PortDirectory(), TestPortDir());
    bool listed = false;
    for (const auto& p : ListPorts())
        listed = listed || p.name == "COM220";
    EXPECT_TRUE(listed);
}
