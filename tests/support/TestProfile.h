#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

// A private user profile for one test process: its own HOME, XDG folders
// and settings, so no test touches the user's files. Create it before the
// application object.
class TestProfile
{
public:
    TestProfile();

    QString home() const { return m_dir.path(); }
    QString path(const QString &relative) const { return m_dir.filePath(relative); }

private:
    QTemporaryDir m_dir;
};

// Sets an environment variable for one scope and restores it afterwards.
class ScopedEnv
{
public:
    ScopedEnv(const char *name, const QByteArray &value);
    ~ScopedEnv();

    ScopedEnv(const ScopedEnv &) = delete;
    ScopedEnv &operator=(const ScopedEnv &) = delete;

private:
    const char *m_name;
    bool m_wasSet;
    QByteArray m_old;
};

// Writes a whole file, creating its folder; false when it cannot.
bool writeFile(const QString &path, const QByteArray &bytes = QByteArray());
// A whole file; empty when it cannot be read.
QByteArray readFile(const QString &path);

// Makes a file unwritable even for root (immutable attribute where the file
// system has it). Returns false when the file stays writable.
bool makeFileReadOnly(const QString &path);
void makeFileWritable(const QString &path);
