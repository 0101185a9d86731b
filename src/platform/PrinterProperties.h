#pragma once

#include "platform/Spooler.h"

#include <QList>
#include <QMap>
#include <QPair>
#include <QString>

// What a printer lets a user set, read from the printer itself: the options
// of its description file (PPD) when it has one, else the IPP attributes it
// reports (media, sides, colour modes, resolutions). The properties window
// shows these and turns the choices into a settings record and back.
namespace Platform {

struct PropertyChoice
{
    QString keyword; // what is stored: "DuplexTumble", "iso_a4_210x297mm"
    QString text;    // what is shown: "Short Edge (Flip)", "A4"
    QString media;   // for a paper: the PWG medium it stands for
};

struct PrinterProperty
{
    QString group;     // the tab it is shown on
    QString keyword;   // "Duplex", "InputSlot", "sides"
    QString text;      // "2-Sided Printing"
    quint32 field = 0; // the settings-record field it stands for (DM_DUPLEX, …), or 0
    QList<PropertyChoice> choices;
    QString defaultChoice;
};

// Two choices that the printer's description says cannot go together. An
// empty choice stands for any choice but an "off" one (None, False, Off).
struct PropertyConstraint
{
    QString option1;
    QString choice1;
    QString option2;
    QString choice2;
};

struct PrinterProperties
{
    QList<PrinterProperty> properties;
    // Not shown (the printer's installed hardware, aliases), but the
    // constraints count them at their defaults.
    QList<PrinterProperty> hiddenProperties;
    QList<PropertyConstraint> constraints;
    int maximumCopies = 9999;
};

// Property keyword → chosen choice keyword.
using PropertyChoices = QMap<QString, QString>;

// False (last error set) when the printer cannot be asked.
bool printerProperties(PrinterHandle &printer, PrinterProperties *out);

// The choice of each property that a settings record stands for.
PropertyChoices choicesForRecord(PrinterHandle &printer, const PrinterProperties &properties,
                                 const DeviceMode &devMode);

// The record with the choices and copies in place of what it had. Options
// of the printer's own are kept when the record had them or they differ from
// the printer's default; options the window does not show stay as they were.
DeviceMode recordWithChoices(PrinterHandle &printer, const PrinterProperties &properties,
                             const DeviceMode &in, const PropertyChoices &choices, int copies);

// The pairs of chosen values that cannot be used together, each as
// ("2-Sided Printing: Long Edge", "Duplexer: Not Installed").
QList<QPair<QString, QString>> conflictingChoices(const PrinterProperties &properties,
                                                   const PropertyChoices &choices);

} // namespace Platform
