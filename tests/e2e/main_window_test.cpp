#include "MainWindowFixture.h"
#include "platform/Comm.h"
#include "platform/Text1251.h"
#include "serial/qeComAsync.h"

#include <array>
#include <chrono>
#include <cstdio>

namespace {

const std::string kNotFound = Cp1251("На этом порту устройств не найдено.");

std::string Found(const std::string& name, const std::string& version) {
    return Cp1251("Устройство: " + name + "   Текущая версия ПО: " + version);
}

bool PortIsFree(const std::string& name) {
    return TComm::Open(name) != nullptr;
}

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

std::string Hex4(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04X", value);
    return text;
}

} // namespace

TEST_F(MainWindow, StartsChoosingAndIdentifiesTheDevice) {
    AddDevice(250);
    OpenWindow();
    EXPECT_TRUE(schema_->MainForm->Control->Visible());
    EXPECT_EQ(Status(), Cp1251("Выберите порт с подключённым устройством."));
    EXPECT_GE(IndexOfPort("COM250"), 0);
    EXPECT_FALSE(schema_->WriteButton->Control->Enabled());
    EXPECT_TRUE(schema_->PortCombo->Control->Enabled());

    EXPECT_EQ(Identify("COM250"), Found("VMX-1", "8.3"));
    EXPECT_TRUE(WaitUntilWritable());
    EXPECT_FALSE(schema_->PortCombo->Control->Enabled());
}

TEST_F(MainWindow, ANonAnsweringPortShowsNotFoundAndChoosingAnotherClosesTheFirst) {
    SimConfig stranger;
    stranger.reply = "MODEM OK";
    AddDevice(249, stranger);
    AddDevice(250);
    OpenWindow();
    EXPECT_EQ(Identify("COM249"), kNotFound);
    if (OpensAreExclusive()) {
        EXPECT_FALSE(PortIsFree("COM249")); // still open after an unrecognised reply
    }
    EXPECT_FALSE(schema_->WriteButton->Control->Enabled());
    EXPECT_EQ(Identify("COM250"), Found("VMX-1", "8.3"));
    EXPECT_TRUE(PortIsFree("COM249"));
}

// A port where nothing answers says so after 3 s, and goes on listening: a
// reply that comes later still identifies the device.
TEST_F(MainWindow, ASilentPortSaysSoAndALateReplyStillIdentifies) {
    TPtyPort silent(248);
    OpenWindow();
    EXPECT_EQ(Identify("COM248"), kNotFound); // after the silence, not at once
    EXPECT_EQ(silent.Read(4), "VERS");
    silent.Write("VARNOMIKSAL DEV 2.1");
    EXPECT_TRUE(RunUntil([&] { return Status() != kNotFound; }, 5000));
    EXPECT_EQ(Status(), Found("DEV", "2.1"));
}

TEST_F(MainWindow, AFullUploadEndsInSuccessAndOkEndsTheProgram) {
    DeviceSimulator& device = AddDevice(250);
    OpenWindow();
    ASSERT_EQ(Identify("COM250"), Found("VMX-1", "8.3"));
    ASSERT_TRUE(UploadAndWait(60000));

    ASSERT_TRUE(device.WaitFor([](const SimReport& r) { return r.pusk; }, 3000));
    SimReport r = device.Report();
    EXPECT_TRUE(r.matchesImage);
    EXPECT_EQ(r.beyondImage, 0u);
    EXPECT_EQ(schema_->Progress->Control->Progress(), 507);
    EXPECT_TRUE(schema_->SuccessLabel->Control->Visible());
    for (TQeWin* hidden :
         {static_cast<TQeWin*>(schema_->PortCombo), static_cast<TQeWin*>(schema_->StatusEdit),
          static_cast<TQeWin*>(schema_->Progress), static_cast<TQeWin*>(schema_->WriteButton),
          static_cast<TQeWin*>(schema_->VersionLabel), static_cast<TQeWin*>(schema_->ErrorLabel),
          static_cast<TQeWin*>(schema_->HintLabel), static_cast<TQeWin*>(schema_->ErrorImage)})
        EXPECT_FALSE(hidden->Control->Visible());
    EXPECT_TRUE(schema_->MainForm->Control->Enabled());

    DriveClick(schema_->OkButton->Control);
    TApplication::Instance().Run(); // returns: the window has closed
    EXPECT_FALSE(DispatchEnabled());
    EXPECT_TRUE(PortIsFree("COM250"));

    // The session's transcript, written when the port closed: every block
    // with the CRC the device computed over what it received.
    std::string log = ReadLastSession();
    EXPECT_TRUE(Has(log, "  opened COM250 (")) << log;
    EXPECT_TRUE(Has(log, ": 38462 baud, 8 data bits, no parity, 1 stop bit, no flow control\n"));
    EXPECT_TRUE(Has(log, "  sent 56 45 52 53  \"VERS\"\n"));
    EXPECT_TRUE(Has(log, "  identified: device VMX-1, firmware 8.3\n"));
    EXPECT_TRUE(Has(log, "  block 1/508  crc "));
    std::string crc = Hex4(r.crc);
    EXPECT_TRUE(Has(log, "  block 508/508  crc " + crc + "  reply " + crc + "465A  after ")) << crc;
    EXPECT_TRUE(Has(log, "  final acknowledgement " + crc + "465A; sent \"PUSK\"\n"));
    EXPECT_TRUE(Has(log, "  outcome: success, 130048 bytes written\n"));
    EXPECT_TRUE(Has(log, "  port closed\n"));
}

