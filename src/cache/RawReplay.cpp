#include "cache/RawReplay.h"

#include "platform/LastError.h"
#include "platform/PinnedFile.h"
#include "platform/RawJob.h"

#include <QFile>

#include <algorithm>
#include <memory>

using namespace Platform;

namespace {

constexpr qint64 kBufferSize = 262144;

// One copy: the whole file as one RAW job.
bool sendCopy(QFile &file, PrinterHandle &printer, const QString &documentName, char *buffer,
              QString *error)
{
    const auto fail = [&](const QString &text, bool abort) {
        // The message needs the error of the call that failed, not the abort's.
        *error = text;
        if (abort)
            abortPrinter(printer);
        return false;
    };
    if (!file.seek(0))
        return fail(QStringLiteral("Failed to read the print cache."), false);
    if (startDocPrinter(printer, documentName) <= 0)
        return fail(windowsErrorText(QStringLiteral("Unable to submit the print cache")), false);
    if (!startPagePrinter(printer))
        return fail(windowsErrorText(QStringLiteral("Unable to start the RAW print page")), true);
    while (!file.atEnd()) {
        const qint64 read = file.read(buffer, kBufferSize);
        if (read <= 0)
            return fail(QStringLiteral("Failed to read the print cache."), true);
        qint64 sent = 0;
        while (sent < read) {
            qint64 written = 0;
            if (!writePrinter(printer, buffer + sent, read - sent, &written) || written <= 0)
                return fail(windowsErrorText(QStringLiteral("Failed to upload the print cache")), true);
            sent += written;
        }
    }
    endPagePrinter(printer);
    if (!endDocPrinter(printer))
        return fail(windowsErrorText(QStringLiteral("The printer did not receive the complete cache")),
                    false);
    return true;
}

} // namespace

bool replayCache(const QString &prnPath, const QString &printerName, const QString &documentName,
                 int copies, QString *error)
{
    QString message;
    const auto finish = [&](bool ok) {
        if (error)
            *error = ok ? QString() : message;
        return ok;
    };
    // Only a regular file is read, never through a link: a FIFO would hang
    // the job and a link could lead anywhere.
    PinnedFile pinned;
    QFile file;
    if (!pinned.open(prnPath, PinnedFile::Links::Refuse)
        || !file.open(pinned.descriptor(), QIODevice::ReadOnly, QFileDevice::DontCloseHandle)) {
        message = QStringLiteral("Unable to read the print cache.");
        return finish(false);
    }
    PrinterHandle printer;
    if (!openPrinter(printerName, &printer)) {
        message = QStringLiteral("Unable to open printer: ") + printerName;
        return finish(false);
    }
    const auto buffer = std::make_unique<char[]>(kBufferSize);
    const int count = std::clamp(copies, 1, 9999);
    for (int copy = 0; copy < count; ++copy) {
        if (!sendCopy(file, printer, documentName, buffer.get(), &message))
            return finish(false);
    }
    return finish(true);
}
