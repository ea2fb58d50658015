// The USB details of a COM port as the device manager's instance ids carry
// them: Windows' own USB serial driver, and a vendor driver's bus (FTDI).
#include "platform/windows/UsbInstanceId.h"

#include <gtest/gtest.h>

TEST(UsbInstanceId, VendorProductAndSerialFromBothKindsOfId) {
    TUsbInfo usb;
    ASSERT_TRUE(ParseUsbInstanceId("USB\\VID_0403&PID_6001\\A50285BI", usb));
    EXPECT_EQ(usb.vendorId + ":" + usb.productId + " " + usb.serial, "0403:6001 A50285BI");
    // A serial Windows made up (no serial in the adapter) is none.
    ASSERT_TRUE(ParseUsbInstanceId("USB\\VID_067B&PID_2303\\5&2F1C6A3&0&2", usb));
    EXPECT_EQ(usb.vendorId + ":" + usb.productId + " [" + usb.serial + "]", "067b:2303 []");
    // FTDI's bus: the port's letter follows the serial.
    ASSERT_TRUE(ParseUsbInstanceId("FTDIBUS\\VID_0403+PID_6015+DK0AB1CDA\\0000", usb));
    EXPECT_EQ(usb.vendorId + ":" + usb.productId + " " + usb.serial, "0403:6015 DK0AB1CD");
    // A port on no USB adapter.
    TUsbInfo none;
    EXPECT_FALSE(ParseUsbInstanceId("ACPI\\PNP0501\\1", none));
    EXPECT_FALSE(none.usb);
}
