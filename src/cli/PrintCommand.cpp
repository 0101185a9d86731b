#include "cli/PrintCommand.h"

#include "cli/FolderWatch.h"
#include "cli/JobWait.h"
#include "cli/StopSignals.h"
#include "engines/Dispatch.h"
#include "engines/EngineAvailability.h"
#include "engines/FileTypes.h"
#include "engines/LibreOffice.h"
#include "engines/PaperKey.h"
#include "engines/PrinterDefaults.h"
#include "platform/FileNames.h"
#include "platform/JobTracking.h"
#include "platform/LastError.h"
#include "platform/PaperCodes.h"
#include "platform/Spooler.h"
#include "queue/JobModel.h"
#include "queue/RowOrder.h"
#include "store/LocalStore.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSettings>

#include <unistd.h>

namespace PrintCommand {

namespace {

void printTo(FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

bool isKnownPaper(const QString &key)
{
    // A printer's own paper: "win:<code>:<name>", the code a positive number.
    static const QRegularExpression driverPaper(QStringLiteral("^win:[1-9][0-9]*:.+$"),
                                                QRegularExpression::CaseInsensitiveOption);
    if (key.startsWith(QLatin1String("win:"), Qt::CaseInsensitive))
        return driverPaper.match(key).hasMatch();
    return key.compare(QLatin1String(kDriverDefaultPaper), Qt::CaseInsensitive) == 0
        || key.compare(QLatin1String("A4"), Qt::CaseInsensitive) == 0 || paperCodeForKey(key) != Platform::DMPAPER_A4;
}

// A name on one line: newlines in file names would break the report.
QString oneLine(QString text)
{
    return text.replace(QLatin1Char('\n'), QStringLiteral("\\n")).replace(QLatin1Char('\r'), QStringLiteral("\\r"));
}

const QStringList kPdfEngines = {QStringLiteral("pdfium"), QStringLiteral("acrobat")};
const QStringList kOfficeEngines = {QStringLiteral("auto"), QStringLiteral("libreoffice"), QStringLiteral("microsoft"),
                                    QStringLiteral("wps")};

QStringList usableEngines(const QStringList &keys, bool (*usable)(const QString &))
{
    QStringList found;
    for (const QString &key : keys) {
        if (usable(key))
            found << key;
    }
    return found;
}

// "a", "a or b", "a, b or c"
QString choiceList(const QStringList &keys)
{
    if (keys.size() < 2)
        return keys.join(QString());
    return keys.mid(0, keys.size() - 1).join(QStringLiteral(", ")) + QStringLiteral(" or ") + keys.last();
}

// Only an engine that can print here is accepted; one that cannot says why.
bool checkEngine(const QString &option, const QString &key, const QStringList &keys,
                 bool (*usable)(const QString &), QString (*reason)(const QString &), QString *refusal)
{
    if (key.isEmpty() || usable(key))
        return true;
    const QString choices = choiceList(usableEngines(keys, usable));
    *refusal = keys.contains(key) ? QStringLiteral("%1 %2 cannot be used: %3 Use %4.").arg(option, key, reason(key), choices)
                                  : QStringLiteral("%1 takes %2.").arg(option, choices);
    return false;
}

} // namespace

bool parseArguments(const QStringList &arguments, Options *options, QString *message, int *exitCode)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Prints files and folders of files without the window, with the same engines, printer settings "
        "and print history as Quorvalent Dunmarrow."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help."));
    const QCommandLineOption version(QStringLiteral("version"), QStringLiteral("Show the version."));
    const QCommandLineOption printer(QStringLiteral("printer"), QStringLiteral("Print on this printer."),
                                     QStringLiteral("name"));
    const QCommandLineOption hotFolder(QStringLiteral("hot-folder"),
                                       QStringLiteral("Print with this hot folder's preset (and its caches)."),
                                       QStringLiteral("name"));
    const QCommandLineOption copies(QStringLiteral("copies"), QStringLiteral("Copies of each file."),
                                    QStringLiteral("n"));
    const QCommandLineOption duplex(QStringLiteral("duplex"), QStringLiteral("none, long or short."),
                                    QStringLiteral("mode"));
    const QCommandLineOption color(QStringLiteral("color"), QStringLiteral("Print in colour."));
    const QCommandLineOption mono(QStringLiteral("mono"), QStringLiteral("Print in black and white."));
    const QCommandLineOption paper(QStringLiteral("paper"), QStringLiteral("A paper key or name (A4, Letter, …)."),
                                   QStringLiteral("key"));
    const QCommandLineOption pdfEngine(QStringLiteral("pdf-engine"),
                                       QStringLiteral("The PDF engine: %1.")
                                           .arg(choiceList(usableEngines(kPdfEngines, isPdfEngineUsable))),
                                       QStringLiteral("engine"));
    const QCommandLineOption officeEngine(
        QStringLiteral("office-engine"),
        QStringLiteral("The office engine: %1.")
            .arg(choiceList(usableEngines(kOfficeEngines, isOfficeEngineUsable))),
        QStringLiteral("engine"));
    const QCommandLineOption add(QStringLiteral("add"),
                                 QStringLiteral("Add the files to the normal queue or the hot folder's list "
                                                "instead of printing them."));
    const QCommandLineOption json(QStringLiteral("json"), QStringLiteral("One JSON object per file on standard output."));
    const QCommandLineOption watch(QStringLiteral("watch"),
                                   QStringLiteral("Keep printing files that appear in this folder; move each to "
                                                  "printed/ or failed/ afterwards."),
                                   QStringLiteral("folder"));
    const QCommandLineOption wait(QStringLiteral("wait"),
                                  QStringLiteral("Wait for each job to end at the printer; a file counts as printed "
                                                 "only when its job completed."));
    const QCommandLineOption waitTimeout(QStringLiteral("wait-timeout"),
                                         QStringLiteral("How long --wait waits for the jobs (default 86400)."),
                                         QStringLiteral("seconds"));
    parser.addOptions({help, version, printer, hotFolder, copies, duplex, color, mono, paper, pdfEngine,
                       officeEngine, add, json, watch, wait, waitTimeout});
    parser.addPositionalArgument(QStringLiteral("files"), QStringLiteral("Files or folders to print."),
                                 QStringLiteral("FILE|DIR ..."));

