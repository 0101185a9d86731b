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
        {QStringLiteral("owner"), entry.owner},
        {QStringLiteral("sequence"), entry.sequence},
        {QStringLiteral("lpoptions"), entry.lpOptionsPath},
        {QStringLiteral("destination"), entry.destination},
        {QStringLiteral("fileExisted"), entry.saved.fileExisted},
        {QStringLiteral("saved"), linesToJson(entry.saved.lines)},
        {QStringLiteral("written"), linesToJson(entry.written)},
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
    entry->owner = object.value(QStringLiteral("owner")).toString();
    entry->sequence = qint64(object.value(QStringLiteral("sequence")).toDouble());
    entry->lpOptionsPath = object.value(QStringLiteral("lpoptions")).toString();
    entry->destination = object.value(QStringLiteral("destination")).toString();
    entry->saved.fileExisted = object.value(QStringLiteral("fileExisted")).toBool();
    entry->saved.lines = linesFromJson(object.value(QStringLiteral("saved")));
    entry->written = linesFromJson(object.value(QStringLiteral("written")));
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
    return a.lpOptionsPath == b.lpOptionsPath
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
    return writeEntry(next) && QFile::remove(entry.file);
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

bool begin(const QString &destination, const LpOptionsLines &saved,
           const QList<QByteArray> &written, Entry *entry)
{
    const LpOptionsLock lock;
    if (!lock.isLocked() || !QDir().mkpath(folder()) || !ensureOwner())
        return false;
    qint64 sequence = 1;
    for (const Entry &other : readEntries())
        sequence = std::max(sequence, other.sequence + 1);
    entry->file = QDir(folder()).filePath(QStringLiteral("%1.json").arg(sequence, 12, 10, QLatin1Char('0')));
    entry->owner = s_owner;
    entry->sequence = sequence;
    entry->lpOptionsPath = userLpOptionsPath();
    entry->destination = destination;
    entry->saved = saved;
    entry->written = written;
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
    if (restoreDestinationLines(entry.destination, entry.saved)) {
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
        bool done = false;
        if (const Entry *next = nextOverride(entries, entry)) {
            done = handOver(entry, *next);
        } else {
            LpOptionsLines now;
            if (!readDestinationLines(entry.destination, &now))
                continue;
            // Lines someone changed since are theirs now.
            done = !sameDestinationOptions(now.lines, entry.written)
                ? QFile::remove(entry.file)
                : restoreDestinationLines(entry.destination, entry.saved)
                    && QFile::remove(entry.file);
        }
        if (done) {
            entries.removeAt(i);
            ++settled;
        }
    }
    removeDeadOwners(entries);
    return settled;
}

} // namespace OverrideJournal
