#pragma once

#include <QString>

#include <functional>

class QObject;

namespace Platform {

// Opens a file or folder with the application the desktop has chosen for
// its type. False when the desktop names none or it cannot be started.
bool openWithDefaultApplication(const QString &path);

// The program of the desktop's default application for the file's type
// (its entry's Exec line), found on the path; empty when there is none.
QString defaultApplicationProgram(const QString &path);

// Asks the user's file manager, over the session bus, to show the file
// selected in its folder. `done` runs on the caller's thread once the file
// manager answered (true) or none did (false); never when `context` is gone.
void showInFileManager(const QString &path, QObject *context, std::function<void(bool shown)> done);

} // namespace Platform
