#pragma once

#include "PrivateCups.h"
#include "platform/LpOptions.h"

#include <QProcess>

// The private scheduler's queues, as the program names them.
inline const QString kRaw = QString::fromLatin1(PrivateCups::kRawQueue);
inline const QString kPs = QString::fromLatin1(PrivateCups::kPostScriptQueue);

// The user's options file as every CUPS client reads it; "<no file>" when
// there is none, so that a removed file and an emptied one differ.
inline QByteArray userOptionsFile()
{
    Platform::LpOptionsSnapshot snapshot;
    Platform::readLpOptions(&snapshot);
    return snapshot.existed ? snapshot.bytes : QByteArray("<no file>");
}

// Whether an options file sets `key=value` for a printer.
inline bool hasOption(const QByteArray &file, const QString &printer, const QString &key, const QString &value)
{
    return Platform::lpOptionsFor(file, printer).contains(qMakePair(key, value));
}

// Two queues for following jobs, named for the suite that uses them (suites
// run side by side) and removed again with this: one whose device fails
// every job (the scheduler aborts it), one stopped (its jobs wait).
struct TroubledQueues
{
    explicit TroubledQueues(const QString &suite)
        : jammed(QStringLiteral("Dunmarrow_Jammed_") + suite)
        , paused(QStringLiteral("Dunmarrow_Paused_") + suite)
    {
        ready = run("lpadmin", {"-p", jammed, "-E", "-v", "dunmarrow-spool:not-a-folder"})
            && run("lpadmin", {"-p", paused, "-E", "-v", "file:/dev/null"}) && run("cupsdisable", {paused});
    }
    ~TroubledQueues()
    {
        run("lpadmin", {"-x", jammed});
        run("lpadmin", {"-x", paused});
    }
    TroubledQueues(const TroubledQueues &) = delete;
    TroubledQueues &operator=(const TroubledQueues &) = delete;

    static bool run(const QString &command, const QStringList &arguments)
    {
        return QProcess::execute(command, arguments) == 0;
    }

    const QString jammed;
    const QString paused;
    bool ready = false;
};
