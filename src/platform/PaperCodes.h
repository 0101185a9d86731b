#pragma once

#include <QList>
#include <QString>

// Windows paper codes (DMPAPER_*) for the printer's media. Standard sizes get
// their DMPAPER number; every other medium gets a code of 256 or more made
// from its name, so the same paper has the same code in every run.
namespace Platform {

inline constexpr short DMPAPER_LETTER = 1;
inline constexpr short DMPAPER_TABLOID = 3;
inline constexpr short DMPAPER_LEDGER = 4;
inline constexpr short DMPAPER_LEGAL = 5;
inline constexpr short DMPAPER_EXECUTIVE = 7;
inline constexpr short DMPAPER_A3 = 8;
inline constexpr short DMPAPER_A4 = 9;
inline constexpr short DMPAPER_A5 = 11;
inline constexpr short DMPAPER_B4 = 12;
inline constexpr short DMPAPER_B5 = 13;
inline constexpr short DMPAPER_USER = 256;

// The DMPAPER number of a PWG media name ("iso_a4_210x297mm"), or 0.
short standardPaperCode(const QString &pwgMedia);
// The PWG media name of a DMPAPER number, or empty.
QString standardPaperMedia(short code);

// A medium's short name as people know it ("A4", "Letter"), else the name
// as given.
QString paperDisplayName(const QString &pwgMedia);

struct PaperCode
{
    short code = 0;
    QString pwgMedia;
};

// Codes for a printer's media list, in its order: standard numbers where
// they exist, stable codes >= 256 for the rest, never two alike in one list.
QList<PaperCode> assignPaperCodes(const QStringList &pwgMedia);

} // namespace Platform
