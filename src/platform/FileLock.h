#pragma once

#include <QString>

// An advisory, exclusive lock on a file, shared by threads and processes
// that agree to take it. The operating system drops it when its holder
// dies, so a lock can never outlive a crash.
namespace Platform {

class FileLock
{
public:
    explicit FileLock(const QString &path);
    ~FileLock();
    FileLock(const FileLock &) = delete;
    FileLock &operator=(const FileLock &) = delete;

    // Creates the file (and its folder) when missing. tryLock never waits;
    // lock waits up to timeoutMs. False with the last error set.
    bool tryLock();
    bool lock(int timeoutMs);
    void unlock();
    bool isLocked() const { return m_fd >= 0; }
    QString path() const { return m_path; }

private:
    bool acquire(int timeoutMs);

    QString m_path;
    int m_fd = -1;
};

} // namespace Platform
