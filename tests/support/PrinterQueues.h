#pragma once

#include "PrivateCups.h"
#include "platform/LpOptions.h"

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
