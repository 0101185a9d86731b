#include "platform/PrinterProperties.h"

#include "platform/SpoolerState.h"


#include <algorithm>

// The PPD interface is deprecated in libcups but is still where a driver's
// options, groups and constraints live.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <cups/ppd.h>

namespace Platform {

namespace {

const quint32 kFields[] = {DM_PAPERSIZE, DM_DUPLEX, DM_COLOR, DM_PRINTQUALITY};

quint32 fieldForKeyword(const QString &keyword)
{
    for (const quint32 field : kFields) {
        if (optionKeysFor(field).contains(keyword, Qt::CaseInsensitive))
            return field;
    }
    return 0;
}

QString ppdText(const char *text, const char *fallback)
{
    const QString value = QString::fromUtf8(text).trimmed();
    return value.isEmpty() ? QString::fromUtf8(fallback) : value;
}

QString ppdMediaFor(ppd_file_t *ppd, const char *choice)
{
    pwg_media_t *media = pwgMediaForPPD(choice);
    if (!media) {
        if (ppd_size_t *size = ppdPageSize(ppd, choice)) {
            const auto toPwg = [](float points) {
                return int(std::clamp(double(points) * 2540.0 / 72.0, 0.0, 1e6) + 0.5);
            };
            media = pwgMediaForSize(toPwg(size->width), toPwg(size->length));
        }
    }
    return media && media->pwg ? QString::fromUtf8(media->pwg) : QString();
}

PrinterProperty propertyFromPpd(ppd_file_t *ppd, const ppd_option_t &option, const QString &group)
{
    PrinterProperty property;
    property.group = group;
    property.keyword = QString::fromUtf8(option.keyword);
    property.text = ppdText(option.text, option.keyword);
    property.field = fieldForKeyword(property.keyword);
    property.defaultChoice = QString::fromUtf8(option.defchoice);
    for (int i = 0; i < option.num_choices; ++i) {
        const ppd_choice_t &choice = option.choices[i];
        PropertyChoice item{QString::fromUtf8(choice.choice), ppdText(choice.text, choice.choice),
                            QString()};
        if (property.field == DM_PAPERSIZE) {
            // A custom size needs dimensions this window does not ask for.
            item.media = ppdMediaFor(ppd, choice.choice);
            if (item.media.isEmpty())
                continue;
        }
        property.choices << item;
    }
    return property;
}

void addPpdGroup(ppd_file_t *ppd, const ppd_group_t &group, const QString &tab,
                 PrinterProperties *out)
{
    // The printer's installed hardware is the administrator's to set.
    const bool hidden = qstrcmp(group.name, "InstallableOptions") == 0;
    for (int i = 0; i < group.num_options; ++i) {
        const ppd_option_t &option = group.options[i];
        PrinterProperty property = propertyFromPpd(ppd, option, tab);
        // PageRegion follows PageSize.
        const bool alias = property.keyword.compare(QLatin1String("PageRegion"),
                                                    Qt::CaseInsensitive) == 0;
        if (property.choices.isEmpty())
            continue;
        if (hidden || alias)
            out->hiddenProperties << property;
        else
            out->properties << property;
    }
    for (int i = 0; i < group.num_subgroups; ++i)
        addPpdGroup(ppd, group.subgroups[i], tab, out);
}

bool propertiesFromPpd(PrinterHandle::State *state, PrinterProperties *out)
{
    ppd_file_t *ppd = openDriverDescription(state);
    if (!ppd)
        return false;
    for (int i = 0; i < ppd->num_groups; ++i)
        addPpdGroup(ppd, ppd->groups[i], ppdText(ppd->groups[i].text, ppd->groups[i].name), out);
    for (int i = 0; i < ppd->num_consts; ++i) {
        const ppd_const_t &c = ppd->consts[i];
        out->constraints << PropertyConstraint{QString::fromUtf8(c.option1),
                                               QString::fromUtf8(c.choice1),
                                               QString::fromUtf8(c.option2),
                                               QString::fromUtf8(c.choice2)};
    }
    ppdClose(ppd);
    return true;
}

QString ippValueText(PrinterHandle::State *state, const char *option, const QString &value)
{
    const QByteArray keyword = value.toUtf8();
    const char *text =
        cupsLocalizeDestValue(state->http, state->dest, state->info, option, keyword.constData());
    return text && *text ? QString::fromUtf8(text) : value;
}

PrinterProperty ippKeywords(PrinterHandle::State *state, const char *option, const QString &text,
                            quint32 field)
{
    PrinterProperty property{QStringLiteral("General"), QString::fromLatin1(option), text, field,
                             {}, destDefault(state, option)};
    ipp_attribute_t *supported =
        cupsFindDestSupported(state->http, state->dest, state->info, option);
    for (int i = 0; supported && i < ippGetCount(supported); ++i) {
        const QString keyword = QString::fromUtf8(ippGetString(supported, i, nullptr));
        if (!keyword.isEmpty())
            property.choices << PropertyChoice{keyword, ippValueText(state, option, keyword), {}};
    }
    return property;
}

void propertiesFromIpp(PrinterHandle::State *state, PrinterProperties *out)
{
    PrinterProperty media{QStringLiteral("General"), QStringLiteral("media"),
                          QStringLiteral("Paper size"), DM_PAPERSIZE, {}, defaultMedia(state)};
    for (const PrinterMedia &m : mediaList(state))
        media.choices << PropertyChoice{m.pwgName, m.name, m.pwgName};

    PrinterProperty resolution{QStringLiteral("General"), QStringLiteral("printer-resolution"),
                               QStringLiteral("Resolution"), DM_PRINTQUALITY, {}, {}};
    for (const int dpi : supportedResolutions(state)) {
        const QString keyword = QStringLiteral("%1dpi").arg(dpi);
        resolution.choices << PropertyChoice{keyword, QStringLiteral("%1 dpi").arg(dpi), {}};
    }
    int x = 0;
    int y = 0;
    if (parseResolution(destDefault(state, "printer-resolution"), &x, &y))
        resolution.defaultChoice = QStringLiteral("%1dpi").arg(x);

    for (const PrinterProperty &property :
         {media, ippKeywords(state, "sides", QStringLiteral("Two-sided printing"), DM_DUPLEX),
          ippKeywords(state, "print-color-mode", QStringLiteral("Color mode"), DM_COLOR),
          resolution}) {
        if (!property.choices.isEmpty())
            out->properties << property;
    }
}

bool hasChoice(const PrinterProperty &property, const QString &keyword)
{
    return std::any_of(property.choices.cbegin(), property.choices.cend(),
                       [&](const PropertyChoice &c) { return c.keyword == keyword; });
}

const PropertyChoice *findChoice(const PrinterProperty &property, const QString &keyword)
{
    for (const PropertyChoice &choice : property.choices) {
        if (choice.keyword == keyword)
            return &choice;
    }
    return nullptr;
}

// The choice that stands for the record's value of a field; the printer's
// default first when it stands for it too.
QString choiceForField(PrinterHandle::State *state, const PrinterProperty &property,
                       const DeviceMode &dm)
{
    const auto matches = [&](const PropertyChoice &choice) {
        switch (property.field) {
        case DM_PAPERSIZE:
            return !choice.media.isEmpty()
                && (choice.media == dm.dmFormName
                    || codeForMedia(state, choice.media) == dm.dmPaperSize);
        case DM_DUPLEX: return duplexFromKeyword(choice.keyword) == dm.dmDuplex;
        case DM_COLOR: return colorFromKeyword(state, choice.keyword) == dm.dmColor;
        case DM_PRINTQUALITY: {
            int x = 0;
            int y = 0;
            return parseResolution(choice.keyword, &x, &y) && x == dm.dmPrintQuality;
        }
        default: return false;
        }
    };
    if (!dm.has(property.field) || (property.field == DM_PRINTQUALITY && dm.dmPrintQuality <= 0))
        return property.defaultChoice;
    if (const PropertyChoice *byDefault = findChoice(property, property.defaultChoice);
        byDefault && matches(*byDefault))
        return byDefault->keyword;
    for (const PropertyChoice &choice : property.choices) {
        if (matches(choice))
            return choice.keyword;
    }
    return property.defaultChoice;
}

QString optionValue(const OptionList &options, const QString &key)
{
    QString value;
    for (const auto &[name, v] : options) {
        if (name.compare(key, Qt::CaseInsensitive) == 0)
            value = v; // later ones win, as in libcups
    }
    return value;
}

void applyField(PrinterHandle::State *state, const PrinterProperty &property,
                const PropertyChoice &choice, DeviceMode *dm)
{
    switch (property.field) {
    case DM_PAPERSIZE:
        dm->dmPaperSize = codeForMedia(state, choice.media);
        dm->dmFormName = choice.media;
        break;
    case DM_DUPLEX: dm->dmDuplex = duplexFromKeyword(choice.keyword); break;
    case DM_COLOR: dm->dmColor = colorFromKeyword(state, choice.keyword); break;
    case DM_PRINTQUALITY: {
        int x = 0;
        int y = 0;
        if (!parseResolution(choice.keyword, &x, &y))
            return;
        dm->dmPrintQuality = x;
        dm->dmYResolution = y;
        dm->dmFields |= DM_YRESOLUTION;
        break;
    }
    default: return;
    }
    dm->dmFields |= property.field;
}

bool isOffChoice(const QString &choice)
{
    return choice.compare(QLatin1String("None"), Qt::CaseInsensitive) == 0
        || choice.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0
        || choice.compare(QLatin1String("Off"), Qt::CaseInsensitive) == 0;
}

} // namespace

bool printerProperties(PrinterHandle &printer, PrinterProperties *out)
{
    *out = PrinterProperties();
    if (documentPropertiesSize(printer) < 1)
        return false;
    PrinterHandle::State *state = printer.state();
    if (!propertiesFromPpd(state, out))
        propertiesFromIpp(state, out);
    out->maximumCopies = maximumCopies(state);
    return true;
}

PropertyChoices choicesForRecord(PrinterHandle &printer, const PrinterProperties &properties,
                                 const DeviceMode &dm)
{
    PropertyChoices choices;
    for (const PrinterProperty &property : properties.properties) {
        QString chosen = property.field != 0 && printer.isOpen()
            ? choiceForField(printer.state(), property, dm)
            : optionValue(dm.options, property.keyword);
        if (!hasChoice(property, chosen))
            chosen = hasChoice(property, property.defaultChoice)
                ? property.defaultChoice
                : property.choices.constFirst().keyword;
        choices.insert(property.keyword, chosen);
    }
    return choices;
}

DeviceMode recordWithChoices(PrinterHandle &printer, const PrinterProperties &properties,
                             const DeviceMode &in, const PropertyChoices &choices, int copies)
{
    DeviceMode dm = in;
    dm.dmCopies = short(std::clamp(copies, 1, properties.maximumCopies));
    dm.dmFields |= DM_COPIES;

    OptionList options;
    const auto shownOption = [&](const QString &key) {
        return std::any_of(properties.properties.cbegin(), properties.properties.cend(),
                           [&](const PrinterProperty &p) {
                               return p.field == 0
                                   && p.keyword.compare(key, Qt::CaseInsensitive) == 0;
                           });
    };
    for (const auto &option : in.options) {
        if (!shownOption(option.first))
            options << option;
    }
    for (const PrinterProperty &property : properties.properties) {
        const PropertyChoice *choice = findChoice(property, choices.value(property.keyword));
        if (!choice)
            continue;
        if (property.field != 0) {
            if (printer.isOpen())
                applyField(printer.state(), property, *choice, &dm);
        } else if (choice->keyword != property.defaultChoice
                   || !optionValue(in.options, property.keyword).isEmpty()) {
            options << qMakePair(property.keyword, choice->keyword);
        }
    }
    dm.options = options;
    return dm;
}

QList<QPair<QString, QString>> conflictingChoices(const PrinterProperties &properties,
                                                   const PropertyChoices &choices)
{
    // What each option is set to, and how to name that in a message.
    QMap<QString, QString> chosen;
    QMap<QString, QString> label;
    const auto note = [&](const PrinterProperty &property, const QString &value) {
        chosen.insert(property.keyword, value);
        const PropertyChoice *choice = findChoice(property, value);
        label.insert(property.keyword,
                     property.text + QStringLiteral(": ") + (choice ? choice->text : value));
    };
    for (const PrinterProperty &property : properties.hiddenProperties) {
        // PageRegion is set along with PageSize.
        const bool region = property.keyword.compare(QLatin1String("PageRegion"), Qt::CaseInsensitive) == 0;
        note(property, region ? choices.value(QStringLiteral("PageSize"), property.defaultChoice)
                              : property.defaultChoice);
    }
    for (const PrinterProperty &property : properties.properties)
        note(property, choices.value(property.keyword, property.defaultChoice));

    const auto holds = [&](const QString &option, const QString &choice) {
        if (!chosen.contains(option))
            return false;
        const QString value = chosen.value(option);
        return choice.isEmpty() ? !isOffChoice(value) : value == choice;
    };
    QList<QPair<QString, QString>> conflicts;
    for (const PropertyConstraint &c : properties.constraints) {
        if (!holds(c.option1, c.choice1) || !holds(c.option2, c.choice2))
            continue;
        const auto pair = qMakePair(label.value(c.option1), label.value(c.option2));
        // Description files state each constraint both ways round.
        if (!conflicts.contains(pair) && !conflicts.contains(qMakePair(pair.second, pair.first)))
            conflicts << pair;
    }
    return conflicts;
}

} // namespace Platform

#pragma GCC diagnostic pop
