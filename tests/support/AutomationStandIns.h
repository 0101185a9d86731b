#pragma once

#include "platform/Automation.h"

#include <QMap>
#include <QMutex>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>

// Stand-ins for Adobe Acrobat and the office suites' automation servers,
// which cannot exist on this platform. They implement exactly the members
// the engines call and behave as those programs do where the engines rely
// on it: Acrobat's silent print goes to the default printer with the user's
// per-user defaults (through `lp`, as any CUPS client prints); Word,
// PowerPoint and Excel print to their ActivePrinter with the copies given.
// A "document" here is a PDF under an office name, which `lp` can print.
//
// Any one member can be told to fail (E_FAIL), to throw, or to answer with
// a value of the wrong kind.
struct StandInState
{
    // Succeed: answers true and does nothing (a print that never reaches
    // the spooler).
    enum class Fault { None, Fail, Throw, WrongAnswer, Succeed };

    QMutex mutex;
    QString faultMember;
    Fault fault = Fault::None;
    QStringList calls;              // "Member(arg, arg)"
    QVariant pageCountAnswer;       // page counts answered; none: the PDF's own
    QByteArray optionsAtPrint;      // the user's lpoptions while a print ran
    QString lastPrintedTo;          // printer of the last print ("" = the default)
    std::function<void()> beforePrint; // runs as a print starts, when set

    void setFault(const QString &member, Fault kind);
    QStringList takeCalls();
};

// Registers the stand-ins under their ProgIDs for one scope. ProgIDs listed
// in `failingToStart` are registered but give no object, as a server that
// will not start.
class AutomationStandIns
{
public:
    explicit AutomationStandIns(const QStringList &progIds = defaultProgIds(),
                                const QStringList &failingToStart = {});
    ~AutomationStandIns();
    AutomationStandIns(const AutomationStandIns &) = delete;
    AutomationStandIns &operator=(const AutomationStandIns &) = delete;

    static QStringList defaultProgIds();
    std::shared_ptr<StandInState> state() const { return m_state; }

private:
    QStringList m_progIds;
    std::shared_ptr<StandInState> m_state;
};
