#include "platform/CommTermios2.h"
#include "tests/serial/ComTestKit.h"

#include <algorithm>
#include <fcntl.h>
#include <gtest/gtest.h>

namespace {

class ComAsyncOpen : public ::testing::Test {
protected:
    void SetUp() override {
        EnableDispatch();
        UseProgramSettings(com);
        rec.Attach(com);
    }
    void TearDown() override {
        Send(com, &TQeComAsync::inClose);
        DisableDispatch();
    }
    TQeComAsync com;
    TRecorder rec;
};

} // namespace

TEST_F(ComAsyncOpen, BadNamesFailBeforeAnyDeviceIsTried) {
    // Registered ports with these numbers exist, so only the name check can fail them.
    TPtyPort com1(1), com7(7), com255(255);
    for (const char* name : {"COM", "COMX", "COM0", "COM256", "COM1234", "LPT1", "CO"}) {
        rec.Clear();
        OpenPort(com, name);
        EXPECT_EQ(rec.Trace(), "onBeforeOpen onOpen(0)") << name;
        EXPECT_EQ(com.PortName(), name);
    }
    // 'COM7x' passes the check (n = 7) and then names no port.
    rec.Clear();
    OpenPort(com, "COM7x");
    EXPECT_EQ(rec.Trace(), "onBeforeOpen onOpen(0)");

    rec.Clear();
    OpenPort(com, "COM255");
    EXPECT_EQ(rec.Trace(), "onBeforeOpen onOpen(255)");
    Send(com, &TQeComAsync::inClose);

    rec.Clear();
    OpenPort(com, "com1");
    EXPECT_EQ(rec.Trace(), "onBeforeOpen onOpen(1)") << "lower case passes and opens";
}

TEST_F(ComAsyncOpen, GoodOpenSetsTheLineAndCloseFiresItsEvents) {
    TPtyPort pty(201);
    OpenPort(com, pty.name);
    // A pty has no modem lines: no onCts/onDsr/onRlsd, onOpen still fires.
    EXPECT_EQ(rec.Trace(), "onBeforeOpen onOpen(201)");

    int fd = ::open(pty.slave.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    TTermiosLine line;
    ASSERT_TRUE(ReadTermiosLine(fd, line));
    ::close(fd);
    EXPECT_EQ(line.baud, 38462u);
    EXPECT_EQ(line.dataBits, 8);
    EXPECT_EQ(line.parity, 0);
    EXPECT_EQ(line.stopBits, 0);
    EXPECT_FALSE(line.ctsRtsFlow || line.xonIn || line.xonOut || line.parityCheck);

    rec.Clear();
    OpenPort(com, pty.name);
    EXPECT_EQ(rec.Trace(), "") << "open while open fires nothing";

    Send(com, &TQeComAsync::inClose);
    EXPECT_EQ(rec.Trace(), "onBeforeClose onCts(0) onDsr(0) onRlsd(0) onClose");
    rec.Clear();
    Send(com, &TQeComAsync::inClose);
    EXPECT_EQ(rec.Trace(), "") << "close while closed fires nothing";

    // The port is free again after close.
    OpenPort(com, pty.name);
    EXPECT_EQ(rec.Trace(), "onBeforeOpen onOpen(201)");
}

TEST_F(ComAsyncOpen, DataInputsTakeTheEventValuesInOrder) {
    TPtyPort pty(202);
    com.Port = "";
    com.BaudRate = 0;
    // Port, DTR, RTS and baud rate from a four-value event.
    TData v[4];
    SetString(v[0], pty.name);
    SetInteger(v[1], 1);
    SetInteger(v[2], 1);
    SetInteger(v[3], 57600);
    for (int i = 0; i < 3; ++i)
        v[i].next = &v[i + 1];
    TData d = v[0];
    com.inOpen(d, 0);
    EXPECT_EQ(rec.Trace(), "onBeforeOpen onOpen(202)");
    int fd = ::open(pty.slave.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    TTermiosLine line;
    ASSERT_TRUE(ReadTermiosLine(fd, line));
    ::close(fd);
    EXPECT_EQ(line.baud, 57600u);
}

TEST_F(ComAsyncOpen, BusyPortFailsAndCheckPortsHidesIt) {
    TPtyPort pty(203);
    TQeComAsync other;
    UseProgramSettings(other);
    TRecorder otherRec;
    otherRec.Attach(other);

    auto listed = [&](bool check) {
        other.CheckPorts = check;
        otherRec.Clear();
        Send(other, &TQeComAsync::inEnumPorts);
        for (const auto& f : otherRec.Fired())
            if (f.name == "onPort" && f.value.sdata.str() == pty.name) return true;
        return false;
    };
    EXPECT_TRUE(listed(true));

    OpenPort(com, pty.name);
    ASSERT_EQ(rec.Trace(), "onBeforeOpen onOpen(203)");
    EXPECT_FALSE(listed(true)) << "an open port cannot be opened, so it is not offered";
    EXPECT_TRUE(listed(false));

    otherRec.Clear();
    OpenPort(other, pty.name);
    EXPECT_EQ(otherRec.Trace(), "onBeforeOpen onOpen(0)");

    Send(com, &TQeComAsync::inClose);
    EXPECT_TRUE(listed(true));
}

TEST_F(ComAsyncOpen, PortListIsOrderedByNumber) {
    TPtyPort a(240), b(230), c(250);
    com.CheckPorts = false;
    Send(com, &TQeComAsync::inEnumPorts);
    std::vector<int> numbers;
    for (const auto& f : rec.Fired()) {
        ASSERT_EQ(f.name, "onPort");
        numbers.push_back(std::stoi(f.value.sdata.str().substr(3)));
    }
    EXPECT_TRUE(std::is_sorted(numbers.begin(), numbers.end()));
    EXPECT_NE(std::find(numbers.begin(), numbers.end(), 230), numbers.end());
}
