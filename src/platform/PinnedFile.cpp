#include "platform/PinnedFile.h"

#include "platform/LastError.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Platform {

PinnedFile::~PinnedFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool PinnedFile::open(const QString &path, Links links)
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    m_pinnedPath.clear();
    const QByteArray name = QFile::encodeName(path);
    if (name.isEmpty() || name.contains('\0')) {
        setLastError(ErrorFileNotFound);
        return false;
    }
    // Non-blocking: opening a FIFO with no writer would wait for one.
    const int flags = O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY
        | (links == Links::Refuse ? O_NOFOLLOW : 0);
    const int fd = ::open(name.constData(), flags);
    if (fd < 0) {
        setLastError(errno == ENOENT || errno == ENOTDIR ? ErrorFileNotFound : ErrorAccessDenied);
        return false;
    }
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        setLastError(ErrorInvalidData);
        return false;
    }
    m_fd = fd;
    // Reopening through the descriptor reaches this very file, whatever the
    // name has become since.
    const QString viaDescriptor = QStringLiteral("/proc/self/fd/%1").arg(fd);
    m_pinnedPath = QFileInfo::exists(viaDescriptor) ? viaDescriptor : path;
    return true;
}

} // namespace Platform
