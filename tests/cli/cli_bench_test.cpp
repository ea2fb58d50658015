// varnomiksal-cli on a service bench, as a process against simulators on
// ptys: the device found by asking every port, several devices written at
// once (one failing without disturbing the others), the worst exit code, the
// JSON array, the session log checked against what the devices saw, an image
// file, and a port the user may not open.
#include "CliProcess.h"
#include "DeviceTest.h"
#include "app/cli/ImageFile.h"
#include "app/cli/Sha256.h"
#include "platform/Comm.h"
#include "tests/platform/PtyPort.h"
#include "tools/simulator/DeviceSimulator.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <memory>
#include <random>
#include <sstream>
#include <sys/stat.h>

namespace {

const std::string kAllow = "--allow-placeholder";

class Bench : public DeviceTest {};

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

std::string Hex4(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04X", value);
    return text;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

bool WroteWholeImage(const DeviceSimulator& sim) {
    return sim.WaitFor([](const SimReport& r) { return r.pusk; }, 3000) &&
           sim.Report().matchesImage;
}

} // namespace

// Each run without a port asks every listed port (a machine's own UART too)
// and waits up to 3 s for the silent ones.
TEST_F(Bench, FindsTheDeviceByItselfOrAsksWhichOne) {
    std::string out, err;
    {
        // A port another program holds is named as busy, apart from the
        // silent ones.
        TPtyPort silent(154);
        std::unique_ptr<TComm> held = TComm::Open("COM154");
        ASSERT_TRUE(held);
        EXPECT_EQ(RunCli({"identify"}, &out, &err), 2);
        EXPECT_TRUE(Has(err, "no device answered on any of the ")) << err;
        EXPECT_TRUE(Has(err, "\n  COM154: busy (another program holds it)\n")) << err;
        EXPECT_FALSE(Has(err, "COM154,")) << err;
    }

    DeviceSimulator& only = StartDevice(150);
    ASSERT_EQ(RunCli({"write", "--yes", "--progress=none", kAllow}, &out, &err), 0) << err;
    EXPECT_TRUE(Has(err, "One device found: VMX-1, firmware 8.3 on COM150; using it\n")) << err;
    EXPECT_TRUE(WroteWholeImage(only));

    SimConfig second, third;
    second.reply = "VARNOMIKSAL KMV-4 7.9";
    third.reply = "VARNOMIKSAL VMX-2 1.0";
    StartDevice(151);
    StartDevice(152, second);
    StartDevice(153, third);
    ASSERT_EQ(RunCli({"identify"}, &out, &err), 0) << err;
    EXPECT_TRUE(Has(out, "COM151 VMX-1  firmware 8.3\nCOM152 KMV-4  firmware 7.9\n"
                         "COM153 VMX-2  firmware 1.0\n"))
        << out;
    EXPECT_EQ(RunCli({"write", "--yes", kAllow}, &out, &err), 3);
    EXPECT_TRUE(Has(err, "devices answered on 3 ports; name the one to write")) << err;
    EXPECT_TRUE(Has(err, "--all:\n  COM151  VMX-1, firmware 8.3\n  COM152  KMV-4")) << err;
    for (int i = 1; i < 4; ++i)
        EXPECT_EQ(sims_[std::size_t(i)]->Report().received, 0u);

    // The environment names the port.
    setenv("VARNOMIKSAL_PORT", "COM152", 1);
    int code = RunCli({"identify"}, &out, &err);
    unsetenv("VARNOMIKSAL_PORT");
    EXPECT_EQ(code, 0);
    EXPECT_EQ(out, "Device:   KMV-4\nFirmware: 7.9\n");
    EXPECT_TRUE(Has(err, "using COM152 from VARNOMIKSAL_PORT")) << err;
}

TEST_F(Bench, WriteAllUploadsToEveryDeviceAtOnce) {
    for (int port = 160; port < 164; ++port)
        StartDevice(port);
    std::string out, err;
    ASSERT_EQ(RunCli({"write", "--all", "--yes", kAllow}, &out, &err), 0) << out << err;
    for (auto& sim : sims_)
        EXPECT_TRUE(WroteWholeImage(*sim));
    // Plain progress lines start with their port; one closing line each,
    // then the table.
    EXPECT_TRUE(Has(err, "COM163 progress: 100%  block 508/508")) << err;
    for (int port = 160; port < 164; ++port) {
        std::string name = "COM" + std::to_string(port);
        EXPECT_TRUE(Has(out, " kbit/s) to VMX-1 on " + name +
                                 ": 8.3 → placeholder image (not a firmware)\n"))
            << out;
        EXPECT_TRUE(Has(out, "\n" + name +
                                 "  VMX-1   8.3 → placeholder image (not a firmware)  "
                                 "success  "))
            << out;
    }
    EXPECT_TRUE(Has(out, "\nport    device  version"));

    // The CRC that `image` names is the one the devices computed.
    ASSERT_EQ(RunCli({"image"}, &out), 0);
    EXPECT_TRUE(Has(out, "CRC-16:   " + Hex4(sims_[0]->Report().crc) + " ")) << out;
}

TEST_F(Bench, OneFailingDeviceLeavesTheOthersAndTheLogTellsWhatEachSaw) {
    SimConfig wrong;
    wrong.faults.wrongCrcAt = 5;
    DeviceSimulator& good = StartDevice(170);
    StartDevice(171);
    DeviceSimulator& bad = StartDevice(172, wrong);
    StartDevice(173);
    std::string log = TestPortDir() + "-session.log";
    TCliProcess cli({"write", "COM170", "COM171", "COM172", "COM173", "COM99", "--yes", "--json",
                     "-v", "--log", log, kAllow});
    // A failed transfer outranks a missing port.
    ASSERT_EQ(cli.Wait(), 1) << cli.out << cli.err;
    for (std::size_t i : {0, 1, 3})
        EXPECT_TRUE(WroteWholeImage(*sims_[i])) << i;
    EXPECT_FALSE(bad.Report().pusk);

    // One array, in the order given, one object per port.
    ASSERT_EQ(Count(cli.out, "\n"), 1u) << cli.out;
    EXPECT_EQ(cli.out.rfind("[{\"command\": \"write\"", 0), 0u) << cli.out;
    EXPECT_EQ(Count(cli.out, "\"result\": \"success\", \"exit_code\": 0, \"message\": \"Wrote "
                             "130048 bytes in "),
              3u)
        << cli.out;
    EXPECT_EQ(Count(cli.out, "\"bytes_per_second\": "), 4u) << cli.out;
    EXPECT_TRUE(Has(cli.out, "\"port\": \"COM172\", \"device\": \"VMX-1\", \"version\": \"8.3\", "
                             "\"blocks\": 5, \"bytes\": 1536, "))
        << cli.out;
    EXPECT_TRUE(Has(cli.out, "\"exit_code\": 1, \"message\": \"transfer failed: block 6 of 508"));
    EXPECT_TRUE(Has(cli.out, "\"port\": \"COM99\", \"result\": \"error\", \"exit_code\": 2, "
                             "\"message\": \"COM99: no such port"))
        << cli.out;

    // The log, line for line what the devices saw; -v gave the same lines.
    std::string text = ReadFile(log);
    EXPECT_TRUE(Has(cli.err, text.substr(0, text.find('\n')))) << cli.err;
    EXPECT_TRUE(Has(text, "COM170 ")) << text;
    EXPECT_TRUE(Has(text, ": 38462 baud, 8 data bits, no parity, 1 stop bit, no flow control\n"));
    EXPECT_TRUE(Has(text, "  sent 56 45 52 53  \"VERS\"\n"));
    EXPECT_TRUE(Has(text, "  received 56 41 52 4E 4F 4D 49 4B 53 41 4C 20 56 4D 58 2D 31 20 38 2E "
                          "33  \"VARNOMIKSAL VMX-1 8.3\"\n"));
    EXPECT_EQ(Count(text, "  block "), 508u * 3 + 6);
    std::string crc = Hex4(good.Report().crc);
    EXPECT_TRUE(Has(text, "  block 508/508  crc " + crc + "  reply " + crc + "465A  after "));
    EXPECT_EQ(Count(text, "  outcome: success, 130048 bytes written\n"), 3u);
    std::string badCrc = Hex4(bad.Report().crc);
    EXPECT_TRUE(Has(text, "  block 6/508  crc " + badCrc + "  reply ")) << text;
    EXPECT_TRUE(Has(text, " does not match the CRC " + badCrc + "\n")) << text;
    std::size_t failed = text.find("COM172 ");
    failed = text.find("  failed at block 6: reply ", failed);
    ASSERT_NE(failed, std::string::npos) << text;
    EXPECT_EQ(text.rfind("COM172 ", failed), text.rfind('\n', failed) + 1);
    EXPECT_TRUE(Has(text, "  outcome: failure, 1536 bytes written\n")) << text;
    std::filesystem::remove(log);
}

TEST_F(Bench, AnImageFileReachesTheDeviceByteForByte) {
    std::string image(kImageFileBytes, '\0');
    std::mt19937 random(7);
    for (char& c : image)
        c = char(random());
    std::string file = TestPortDir() + "-fw.bin";
    std::ofstream(file, std::ios::binary) << image;
    std::string sha = Sha256Hex(image);
    std::string out, err;
    ASSERT_EQ(RunCli({"image", "--image", file}, &out), 0);
    EXPECT_TRUE(Has(out, "SHA-256:  " + sha + "\n")) << out;
    std::string crc = out.substr(out.find("CRC-16:   ") + 10, 4);

    DeviceSimulator& sim = StartDevice(180);
    ASSERT_EQ(RunCli({"write", "COM180", "--image", file, "--yes", "--progress=none"}, &out, &err),
              0)
        << err;
    EXPECT_TRUE(sim.Received() == std::vector<uint8_t>(image.begin(), image.end()));
    EXPECT_EQ(Hex4(sim.Report().crc), crc);
    std::string name = std::filesystem::path(file).filename().string();
    EXPECT_TRUE(Has(out, "Image:    " + name + ", 130048 bytes in 508 blocks, SHA-256 " + sha))
        << out;
    EXPECT_TRUE(Has(out, "on COM180: 8.3 → " + name + "\n")) << out;

    // Any other size is refused before a port is opened.
    std::ofstream(file, std::ios::binary | std::ios::trunc) << image.substr(0, 1000);
    EXPECT_EQ(RunCli({"write", "COM180", "--image", file, "--yes"}, &out, &err), 3);
    EXPECT_TRUE(Has(err, name + " is 1000 bytes; an image must be exactly 130048 bytes")) << err;
    EXPECT_EQ(sim.Report().versRequests, 1);
    std::filesystem::remove(file);
}

// The test runs as root: the program runs as "nobody", and the port is a pty
// owned by root, first open to its group, then to root alone.
TEST_F(Bench, APortTheUserMayNotOpenIsMarkedWithItsGroup) {
    if (::getuid() != 0) GTEST_SKIP() << "needs root to run the program as another user";
    TPtyPort port(190);
    ASSERT_NE(::getgrnam("dialout"), nullptr);
    ASSERT_EQ(::chown(port.slave.c_str(), 0, ::getgrnam("dialout")->gr_gid), 0);
    ASSERT_EQ(::chmod(port.slave.c_str(), 0660), 0);
    struct stat st {};
    ASSERT_EQ(::stat(port.slave.c_str(), &st), 0);
    std::string group = ::getgrgid(st.st_gid)->gr_name;
    std::string out, err;
    int code = RunCli({"list"}, &out, &err, {.uid = 65534});
    // 127: "nobody" cannot reach the program at all (a build in a private
    // folder, such as one made by mktemp -d).
    if (code == 127) GTEST_SKIP() << "the program's folder is closed to other users";
    ASSERT_EQ(code, 0) << err;
    EXPECT_TRUE(Has(out, " -> " + port.slave + "  no permission: join the group '" + group +
                             "' (sudo usermod -aG " + group + " $USER, then log in again)\n"))
        << out;
    EXPECT_EQ(RunCli({"identify", "COM190"}, &out, &err, {.uid = 65534}), 2);
    EXPECT_TRUE(Has(err, "permission denied; add yourself to the '" + group + "' group")) << err;
    // root:root 0600: never "join root", but how to give access.
    ASSERT_EQ(::chown(port.slave.c_str(), 0, 0), 0);
    ASSERT_EQ(::chmod(port.slave.c_str(), 0600), 0);
    for (std::vector<std::string> args :
         {std::vector<std::string>{"list"}, {"identify", "COM190"}}) {
        RunCli(args, &out, &err, {.uid = 65534});
        EXPECT_FALSE(Has(out + err, "'root'")) << out << err;
        EXPECT_TRUE(Has(out + err, "only root may open it: give access with a udev rule"))
            << out << err;
    }
    // Root may: no mark.
    ASSERT_EQ(RunCli({"list"}, &out), 0);
    EXPECT_FALSE(Has(out, "no permission")) << out;
}
