#include "engines/LibreOffice.h"

#include "engines/OfficeSuites.h"
#include "engines/PdfiumPrinting.h"
#include "platform/ChildProcess.h"
#include "platform/LastError.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>

#include <csignal>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <limits>
#include <memory>
#include <mutex>
#include <thread>

#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::atomic<int> s_startMs{10000};
std::atomic<int> s_runMs{180000};
constexpr int kAfterKillMs = 5000;
constexpr int kPollMs = 100;
const char kRunFolderPrefix[] = "dunmarrow-soffice-";

// The processes whose command line names a folder (LibreOffice names its
// profile's), found in /proc.
QList<qint64> processesNaming(const QString &folder)
{
    QList<qint64> found;
    const QByteArray name = QUrl::fromLocalFile(folder).toString(QUrl::FullyEncoded).toUtf8();
    const QDir proc(QStringLiteral("/proc"));
    for (const QString &entry : proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool isPid = false;
        const qint64 pid = entry.toLongLong(&isPid);
        QFile commandLine(proc.filePath(entry + QStringLiteral("/cmdline")));
        if (isPid && commandLine.open(QIODevice::ReadOnly) && commandLine.readAll().contains(name))
            found << pid;
    }
    return found;
}

} // namespace

void removeAbandonedLibreOfficeRuns();

namespace {

// Once per process, before its first run: what the last one left.
void removeAbandonedRuns()
{
    static std::once_flag once;
    std::call_once(once, removeAbandonedLibreOfficeRuns);
}

// One run's folder in the temporary folder, for its profile, its temporary
// files and its output, removed with all of it when the run is over. Its
// name says whose it is, so that the next run can tell one left by a
// process that was killed.
class RunFolder
{
public:
    RunFolder()
        : m_dir(QDir::temp().filePath(QLatin1String(kRunFolderPrefix) + Platform::processStamp()
                                      + QStringLiteral("-XXXXXX")))
    {
        removeAbandonedRuns();
        m_valid = m_dir.isValid() && QDir(m_dir.path()).mkpath(QStringLiteral("profile"))
            && QDir(m_dir.path()).mkpath(QStringLiteral("tmp")) && QDir(m_dir.path()).mkpath(QStringLiteral("out"));
    }
    bool isValid() const { return m_valid; }
    QString path(const char *part) const { return m_dir.filePath(QLatin1String(part)); }

private:
    QTemporaryDir m_dir;
    bool m_valid = false;
};

QString profileArgument(const QString &profile)
{
    return QStringLiteral("-env:UserInstallation=") + QUrl::fromLocalFile(profile).toString(QUrl::FullyEncoded);
}

QStringList commonArguments(const QString &profile)
{
    return {profileArgument(profile), QStringLiteral("--headless"), QStringLiteral("--nologo"),
            QStringLiteral("--nodefault"), QStringLiteral("--nofirststartwizard")};
}

// Waits for the run to end, within the time allowed and unless the user
// stops the program; false when it had to be ended.
bool waitForRun(QProcess &soffice, int runMs, const std::atomic<bool> *cancelled, QString *message)
{
    QDeadlineTimer deadline(runMs);
    while (!soffice.waitForFinished(kPollMs)) {
        if (soffice.state() == QProcess::NotRunning)
            break;
        if (Platform::helperProgramsAborted() || (cancelled && *cancelled)) {
            *message = QStringLiteral("LibreOffice was stopped: the program is stopping.");
            return false;
        }
        if (deadline.hasExpired()) {
            *message = QStringLiteral("LibreOffice did not finish within the allowed time.");
            return false;
        }
    }
    return true;
}

} // namespace

void removeAbandonedLibreOfficeRuns()
{
    const QDir temp = QDir::temp();
    for (const QString &entry : temp.entryList({QLatin1String(kRunFolderPrefix) + QLatin1Char('*')},
                                               QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot)) {
        bool isStamp = false;
        const QString stamp = entry.mid(int(sizeof kRunFolderPrefix) - 1).section(QLatin1Char('-'), 0, 0);
        if (Platform::isStampOfLivingProcess(stamp, &isStamp) || !isStamp)
            continue;
        const QString folder = temp.filePath(entry);
        for (const qint64 left : processesNaming(folder))
            ::kill(pid_t(left), SIGKILL);
        QDir(folder).removeRecursively();
    }
}

void setSofficeTimeLimits(int startMs, int runMs)
{
    s_startMs = std::max(startMs, 1);
    s_runMs = std::max(runMs, 1);
}

namespace {

bool runSofficeWithin(const QStringList &arguments, int runMs, const std::atomic<bool> *cancelled,
                      QString *message)
{
    const QString program = findSoffice();
    if (program.isEmpty()) {
        *message = QStringLiteral("LibreOffice is not installed or soffice could not be found.");
        return false;
    }
    // Its own temporary folder, removed with everything a run that had to
    // be killed left there.
    const RunFolder scratch;
    QProcess soffice;
    if (scratch.isValid()) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("TMPDIR"), scratch.path("tmp"));
        soffice.setProcessEnvironment(environment);
    }
    soffice.setProcessChannelMode(QProcess::MergedChannels);
    // A group of its own, so that a run that hangs can be ended with
    // everything it started (soffice.bin included); and it ends when this
    // program ends, however that happens.
    soffice.setChildProcessModifier([] {
        ::setsid();
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    });
    soffice.start(program, arguments);
    if (!soffice.waitForStarted(s_startMs)) {
        *message = QStringLiteral("Unable to start LibreOffice: ") + soffice.errorString();
        return false;
    }
    const qint64 group = soffice.processId();
    if (!waitForRun(soffice, runMs, cancelled, message)) {
        Platform::killProcessTree(group);
        soffice.waitForFinished(kAfterKillMs);
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

} // namespace

