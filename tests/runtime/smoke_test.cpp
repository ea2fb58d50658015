#include "runtime/Share.h"
#include "runtime/qeHub.h"

#include <gtest/gtest.h>

TEST(Smoke, HubCopies) {
    EnableDispatch();
    TQeHub hub;
    hub.SetOutCount(2);
    TData d;
    SetInteger(d, 5);
    Fire(MakeLink<&TQeHub::inSpread>(0, &hub), d);
    EXPECT_EQ(ToInteger(d), 5);
    DisableDispatch();
}
