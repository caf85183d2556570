// The dialog framework's pure helpers: the Open dialog's filter and the message-box caption.
#include "framework/MessageBox.h"
#include "framework/OpenFileDialog.h"

#include <gtest/gtest.h>

#include <string>

TEST(OpenFileDialog, FilterBecomesNullSeparatedPairsEndingInTwoNulls)
{
    using namespace std::string_literals;
    EXPECT_EQ(ToDoubleNullFilter("binaly files (*.bin)|*.bin|All Files (*.*)|*.*||"),
              "binaly files (*.bin)\0*.bin\0All Files (*.*)\0*.*\0\0"s);
    // A filter missing its closing bars still ends the list: the platform reads up to "\0\0".
    EXPECT_EQ(ToDoubleNullFilter("Text|*.txt"), "Text\0*.txt\0\0"s);
    EXPECT_EQ(ToDoubleNullFilter(""), "\0\0"s);
}

TEST(MessageBox, CaptionIsTheExecutableNameWithoutExtension)
{
    EXPECT_EQ(NameWithoutExtension("C:\\Program Files\\PQ4400\\versionup.exe"), "versionup");
    EXPECT_EQ(NameWithoutExtension("Z:/work/build/app/versionup.exe"), "versionup");
    // Only the last extension goes, and dots in folder names do not count.
    EXPECT_EQ(NameWithoutExtension("C:\\v1.02\\version.up.exe"), "version.up");
    EXPECT_EQ(NameWithoutExtension("C:\\v1.02\\versionup"), "versionup");
    EXPECT_EQ(ApplicationName(), "app_framework_test");
}