    const auto usage = [&](const QString &text) {
        *message = QStringLiteral("dunmarrow-print: %1\nTry 'dunmarrow-print --help'.\n").arg(text);
        *exitCode = UsageError;
        return false;
    };
    // "-x.pdf" is one unknown option, not the letters x, ., p, d, f.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    if (!parser.parse(arguments)) {
        QString text = parser.errorText();
        if (parser.unknownOptionNames().size() > 0)
            text += QStringLiteral(" (a file whose name begins with - goes after --)");
        return usage(text);
    }
    if (parser.isSet(help)) {
        *message = parser.helpText();
        *exitCode = AllPrinted;
        return false;
    }
    if (parser.isSet(version)) {
        *message = QStringLiteral("dunmarrow-print 1.7.0\n");
        *exitCode = AllPrinted;
        return false;
    }
    options->inputs = parser.positionalArguments();
    options->printer = parser.value(printer);
    options->hotFolder = parser.value(hotFolder);
    options->duplex = parser.value(duplex).toLower();
    options->paper = parser.value(paper);
    options->pdfEngine = parser.value(pdfEngine).toLower();
    options->officeEngine = parser.value(officeEngine).toLower();
    options->add = parser.isSet(add);
    options->json = parser.isSet(json);
    options->watchFolder = parser.value(watch);
    if (parser.isSet(copies)) {
        bool ok = false;
        options->copies = parser.value(copies).toInt(&ok);
        if (!ok || options->copies < 1 || options->copies > 9999)
            return usage(QStringLiteral("--copies takes a number from 1 to 9999."));
    }
    options->wait = parser.isSet(wait) || parser.isSet(waitTimeout);
    if (parser.isSet(waitTimeout)) {
        bool ok = false;
        options->waitTimeoutSeconds = parser.value(waitTimeout).toInt(&ok);
        if (!ok || options->waitTimeoutSeconds < 1)
            return usage(QStringLiteral("--wait-timeout takes a number of seconds."));
    }
    if (parser.isSet(color) && parser.isSet(mono))
        return usage(QStringLiteral("--color and --mono exclude each other."));
    if (parser.isSet(color) || parser.isSet(mono))
        options->color = parser.isSet(color) ? 1 : 0;
    if (!options->printer.isEmpty() && !options->hotFolder.isEmpty())
        return usage(QStringLiteral("--printer and --hot-folder exclude each other."));
    if (!options->duplex.isEmpty() && !QStringList{"none", "long", "short"}.contains(options->duplex))
        return usage(QStringLiteral("--duplex takes none, long or short."));
    if (!options->paper.isEmpty() && !isKnownPaper(options->paper))
        return usage(QStringLiteral("Unknown paper: %1").arg(options->paper));
    QString refusal;
    if (!checkEngine(QStringLiteral("--pdf-engine"), options->pdfEngine, kPdfEngines, isPdfEngineUsable,
                     pdfEngineUnavailableReason, &refusal)
        || !checkEngine(QStringLiteral("--office-engine"), options->officeEngine, kOfficeEngines,
                        isOfficeEngineUsable, officeEngineUnavailableReason, &refusal))
        return usage(refusal);
    if (options->inputs.isEmpty() && options->watchFolder.isEmpty())
        return usage(QStringLiteral("No files to print."));
    if (!options->inputs.isEmpty() && !options->watchFolder.isEmpty())
        return usage(QStringLiteral("--watch takes a folder and no files: print the files on their own."));
    if (options->add && !options->watchFolder.isEmpty())
        return usage(QStringLiteral("--add and --watch exclude each other."));
    if (options->add && options->wait)
        return usage(QStringLiteral("--add and --wait exclude each other."));
    // A list's rows print with its own settings; only their copies are theirs.
    if (options->add
        && (!options->printer.isEmpty() || !options->duplex.isEmpty() || options->color >= 0
            || !options->paper.isEmpty() || !options->pdfEngine.isEmpty() || !options->officeEngine.isEmpty()))
        return usage(QStringLiteral("--add takes only --hot-folder and --copies: a list prints with its own "
                                    "printer and settings."));
    return true;
}

