#include "RecordingActivity.h"

#include <QProcess>

namespace {

// Changes come from a child process: the monitor drops those of its own process.
bool run(const QString& program, const QStringList& arguments)
{
    return QProcess::execute(program, arguments) == 0;
}

} // namespace

namespace activity {

QString baseFolder()
{
    // Not /tmp: it may be a memory filesystem, which is no drive.
    return QStringLiteral("/var/tmp");
}

TBackendChoice backend()
{
    return chooseBackend(TBackendKind::Fanotify);
}

std::string topNode()
{
    return "/";
}

bool create(const QString& path)
{
    return run(QStringLiteral("touch"), {path});
}

bool remove(const QString& path)
{
    return run(QStringLiteral("rm"), {path});
}

bool rename(const QString& from, const QString& to)
{
    return run(QStringLiteral("mv"), {from, to});
}

} // namespace activity
