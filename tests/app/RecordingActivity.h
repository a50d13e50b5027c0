// What the recording test does to files, in the way the platform's capture backend sees it.
#pragma once

#include "capture/UntCaptureBackend.h"

#include <QString>

namespace activity {

// The folder under which the test makes its own: on a drive the backend records.
QString baseFolder();
// The backend under test; null (with the reason) when this machine refuses it.
TBackendChoice backend();
// The top node of the tree for paths on that drive.
std::string topNode();

// Each change happens as a user's program makes it.
bool create(const QString& path);
bool remove(const QString& path);
bool rename(const QString& from, const QString& to);

} // namespace activity
