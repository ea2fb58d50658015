#include "runtime/Share.h"

#include <gtest/gtest.h>

namespace {
struct TLiveDispatch : ::testing::Environment {
    void SetUp() override { EnableDispatch(); }
    void TearDown() override { DisableDispatch(); }
};
const auto* g_env = ::testing::AddGlobalTestEnvironment(new TLiveDispatch);
} // namespace
