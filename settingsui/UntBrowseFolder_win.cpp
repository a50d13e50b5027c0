// The shell's folder picker, opened on the initial folder.
#include <windows.h>
#include <ole2.h>
#include <shlobj.h>

#include "settingsui/UntBrowseFolder.h"

#include "util/UntWide.h"

#include <QApplication>
#include <QGuiApplication>
#include <QWidget>

namespace {

// Once the picker is up, it selects the folder it was given.
int CALLBACK selectInitialFolder(HWND picker, UINT message, LPARAM, LPARAM folder)
{
    if (message == BFFM_INITIALIZED)
        SendMessageW(picker, BFFM_SETSELECTIONW, TRUE, folder);
    return 0;
}

// The application's own top-level window, whichever window asked; none without real windows
// (the offscreen platform), where the picker has no owner.
HWND applicationWindow()
{
    if (QGuiApplication::platformName() != QLatin1String("windows"))
        return nullptr;
    QWidget* window = QApplication::activeWindow();
    while (window && window->parentWidget())
        window = window->parentWidget();
    return window ? reinterpret_cast<HWND>(window->winId()) : nullptr;
}

// The new-style picker needs OLE on the calling thread; the windows platform has started it.
class TOleScope {
public:
    TOleScope() : started_(SUCCEEDED(OleInitialize(nullptr))) {}
    ~TOleScope()
    {
        if (started_)
            OleUninitialize();
    }
    TOleScope(const TOleScope&) = delete;
    TOleScope& operator=(const TOleScope&) = delete;

private:
    bool started_;
};

} // namespace

std::string browseForFolder(const std::string& title, const std::string& initialFolder, bool allowNewFolder)
{
    const TOleScope ole;
    const std::wstring wideTitle = toWide(title);
    const std::wstring initial = toWide(initialFolder);
    wchar_t displayName[MAX_PATH + 1] = {};
    BROWSEINFOW info{};
    info.hwndOwner = applicationWindow();
    info.pszDisplayName = displayName;
    info.lpszTitle = wideTitle.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    if (!allowNewFolder)
        info.ulFlags |= BIF_NONEWFOLDERBUTTON;
    if (!initial.empty()) {
        info.lpfn = selectInitialFolder;
        info.lParam = reinterpret_cast<LPARAM>(initial.c_str());
    }
    const PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&info);
    if (!chosen)
        return {}; // cancelled
    wchar_t path[MAX_PATH + 1] = {};
    const bool named = SHGetPathFromIDListW(chosen, path);
    CoTaskMemFree(chosen);
    return named ? toUtf8(path) : std::string();
}
