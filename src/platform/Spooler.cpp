#include "platform/SpoolerState.h"

#include "platform/LastError.h"
#include "platform/PaperCodes.h"

#include <QRegularExpression>

#include <algorithm>

namespace Platform {

namespace {

bool isFieldKey(const QString &key)
{
    for (const quint32 field : {DM_COPIES, DM_DUPLEX, DM_COLOR, DM_PAPERSIZE, DM_PRINTQUALITY}) {
        if (optionKeysFor(field).contains(key, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

QString optionValue(const OptionList &options, const QString &key)
{
    for (const auto &[name, value] : options) {
        if (name.compare(key, Qt::CaseInsensitive) == 0)
            return value;
    }
    return QString();
}

OptionList destOptions(const cups_dest_t *dest)
{
    OptionList options;
    for (int i = 0; i < dest->num_options; ++i) {
        options << qMakePair(QString::fromUtf8(dest->options[i].name),
                             QString::fromUtf8(dest->options[i].value));
    }
    return options;
}

// Where a setting comes from, strongest first: the user's own options, then
// what the scheduler reports for the destination (its defaults and the
// system-wide options). Returns the key that matched with its value.
struct Setting
{
    QString key;
    QString value;
};

Setting findSetting(const QList<OptionList> &layers, const QStringList &keys)
{
    for (const OptionList &layer : layers) {
        for (const QString &key : keys) {
            const QString value = optionValue(layer, key);
            if (!value.isEmpty())
                return {key, value};
        }
    }
    return {};
}

// "iso_a4_210x297mm", "A4", "Letter", or a list such as "A4,Tray1".
QString pwgMediaFromSetting(const QString &value)
{
    for (const QString &part : value.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QByteArray text = part.trimmed().toUtf8();
        pwg_media_t *media = pwgMediaForPWG(text.constData());
        if (!media)
            media = pwgMediaForLegacy(text.constData());
        if (!media)
            media = pwgMediaForPPD(text.constData());
        if (media && media->pwg)
            return QString::fromUtf8(media->pwg);
    }
    return QString();
}

// Sizes in hundredths of a millimetre; a description file's points are
// rounded, so a little slack.
bool sameSize(const QString &a, const QString &b)
{
    const QByteArray nameA = a.toUtf8();
    const QByteArray nameB = b.toUtf8();
    pwg_media_t *ma = pwgMediaForPWG(nameA.constData());
    if (!ma)
        return false;
    const int widthA = ma->width;
    const int lengthA = ma->length;
    pwg_media_t *mb = pwgMediaForPWG(nameB.constData());
    if (!mb)
        return false;
    const auto near = [](int x, int y) { return std::abs(x - y) <= 100; };
    return (near(widthA, mb->width) && near(lengthA, mb->length))
        || (near(widthA, mb->length) && near(lengthA, mb->width));
}

} // namespace

QString destDefault(PrinterHandle::State *state, const char *key)
{
    ipp_attribute_t *attr = cupsFindDestDefault(state->http, state->dest, state->info, key);
    if (!attr)
        return QString();
    char buffer[256];
    ippAttributeString(attr, buffer, sizeof buffer);
    return QString::fromUtf8(buffer);
}

bool destSupports(PrinterHandle::State *state, const char *key, const char *value)
{
    return cupsCheckDestSupported(state->http, state->dest, state->info, key, value) != 0;
}

// The queue's own default: its media-default (a driver description's
// default page size is reported as one), else the size of its
// media-col-default. (cupsGetDestMediaDefault reads only the destination's
// "media" option, which the scheduler does not always send, and then
// answers Letter.)
QString defaultMedia(PrinterHandle::State *state)
{
    const QString media = pwgMediaFromSetting(destDefault(state, "media"));
    if (!media.isEmpty())
        return media;
    ipp_attribute_t *col = cupsFindDestDefault(state->http, state->dest, state->info, "media-col");
    ipp_t *collection = col ? ippGetCollection(col, 0) : nullptr;
    ipp_attribute_t *size = collection ? ippFindAttribute(collection, "media-size", IPP_TAG_BEGIN_COLLECTION)
                                       : nullptr;
    ipp_t *dimensions = size ? ippGetCollection(size, 0) : nullptr;
    if (!dimensions)
        return QString();
    const int width = ippGetInteger(ippFindAttribute(dimensions, "x-dimension", IPP_TAG_INTEGER), 0);
    const int length = ippGetInteger(ippFindAttribute(dimensions, "y-dimension", IPP_TAG_INTEGER), 0);
    pwg_media_t *pwg = width > 0 && length > 0 ? pwgMediaForSize(width, length) : nullptr;
    return pwg && pwg->pwg ? QString::fromUtf8(pwg->pwg) : QString();
}

bool parseResolution(const QString &text, int *x, int *y)
{
    static const QRegularExpression pattern(QStringLiteral("^(\\d+)(?:x(\\d+))?(dpi|dpcm)$"),
                                            QRegularExpression::CaseInsensitiveOption);
    const auto match = pattern.match(text.trimmed());
    if (!match.hasMatch())
        return false;
    const bool perCm = match.captured(3).compare(QLatin1String("dpcm"), Qt::CaseInsensitive) == 0;
    // Values come from files: keep them in a settings record's range.
    const auto toDpi = [perCm](const QString &digits) {
        const double value = digits.toDouble() * (perCm ? 2.54 : 1.0);
        return int(std::clamp(value, 0.0, 32767.0) + 0.5);
    };
    *x = toDpi(match.captured(1));
    *y = match.captured(2).isEmpty() ? *x : toDpi(match.captured(2));
    return *x > 0 && *y > 0;
}

QList<int> supportedResolutions(PrinterHandle::State *state)
{
    QList<int> result;
    ipp_attribute_t *attr =
        cupsFindDestSupported(state->http, state->dest, state->info, "printer-resolution");
    for (int i = 0; attr && i < ippGetCount(attr); ++i) {
        int y = 0;
        ipp_res_t units = IPP_RES_PER_INCH;
        const int x = ippGetResolution(attr, i, &y, &units);
        result << (units == IPP_RES_PER_CM ? qRound(x * 2.54) : x);
    }
    return result;
}

int maximumCopies(PrinterHandle::State *state)
{
    ipp_attribute_t *attr = cupsFindDestSupported(state->http, state->dest, state->info, "copies");
    int upper = 9999;
    if (attr && ippGetValueTag(attr) == IPP_TAG_RANGE)
        ippGetRange(attr, 0, &upper);
    return std::clamp(upper, 1, 9999);
}

short duplexFromKeyword(const QString &keyword)
{
    const QString v = keyword.toLower();
    if (v == QLatin1String("two-sided-long-edge") || v == QLatin1String("duplexnotumble"))
        return DMDUP_VERTICAL;
    if (v == QLatin1String("two-sided-short-edge") || v == QLatin1String("duplextumble"))
        return DMDUP_HORIZONTAL;
    return DMDUP_SIMPLEX;
}

bool isMonochromeKeyword(const QString &keyword)
{
    static const QStringList monochrome = {"monochrome", "bi-level", "process-monochrome",
                                           "auto-monochrome", "gray", "grey", "grayscale",
                                           "black", "mono", "kgray"};
    return monochrome.contains(keyword.toLower());
}

short colorFromKeyword(PrinterHandle::State *state, const QString &keyword)
{
    if (isMonochromeKeyword(keyword))
        return DMCOLOR_MONOCHROME;
    if (keyword.isEmpty() || keyword.compare(QLatin1String("auto"), Qt::CaseInsensitive) == 0)
        return destSupports(state, "print-color-mode", "color") ? DMCOLOR_COLOR
                                                                : DMCOLOR_MONOCHROME;
    return DMCOLOR_COLOR;
}

int codeForMedia(PrinterHandle::State *state, const QString &pwgName)
{
    for (const PrinterMedia &media : mediaList(state)) {
        if (media.pwgName == pwgName)
            return media.code;
    }
    const short standard = standardPaperCode(pwgName);
    if (standard > 0)
        return standard;
    return assignPaperCodes({pwgName}).constFirst().code;
}

QString listedMediaOfSize(PrinterHandle::State *state, const QString &pwgName)
{
    if (pwgName.isEmpty())
        return QString();
    const QList<PrinterMedia> &media = mediaList(state);
    for (const PrinterMedia &m : media) {
        if (m.pwgName == pwgName)
            return m.pwgName;
    }
    for (const PrinterMedia &m : media) {
        if (sameSize(m.pwgName, pwgName))
            return m.pwgName;
    }
    return QString();
}

const QStringList &optionKeysFor(quint32 field)
{
    static const QStringList copies = {QStringLiteral("copies")};
    static const QStringList duplex = {QStringLiteral("sides"), QStringLiteral("Duplex")};
    static const QStringList color = {QStringLiteral("print-color-mode"),
                                      QStringLiteral("ColorModel")};
    static const QStringList paper = {QStringLiteral("media"), QStringLiteral("PageSize"),
                                      QStringLiteral("PageRegion")};
    static const QStringList resolution = {QStringLiteral("printer-resolution"),
                                           QStringLiteral("Resolution")};
    static const QStringList none;
    switch (field) {
    case DM_COPIES: return copies;
    case DM_DUPLEX: return duplex;
    case DM_COLOR: return color;
    case DM_PAPERSIZE: return paper;
    case DM_PRINTQUALITY: return resolution;
    default: return none;
    }
}

QString mediaForCode(PrinterHandle::State *state, int code)
{
    if (code <= 0 || code > kDevModeShortMax)
        return QString();
    for (const PrinterMedia &media : mediaList(state)) {
        if (media.code == code)
            return media.pwgName;
    }
    return standardPaperMedia(short(code));
}

QString mediaForRecord(PrinterHandle::State *state, const DeviceMode &dm)
{
    const QString media = mediaForCode(state, dm.dmPaperSize);
    if (!media.isEmpty())
        return media;
    if (!dm.dmFormName.isEmpty() && dm.dmPaperSize > 0
        && codeForMedia(state, dm.dmFormName) == dm.dmPaperSize)
        return dm.dmFormName;
    return QString();
}

int documentPropertiesSize(PrinterHandle &printer)
{
    if (!printer.isOpen()) {
        setLastError(ErrorInvalidParameter);
        return -1;
    }
    return ensureDestInfo(printer.state()) ? int(sizeof(DeviceMode)) : -1;
}

int documentPropertiesRead(PrinterHandle &printer, DeviceMode *out)
{
    if (documentPropertiesSize(printer) < 1)
        return -1;
    PrinterHandle::State *state = printer.state();

    LpOptionsSnapshot user;
    const OptionList userOptions =
        readLpOptions(&user) ? lpOptionsFor(user.bytes, state->name) : OptionList();
    const QList<OptionList> layers = {userOptions, destOptions(state->dest)};

    DeviceMode dm;
    dm.dmDeviceName = state->name.left(CCHDEVICENAME - 1);
    dm.dmFields = DM_COPIES | DM_COLOR | DM_DUPLEX | DM_PAPERSIZE;

    Setting copies = findSetting(layers, optionKeysFor(DM_COPIES));
    if (copies.value.isEmpty())
        copies.value = destDefault(state, "copies");
    dm.dmCopies = short(std::clamp(copies.value.toInt(), 1, 9999));

    Setting sides = findSetting(layers, optionKeysFor(DM_DUPLEX));
    if (sides.value.isEmpty())
        sides.value = destDefault(state, "sides");
    dm.dmDuplex = duplexFromKeyword(sides.value);

    Setting color = findSetting(layers, optionKeysFor(DM_COLOR));
    if (color.value.isEmpty())
        color.value = destDefault(state, "print-color-mode");
    dm.dmColor = colorFromKeyword(state, color.value);

    QString media = pwgMediaFromSetting(findSetting(layers, optionKeysFor(DM_PAPERSIZE)).value);
    if (media.isEmpty())
        media = defaultMedia(state);
    if (media.isEmpty())
        media = standardPaperMedia(DMPAPER_A4);
    dm.dmPaperSize = codeForMedia(state, media);
    dm.dmFormName = media;

    Setting resolution = findSetting(layers, optionKeysFor(DM_PRINTQUALITY));
    if (resolution.value.isEmpty())
        resolution.value = destDefault(state, "printer-resolution");
    int x = 0;
    int y = 0;
    if (parseResolution(resolution.value, &x, &y)) {
        dm.dmFields |= DM_PRINTQUALITY | DM_YRESOLUTION;
        dm.dmPrintQuality = std::min(x, kDevModeShortMax);
        dm.dmYResolution = std::min(y, kDevModeShortMax);
    }

    for (const auto &option : userOptions) {
        if (!isFieldKey(option.first))
            dm.options << option;
    }
    *out = dm;
    return IDOK;
}

int documentPropertiesMerge(PrinterHandle &printer, DeviceMode *dm)
{
    if (documentPropertiesSize(printer) < 1)
        return -1;
    PrinterHandle::State *state = printer.state();

    const bool badDuplex = dm->has(DM_DUPLEX)
        && (dm->dmDuplex < DMDUP_SIMPLEX || dm->dmDuplex > DMDUP_HORIZONTAL);
    const bool badColor = dm->has(DM_COLOR) && dm->dmColor != DMCOLOR_MONOCHROME
        && dm->dmColor != DMCOLOR_COLOR;
    const QString paper = dm->has(DM_PAPERSIZE) ? mediaForRecord(state, *dm) : QString();
    const bool badPaper = dm->has(DM_PAPERSIZE) && paper.isEmpty();
    // A 16-bit field cannot hold more; a larger value is not cut down to
    // some other one.
    const bool badResolution = dm->has(DM_PRINTQUALITY)
        && (dm->dmPrintQuality == 0 || dm->dmPrintQuality > kDevModeShortMax
            || dm->dmPrintQuality < -4
            || (dm->has(DM_YRESOLUTION) && dm->dmYResolution > kDevModeShortMax));
    if (badDuplex || badColor || badPaper || badResolution) {
        setLastError(ErrorInvalidParameter);
        return -1;
    }

    if (dm->has(DM_COPIES))
        dm->dmCopies = short(std::clamp(int(dm->dmCopies), 1, maximumCopies(state)));

    if (dm->has(DM_DUPLEX) && dm->dmDuplex != DMDUP_SIMPLEX) {
        const char *sides =
            dm->dmDuplex == DMDUP_VERTICAL ? "two-sided-long-edge" : "two-sided-short-edge";
        if (!destSupports(state, "sides", sides))
            dm->dmDuplex = DMDUP_SIMPLEX;
    }

    if (dm->has(DM_COLOR) && dm->dmColor == DMCOLOR_COLOR
        && !destSupports(state, "print-color-mode", "color"))
        dm->dmColor = DMCOLOR_MONOCHROME;

    // A paper is offered when the printer has one of its size, whatever
    // code it goes by (Ledger is the printer's 11x17). The paper the record
    // was read with is the printer's own and stays; any other falls back to
    // the printer's default.
    const QList<PrinterMedia> &media = mediaList(state);
    const bool ownPaper = paper == dm->dmFormName && mediaForCode(state, dm->dmPaperSize).isEmpty();
    dm->substitutedPaper.clear();
    if (dm->has(DM_PAPERSIZE) && !media.isEmpty() && !ownPaper
        && listedMediaOfSize(state, paper).isEmpty()) {
        dm->substitutedPaper = paper;
        const QString fallback = defaultMedia(state);
        dm->dmPaperSize = fallback.isEmpty() ? media.constFirst().code
                                             : codeForMedia(state, fallback);
        dm->dmFormName = fallback.isEmpty() ? media.constFirst().pwgName : fallback;
    }

    if (dm->has(DM_PRINTQUALITY)) {
        const QList<int> resolutions = supportedResolutions(state);
        // Negative values are the draft-to-high quality levels: the
        // printer's own resolution stands for all of them.
        int wanted = dm->dmPrintQuality;
        if (wanted < 0 && !resolutions.isEmpty())
            wanted = resolutions.constFirst();
        if (!resolutions.isEmpty()) {
            wanted = *std::min_element(resolutions.begin(), resolutions.end(),
                                       [wanted](int a, int b) {
                                           return std::abs(a - wanted) < std::abs(b - wanted);
                                       });
        }
        dm->dmPrintQuality = wanted;
        if (!dm->has(DM_YRESOLUTION) || dm->dmYResolution <= 0 || !resolutions.isEmpty())
            dm->dmYResolution = wanted;
    }
    return IDOK;
}

bool printerMedia(PrinterHandle &printer, QList<PrinterMedia> *media)
{
    media->clear();
    if (documentPropertiesSize(printer) < 1)
        return false;
    *media = mediaList(printer.state());
    return true;
}

int deviceCapabilitiesPapers(const QString &printerName, QList<quint16> *codes)
{
    codes->clear();
    PrinterHandle printer;
    QList<PrinterMedia> media;
    if (!openPrinter(printerName, &printer) || !printerMedia(printer, &media))
        return -1;
    for (const PrinterMedia &m : media)
        codes->append(quint16(m.code));
    return int(codes->size());
}

int deviceCapabilitiesPaperNames(const QString &printerName, QStringList *names)
{
    names->clear();
    PrinterHandle printer;
    QList<PrinterMedia> media;
    if (!openPrinter(printerName, &printer) || !printerMedia(printer, &media))
        return -1;
    // A name slot holds 64 characters.
    for (const PrinterMedia &m : media)
        names->append(m.name.left(64));
    return int(names->size());
}

} // namespace Platform
