#pragma once

#include <QString>

// The private CUPS scheduler that the test fixture starts (scripts/
// cups-private.sh). Its folder comes from DUNMARROW_TEST_CUPS_DIR.
namespace PrivateCups {

inline constexpr char kRawQueue[] = "Dunmarrow_Raw";
inline constexpr char kPostScriptQueue[] = "Dunmarrow_PS";

// Points this process's CUPS clients at the private scheduler. Call before
// the application object exists. False when no scheduler was set up.
bool connectFromEnvironment();
bool isAvailable();

// Folder where each job of a queue lands as "<job id>.prn".
QString outputFolder(const QString &queue);

} // namespace PrivateCups
