// One icon list shared by every view: an index means the same picture everywhere, and index 0 is
// the generic picture a failed lookup gives. User-interface thread only.
#pragma once

#include <QIcon>
#include <QString>
#include <QStyle>

#include <string>
#include <unordered_map>
#include <vector>

class TIconRegistry {
public:
    static TIconRegistry& instance();

    // By name and extension alone; the name need not exist (".exe", "report.txt", a drive root).
    int extIconIndex(const std::string& name);
    // By the real file, folder or drive; 0 when the path does not exist.
    int pathIconIndex(const std::string& path);
    // The human-readable type of files with this extension (empty when unknown).
    QString typeName(const std::string& name) const;

    QIcon icon(int index) const;
    int count() const { return static_cast<int>(icons_.size()); }

private:
    TIconRegistry();
    int indexFor(const QString& key, const QIcon& icon);
    int mimeIconIndex(const QString& fileName);
    // The fallback picture is built only when the key is new and the theme has none of the names.
    int themedIndex(const QString& key, const QStringList& themeNames, QStyle::StandardPixmap fallback);

    std::vector<QIcon> icons_;
    std::unordered_map<std::string, int> byKey_;
};

int getExtIconIndex(const std::string& name);
int getPathIconIndex(const std::string& path);
