#pragma once

#include <QString>

// The main window's one style sheet, keyed on object names.
QString mainWindowStyleSheet();
