#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QPair>
#include <QString>

// The form designer's model without any widget: the form setup, the values
// of one element, the layout JSON they are stored in, and the paper
// presets. Lengths are stored in millimetres; the canvas works in scene
// units of exactly 3 per millimetre.
namespace Forms {

inline constexpr double kUnitsPerMm = 3.0;
inline constexpr double kMmPerInch = 25.4;
// The smallest side of an element: 3 mm.
inline constexpr double kMinimumSide = 9.0;

// Document-level values of a layout.
struct FormSetup
{
    QString formMode = QStringLiteral("standard"); // "standard", "preprinted", "ncr-impact"
    int multipartParts = 2;                        // 2..7
    QString measurementUnit = QStringLiteral("mm"); // "mm" or "in"
    double horizontalOffsetMm = 0;                 // -100..100
    double verticalOffsetMm = 0;

    bool operator==(const FormSetup &) const = default;
};

// The stored values of one element. Geometry in scene units.
struct FormElement
{
    QString type;
    QString text;
    QString fieldKey;
    QString alignment = QStringLiteral("left");
    double x = 0;
    double y = 0;
    double width = kMinimumSide;
    double height = kMinimumSide;
    int fontSize = 10;
    int borderWidth = 1;
    int rows = 4;
    int columns = 4;
    double z = 0;

    bool operator==(const FormElement &) const = default;
};

// "text", "field", "table", "rect", "line" (case-sensitive).
bool isElementType(const QString &type);
QString elementDisplayName(const QString &type);
// A new element of a type: the common defaults, then its type's own.
FormElement defaultElement(const QString &type);

// Every element key, whatever the type.
QJsonObject elementToMap(const FormElement &element);
// Sets an element from a map: missing keys take their defaults, numbers
// are clamped to their ranges. Values no form can hold (not finite, far
// beyond any paper) are brought into range rather than kept.
void applyElementMap(FormElement *element, const QJsonObject &map);

// The layout JSON: compact UTF-8, elements in the order given (bottom-most
// first).
QByteArray layoutJson(const FormSetup &setup, const QList<FormElement> &elements);

struct ParsedLayout
{
    bool isObject = false; // false: not a JSON object; nothing else is set
    FormSetup setup;
    QList<FormElement> elements; // array order; unknown types skipped
};
// Reads a layout as the designer restores it: each setup value that is not
// one the designer offers becomes its first choice, offsets are kept in
// their range, elements of unknown types are skipped.
ParsedLayout parseLayoutJson(const QByteArray &json);

// The choices of the form setup, in the order the designer lists them.
QList<QPair<QString, QString>> formModes();          // key, label
QList<QPair<int, QString>> multipartChoices();       // parts, label

struct PaperPreset
{
    QString key;
    QString label;
};
QList<PaperPreset> paperPresets();
// "215.9x279.4" → width and height in mm; false unless exactly two numbers.
bool paperSizeFromKey(const QString &key, double *widthMm, double *heightMm);
// The first size preset within 0.2 mm on both sides, else "custom".
QString matchingPaperPreset(double widthMm, double heightMm);

} // namespace Forms
