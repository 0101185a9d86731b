#pragma once

#include "platform/LpOptions.h"
#include "platform/Spooler.h"

#include <QList>
#include <QString>

// What an override of a printer's per-user defaults must put back, kept on
// disk for as long as the override lives. A program killed in the middle of
// a print leaves its entry behind; the next start, or the next override,
// puts the printer's lines back. A restore that fails leaves its entry for
// the next attempt.
//
// Every function runs under the user's options-file lock (it takes it, or
// nests in the caller's), so entries and the options file change together.
namespace OverrideJournal {

struct Entry
{
    enum class Kind { PrinterOptions, DefaultPrinter };
    Kind kind = Kind::PrinterOptions;
    QString file;          // the entry's own file
    QString owner;         // the process that made it, while it runs
    qint64 sequence = 0;   // order of the overrides
    QString lpOptionsPath; // which user's options file
    QString destination;
    Platform::LpOptionsLines saved;  // what to put back
    QList<QByteArray> written;       // what the override wrote
    // The whole file before and after the override: while nobody else has
    // changed it, it comes back exactly, every line in its place.
    QByteArray fileBefore;
    QByteArray fileAfter;
};

// Records an override about to write fileAfter over the user's options
// file as it is now. False when the journal cannot be written: the
// override must not go ahead then.
bool begin(const QString &destination, const QByteArray &fileAfter, Entry *entry);

// Records that the user's default printer is about to become destination
// for one print; saved is the user's own choice as it is now.
bool beginDefaultSwitch(const QString &destination, const Platform::SavedDefaultPrinter &saved, Entry *entry);

// Ends an override: puts the saved lines back, or, when a later override
// of the same printer is still in place, hands them to it. Lines the user
// changed meanwhile (a properties save) are the user's and stay. A failed
// restore is left for restoreAbandoned().
bool finish(const Entry &entry);

// Puts back what overrides of programs that ended without restoring left
// in the user's options file. Lines changed since by someone else are left
// as they are. Returns how many entries were settled.
int restoreAbandoned();

// The folder of the entries.
QString folder();

} // namespace OverrideJournal