bool resolveTarget(const Options &options, const LocalStore &store, Target *target, QString *error)
{
    const QSettings settings;
    PrintJobContext context;
    // A stored choice that cannot print here prints with what can, as in the window.
    context.pdfEngine = options.pdfEngine.isEmpty()
        ? usablePdfEngine(settings.value(QStringLiteral("pdfEngine"), QStringLiteral("pdfium")).toString())
        : options.pdfEngine;
    context.officeEngine = options.officeEngine.isEmpty()
        ? usableOfficeEngine(settings.value(QStringLiteral("officeEngine"), QStringLiteral("auto")).toString())
        : options.officeEngine;
    context.defaultPrinter = options.printer;
    if (!options.hotFolder.isEmpty()) {
        for (const QVariant &row : store.hotFolders()) {
            const HotFolder folder = row.toMap();
            if (folder.value(QStringLiteral("name")).toString() == options.hotFolder) {
                context.hotFolder = folder;
                context.hotFolderId = folder.value(QStringLiteral("id")).toInt();
                context.hotFolderName = options.hotFolder;
            }
        }
        if (context.hotFolderId < 1) {
            *error = QStringLiteral("No hot folder is named %1").arg(options.hotFolder);
            return false;
        }
    } else if (context.defaultPrinter.isEmpty()) {
        context.defaultPrinter = settings.value(QStringLiteral("defaultPrinter")).toString();
        if (context.defaultPrinter.isEmpty())
            Platform::getDefaultPrinter(&context.defaultPrinter);
    }
    QueueEntry row;
    PrintJob job = buildPrintJobFor(row, context);
    // The options decide over the target's own settings, each over its own:
    // on a target that prints with the printer's settings, the others stay
    // what the printer and the user's options have.
    if (options.copies > 0)
        job.copies = options.copies;
    const bool overridden = !options.duplex.isEmpty() || options.color >= 0 || !options.paper.isEmpty();
    if (overridden && job.useDriverSettings) {
        PrinterDefaults defaults;
        QString unused;
        if (readPrinterDefaults(job.printerName, &defaults, &unused)) {
            job.duplex = defaults.duplexMode != 0;
            job.shortEdge = defaults.duplexMode == 2;
            job.color = defaults.color;
            job.paperKey = defaults.paperKey;
        }
    }
    if (overridden)
        job.useDriverSettings = false;
    if (!options.duplex.isEmpty()) {
        job.duplex = options.duplex != QLatin1String("none");
        job.shortEdge = options.duplex == QLatin1String("short");
    }
    if (options.color >= 0)
        job.color = options.color == 1;
    if (!options.paper.isEmpty())
        job.paperKey = options.paper;
    else if (!job.useDriverSettings && job.paperKey == QLatin1String(kDriverDefaultPaper))
        job.paperKey = QStringLiteral("A4");

    QStringList printers;
    if (!Platform::printerNames(&printers)) {
        *error = QStringLiteral("the printers cannot be listed: %1").arg(Platform::lastErrorReason());
        target->unavailable = true;
        return false;
    }
    if (job.printerName.isEmpty() || !printers.contains(job.printerName)) {
        *error = job.printerName.isEmpty() ? QStringLiteral("No printer is set up")
                                           : QStringLiteral("No printer is named %1").arg(job.printerName);
        return false;
    }
    target->prototype = job;
    target->hotFolderId = context.hotFolderId;
    if (!job.useDriverSettings)
        isPaperOffered(job.printerName, job.paperKey, &target->paperRefusal);
    return true;
}

