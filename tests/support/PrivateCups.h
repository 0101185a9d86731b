#pragma once

#include <QString>
#include <QStringList>

// The private CUPS scheduler that the test fixture starts (scripts/
// cups-private.sh). Its folder comes from DUNMARROW_TEST_CUPS_DIR.
namespace PrivateCups {

inline constexpr char kRawQueue[] = "Dunmarrow_Raw";
inline constexpr char kPostScriptQueue[] = "Dunmarrow_PS";
inline constexpr char kClosedQueue[] = "Dunmarrow_Closed"; // rejects every job
inline constexpr char kA4Queue[] = "Dunmarrow_A4"; // PostScript, the administrator's default paper A4
inline constexpr char kA3Queue[] = "Dunmarrow_A3"; // raw, the administrator's default paper A3

// Points this process's CUPS clients at the private scheduler. Call before
// the application object exists. False when no scheduler was set up.
bool connectFromEnvironment();
bool isAvailable();

// Folder where each job of a queue lands as "<job id>.prn".
QString outputFolder(const QString &queue);

} // namespace PrivateCups

namespace PrivateCups {

// Submits a file with the lp command (which honours the user's lpoptions,
// as every CUPS client does). Returns the job id, or 0.
int submitWithLp(const QString &queue, const QString &file, const QStringList &lpArguments = {});

// The bytes that reached the queue for a job, once the backend wrote them;
// empty after the timeout.
QByteArray waitForJobOutput(const QString &queue, int jobId, int timeoutMs = 60000);

// The highest job id whose data reached the queue so far (0: none).
int lastJobId(const QString &queue);
// Waits for a job newer than afterJobId to reach the queue (with this title,
// when one is given: other suites print to the same queues); its id, or 0.
int waitForJobAfter(const QString &queue, int afterJobId, const QString &title = QString(),
                    int timeoutMs = 60000);
// The backend's record of a job: title, user, copies and options lines.
QString jobInfo(const QString &queue, int jobId);

} // namespace PrivateCups
