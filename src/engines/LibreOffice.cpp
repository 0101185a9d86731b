#include "engines/LibreOffice.h"

#include "engines/OfficeSuites.h"
#include "engines/PdfiumPrinting.h"
#include "platform/ChildProcess.h"
#include "platform/LastError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>

#include <csignal>

#include <algorithm>
#include <atomic>
#include <unistd.h>

namespace {

std::atomic<int> s_startMs{10000};
std::atomic<int> s_runMs{180000};
constexpr int kAfterKillMs = 5000;

QString profileArgument(const QTemporaryDir &profile)
{
    return QStringLiteral("-env:UserInstallation=")
        + QUrl::fromLocalFile(profile.path()).toString(QUrl::FullyEncoded);
}

QStringList commonArguments(const QTemporaryDir &profile)
{
    return {profileArgument(profile), QStringLiteral("--headless"), QStringLiteral("--nologo"),
            QStringLiteral("--nodefault"), QStringLiteral("--nofirststartwizard")};
}

} // namespace

void setSofficeTimeLimits(int startMs, int runMs)
{
    s_startMs = std::max(startMs, 1);
    s_runMs = std::max(runMs, 1);
}

bool runSoffice(const QStringList &arguments, QString *message)
{
    const QString program = findSoffice();
    if (program.isEmpty()) {
        *message = QStringLiteral("LibreOffice is not installed or soffice could not be found.");
        return false;
    }
    // Its own temporary folder, removed with everything a run that had to
    // be killed left there.
    const QTemporaryDir scratch;
    QProcess soffice;
    if (scratch.isValid()) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("TMPDIR"), scratch.path());
        soffice.setProcessEnvironment(environment);
    }
    soffice.setProcessChannelMode(QProcess::MergedChannels);
    // A group of its own, so that a run that hangs can be ended with
    // everything it started (soffice.bin included).
    soffice.setChildProcessModifier([] { ::setsid(); });
    soffice.start(program, arguments);
    if (!soffice.waitForStarted(s_startMs)) {
        *message = QStringLiteral("Unable to start LibreOffice: ") + soffice.errorString();
        return false;
    }
    const qint64 group = soffice.processId();
    if (!soffice.waitForFinished(s_runMs)) {
        Platform::killProcessTree(group);
        soffice.waitForFinished(kAfterKillMs);
        *message = QStringLiteral("LibreOffice did not finish within the allowed time.");
        return false;
    }
    // Whatever it left running in its group (a soffice.bin still at work)
    // would hold the profile and the document after the run: ended too.
    ::kill(-pid_t(group), SIGKILL);
    if (soffice.exitStatus() != QProcess::NormalExit || soffice.exitCode() != 0) {
        const QString output = QString::fromLocal8Bit(soffice.readAll()).trimmed();
        *message = QStringLiteral("LibreOffice exited with code %1: %2")
                       .arg(soffice.exitCode())
                       .arg(output.isEmpty() ? soffice.errorString() : output);
        return false;
    }
    return true;
}

bool printWithLibreOffice(const QString &path, const PdfiumPrintRequest &settings, int *pages, QString *message,
                          QString *note)
{
    *pages = 0;
    const QTemporaryDir output;
    const QString pdf = output.filePath(QStringLiteral("document.pdf"));
    if (!output.isValid() || !convertWithLibreOffice(path, pdf, message))
        return false;
    PdfiumPrintRequest print = settings;
    print.pdfPath = pdf;
    print.title = QFileInfo(path).fileName();
    return printPdfWithPdfium(print, pages, message, note);
}

bool convertWithLibreOffice(const QString &sourcePath, const QString &targetPdf, QString *message)
{
    const QTemporaryDir profile;
    const QTemporaryDir output;
    if (!profile.isValid() || !output.isValid()) {
        *message = QStringLiteral("Unable to create a temporary LibreOffice conversion directory.");
        return false;
    }
    if (!runSoffice(commonArguments(profile)
                        << QStringLiteral("--convert-to") << QStringLiteral("pdf")
                        << QStringLiteral("--outdir") << QDir::toNativeSeparators(output.path())
                        << QDir::toNativeSeparators(sourcePath),
                    message))
        return false;
    // LibreOffice may rename what it cannot use in a file name.
    const QDir folder(output.path());
    QFileInfo pdf(folder.filePath(QFileInfo(sourcePath).completeBaseName() + QStringLiteral(".pdf")));
    if (!pdf.isFile()) {
        // Hidden too: ".odt" becomes ".odt.pdf".
        const QFileInfoList found = folder.entryInfoList({QStringLiteral("*.pdf")},
                                                         QDir::Files | QDir::Hidden, QDir::Time);
        pdf = found.isEmpty() ? QFileInfo() : found.first();
    }
    if (!pdf.isFile() || pdf.size() <= 0) {
        *message = QStringLiteral("LibreOffice did not generate a PDF file.");
        return false;
    }
    QDir().mkpath(QFileInfo(targetPdf).absolutePath());
    QFile::remove(targetPdf);
    if (!QFile::copy(pdf.absoluteFilePath(), targetPdf)) {
        *message = QStringLiteral("Unable to copy the PDF generated by LibreOffice.");
        return false;
    }
    return true;
}
