#pragma once

class QCoreApplication;
class QApplication;

// Names and version, set before anything else runs: they address the
// per-user settings and the data folder.
void applyApplicationIdentity(QCoreApplication &app);

// Window icon and font: only a GUI application has them.
void applyApplicationLook(QApplication &app);

// The version as the window title shows it ("v1.7.0").
const char *applicationVersionLabel();
