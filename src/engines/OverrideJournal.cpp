#include "engines/OverrideJournal.h"

#include "platform/FileLock.h"
#include "platform/LastError.h"
#include "store/DataLocation.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QUuid>

#include <algorithm>
#include <memory>

using namespace Platform;

namespace OverrideJournal {

namespace {

// This process, while it runs: a lock file only a living process holds.
QString s_owner;
std::unique_ptr<FileLock> s_ownerLock;

QString ownerLockPath(const QString &owner)
{
    return QDir(folder()).filePath(QStringLiteral("owner-%1.lock").arg(owner));
}

bool ensureOwner()
{
    if (s_ownerLock)
        return true;
    const QString owner = QUuid::createUuid().toString(QUuid::Id128);
    auto lock = std::make_unique<FileLock>(ownerLockPath(owner));
    if (!lock->tryLock())
        return false;
    s_owner = owner;
    s_ownerLock = std::move(lock);
    return true;
}

bool isAlive(const QString &owner)
{
    if (owner.isEmpty())
        return false;
    if (owner == s_owner)
        return true;
    const QString path = ownerLockPath(owner);
    if (!QFile::exists(path))
        return false;
    FileLock probe(path);
    return !probe.tryLock();
}

QJsonArray linesToJson(const QList<QByteArray> &lines)
{
    QJsonArray array;
    for (const QByteArray &line : lines)
        array.append(QString::fromLatin1(line.toBase64()));
    return array;
}

QList<QByteArray> linesFromJson(const QJsonValue &value)
{
    QList<QByteArray> lines;
    for (const QJsonValue &line : value.toArray())
        lines << QByteArray::fromBase64(line.toString().toLatin1());
    return lines;
}

bool writeEntry(const Entry &entry)
{
    const QJsonObject object{
        {QStringLiteral("kind"), entry.kind == Entry::Kind::DefaultPrinter ? QStringLiteral("defaultPrinter")
                                                                           : QStringLiteral("printerOptions")},
        {QStringLiteral("owner"), entry.owner},
        {QStringLiteral("sequence"), entry.sequence},
        {QStringLiteral("lpoptions"), entry.lpOptionsPath},
        {QStringLiteral("destination"), entry.destination},
        {QStringLiteral("fileExisted"), entry.saved.fileExisted},
        {QStringLiteral("saved"), linesToJson(entry.saved.lines)},
        {QStringLiteral("written"), linesToJson(entry.written)},
        {QStringLiteral("fileBefore"), QString::fromLatin1(entry.fileBefore.toBase64())},
        {QStringLiteral("fileAfter"), QString::fromLatin1(entry.fileAfter.toBase64())},
    };
    QSaveFile file(entry.file);
    const QByteArray bytes = QJsonDocument(object).toJson();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        setLastError(ErrorAccessDenied);
        return false;
    }
    return true;
}

bool readEntry(const QString &path, Entry *entry)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QJsonObject object = QJsonDocument::fromJson(file.read(1024 * 1024)).object();
    if (object.isEmpty())
        return false;
    entry->file = path;
    entry->kind = object.value(QStringLiteral("kind")).toString() == QLatin1String("defaultPrinter")
        ? Entry::Kind::DefaultPrinter
        : Entry::Kind::PrinterOptions;
    entry->owner = object.value(QStringLiteral("owner")).toString();
    entry->sequence = qint64(object.value(QStringLiteral("sequence")).toDouble());
    entry->lpOptionsPath = object.value(QStringLiteral("lpoptions")).toString();
    entry->destination = object.value(QStringLiteral("destination")).toString();
    entry->saved.fileExisted = object.value(QStringLiteral("fileExisted")).toBool();
    entry->saved.lines = linesFromJson(object.value(QStringLiteral("saved")));
    entry->written = linesFromJson(object.value(QStringLiteral("written")));
    entry->fileBefore = QByteArray::fromBase64(object.value(QStringLiteral("fileBefore")).toString().toLatin1());
    entry->fileAfter = QByteArray::fromBase64(object.value(QStringLiteral("fileAfter")).toString().toLatin1());
    return !entry->destination.isEmpty() && !entry->lpOptionsPath.isEmpty();
}

// Oldest first.
QList<Entry> readEntries()
{
    QList<Entry> entries;
    const QDir dir(folder());
    for (const QString &name : dir.entryList({QStringLiteral("*.json")}, QDir::Files)) {
        Entry entry;
        if (readEntry(dir.filePath(name), &entry))
            entries << entry;
    }
    std::sort(entries.begin(), entries.end(),
              [](const Entry &a, const Entry &b) { return a.sequence < b.sequence; });
    return entries;
}

bool samePrinter(const Entry &a, const Entry &b)
{
    return a.kind == b.kind && a.lpOptionsPath == b.lpOptionsPath
        && a.destination.compare(b.destination, Qt::CaseInsensitive) == 0;
}

// The override of the same printer that came right after this one: it
// found this one's settings in place and would put them back.
const Entry *nextOverride(const QList<Entry> &entries, const Entry &entry)
{
    for (const Entry &other : entries) {
        if (other.sequence > entry.sequence && samePrinter(other, entry))
            return &other;
    }
    return nullptr;
}

// The earlier override's saved lines are the ones to end with.
bool handOver(const Entry &entry, Entry next)
{
    next.saved = entry.saved;
    next.fileBefore = entry.fileBefore;
    return writeEntry(next) && QFile::remove(entry.file);
}