QStringList expandInputs(const QStringList &inputs)
{
    QStringList files;
    for (const QString &input : inputs) {
        const QFileInfo info(input);
        if (!info.isDir()) {
            files << info.absoluteFilePath();
            continue;
        }
        // Listed as the file system names them: a name that is not UTF-8
        // is reached through a path the program can hold.
        QStringList paths;
        QStringList names;
        const QByteArray folder = Platform::realPath(info.absoluteFilePath());
        for (const QByteArray &name : Platform::folderEntries(folder)) {
            const QString path = Platform::usablePath(folder + '/' + name);
            const QFileInfo entry(path);
            if (!path.isEmpty() && entry.isFile() && entry.isReadable() && isSupportedFile(entry.fileName())) {
                paths << path;
                names << entry.fileName();
            }
        }
        files << sortedByName(paths, names, true);
    }
    return files;
}

FileResult printFile(const QString &path, const Target &target, LocalStore &store)
{
    FileResult result;
    result.path = path;
    if (!QFileInfo(path).isFile()) {
        result.message = QStringLiteral("The file does not exist: ") + path;
        return result;
    }
    if (!isSupportedFile(path)) {
        result.message = QStringLiteral("Unsupported file type: ") + lowerSuffix(path);
        return result;
    }
    if (!target.paperRefusal.isEmpty()) {
        result.message = target.paperRefusal;
        return result;
    }
    PrintJob job = target.prototype;
    job.path = path;
    job.sourcePath = path;
    job.displayName = QFileInfo(path).fileName();
    PrintResult printed;
    const Platform::JobCreatedScope jobs([&result](const QString &printer, int jobId) {
        result.jobPrinter = printer;
        result.jobId = jobId;
    });
    try {
        printed = dispatchPrintJob(job);
    } catch (...) {
        printed.message = QStringLiteral("The local print component did not return a successful result.");
    }
    result.success = printed.success;
    result.pages = std::max(printed.pages, printed.success ? 1 : 0);
    result.message = printed.message;
    if (result.success) {
        QString error;
        result.recorded = store.addHistory(path, job.printerName, result.pages, job.copies, job.hotFolderId,
                                           job.hotFolderName, job.displayName, &error, &result.historyId);
        if (!result.recorded)
            result.message = QStringLiteral("Printed, but the print could not be recorded: ") + error;
    }
    return result;
}

void report(const FileResult &result, const Options &options, int index, int total)
{
    const QString name = oneLine(QFileInfo(result.path).fileName());
    QString outcome = result.success ? QStringLiteral("printed, %1 page(s)").arg(result.pages)
                                     : QStringLiteral("FAILED: ") + oneLine(result.message);
    if (result.success && !result.recorded)
        outcome += QStringLiteral(", NOT RECORDED: ") + oneLine(result.message);
    if (::isatty(STDERR_FILENO) && total > 0) {
        const int filled = index * 20 / total;
        printTo(stderr, QStringLiteral("\r\033[K%1: %2\n[%3%4] %5/%6")
                            .arg(name, outcome, QString(filled, QLatin1Char('#')),
                                 QString(20 - filled, QLatin1Char(' ')))
                            .arg(index)
                            .arg(total));
        if (index == total)
            printTo(stderr, QStringLiteral("\n"));
    } else {
        printTo(stderr, QStringLiteral("%1: %2\n").arg(name, outcome));
    }
    if (options.json) {
        QJsonObject line{{QStringLiteral("file"), result.path},
                         {QStringLiteral("printed"), result.success},
                         {QStringLiteral("pages"), result.pages}};
        if (result.jobId > 0)
            line.insert(QStringLiteral("job"), result.jobId);
        if (!result.state.isEmpty())
            line.insert(QStringLiteral("state"), result.state);
        if (result.success && !result.recorded)
            line.insert(QStringLiteral("recorded"), false);
        if (!result.message.isEmpty())
            line.insert(QStringLiteral("message"), result.message);
        printTo(stdout, QString::fromUtf8(QJsonDocument(line).toJson(QJsonDocument::Compact)) + QLatin1Char('\n'));
    }
}

