#include "widgets/UntIconRegistry.h"

#include "util/UntText.h"

#include <QApplication>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QStorageInfo>
#include <QStyle>

namespace {

QIcon standardIcon(QStyle::StandardPixmap which)
{
    return qApp ? QApplication::style()->standardIcon(which) : QIcon();
}

bool isRootForm(const std::string& name)
{
    const char sep = pathSeparator(kNativePathStyle);
    return name == std::string(1, sep) || (name.size() == 3 && name[1] == ':' && (name[2] == '\\' || name[2] == '/')) ||
           (name.size() == 2 && name[1] == ':');
}

} // namespace

TIconRegistry& TIconRegistry::instance()
{
    static TIconRegistry registry;
    return registry;
}

TIconRegistry::TIconRegistry()
{
    // Without a desktop session Qt knows no theme; the one the setup installs has the pictures.
    if (QIcon::themeName().isEmpty() || QIcon::themeName() == QLatin1String("hicolor"))
        QIcon::setThemeName(QStringLiteral("Adwaita"));
    icons_.push_back(QIcon::fromTheme(QStringLiteral("text-x-generic"), standardIcon(QStyle::SP_FileIcon)));
    byKey_["generic"] = 0;
}

int TIconRegistry::indexFor(const QString& key, const QIcon& icon)
{
    const std::string k = key.toStdString();
    if (auto found = byKey_.find(k); found != byKey_.end())
        return found->second;
    if (icon.isNull())
        return 0;
    icons_.push_back(icon);
    const int index = static_cast<int>(icons_.size()) - 1;
    byKey_.emplace(k, index);
    return index;
}

int TIconRegistry::themedIndex(const QString& key, const QStringList& themeNames, QStyle::StandardPixmap fallback)
{
    if (auto found = byKey_.find(key.toStdString()); found != byKey_.end())
        return found->second;
    for (const auto& name : themeNames)
        if (QIcon::hasThemeIcon(name))
            return indexFor(key, QIcon::fromTheme(name));
    return indexFor(key, standardIcon(fallback));
}

int TIconRegistry::mimeIconIndex(const QString& fileName)
{
    static const QMimeDatabase db;
    const QMimeType mime = db.mimeTypeForFile(fileName, QMimeDatabase::MatchExtension);
    if (!mime.isValid() || mime.isDefault())
        return 0;
    return themedIndex(QStringLiteral("mime:") + mime.name(), {mime.iconName(), mime.genericIconName()},
                       QStyle::SP_FileIcon);
}

int TIconRegistry::extIconIndex(const std::string& name)
{
    if (isRootForm(name))
        return themedIndex(QStringLiteral("drive"), {QStringLiteral("drive-harddisk")}, QStyle::SP_DriveHDIcon);
    const std::string_view ext = extensionPart(name, kNativePathStyle);
    if (ext.empty())
        return 0;
    return mimeIconIndex(QStringLiteral("x") + QString::fromUtf8(ext.data(), static_cast<int>(ext.size())));
}

int TIconRegistry::pathIconIndex(const std::string& path)
{
    const QFileInfo info(QString::fromStdString(path));
    if (path.empty() || !info.exists())
        return 0;
    if (info.isDir()) {
        if (QStorageInfo(info.absoluteFilePath()).rootPath() == info.absoluteFilePath())
            return themedIndex(QStringLiteral("drive"), {QStringLiteral("drive-harddisk")}, QStyle::SP_DriveHDIcon);
        return themedIndex(QStringLiteral("folder"), {QStringLiteral("folder"), QStringLiteral("inode-directory")},
                           QStyle::SP_DirIcon);
    }
    const int byType = mimeIconIndex(info.fileName());
    return byType != 0 ? byType : extIconIndex(path);
}

QString TIconRegistry::typeName(const std::string& name) const
{
    static const QMimeDatabase db;
    const std::string_view ext = extensionPart(name, kNativePathStyle);
    if (ext.empty())
        return {};
    const QMimeType mime =
        db.mimeTypeForFile(QStringLiteral("x") + QString::fromUtf8(ext.data(), static_cast<int>(ext.size())),
                           QMimeDatabase::MatchExtension);
    return mime.isValid() && !mime.isDefault() ? mime.comment() : QString();
}

QIcon TIconRegistry::icon(int index) const
{
    return index >= 0 && index < count() ? icons_[static_cast<std::size_t>(index)] : icons_.front();
}

int getExtIconIndex(const std::string& name)
{
    return TIconRegistry::instance().extIconIndex(name);
}

int getPathIconIndex(const std::string& path)
{
    return TIconRegistry::instance().pathIconIndex(path);
}
