// The fixture of the serial element suites: an element with the program's
// settings and a recorder of everything it fires, dispatch on for the test.
#pragma once

#include "tests/serial/ComTestKit.h"

#include <gtest/gtest.h>

class ComAsyncFixture : public ::testing::Test {
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
