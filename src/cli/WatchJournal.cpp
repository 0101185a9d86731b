#include "cli/WatchJournal.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace PrintCommand {

namespace {

// One line a record: state, inode, job, printer, name (hex: any bytes).
QByteArray lineOf(const WatchJournal::Entry &entry)
{
    return (entry.state == WatchJournal::State::Printing ? QByteArray("printing") : QByteArray("unmoved")) + '\t'
        + QByteArray::number(entry.inode) + '\t' + QByteArray::number(entry.jobId) + '\t'
        + entry.printer.toUtf8().toHex() + '\t' + entry.name.toHex() + '\n';
}

bool parseLine(const QByteArray &line, WatchJournal::Entry *entry)
{
    const QList<QByteArray> fields = line.trimmed().split('\t');
    if (fields.size() != 5 || (fields.at(0) != "printing" && fields.at(0) != "unmoved"))
        return false;
    entry->state = fields.at(0) == "printing" ? WatchJournal::State::Printing : WatchJournal::State::Unmoved;
    entry->inode = fields.at(1).toULongLong();
    entry->jobId = fields.at(2).toInt();
    entry->printer = QString::fromUtf8(QByteArray::fromHex(fields.at(3)));
    entry->name = QByteArray::fromHex(fields.at(4));
    return !entry->name.isEmpty();
}

} // namespace

WatchJournal::WatchJournal() = default;

WatchJournal::~WatchJournal()
{
    if (m_lock >= 0)
        ::close(m_lock); // the lock goes with it
}

bool WatchJournal::open(const QByteArray &folder, QString *error)
{
    const QString directory =
        QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) + QStringLiteral("/watched");
    const QString stem = QDir(directory).filePath(
        QString::fromLatin1(QCryptographicHash::hash(folder, QCryptographicHash::Sha256).toHex().left(24)));
    m_path = stem + QStringLiteral(".journal");
    if (!QDir().mkpath(directory)) {
        *error = QStringLiteral("Cannot keep the watched folder's journal in %1").arg(directory);
        return false;
    }
    m_lock = ::open(QFile::encodeName(stem + QStringLiteral(".lock")).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (m_lock < 0) {
        *error = QStringLiteral("Cannot keep the watched folder's journal in %1").arg(directory);
        return false;
    }
    if (::flock(m_lock, LOCK_EX | LOCK_NB) != 0) {
        *error = QStringLiteral("%1 is watched by another dunmarrow-print already").arg(QFile::decodeName(folder));
        return false;
    }
    m_entries.clear();
    QFile file(m_path);
    if (file.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : file.readAll().split('\n')) {
            Entry entry;
            if (parseLine(line, &entry))
                m_entries << entry;
        }
    }
    return true;
}

const WatchJournal::Entry *WatchJournal::find(const QByteArray &name) const
{
    for (const Entry &entry : m_entries) {
        if (entry.name == name)
            return &entry;
    }
    return nullptr;
}

bool WatchJournal::put(const Entry &entry)
{
    for (Entry &existing : m_entries) {
        if (existing.name == entry.name) {
            existing = entry;
            return save();
        }
    }
    m_entries << entry;
    return save();
}

bool WatchJournal::remove(const QByteArray &name)
{
    const qsizetype before = m_entries.size();
    m_entries.removeIf([&](const Entry &entry) { return entry.name == name; });
    return m_entries.size() == before || save();
}

bool WatchJournal::save()
{
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    for (const Entry &entry : m_entries)
        file.write(lineOf(entry));
    return file.commit();
}

} // namespace PrintCommand
