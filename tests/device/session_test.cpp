// The device session without a port: the protocol's line settings given to
// the port, and the sub-schemas hosted by the schema that builds them.
#include "device/ConsoleSchema.h"
#include "device/Protocol.h"
#include "device/TClassMultiElementEx_25A8C60.h"
#include "serial/qeComAsync.h"

#include <gtest/gtest.h>

TEST(DeviceSession, ThePortTakesTheProgramsLine) {
    TQeComAsync port;
    ApplyProgramLineSettings(port);
    EXPECT_EQ(port.BaudRate, 38462);
    EXPECT_EQ(port.DataBits + 5, 8);
    EXPECT_EQ(port.Parity, noparity);
    EXPECT_EQ(port.StopBits, onestopbit);
    EXPECT_FALSE(port.CtsFlow || port.DsrFlow || port.XonXoffIn || port.XonXoffOut);
    EXPECT_TRUE(port.AbortOnError);
    EXPECT_EQ(port.InBufferSize, 4096);
    EXPECT_EQ(port.OutBufferSize, 4096);
    EXPECT_EQ(port.ReadIntervalTimeout, comm_maxdword);
    EXPECT_EQ(port.WriteTotalConstant, 1000u);
    EXPECT_EQ(port.WriteTotalMultiplier, 100u);
    EXPECT_TRUE(port.CheckPorts);
    EXPECT_TRUE(port.EvRxChar);
}

TEST(DeviceSession, TheSubSchemasOwnerIsTheSchemaThatBuiltThem) {
    TConsoleSchema schema;
    ASSERT_NE(schema.Session.Probe(), nullptr);
    ASSERT_NE(schema.Upload(), nullptr);
    EXPECT_EQ(schema.Session.Probe()->Owner, static_cast<TSchema*>(&schema));
    EXPECT_EQ(schema.Upload()->Owner, static_cast<TSchema*>(&schema));
    schema.Close();
}

TEST(DeviceSession, TheHostsHaveAPinForEveryName) {
    TConsoleSchema schema;
    EXPECT_EQ(schema.Session.ProbeHost->onPass.size(), std::size_t(probe_out_count));
    EXPECT_EQ(schema.Session.UploadHost->onPass.size(), std::size_t(upload_out_count));
    EXPECT_EQ(schema.Session.UploadHost->srcPass.size(), std::size_t(upload_value_count));
    schema.Close();
}
