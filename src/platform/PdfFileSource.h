#pragma once

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
    // Opens the file (without waiting: the caller has checked it is a
    // regular file). isOpen() says whether it worked.
    explicit PdfFileSource(const QString &path);
    ~PdfFileSource() override;
    PdfFileSource(const PdfFileSource &) = delete;
    PdfFileSource &operator=(const PdfFileSource &) = delete;

    bool isOpen() const { return m_fd >= 0; }

    qpdf_offset_t findAndSkipNextEOL() override;
    std::string const &getName() const override { return m_name; }
    qpdf_offset_t tell() override { return m_position; }
    void seek(qpdf_offset_t offset, int whence) override;
    void rewind() override { m_position = 0; }
    size_t read(char *buffer, size_t length) override;
    void unreadCh(char ch) override;

private:
    bool fill(qpdf_offset_t offset);

    int m_fd = -1;
    std::string m_name;
    qpdf_offset_t m_size = 0;
    qpdf_offset_t m_position = 0;
    QByteArray m_window;
    qpdf_offset_t m_windowStart = 0;
};

} // namespace Platform
