// A build given a vendor's image and its version names the image by that
// version: in the window's label and on the command line. (The program's
// own build carries the placeholder; the e2e and CLI suites check that.)
#include "resources/ImageLabel.h"

#include <gtest/gtest.h>

TEST(ImageLabel, AGivenImageIsNamedByItsVersion) {
    const TImageLabel& label = EmbeddedImageLabel();
    EXPECT_FALSE(label.placeholder);
    EXPECT_EQ(label.version, EXPECTED_VERSION);
    EXPECT_EQ(ImageTitle(label), "firmware " EXPECTED_VERSION);
    EXPECT_EQ(VersionLabelText(label), "Версия ПО для обновления:" EXPECTED_VERSION);
}
