// The fixture of the command-line process suites: simulated devices on
// virtual ports in the test process's port directory, stopped at the end.
#pragma once

#include "tests/platform/PtyPort.h"
#include "tools/simulator/DeviceSimulator.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
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

// The places of the test's ports: links in a folder of their own, named as
// /dev/serial/by-path names them. They name ptys that a later test may be
// given, so they go with the test.
struct TSockets {
    TSockets() {
        static std::string places = "VARNOMIKSAL_BY_PATH_DIR=" + TestPortDir() + "/by-path";
        putenv(places.data());
        std::filesystem::create_directories(TestPortDir() + "/by-path");
    }
    ~TSockets() {
        unsetenv("VARNOMIKSAL_BY_PATH_DIR");
        std::filesystem::remove_all(TestPortDir() + "/by-path");
    }
};
