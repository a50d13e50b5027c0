// The system's small-icon list, shared by every program: the shell gives indexes into it, which
// every view uses as they are, and each picture is read from the list the first time it is shown.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>

#include "widgets/UntIconRegistry.h"

#include "util/UntFunctions.h"
#include "util/UntWide.h"

#include <QImage>
#include <QPixmap>

#include <memory>
#include <type_traits>
#include <unordered_map>

namespace {

using TIconHandle = std::unique_ptr<std::remove_pointer_t<HICON>, decltype(&DestroyIcon)>;

// The icon index the shell gives for a name, 0 when the call fails.
int shellIconIndex(const std::string& name, DWORD attributes, UINT flags)
{
    SHFILEINFOW info{};
    const std::wstring wide = toWide(name);
    if (!SHGetFileInfoW(wide.c_str(), attributes, &info, sizeof(info), flags))
        return 0;
    return info.iIcon;
}

} // namespace

struct TIconRegistry::TPlatform {
    HIMAGELIST list = nullptr;
    bool comStarted = false;
    mutable std::unordered_map<int, QIcon> pictures;

    TPlatform()
    {
        // The shell asks for COM on the calling thread; the windows platform has it already.
        const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
        comStarted = SUCCEEDED(com);
        // The list itself, asked for with the system drive's root as the main window does.
        SHFILEINFOW info{};
        const std::wstring root = toWide(getSystemDriveRoot());
        list = reinterpret_cast<HIMAGELIST>(
            SHGetFileInfoW(root.c_str(), 0, &info, sizeof(info), SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
    }

    ~TPlatform()
    {
        if (comStarted)
            CoUninitialize();
    }

    QIcon picture(int index) const
    {
        if (!list || index < 0 || index >= ImageList_GetImageCount(list))
            return {};
        if (const auto found = pictures.find(index); found != pictures.end())
            return found->second;
        const TIconHandle handle(ImageList_GetIcon(list, index, ILD_TRANSPARENT), &DestroyIcon);
        QIcon icon;
        if (handle) {
            const QImage image = QImage::fromHICON(handle.get());
            if (!image.isNull())
                icon = QIcon(QPixmap::fromImage(image));
        }
        pictures.emplace(index, icon);
        return icon;
    }
};

TIconRegistry::TIconRegistry() : platform_(std::make_unique<TPlatform>()) {}

TIconRegistry::~TIconRegistry() = default;

int TIconRegistry::extIconIndex(const std::string& name)
{
    // By the name's form alone: the file need not exist.
    return shellIconIndex(name, FILE_ATTRIBUTE_NORMAL, SHGFI_SYSICONINDEX | SHGFI_USEFILEATTRIBUTES);
}

int TIconRegistry::pathIconIndex(const std::string& path)
{
    if (path.empty())
        return 0;
    return shellIconIndex(path, 0, SHGFI_SYSICONINDEX);
}

QString TIconRegistry::typeName(const std::string& name) const
{
    SHFILEINFOW info{};
    const std::wstring wide = toWide(name);
    if (!SHGetFileInfoW(wide.c_str(), FILE_ATTRIBUTE_NORMAL, &info, sizeof(info),
                        SHGFI_TYPENAME | SHGFI_USEFILEATTRIBUTES))
        return {};
    return QString::fromWCharArray(info.szTypeName);
}

QIcon TIconRegistry::icon(int index) const
{
    QIcon icon = platform_->picture(index);
    return icon.isNull() && index != 0 ? platform_->picture(0) : icon;
}