bool runSoffice(const QStringList &arguments, QString *message)
{
    return runSofficeWithin(arguments, s_runMs, nullptr, message);
}

namespace {

// A document's identity as a conversion saw it: a file replaced or edited
// since has another.
QByteArray documentKey(const QString &path)
{
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return QByteArray();
    return QByteArray::number(qulonglong(info.st_dev)) + ':' + QByteArray::number(qulonglong(info.st_ino)) + ':'
        + QByteArray::number(qlonglong(info.st_size)) + ':' + QByteArray::number(qlonglong(info.st_mtim.tv_sec))
        + '.' + QByteArray::number(qlonglong(info.st_mtim.tv_nsec));
}

} // namespace

// One LibreOffice run converting a batch's documents, on a thread of its own.
struct OfficeBatchConversion::Run
{
    RunFolder folder;
    QHash<QString, QByteArray> keys; // document → its key when the run began
    std::atomic<bool> cancelled{false};
    std::mutex mutex;
    std::condition_variable finishedChanged;
    bool finished = false;
    std::thread thread;

    void convert(const QStringList &documents)
    {
        QStringList arguments = commonArguments(folder.path("profile"));
        arguments << QStringLiteral("--convert-to") << QStringLiteral("pdf") << QStringLiteral("--outdir")
                  << QDir::toNativeSeparators(folder.path("out"));
        for (const QString &document : documents)
            arguments << QDir::toNativeSeparators(document);
        // Each document has the time one would have on its own.
        const int runMs = int(std::min<qint64>(qint64(s_runMs) * documents.size(), std::numeric_limits<int>::max()));
        QString message;
        runSofficeWithin(arguments, runMs, &cancelled, &message);
        const std::lock_guard lock(mutex);
        finished = true;
        finishedChanged.notify_all();
    }

    // The PDF made for the document, once the run is over; empty when it
    // made none or the document changed since.
    QString pdfFor(const QString &document)
    {
        std::unique_lock lock(mutex);
        finishedChanged.wait(lock, [this] { return finished; });
        const QString pdf = QDir(folder.path("out")).filePath(QFileInfo(document).completeBaseName() + ".pdf");
        if (keys.value(document) != documentKey(document) || QFileInfo(pdf).size() <= 0)
            return QString();
        return pdf;
    }
};

namespace {

std::mutex s_batchesMutex;
QList<std::shared_ptr<OfficeBatchConversion::Run>> s_batches;

std::shared_ptr<OfficeBatchConversion::Run> batchConverting(const QString &document)
{
    const std::lock_guard lock(s_batchesMutex);
    for (const auto &run : s_batches) {
        if (run->keys.contains(document))
            return run;
    }
    return nullptr;
}

} // namespace

OfficeBatchConversion::OfficeBatchConversion(const QStringList &documents)
{
    if (documents.isEmpty() || findSoffice().isEmpty())
        return;
    auto run = std::make_shared<Run>();
    if (!run->folder.isValid())
        return;
    // LibreOffice names each PDF after its document: documents of one name
    // in different folders are converted on their own.
    QStringList taken;
    QSet<QString> names;
    for (const QString &document : documents) {
        const QString name = QFileInfo(document).completeBaseName();
        const QByteArray key = documentKey(document);
        if (name.isEmpty() || key.isEmpty() || run->keys.contains(document) || names.contains(name))
            continue;
        names.insert(name);
        run->keys.insert(document, key);
        taken << document;
    }
    if (taken.isEmpty())
        return;
    run->thread = std::thread([run = run.get(), taken] { run->convert(taken); });
    m_run = run;
    const std::lock_guard lock(s_batchesMutex);
    s_batches << run;
}

OfficeBatchConversion::~OfficeBatchConversion()
{
    if (!m_run)
        return;
    {
        const std::lock_guard lock(s_batchesMutex);
        s_batches.removeOne(m_run);
    }
    m_run->cancelled = true;
    m_run->thread.join();
}

bool printWithLibreOffice(const QString &path, const PdfiumPrintRequest &settings, int *pages, QString *message,
                          QString *note)
{
    *pages = 0;
    const RunFolder run;
    const QString pdf = run.path("document.pdf");
    if (!run.isValid())
        return false;
    // Converted ahead with the rest of its batch, or now on its own.
    const std::shared_ptr<OfficeBatchConversion::Run> batch = batchConverting(path);
    const QString ready = batch ? batch->pdfFor(path) : QString();
    if (ready.isEmpty() || !QFile::copy(ready, pdf)) {
        if (!convertWithLibreOffice(path, pdf, message))
            return false;
    }
    PdfiumPrintRequest print = settings;
    print.pdfPath = pdf;
    print.title = QFileInfo(path).fileName();
    return printPdfWithPdfium(print, pages, message, note);
}

bool convertWithLibreOffice(const QString &sourcePath, const QString &targetPdf, QString *message)
{
    const RunFolder run;
    if (!run.isValid()) {
        *message = QStringLiteral("Unable to create a temporary LibreOffice conversion directory.");
        return false;
    }
    if (!runSoffice(commonArguments(run.path("profile"))
                        << QStringLiteral("--convert-to") << QStringLiteral("pdf")
                        << QStringLiteral("--outdir") << QDir::toNativeSeparators(run.path("out"))
                        << QDir::toNativeSeparators(sourcePath),
                    message))
        return false;
    // LibreOffice may rename what it cannot use in a file name.
    const QDir folder(run.path("out"));
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
