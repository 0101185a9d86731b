#include "AutomationStandIns.h"

#include "platform/LpOptions.h"

#include <QFile>
#include <QProcess>

#include <stdexcept>
#include <utility>

using namespace Platform;

void StandInState::setFault(const QString &member, Fault kind)
{
    QMutexLocker locker(&mutex);
    faultMember = member;
    fault = kind;
}

QStringList StandInState::takeCalls()
{
    QMutexLocker locker(&mutex);
    return std::exchange(calls, {});
}

namespace {

using State = std::shared_ptr<StandInState>;

class StandInObject : public AutomationObject
{
public:
    using Handler = std::function<bool(const QVariantList &, QVariant *)>;

    explicit StandInObject(State state) : m_state(std::move(state)) {}

    QMap<QString, Handler> members;
    QMap<QString, QVariant> properties;

    bool invoke(const QString &member, DispatchKind kind, const QVariantList &arguments,
                QVariant *result, quint32 *hresult, QString *) override
    {
        StandInState::Fault fault = StandInState::Fault::None;
        {
            QMutexLocker locker(&m_state->mutex);
            QStringList shown;
            for (const QVariant &argument : arguments)
                shown << (isMissingArgument(argument) ? QStringLiteral("-") : argument.toString());
            m_state->calls << member + QLatin1Char('(') + shown.join(QLatin1Char(',')) + QLatin1Char(')');
            if (member == m_state->faultMember)
                fault = m_state->fault;
        }
        switch (fault) {
        case StandInState::Fault::Fail: *hresult = E_FAIL_HRESULT; return false;
        case StandInState::Fault::Throw:
            throw std::runtime_error("stand-in stopped in " + member.toStdString());
        case StandInState::Fault::WrongAnswer: *result = QStringLiteral("unexpected"); return true;
        case StandInState::Fault::Succeed: *result = true; return true;
        case StandInState::Fault::None: break;
        }
        if (kind == DispatchKind::PropertyPut) {
            properties.insert(member, arguments.value(0));
            return true;
        }
        if (const Handler handler = members.value(member))
            return handler(arguments, result) || (*hresult = E_FAIL_HRESULT, false);
        if (kind == DispatchKind::PropertyGet && properties.contains(member)) {
            *result = properties.value(member);
            return true;
        }
        *hresult = DISP_E_UNKNOWNNAME;
        return false;
    }

private:
    State m_state;
};

std::shared_ptr<StandInObject> make(const State &state)
{
    return std::make_shared<StandInObject>(state);
}

int pdfPages(const QString &path)
{
    QProcess qpdf;
    qpdf.start(QStringLiteral("qpdf"), {QStringLiteral("--show-npages"), path});
    qpdf.waitForFinished(30000);
    return qpdf.exitCode() == 0 ? QString::fromLatin1(qpdf.readAllStandardOutput()).trimmed().toInt() : 0;
}

const StandInObject::Handler kDone = [](const QVariantList &, QVariant *) { return true; };

// Answers the page count: the one set in the state, else the PDF's own.
StandInObject::Handler pageCounter(const State &state, std::function<QString()> path)
{
    return [state, path](const QVariantList &, QVariant *result) {
        QMutexLocker locker(&state->mutex);
        *result = state->pageCountAnswer.isValid() ? state->pageCountAnswer : QVariant(pdfPages(path()));
        return true;
    };
}

// Prints as the application would: with `lp`, which honours the default
// printer and the user's options like every CUPS client.
bool printWithLp(const State &state, const QString &path, const QString &printer, int copies)
{
    {
        QMutexLocker locker(&state->mutex);
        LpOptionsSnapshot options;
        readLpOptions(&options);
        state->optionsAtPrint = options.bytes;
        state->lastPrintedTo = printer;
        if (state->beforePrint)
            state->beforePrint();
    }
    QStringList arguments;
    if (!printer.isEmpty())
        arguments << QStringLiteral("-d") << printer;
    // Copies 0: as many as the printer's defaults say.
    if (copies > 0)
        arguments << QStringLiteral("-n") << QString::number(copies);
    // The document is a PDF whatever its name says.
    arguments << QStringLiteral("-o") << QStringLiteral("document-format=application/pdf") << path;
    return QProcess::execute(QStringLiteral("lp"), arguments) == 0;
}

bool copyAsExport(const QString &source, const QString &target)
{
    QFile::remove(target);
    return QFile::copy(source, target);
}

AutomationObjectPtr acrobatView(const State &state)
{
    auto view = make(state);
    auto path = std::make_shared<QString>();
    view->members.insert("Open", [state, path](const QVariantList &args, QVariant *result) {
        *path = args.value(0).toString();
        *result = pdfPages(*path) > 0;
        return true;
    });
    view->members.insert("GetPDDoc", [state, path](const QVariantList &, QVariant *result) {
        auto document = make(state);
        document->members.insert("GetNumPages", pageCounter(state, [path] { return *path; }));
        *result = objectVariant(document);
        return true;
    });
    view->members.insert("PrintPagesSilent", [state, path](const QVariantList &, QVariant *result) {
        *result = printWithLp(state, *path, QString(), 0);
        return true;
    });
    view->members.insert("Close", kDone);
    return view;
}

AutomationObjectPtr acrobatApp(const State &state)
{
    auto app = make(state);
    for (const char *member : {"Hide", "Exit"})
        app->members.insert(member, kDone);
    return app;
}

// The collection whose Open gives the document, and the application's Quit.
void addCollection(const State &state, const std::shared_ptr<StandInObject> &app, const char *name,
                   std::function<AutomationObjectPtr(const QString &path)> open)
{
    auto collection = make(state);
    app->members.insert(name, [collection, open](const QVariantList &, QVariant *result) {
        *result = objectVariant(collection);
        return true;
    });
    collection->members.insert("Open", [open](const QVariantList &args, QVariant *result) {
        *result = objectVariant(open(args.value(0).toString()));
        return true;
    });
    app->members.insert("Quit", kDone);
}

void addDocumentBasics(const std::shared_ptr<StandInObject> &document, const QString &path,
                       int exportTargetArgument)
{
    document->members.insert("Close", kDone);
    document->members.insert("ExportAsFixedFormat", [path, exportTargetArgument](const QVariantList &args, QVariant *) {
        return copyAsExport(path, args.value(exportTargetArgument).toString());
    });
}

AutomationObjectPtr wordApp(const State &state)
{
    auto app = make(state);
    addCollection(state, app, "Documents", [state, app](const QString &path) {
        auto document = make(state);
        addDocumentBasics(document, path, 0);
        document->members.insert("ComputeStatistics", pageCounter(state, [path] { return path; }));
        document->members.insert("PrintOut", [state, app, path](const QVariantList &args, QVariant *) {
            return printWithLp(state, path, app->properties.value("ActivePrinter").toString(),
                               args.value(7).toInt());
        });
        return document;
    });
    return app;
}

AutomationObjectPtr powerPointApp(const State &state)
{
    auto app = make(state);
    addCollection(state, app, "Presentations", [state](const QString &path) {
        auto presentation = make(state);
        addDocumentBasics(presentation, path, 0);
        auto slides = make(state);
        slides->members.insert("Count", pageCounter(state, [path] { return path; }));
        auto options = make(state);
        presentation->properties.insert("Slides", objectVariant(slides));
        presentation->properties.insert("PrintOptions", objectVariant(options));
        presentation->members.insert("PrintOut", [state, options, path](const QVariantList &, QVariant *) {
            return printWithLp(state, path, options->properties.value("ActivePrinter").toString(),
                               std::max(options->properties.value("NumberOfCopies", 1).toInt(), 1));
        });
        return presentation;
    });
    return app;
}

AutomationObjectPtr excelApp(const State &state)
{
    auto app = make(state);
    auto current = std::make_shared<QString>();
    addCollection(state, app, "Workbooks", [state, app, current](const QString &path) {
        *current = path;
        auto workbook = make(state);
        addDocumentBasics(workbook, path, 1);
        workbook->members.insert("PrintOut", [state, app, path](const QVariantList &args, QVariant *) {
            return printWithLp(state, path, app->properties.value("ActivePrinter").toString(),
                               args.value(2).toInt());
        });
        return workbook;
    });
    app->members.insert("ExecuteExcel4Macro", pageCounter(state, [current] { return *current; }));
    return app;
}

std::function<AutomationObjectPtr()> factoryFor(const QString &progId, const State &state)
{
    if (progId == QLatin1String("AcroExch.App"))
        return [state] { return acrobatApp(state); };
    if (progId == QLatin1String("AcroExch.AVDoc"))
        return [state] { return acrobatView(state); };
    if (progId.contains(QLatin1String("Word")) || progId.contains(QLatin1String("WPS.")))
        return [state] { return wordApp(state); };
    if (progId.contains(QLatin1String("PowerPoint")) || progId.contains(QLatin1String("WPP.")))
        return [state] { return powerPointApp(state); };
    return [state] { return excelApp(state); };
}

} // namespace

AutomationStandIns::AutomationStandIns(const QStringList &progIds, const QStringList &failingToStart)
    : m_progIds(progIds + failingToStart)
    , m_state(std::make_shared<StandInState>())
{
    for (const QString &progId : progIds)
        registerAutomationClass(progId, factoryFor(progId, m_state));
    for (const QString &progId : failingToStart)
        registerAutomationClass(progId, [] { return nullptr; });
}

AutomationStandIns::~AutomationStandIns()
{
    for (const QString &progId : m_progIds)
        unregisterAutomationClass(progId);
}

QStringList AutomationStandIns::defaultProgIds()
{
    return {"AcroExch.App", "AcroExch.AVDoc", "Word.Application", "PowerPoint.Application",
            "Excel.Application"};
}
