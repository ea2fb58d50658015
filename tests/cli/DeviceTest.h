// The fixture of the command-line process suites: simulated devices on
// virtual ports in the test process's port directory, stopped at the end.
#pragma once

#include "tests/platform/PtyPort.h"
#include "tools/simulator/DeviceSimulator.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

class DeviceTest : public ::testing::Test {
protected:
    void SetUp() override { TestPortDir(); }
    // A device that answers as COM<port>.
    DeviceSimulator& StartDevice(int port, SimConfig config = {}) {
        sims_.push_back(std::make_unique<DeviceSimulator>(config));
        std::string error;
        EXPECT_TRUE(sims_.back()->Start(TestPortDir(), port, error)) << error;
        return *sims_.back();
    }
    std::vector<std::unique_ptr<DeviceSimulator>> sims_;
};
