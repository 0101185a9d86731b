#include "platform/PdfFileSource.h"

#include <QFile>

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace Platform {

namespace {

constexpr qsizetype kWindow = 64 * 1024;

} // namespace

PdfFileSource::PdfFileSource(const QString &path)
    : m_name(QFile::encodeName(path).toStdString())
{
    struct stat info{};
    if (m_file.open(path) && ::fstat(m_file.descriptor(), &info) == 0)
        m_size = info.st_size;
}

void PdfFileSource::seek(qpdf_offset_t offset, int whence)
{
    qpdf_offset_t target = offset;
    if (whence == SEEK_CUR)
        target += m_position;
    else if (whence == SEEK_END)
        target += m_size;
    if (target < 0)
        throw std::runtime_error(m_name + ": seek before the start of the file");
    m_position = target;
}

bool PdfFileSource::fill(qpdf_offset_t offset)
{
    m_window.resize(kWindow);
    ssize_t got = -1;
    do {
        got = ::pread(m_file.descriptor(), m_window.data(), size_t(kWindow), offset);
    } while (got < 0 && errno == EINTR);
    if (got < 0)
        throw std::runtime_error(m_name + ": read error");
    m_window.resize(got);
    m_windowStart = offset;
    return got > 0;
}

size_t PdfFileSource::read(char *buffer, size_t length)
{
    last_offset = m_position;
    size_t done = 0;
    while (done < length) {
        const qpdf_offset_t inWindow = m_position - m_windowStart;
        if (inWindow < 0 || inWindow >= m_window.size()) {
            if (!fill(m_position))
                break; // end of the file
            continue;
        }
        const size_t take = std::min(length - done, size_t(m_window.size() - inWindow));
        std::memcpy(buffer + done, m_window.constData() + inWindow, take);
        done += take;
        m_position += qpdf_offset_t(take);
    }
    return done;
}

void PdfFileSource::unreadCh(char)
{
    if (m_position > 0)
        --m_position;
}

qpdf_offset_t PdfFileSource::findAndSkipNextEOL()
{
    // The offset of the next end of line, leaving the position just past
    // the whole run of CR and LF characters there; the end of the file when
    // there is none.
    char chunk[4096];
    for (;;) {
        const qpdf_offset_t start = tell();
        const size_t length = read(chunk, sizeof chunk);
        if (length == 0)
            return tell();
        const auto end = chunk + length;
        const auto eol = std::find_if(chunk, end, [](char c) { return c == '\r' || c == '\n'; });
        if (eol == end)
            continue;
        const qpdf_offset_t result = start + (eol - chunk);
        seek(result + 1, SEEK_SET);
        char c = 0;
        while (read(&c, 1) == 1) {
            if (c != '\r' && c != '\n') {
                unreadCh(c);
                break;
            }
        }
        return result;
    }
}

} // namespace Platform
