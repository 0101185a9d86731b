#include "platform/FileLock.h"

#include "platform/LastError.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace Platform {

FileLock::FileLock(const QString &path)
    : m_path(path)
{
}

FileLock::~FileLock()
{
    unlock();
}

bool FileLock::tryLock()
{
    return acquire(0);
}

bool FileLock::lock(int timeoutMs)
{
    return acquire(timeoutMs);
}

bool FileLock::acquire(int timeoutMs)
{
    if (m_fd >= 0)
        return true;
    if (!QDir().mkpath(QFileInfo(m_path).absolutePath())) {
        setLastError(ErrorPathNotFound);
        return false;
    }
    const QByteArray name = QFile::encodeName(m_path);
    const int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        setLastError(errno == ENOENT ? ErrorPathNotFound : ErrorAccessDenied);
        return false;
    }
    // Polled rather than blocking, so a holder that hangs cannot hang us.
    const QDeadlineTimer deadline(timeoutMs);
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if ((errno != EWOULDBLOCK && errno != EINTR) || deadline.hasExpired()) {
            ::close(fd);
            setLastError(ErrorLockViolation);
            return false;
        }
        QThread::msleep(10);
    }
    m_fd = fd;
    return true;
}

void FileLock::unlock()
{
    if (m_fd < 0)
        return;
    ::close(m_fd); // closing drops the lock
    m_fd = -1;
}

} // namespace Platform
