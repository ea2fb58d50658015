// The serial element and the console schema on a fake of the Windows serial
// driver: line errors under abort-on-error, and a write that completes with
// an error.
#include "device/ConsoleSchema.h"
#include "elements/qeMMTimer.h"
#include "platform/Text1251.h"
#include "runtime/qeHub.h"
#include "testing/Crc16.h"
#include "tests/platform/windows/FakeCommDriver.h"
#include "tests/serial/ComTestKit.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

// A bootloader on the fake driver: answers "VERS" and acknowledges each
// block of 256 one-byte writes with the running CRC-16. At block breakAt a
// break follows the acknowledgement's first byte: the rest is lost and the
// driver holds a null byte in its place.
class TDevice {
public:
    TDevice(TFakeCommDriver& driver, int breakAt = -1) : driver_(driver), breakAt_(breakAt) {
        driver.onLine = [this](std::string_view bytes) { Heard(bytes); };
    }
    ~TDevice() { driver_.onLine = nullptr; }
    uint8_t lostByte = 0; // the acknowledgement's byte that the break took

private:
    void Heard(std::string_view bytes) {
        if (bytes == "VERS") driver_.Deliver("VARNOMIKSAL VMX-1 8.3");
        if (bytes.size() != 1) return;
        crc_ = Crc16Modbus(bytes.data(), 1, crc_);
        if (++received_ % 256 != 0) return;
        const std::string ack = {char(crc_ >> 8), char(crc_ & 0xFF)};
        if (int(received_ / 256) - 1 != breakAt_) return driver_.Deliver(ack);
        lostByte = uint8_t(ack[1]);
        driver_.LineError(ce_break, std::string{ack[0], '\0'});
    }

    TFakeCommDriver& driver_;
    int breakAt_;
    uint16_t crc_ = 0xFFFF;
    std::size_t received_ = 0;
};

const std::string kFound = Cp1251("Устройство: VMX-1   Текущая версия ПО: 8.3");

} // namespace

TEST(ComAsyncDriver, AWriteThatCompletesWithAnErrorFiresOnWriteZero) {
    TFakeCommDriver driver("COM7");
    EnableDispatch();
    {
        TRecorder rec; // outlives the element, whose close it hears
        TQeComAsync com;
        UseProgramSettings(com);
        rec.Attach(com);
        OpenPort(com, "COM7");
        ASSERT_EQ(rec.Trace(), "onBeforeOpen onOpen(7)");
        rec.Clear();
        driver.FailWritesWith(TFakeCommDriver::error_gen_failure);
        TData bytes;
        SetString(bytes, "abc");
        com.inWrite(bytes, 2);
        EXPECT_EQ(rec.Trace(), "onWrite(0)");
    }
    DisableDispatch();
}

// What was written before a close goes out, though the driver still held it
// in its output queue when the close came (FlushOnClose or not).
TEST(ComAsyncDriver, BytesWrittenJustBeforeACloseReachTheLine) {
    for (bool flushOnClose : {false, true}) {
        TFakeCommDriver driver("COM7");
        driver.HoldOutput(true);
        EnableDispatch();
        {
            TQeComAsync com;
            UseProgramSettings(com);
            com.FlushOnClose = flushOnClose;
            OpenPort(com, "COM7");
            TData bytes;
            SetString(bytes, "PUSK");
            com.inWrite(bytes, 2);
            com.inClose(bytes, 1);
        }
        DisableDispatch();
        EXPECT_EQ(driver.Line(), "PUSK") << flushOnClose;
        EXPECT_EQ(driver.DiscardedOutput(), 0u) << flushOnClose;
    }
}

// Bytes that the driver holds when the gap ends came within it, however late
// the port's read completes (wine's do on a loaded machine): they belong to
// the same report.
TEST(ComAsyncDriver, BytesTheDriverHoldsWhenTheGapEndsBelongToTheBurst) {
    TFakeCommDriver driver("COM7");
    EnableDispatch();
    {
        TRecorder rec;
        TQeComAsync com;
        UseProgramSettings(com);
        // A gap long enough that "cd" surely comes within it, even on a
        // loaded machine; the driver then holds it past the gap's end.
        com.BurstGap = 500000;
        rec.Attach(com);
        OpenPort(com, "COM7");
        ASSERT_TRUE(driver.WaitForPendingRead());
        rec.Clear();
        driver.Deliver("ab");
        ASSERT_TRUE(driver.WaitForPendingRead()); // "ab" taken, the next read waits
        driver.HoldReads(true);
        driver.Deliver("cd");
        std::this_thread::sleep_for(std::chrono::milliseconds(1000)); // past the gap
        driver.HoldReads(false);
        ASSERT_TRUE(rec.WaitFor([](const auto& fired) { return !fired.empty(); }));
        std::this_thread::sleep_for(std::chrono::milliseconds(100)); // room for a second report
        EXPECT_EQ(rec.Trace(), "onRxChar(4)");
    }
    DisableDispatch();
}

