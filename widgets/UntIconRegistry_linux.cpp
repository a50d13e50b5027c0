// The icon list of a desktop without a shared system list: pictures from the icon theme, by MIME
// type for names, by what the path is for real files, folders and drives; each new picture gets
// the next index.
#include "widgets/UntIconRegistry.h"

#include "util/UntText.h"

#include <QApplication>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QStorageInfo>
#include <QStyle>

#include <unordered_map>
#include <vector>

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

struct TIconRegistry::TPlatform {
    std::vector<QIcon> icons;
    std::unordered_map<std::string, int> byKey;

    int indexFor(const QString& key, const QIcon& icon)
    {
        const std::string k = key.toStdString();
        if (auto found = byKey.find(k); found != byKey.end())
            return found->second;
        if (icon.isNull())
            return 0;
        icons.push_back(icon);
        const int index = static_cast<int>(icons.size()) - 1;
        byKey.emplace(k, index);
        return index;
    }

    // The fallback picture is built only when the key is new and the theme has none of the names.
    int themedIndex(const QString& key, const QStringList& themeNames, QStyle::StandardPixmap fallback)
    {
        if (auto found = byKey.find(key.toStdString()); found != byKey.end())
            return found->second;
        for (const auto& name : themeNames)
            if (QIcon::hasThemeIcon(name))
                return indexFor(key, QIcon::fromTheme(name));
        return indexFor(key, standardIcon(fallback));
    }

    int mimeIconIndex(const QString& fileName)
    {
        static const QMimeDatabase db;
        const QMimeType mime = db.mimeTypeForFile(fileName, QMimeDatabase::MatchExtension);
        if (!mime.isValid() || mime.isDefault())
            return 0;
        return themedIndex(QStringLiteral("mime:") + mime.name(), {mime.iconName(), mime.genericIconName()},
                           QStyle::SP_FileIcon);
    }

    int driveIndex()
    {
        return themedIndex(QStringLiteral("drive"), {QStringLiteral("drive-harddisk")}, QStyle::SP_DriveHDIcon);
    }
};

TIconRegistry::TIconRegistry() : platform_(std::make_unique<TPlatform>())
{
    // Without a desktop session Qt knows no theme; the one the setup installs has the pictures.
    if (QIcon::themeName().isEmpty() || QIcon::themeName() == QLatin1String("hicolor"))
        QIcon::setThemeName(QStringLiteral("Adwaita"));
    platform_->icons.push_back(QIcon::fromTheme(QStringLiteral("text-x-generic"), standardIcon(QStyle::SP_FileIcon)));
    platform_->byKey["generic"] = 0;
}

TIconRegistry::~TIconRegistry() = default;

int TIconRegistry::extIconIndex(const std::string& name)
{
    if (isRootForm(name))
        return platform_->driveIndex();
    const std::string_view ext = extensionPart(name, kNativePathStyle);
    if (ext.empty())
        return 0;
    return platform_->mimeIconIndex(QStringLiteral("x") + QString::fromUtf8(ext.data(), static_cast<int>(ext.size())));
}

int TIconRegistry::pathIconIndex(const std::string& path)
{
    const QFileInfo info(QString::fromStdString(path));
    if (path.empty() || !info.exists())
        return 0;
    if (info.isDir()) {
        if (QStorageInfo(info.absoluteFilePath()).rootPath() == info.absoluteFilePath())
            return platform_->driveIndex();
        return platform_->themedIndex(QStringLiteral("folder"),
                                      {QStringLiteral("folder"), QStringLiteral("inode-directory")},
                                      QStyle::SP_DirIcon);
    }
    const int byType = platform_->mimeIconIndex(info.fileName());
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
    const auto& icons = platform_->icons;
    return index >= 0 && index < static_cast<int>(icons.size()) ? icons[static_cast<std::size_t>(index)]
                                                                : icons.front();
}
