#include <windows.h>
#include <shlobj.h>

#include "RecordingActivity.h"

#include <QDir>

namespace {

// Wine's shell passes on only the changes that programs announce with SHChangeNotify, as the
// Windows desktop announces its own: each change here is made, then announced.
void announce(LONG event, const QString& first, const QString& second = {})
{
    const std::wstring a = QDir::toNativeSeparators(first).toStdWString();
    const std::wstring b = QDir::toNativeSeparators(second).toStdWString();
    SHChangeNotify(event, SHCNF_PATHW | SHCNF_FLUSH, a.c_str(), second.isEmpty() ? nullptr : b.c_str());
}

std::wstring native(const QString& path)
{
    return QDir::toNativeSeparators(path).toStdWString();
}

} // namespace

namespace activity {

QString baseFolder()
{
    return QDir::tempPath();
}

TBackendChoice backend()
{
    return chooseBackend(TBackendKind::ShellNotify);
}

std::string topNode()
{
    return QDir::toNativeSeparators(QDir::tempPath()).left(2).toStdString(); // "C:"
}

bool create(const QString& path)
{
    const HANDLE file =
        CreateFileW(native(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    announce(SHCNE_CREATE, path);
    return true;
}

bool remove(const QString& path)
{
    if (!DeleteFileW(native(path).c_str()))
        return false;
    announce(SHCNE_DELETE, path);
    return true;
}

bool rename(const QString& from, const QString& to)
{
    if (!MoveFileW(native(from).c_str(), native(to).c_str()))
        return false;
    announce(SHCNE_RENAMEITEM, from, to);
    return true;
}

} // namespace activity