TEST(ComAsyncDriver, AFramingErrorAsThePortOpensIsSurvived) {
    TFakeCommDriver driver("COM7");
    driver.LineErrorOnSetState(ce_frame); // a device resetting as the line comes up
    TDevice device(driver);
    TConsoleSchema schema;
    schema.ChoosePort("COM7");
    ASSERT_TRUE(schema.Bursts->WaitHandled(1, 5000));
    EXPECT_EQ(schema.Status->Last(), kFound);
    EXPECT_EQ(driver.Line(), "VERS");
}

TEST(ComAsyncDriver, ABreakInAnAcknowledgementFailsTheUploadAndThePortGoesOn) {
    TFakeCommDriver driver("COM7");
    TDevice device(driver, 2);
    TConsoleSchema schema;
    schema.ChoosePort("COM7");
    ASSERT_TRUE(schema.Bursts->WaitHandled(1, 5000));
    ASSERT_EQ(schema.Status->Last(), kFound);

    schema.ClickWrite();
    ASSERT_TRUE(schema.Failure->WaitForCount(1, 10000));
    ASSERT_NE(device.lostByte, 0) << "the null byte would pass for the lost one";
    // The reply, two acknowledgements and the broken one have been handled.
    ASSERT_TRUE(schema.Bursts->WaitHandled(4, 5000));
    EXPECT_EQ(schema.Success->Count(), 0u);
    EXPECT_EQ(schema.Progress->Count(), 2u);
    EXPECT_EQ(schema.ImageBytes->Count(), 3u * 256);
    EXPECT_FALSE(schema.Upload()->Watchdog->timer.Enabled());

    // The same open port still receives and sends.
    driver.Deliver("after");
    EXPECT_TRUE(schema.Bursts->WaitHandled(5, 5000));
    TData ping;
    SetString(ping, "ping");
    Fire(MakeLink<&TQeHub::inSpread>(0, schema.Session.PortWriteHub), ping);
    EXPECT_EQ(driver.Line().substr(4 + 3 * 256), "ping");
}

// A driver that holds the flush and keeps its transfers through cancels and
// the close cannot hold a close up; what it holds is discarded, and the
// element then opens and uses another port.
TEST(ComAsyncDriver, ACloseEndsThoughTheDriverHoldsTheFlushAndIgnoresCancels) {
    EnableDispatch();
    {
        TRecorder rec;
        TQeComAsync com;
        UseProgramSettings(com);
        rec.Attach(com);
        TData bytes;
        {
            TFakeCommDriver driver("COM7");
            OpenPort(com, "COM7");
            ASSERT_TRUE(driver.WaitForPendingRead());
            driver.HoldOutput(true);
            driver.HoldFlushes(true);
            driver.IgnoreCancels(true);
            SetString(bytes, "PUSK");
            com.inWrite(bytes, 2);
            rec.Clear();
            com.inClose(bytes, 1);
            EXPECT_EQ(rec.Trace(), "onBeforeClose onCts(0) onDsr(0) onRlsd(0) onClose");
            EXPECT_EQ(driver.Line(), "");
        }
        TFakeCommDriver driver("COM8");
        rec.Clear();
        OpenPort(com, "COM8");
        ASSERT_EQ(rec.Trace(), "onBeforeOpen onOpen(8)");
        SetString(bytes, "VERS");
        com.inWrite(bytes, 2);
        EXPECT_EQ(driver.Line(), "VERS");
        driver.Deliver("VMX-1");
        ASSERT_TRUE(rec.WaitFor([](const std::vector<TFired>& f) {
            return !f.empty() && f.back().name == "onRxChar";
        }));
        SetInteger(bytes, 5);
        com.inRead(bytes, 3);
        EXPECT_EQ(rec.BytesRead(), "VMX-1");
        com.inClose(bytes, 1); // while its driver is there
    }
    DisableDispatch();
}
