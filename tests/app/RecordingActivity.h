// What the recording test does to files, in the way the platform's capture backends see it.
#pragma once

#include "capture/UntCaptureBackend.h"

#include <QString>

#include <vector>

namespace activity {

// One way this platform records: a backend by its name in config.ini, and whether a change is
// seen only when announced to the shell, as the Windows desktop announces its own.
struct TVariant {
    const char* backendName;
    bool announced;
};
std::vector<TVariant> variants();

// The folder under which the test makes its own: on a drive the backends record.
QString baseFolder();
// The top node of the tree for paths on that drive.
std::string topNode();

// Each change happens as a user's program makes it.
bool create(const TVariant& variant, const QString& path);
bool remove(const TVariant& variant, const QString& path);
bool rename(const TVariant& variant, const QString& from, const QString& to);

} // namespace activity
