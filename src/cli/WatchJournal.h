#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <memory>

// What a watched folder's printing must not forget across a stop, a kill
// or a restart: the file being printed (and its job, once the scheduler has
// made one), and files printed that could not be moved away. Kept in the
// program's data folder, one journal per folder, together with the lock
// that makes one command the folder's only watcher.
namespace PrintCommand {

class WatchJournal
{
public:
    enum class State { Printing, Unmoved };

    struct Entry
    {
        State state = State::Printing;
        QByteArray name; // as stored in the folder
        quint64 inode = 0;
        QString printer;
        int jobId = 0;
    };

    WatchJournal();
    ~WatchJournal();
    WatchJournal(const WatchJournal &) = delete;
    WatchJournal &operator=(const WatchJournal &) = delete;

    // Takes the folder (its canonical path, as stored): false with the
    // reason when another command watches it, or the journal cannot be
    // kept.
    bool open(const QByteArray &folder, QString *error);

    QList<Entry> entries() const { return m_entries; }
    const Entry *find(const QByteArray &name) const;

    // Each change is saved before it returns.
    bool put(const Entry &entry);
    bool remove(const QByteArray &name);

private:
    bool save();

    QString m_path;
    int m_lock = -1;
    QList<Entry> m_entries;
};

} // namespace PrintCommand