TEST_F(MainWindow, FailedUploadsShowTheErrorDisplay) {
    for (int fault = 0; fault < 3; ++fault) {
        SimConfig c;
        if (fault == 0) c.faults.wrongCrcAt = 10;
        if (fault == 1) c.faults.silenceFrom = 10;
        if (fault == 2) c.faults.hangupAt = 10;
        AddDevice(250, c);
        OpenWindow();
        ASSERT_EQ(Identify("COM250"), Found("VMX-1", "8.3"));
        ASSERT_TRUE(UploadAndWait(10000)) << fault;
        EXPECT_TRUE(schema_->ErrorLabel->Control->Visible());
        EXPECT_TRUE(schema_->HintLabel->Control->Visible());
        EXPECT_TRUE(schema_->ErrorImage->Control->Visible());
        EXPECT_FALSE(schema_->SuccessLabel->Control->Visible());
        EXPECT_FALSE(schema_->StatusEdit->Control->Visible());
        EXPECT_EQ(schema_->ErrorLabel->Control->Text(), Cp1251("Ошибка при передаче данных!"));
        CloseWindow();
        EXPECT_TRUE(fault == 2 || PortIsFree("COM250"));
        // The transcript names the failed block (11, counting from 1) and,
        // for a wrong reply, the CRC the device had computed; the session
        // before it is kept beside it.
        std::string log = ReadLastSession();
        std::string crc = Hex4(sims_.back()->Report().crc);
        if (fault == 0) {
            EXPECT_TRUE(Has(log, "  block 11/508  crc " + crc + "  reply ")) << log;
            EXPECT_TRUE(Has(log, "  failed at block 11: reply ")) << log;
            EXPECT_TRUE(Has(log, " does not match the CRC " + crc + "\n")) << log;
        }
        if (fault == 1) {
            EXPECT_TRUE(Has(log, "  block 11/508  crc " + crc + "  reply none\n")) << log;
            EXPECT_TRUE(Has(log, "  failed at block 11: no reply for 2 to 3 s\n")) << log;
        }
        EXPECT_TRUE(Has(log, "  outcome: failure, ")) << log;
        if (fault == 1) {
            EXPECT_TRUE(Has(ReadLastSession(".1"), " does not match the CRC "));
        }
        sims_.clear();
    }
}

TEST_F(MainWindow, ClosingDuringAnUploadEndsPromptlyAndReleasesThePort) {
    for (int round = 0; round < 20; ++round) {
        SimConfig paced;
        paced.baud = 38462; // the upload takes half a minute: close it midway
        AddDevice(250, paced);
        OpenWindow();
        ASSERT_EQ(Identify("COM250"), Found("VMX-1", "8.3"));
        ASSERT_TRUE(WaitUntilWritable());
        DriveClick(schema_->WriteButton->Control);
        ASSERT_TRUE(RunUntil(
            [&] { return schema_->Progress->Control->Progress() >= 1 + round % 3; }, 5000));
        auto start = std::chrono::steady_clock::now();
        CloseWindow();
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
        EXPECT_TRUE(PortIsFree("COM250")) << round;
        sims_.clear();
    }
}

// Replies whose bytes come apart (a slow device, a USB adapter's frames, an
// acknowledgement in two pieces) identify and upload with the window's own
// settings.
TEST_F(MainWindow, RepliesInPiecesIdentifyAndUpload) {
    for (int round = 0; round < 4; ++round) {
        SimConfig pieces;
        if (round < 3) pieces.dribbleUs = std::array{1000, 5000, 10000}[std::size_t(round)];
        if (round == 3) pieces.faults.ackSplitMs = 1;
        DeviceSimulator& device = AddDevice(250, pieces);
        OpenWindow();
        ASSERT_EQ(Identify("COM250"), Found("VMX-1", "8.3")) << round;
        ASSERT_TRUE(UploadAndWait(60000)) << round;
        EXPECT_TRUE(schema_->SuccessLabel->Control->Visible()) << round;
        ASSERT_TRUE(device.WaitFor([](const SimReport& r) { return r.pusk; }, 3000));
        EXPECT_TRUE(device.Report().matchesImage);
        CloseWindow();
        sims_.clear();
    }
}

// A failure is final: the failure display stays, and a right acknowledgement
// that comes after it sends no further block and no "PUSK".
TEST_F(MainWindow, ARightAcknowledgementAfterAFailureChangesNothing) {
    for (int fault = 0; fault < 2; ++fault) {
        SimConfig c;
        c.burstGapMs = 50;
        if (fault == 0) c.faults.strayBurstAt = 3;
        if (fault == 1) c.faults.lateAckAt = 3, c.faults.lateAckMs = 4500;
        DeviceSimulator& device = AddDevice(250, c);
        OpenWindow();
        ASSERT_EQ(Identify("COM250"), Found("VMX-1", "8.3"));
        ASSERT_TRUE(UploadAndWait(10000)) << fault;
        // The acknowledgement of block 3 has gone out, late or after the stray byte.
        ASSERT_TRUE(
            device.WaitFor([](const SimReport& r) { return r.blocksAcknowledged >= 4; }, 6000));
        RunUntil([] { return false; }, 300);
        EXPECT_TRUE(schema_->ErrorLabel->Control->Visible()) << fault;
        EXPECT_TRUE(schema_->ErrorImage->Control->Visible()) << fault;
        EXPECT_FALSE(schema_->SuccessLabel->Control->Visible()) << fault;
        EXPECT_EQ(schema_->Progress->Control->Progress(), 3) << fault;
        SimReport r = device.Report();
        EXPECT_EQ(r.received, 4u * 256) << fault;
        EXPECT_FALSE(r.pusk) << fault;
        CloseWindow();
        sims_.clear();
    }
}
