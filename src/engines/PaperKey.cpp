#include "engines/PaperKey.h"

#include "platform/DeviceMode.h"
#include "platform/PaperCodes.h"

namespace {

struct NamedPaper
{
    const char *name;
    int code;
};

// Checked in this order; anything else is A4.
constexpr NamedPaper kNamedPapers[] = {
    {"Letter", Platform::DMPAPER_LETTER},   {"Legal", Platform::DMPAPER_LEGAL},
    {"Tabloid", Platform::DMPAPER_TABLOID}, {"Ledger", Platform::DMPAPER_LEDGER},
    {"Executive", Platform::DMPAPER_EXECUTIVE}, {"A3", Platform::DMPAPER_A3},
    {"A5", Platform::DMPAPER_A5},           {"B4", Platform::DMPAPER_B4},
    {"B5", Platform::DMPAPER_B5},
};

bool isWinKey(const PaperKey &key)
{
    return key.startsWith(QLatin1String("win:"), Qt::CaseInsensitive);
}

} // namespace

int paperCodeForKey(const PaperKey &key)
{
    if (key.compare(QLatin1String(kDriverDefaultPaper), Qt::CaseInsensitive) == 0)
        return 0;
    if (isWinKey(key)) {
        bool ok = false;
        const int code = key.section(QLatin1Char(':'), 1, 1).toInt(&ok, 10);
        if (ok && code > 0)
            return code;
    }
    const QString name = key.trimmed();
    for (const NamedPaper &paper : kNamedPapers) {
        if (name.compare(QLatin1String(paper.name), Qt::CaseInsensitive) == 0)
            return paper.code;
    }
    return Platform::DMPAPER_A4;
}

void applyPaperKey(Platform::DeviceMode *devMode, const PaperKey &key)
{
    if (!devMode)
        return;
    const int code = paperCodeForKey(key);
    if (code <= 0)
        return;
    devMode->dmPaperSize = code;
    devMode->dmFields |= Platform::DM_PAPERSIZE;
}

QPageSize pageSizeForKey(const PaperKey &key)
{
    switch (paperCodeForKey(key)) {
    case Platform::DMPAPER_LETTER: return QPageSize(QPageSize::Letter);
    case Platform::DMPAPER_LEGAL: return QPageSize(QPageSize::Legal);
    case Platform::DMPAPER_TABLOID: return QPageSize(QPageSize::Tabloid);
    case Platform::DMPAPER_LEDGER: return QPageSize(QPageSize::Ledger);
    case Platform::DMPAPER_EXECUTIVE: return QPageSize(QPageSize::Executive);
    case Platform::DMPAPER_A3: return QPageSize(QPageSize::A3);
    case Platform::DMPAPER_A5: return QPageSize(QPageSize::A5);
    case Platform::DMPAPER_B4: return QPageSize(QPageSize::B4);
    case Platform::DMPAPER_B5: return QPageSize(QPageSize::B5);
    default: return QPageSize(QPageSize::A4);
    }
}

QString paperKeyLabel(const PaperKey &key)
{
    if (key.compare(QLatin1String(kDriverDefaultPaper), Qt::CaseInsensitive) == 0)
        return QStringLiteral("Printer driver default");
    if (isWinKey(key) && key.size() > 4) {
        const qsizetype colon = key.indexOf(QLatin1Char(':'), 4);
        return colon < 0 ? key : key.mid(colon + 1);
    }
    return key;
}

PaperKey makePaperKey(int code, const QString &name)
{
    return QStringLiteral("win:%1:%2").arg(code).arg(name.trimmed());
}