namespace {

int addToList(const QStringList &files, const Target &target, LocalStore &store, int copies)
{
    RowSettings settings = recordedSettingsForNewRows(store, target.hotFolderId);
    if (copies > 0)
        settings.copies = copies;
    int failed = 0;
    for (const QString &path : files) {
        QString error;
        if (!QFileInfo(path).isFile() || !isSupportedFile(path)) {
            error = QFileInfo(path).isFile() ? QStringLiteral("Unsupported file type") : QStringLiteral("No such file");
        } else if (store.addFile(path, target.hotFolderId, settings, &error)) {
            printTo(stderr, QStringLiteral("%1: added\n").arg(oneLine(QFileInfo(path).fileName())));
            continue;
        }
        printTo(stderr, QStringLiteral("%1: FAILED: %2\n").arg(oneLine(QFileInfo(path).fileName()), oneLine(error)));
        ++failed;
    }
    return failed == 0 ? AllPrinted : SomeFailed;
}

} // namespace

int run(const Options &options)
{
    // What a run that was killed left behind goes first.
    removeAbandonedLibreOfficeRuns();
    LocalStore store;
    QString error;
    if (!store.open(&error)) {
        printTo(stderr, QStringLiteral("dunmarrow-print: the local database cannot be opened: %1\n").arg(error));
        return UsageError;
    }
    Target target;
    if (!resolveTarget(options, store, &target, &error)) {
        printTo(stderr, QStringLiteral("dunmarrow-print: %1\n").arg(error));
        // Nothing could print, but the command was right.
        return target.unavailable ? SomeFailed : UsageError;
    }
    // Every file of the run goes to the same printer: set it up once.
    const Platform::PrinterReuseScope keepPrinters;
    if (!options.watchFolder.isEmpty())
        return watchFolder(options, target, store);
    const QStringList files = expandInputs(options.inputs);
    if (files.isEmpty()) {
        printTo(stderr, QStringLiteral("dunmarrow-print: no supported files in %1\n").arg(options.inputs.join(QLatin1Char(' '))));
        return UsageError;
    }
    if (options.add)
        return addToList(files, target, store, options.copies);
    // A stop lets the file being printed finish (a second one ends it too).
    installStopSignals();
    // The office documents are converted together while the rest prints.
    QList<PrintJob> jobs;
    for (const QString &file : files) {
        jobs << target.prototype;
        jobs.last().path = file;
    }
    const OfficeBatchConversion officeDocuments(libreOfficeDocumentsOf(jobs));
    int failed = 0;
    // With --wait the jobs go out one after another as always, and are
    // followed together once the last one is out.
    QList<FileResult> sent;
    QList<int> sentIndexes;
    const auto reportWaited = [&] {
        waitForJobEnds(&sent, options.waitTimeoutSeconds, store);
        for (int j = 0; j < sent.size(); ++j) {
            failed += sent.at(j).isComplete() ? 0 : 1;
            report(sent.at(j), options, sentIndexes.at(j) + 1, int(files.size()));
        }
    };
    for (int i = 0; i < files.size(); ++i) {
        if (stopRequested()) {
            if (!sent.isEmpty())
                reportWaited();
            printTo(stderr, QStringLiteral("Stopped: %1 file(s) not printed\n").arg(files.size() - i));
            return SomeFailed;
        }
        const FileResult result = printFile(files.at(i), target, store);
        if (options.wait && result.success && result.jobId > 0) {
            sent << result;
            sentIndexes << i;
            continue;
        }
        failed += result.isComplete() ? 0 : 1;
        report(result, options, i + 1, int(files.size()));
    }
    if (!sent.isEmpty())
        reportWaited();
    return failed == 0 ? AllPrinted : SomeFailed;
}

} // namespace PrintCommand
