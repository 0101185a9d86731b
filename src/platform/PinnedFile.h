#pragma once

#include <QString>

// A file to be read by a library that opens it by name, held open for as
// long as the library needs it. It is opened without waiting and must be a
// regular file: a name that is, or has become, a FIFO, a device or a folder
// is refused instead of hanging whoever opens it, and the name handed on
// refers to exactly the file that was checked.
namespace Platform {

class PinnedFile
{
public:
    PinnedFile() = default;
    ~PinnedFile();
    PinnedFile(const PinnedFile &) = delete;
    PinnedFile &operator=(const PinnedFile &) = delete;

    // False with ErrorFileNotFound (missing), ErrorInvalidData (not a
    // regular file) or ErrorAccessDenied (also a symbolic link, when links
    // are not to be followed).
    enum class Links { Follow, Refuse };
    bool open(const QString &path, Links links = Links::Follow);
    bool isOpen() const { return m_fd >= 0; }
    // The name for the library: the checked file itself.
    QString path() const { return m_pinnedPath; }
    // For reading it directly; -1 when not open.
    int descriptor() const { return m_fd; }

private:
    int m_fd = -1;
    QString m_pinnedPath;
};

} // namespace Platform
