// One icon list shared by every view: an index means the same picture everywhere, and index 0 is
// the generic picture a failed lookup gives. On Windows it is the system's small-icon list, so
// the shell's own indexes are used as they come; elsewhere a list that grows from the icon theme
// as names are looked up. User-interface thread only.
#pragma once

#include <QIcon>
#include <QString>

#include <memory>
#include <string>

class TIconRegistry {
public:
    static TIconRegistry& instance();

    // By name and extension alone; the name need not exist (".exe", "report.txt", a drive root).
    int extIconIndex(const std::string& name);
    // By the real file, folder or drive; 0 when the path does not exist.
    int pathIconIndex(const std::string& path);
    // The human-readable type of files with this extension (empty when unknown).
    QString typeName(const std::string& name) const;

    // The picture of an index; an index outside the list gives the generic picture.
    QIcon icon(int index) const;

private:
    TIconRegistry();
    ~TIconRegistry();

    struct TPlatform; // the platform's icon source, in UntIconRegistry_<platform>.cpp
    std::unique_ptr<TPlatform> platform_;
};

int getExtIconIndex(const std::string& name);
int getPathIconIndex(const std::string& path);
