#include "tests/serial/ComAsyncFixture.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace {

class ComAsyncOpen : public ComAsyncFixture {};

} // namespace

TEST_F(ComAsyncOpen, BadNamesFailBeforeAnyDeviceIsTried) {
    // Registered ports with these numbers exist, so only the name check can fail them.
    TPtyPort com107(107), com255(255);
    for (const char* name : {"COM", "COMX", "COM0", "COM256", "COM1234", "LPT1", "CO"}) {
        rec.Clear();
        OpenPort(com, name);
        EXPECT_EQ(rec.Trace(), "onBeforeOpen onOpen(0)") << name;
        EXPECT_EQ(com.PortName(), name);
    }
    // 'COM107x' passes the check (n = 107) and then names no port.
    rec.Clear();
    OpenPort(com, "COM107x");
    EXPECT_EQ(rec.Trace(), "onBeforeOpen onOpen(0)");

    rec.Clear();
    OpenPort(com, "COM255");
    EXPECT_EQ(rec.Trace(), "onBeforeOpen onOpen(255)");
    Send(com, &TQeComAsync::inClose);

    rec.Clear();
    OpenPort(com, "com107");
    EXPECT_EQ(rec.Trace(), "onBeforeOpen onOpen(107)") << "lower case passes and opens";
}

TEST_F(ComAsyncOpen, GoodOpenSetsTheLineAndCloseFiresItsEvents) {
    TPtyPort pty(201);
    OpenPort(com, pty.name);
    // A pty has no modem lines: no onCts/onDsr/onRlsd, onOpen still fires.
    EXPECT_EQ(rec.Trace(), "onBeforeOpen onOpen(201)");

    TCommState held;
    if (pty.port.HeldLineState(held)) {
        EXPECT_EQ(held.BaudRate, 38462u);
        EXPECT_EQ(held.ByteSize, 8);
        EXPECT_EQ(held.Parity, 0);
        EXPECT_EQ(held.StopBits, 0);
        EXPECT_FALSE(held.OutxCtsFlow || held.InX || held.OutX || held.ParityCheck);
    }

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
    TCommState held;
    if (pty.port.HeldLineState(held)) {
        EXPECT_EQ(held.BaudRate, 57600u);
    }
}

TEST_F(ComAsyncOpen, BusyPortFailsAndCheckPortsHidesIt) {
    TPtyPort pty(203);
    TQeComAsync other;
    UseProgramSettings(other);
    TRecorder otherRec;
    otherRec.Attach(other);

    if (!OpensAreExclusive()) GTEST_SKIP() << "wine lets a second handle open a port in use";
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
