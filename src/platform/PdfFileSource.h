#pragma once

#include "platform/PinnedFile.h"

#define POINTERHOLDER_TRANSITION 4
#include <qpdf/InputSource.hh>

#include <QByteArray>
#include <QString>

#include <string>

// A PDF file as qpdf reads it, through a read-ahead window: qpdf moves to
// every object it reads, and a plain file costs a system call for each move.
namespace Platform {

class PdfFileSource : public InputSource
{
public:
    // Opens the file as a PinnedFile does (without waiting, a regular file
    // only). isOpen() says whether it worked.
    explicit PdfFileSource(const QString &path);
    PdfFileSource(const PdfFileSource &) = delete;
    PdfFileSource &operator=(const PdfFileSource &) = delete;

    bool isOpen() const { return m_file.isOpen(); }

    qpdf_offset_t findAndSkipNextEOL() override;
    std::string const &getName() const override { return m_name; }
    qpdf_offset_t tell() override { return m_position; }
    void seek(qpdf_offset_t offset, int whence) override;
    void rewind() override { m_position = 0; }
    size_t read(char *buffer, size_t length) override;
    void unreadCh(char ch) override;

private:
    bool fill(qpdf_offset_t offset);

    PinnedFile m_file;
    std::string m_name;
    qpdf_offset_t m_size = 0;
    qpdf_offset_t m_position = 0;
    QByteArray m_window;
    qpdf_offset_t m_windowStart = 0;
};

} // namespace Platform
