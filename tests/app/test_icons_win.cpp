// The icon list is the system's small-icon list: the shell's own indexes, its own pictures.
#include <windows.h>
#include <shellapi.h>

#include "widgets/UntIconRegistry.h"

#include "util/UntFunctions.h"
#include "util/UntWide.h"

#include <QImage>

#include <gtest/gtest.h>

namespace {

int shellIndex(const std::string& path)
{
    SHFILEINFOW info{};
    const std::wstring wide = toWide(path);
    SHGetFileInfoW(wide.c_str(), 0, &info, sizeof(info), SHGFI_SYSICONINDEX | SHGFI_SMALLICON);
    return info.iIcon;
}

TEST(IconRegistrySystemList, IndexesAreTheShellsAndEachHasItsOwnPicture)
{
    const std::string drive = getSystemDriveRoot();
    const std::string windows = getWindowsDir();
    const int driveIcon = getPathIconIndex(drive);
    const int folderIcon = getPathIconIndex(windows);
    EXPECT_EQ(driveIcon, shellIndex(drive)) << "any program's index of the list means the same picture here";
    EXPECT_EQ(folderIcon, shellIndex(windows));

    const QImage drivePicture = TIconRegistry::instance().icon(driveIcon).pixmap(16, 16).toImage();
    const QImage folderPicture = TIconRegistry::instance().icon(folderIcon).pixmap(16, 16).toImage();
    ASSERT_FALSE(drivePicture.isNull());
    ASSERT_FALSE(folderPicture.isNull());
    EXPECT_NE(drivePicture, folderPicture);
}

} // namespace
