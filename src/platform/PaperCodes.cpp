#include "platform/PaperCodes.h"

#include <QSet>

#include <cups/cups.h>

namespace Platform {

namespace {

struct StandardPaper
{
    short code;
    const char *pwgMedia;
};

// Sizes with a DMPAPER number, by their PWG names. Ledger (4) is Tabloid
// turned sideways: PWG has one name for both, which maps back to Tabloid.
constexpr StandardPaper kStandardPapers[] = {
    {1, "na_letter_8.5x11in"},
    {3, "na_ledger_11x17in"},
    {4, "na_ledger_11x17in"},
    {5, "na_legal_8.5x14in"},
    {6, "na_invoice_5.5x8.5in"},
    {7, "na_executive_7.25x10.5in"},
    {8, "iso_a3_297x420mm"},
    {9, "iso_a4_210x297mm"},
    {11, "iso_a5_148x210mm"},
    {12, "jis_b4_257x364mm"},
    {13, "jis_b5_182x257mm"},
    {14, "na_foolscap_8.5x13in"},
    {19, "na_number-9_3.875x8.875in"},
    {20, "na_number-10_4.125x9.5in"},
    {27, "iso_dl_110x220mm"},
    {28, "iso_c5_162x229mm"},
    {29, "iso_c3_324x458mm"},
    {30, "iso_c4_229x324mm"},
    {31, "iso_c6_114x162mm"},
    {34, "iso_b5_176x250mm"},
    {37, "na_monarch_3.875x7.5in"},
    {66, "iso_a2_420x594mm"},
    {70, "iso_a6_105x148mm"},
};

// FNV-1a: a fixed function of the name, unlike qHash, which is seeded per run.
quint32 stableHash(const QString &text)
{
    quint32 hash = 2166136261u;
    for (const char byte : text.toUtf8()) {
        hash ^= static_cast<quint8>(byte);
        hash *= 16777619u;
    }
    return hash;
}

constexpr int kCustomCodeCount = 32768 - DMPAPER_USER;

} // namespace

short standardPaperCode(const QString &pwgMedia)
{
    for (const StandardPaper &paper : kStandardPapers) {
        if (pwgMedia == QLatin1String(paper.pwgMedia))
            return paper.code;
    }
    return 0;
}

QString standardPaperMedia(short code)
{
    for (const StandardPaper &paper : kStandardPapers) {
        if (paper.code == code)
            return QString::fromLatin1(paper.pwgMedia);
    }
    return QString();
}

QString paperDisplayName(const QString &pwgMedia)
{
    const QByteArray name = pwgMedia.toUtf8();
    pwg_media_t *media = pwgMediaForPWG(name.constData());
    return media && media->ppd ? QString::fromUtf8(media->ppd) : pwgMedia;
}

QList<PaperCode> assignPaperCodes(const QStringList &pwgMedia)
{
    QList<PaperCode> result;
    QSet<short> used;
    for (const QString &media : pwgMedia) {
        short code = standardPaperCode(media);
        if (code == 0 || used.contains(code)) {
            int offset = static_cast<int>(stableHash(media) % kCustomCodeCount);
            // Two names with the same hash in one list: take the next free code.
            while (used.contains(static_cast<short>(DMPAPER_USER + offset)))
                offset = (offset + 1) % kCustomCodeCount;
            code = static_cast<short>(DMPAPER_USER + offset);
        }
        used.insert(code);
        result << PaperCode{code, media};
    }
    return result;
}

} // namespace Platform