// Puts the user's own default printer back unless someone chose another
// since (that choice is theirs and stays).
bool restoreDefault(const Entry &entry)
{
    LpOptionsSnapshot now;
    if (!readLpOptions(&now))
        return false;
    if (lpOptionsDefaultDestination(now.bytes).compare(entry.destination, Qt::CaseInsensitive) != 0)
        return true;
    SavedDefaultPrinter saved;
    saved.fileExisted = entry.saved.fileExisted;
    saved.userDefault = QString::fromUtf8(entry.saved.lines.value(0));
    saved.file = entry.fileBefore;
    return restoreDefaultPrinter(saved);
}

// Puts an override's printer back, under the options file's lock: the whole
// file as it was when nobody has changed it since; else that printer's
// lines, unless they are no longer what the override wrote (they are then
// someone's own, a properties save or another program's, and stay).
bool restore(const Entry &entry)
{
    if (entry.kind == Entry::Kind::DefaultPrinter)
        return restoreDefault(entry);
    LpOptionsSnapshot now;
    if (!readLpOptions(&now))
        return false;
    if (!entry.fileAfter.isEmpty() && now.existed && now.bytes == entry.fileAfter)
        return restoreLpOptions(LpOptionsSnapshot{entry.saved.fileExisted, entry.fileBefore});
    if (!sameDestinationOptions(destinationLines(now.bytes, entry.destination), entry.written))
        return true;
    return restoreDestinationLines(entry.destination, entry.saved);
}

void removeDeadOwners(const QList<Entry> &entries)
{
    const QDir dir(folder());
    for (const QString &name : dir.entryList({QStringLiteral("owner-*.lock")}, QDir::Files)) {
        const QString owner = name.mid(6, name.size() - 11);
        const bool referenced = std::any_of(entries.begin(), entries.end(),
                                            [&](const Entry &e) { return e.owner == owner; });
        if (!referenced && !isAlive(owner))
            QFile::remove(dir.filePath(name));
    }
}

} // namespace

QString folder()
{
    return QDir(localDataDirectory()).filePath(QStringLiteral("printer-defaults"));
}

namespace {

// A new entry's place in the journal, under the options file's lock.
bool startEntry(Entry::Kind kind, const QString &destination, Entry *entry)
{
    if (!QDir().mkpath(folder()) || !ensureOwner())
        return false;
    qint64 sequence = 1;
    for (const Entry &other : readEntries())
        sequence = std::max(sequence, other.sequence + 1);
    entry->kind = kind;
    entry->file = QDir(folder()).filePath(QStringLiteral("%1.json").arg(sequence, 12, 10, QLatin1Char('0')));
    entry->owner = s_owner;
    entry->sequence = sequence;
    entry->lpOptionsPath = userLpOptionsPath();
    entry->destination = destination;
    return true;
}

} // namespace

bool beginDefaultSwitch(const QString &destination, const SavedDefaultPrinter &saved, Entry *entry)
{
    const LpOptionsLock lock;
    if (!lock.isLocked() || !startEntry(Entry::Kind::DefaultPrinter, destination, entry))
        return false;
    entry->saved = {saved.fileExisted, {saved.userDefault.toUtf8()}};
    entry->fileBefore = saved.file;
    return writeEntry(*entry);
}

bool begin(const QString &destination, const QByteArray &fileAfter, Entry *entry)
{
    const LpOptionsLock lock;
    LpOptionsSnapshot before;
    if (!lock.isLocked() || !readLpOptions(&before) || !startEntry(Entry::Kind::PrinterOptions, destination, entry))
        return false;
    entry->saved = {before.existed, destinationLines(before.bytes, destination)};
    entry->written = destinationLines(fileAfter, destination);
    entry->fileBefore = before.bytes;
    entry->fileAfter = fileAfter;
    return writeEntry(*entry);
}

bool finish(const Entry &ours)
{
    const LpOptionsLock lock;
    if (!lock.isLocked())
        return false;
    // A later override whose program died, perhaps before it wrote, must
    // not be handed our lines: settle such entries first.
    restoreAbandoned();
    // A finished earlier override may have handed its lines to this one.
    Entry entry = ours;
    readEntry(ours.file, &entry);
    const QList<Entry> entries = readEntries();
    if (const Entry *next = nextOverride(entries, entry))
        return handOver(entry, *next);
    if (restore(entry)) {
        QFile::remove(entry.file);
        return true;
    }
    // Left for the next attempt, as if its program had ended.
    const quint32 error = lastError();
    entry.owner.clear();
    writeEntry(entry);
    setLastError(error);
    return false;
}

int restoreAbandoned()
{
    const LpOptionsLock lock;
    if (!lock.isLocked())
        return 0;
    QList<Entry> entries = readEntries();
    int settled = 0;
    // Newest first: undoing a later override brings back the lines the one
    // before it wrote.
    for (qsizetype i = entries.size() - 1; i >= 0; --i) {
        const Entry entry = entries.at(i);
        if (entry.lpOptionsPath != userLpOptionsPath() || isAlive(entry.owner))
            continue;
        const Entry *next = nextOverride(entries, entry);
        const bool done = next ? handOver(entry, *next) : restore(entry) && QFile::remove(entry.file);
        if (done) {
            entries.removeAt(i);
            ++settled;
        }
    }
    removeDeadOwners(entries);
    return settled;
}

} // namespace OverrideJournal
