// Office documents as a user prints them: dunmarrow-print of six one-page
// .docx files to the PostScript queue, until the last job's data reached
// the backend, against one soffice process converting all six to PDF and
// lp of each PDF.

#include "BenchSupport.h"
#include "PrivateCups.h"
#include "engines/LibreOffice.h"
#include "engines/OfficeSuites.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

namespace {

const QString kPs = QString::fromLatin1(PrivateCups::kPostScriptQueue);
constexpr int kFiles = 6;

// Milliseconds until the last document's job reached the printer.
qint64 timed(const QString &lastTitle, const std::function<bool()> &submit)
{
    const int before = PrivateCups::lastJobId(kPs);
    QElapsedTimer timer;
    timer.start();
    if (!submit())
        return -1;
    const int job = PrivateCups::waitForJobAfter(kPs, before, lastTitle, 300000);
    if (job == 0 || PrivateCups::waitForJobOutput(kPs, job, 300000).isEmpty())
        return -1;
    return timer.elapsed();
}

} // namespace

int main(int argc, char *argv[])
{
    BenchProcess process(argc, argv);
    if (!isLibreOfficeAvailable()) {
        std::fprintf(stderr, "LibreOffice is not installed\n");
        return 0;
    }
    QTemporaryDir dir;
    QStringList rtfs;
    for (int i = 0; i < kFiles; ++i) {
        const QString rtf = dir.filePath(QStringLiteral("memo %1.rtf").arg(i + 1));
        QFile file(rtf);
        file.open(QIODevice::WriteOnly);
        file.write("{\\rtf1\\ansi Memo " + QByteArray::number(i + 1) + "\\par}");
        rtfs << rtf;
    }
    const QString documents = dir.filePath("documents");
    QDir().mkpath(documents);
    QString message;
    if (!runSoffice(QStringList{"--headless", "--convert-to", "docx", "--outdir", documents} + rtfs, &message)) {
        std::fprintf(stderr, "%s\n", qPrintable(message));
        return 1;
    }
    QStringList docs;
    for (int i = 0; i < kFiles; ++i)
        docs << QDir(documents).filePath(QStringLiteral("memo %1.docx").arg(i + 1));
    const QString lastDoc = QFileInfo(docs.last()).fileName();
    const QString program = QFileInfo(QCoreApplication::applicationFilePath()).dir().filePath("dunmarrow-print");

    QList<qint64> ours;
    QList<qint64> theirs;
    for (int round = 0; round < 3; ++round) {
        ours << timed(lastDoc, [&] {
            return QProcess::execute(program, {"--printer", kPs, "--office-engine", "libreoffice", documents}) == 0;
        });
        const QTemporaryDir out;
        theirs << timed(QStringLiteral("memo %1.pdf").arg(kFiles), [&] {
            const QTemporaryDir profile;
            if (QProcess::execute(findSoffice(), QStringList{"-env:UserInstallation=file://" + profile.path(),
                                                             "--headless", "--convert-to", "pdf", "--outdir",
                                                             out.path()}
                                                     + docs)
                != 0)
                return false;
            for (int i = 0; i < kFiles; ++i) {
                const QString pdf = QDir(out.path()).filePath(QStringLiteral("memo %1.pdf").arg(i + 1));
                if (QProcess::execute(QStringLiteral("lp"), {"-d", kPs, "-s", pdf}) != 0)
                    return false;
            }
            return true;
        });
    }
    if (ours.contains(-1) || theirs.contains(-1)) {
        std::fprintf(stderr, "a run did not reach the printer\n");
        return 1;
    }
    const qint64 a = median(ours);
    const qint64 b = median(theirs);
    std::printf("%d one-page .docx files until the last job reached the printer: dunmarrow-print %lld ms, one "
                "soffice converting all and lp of each PDF %lld ms (%.2fx; medians of 3 interleaved runs)\n",
                kFiles, a, b, double(a) / double(b));
    return 0;
}
