#include "forms/FormLayout.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>
#include <cmath>

namespace Forms {

namespace {

// Far beyond the largest paper (2 m), yet finite: a hostile value cannot
// throw an element out of every reachable place.
constexpr double kFarMm = 100000;

const QStringList &elementTypes()
{
    static const QStringList types = {QStringLiteral("text"), QStringLiteral("field"),
                                      QStringLiteral("table"), QStringLiteral("rect"),
                                      QStringLiteral("line")};
    return types;
}

double number(const QJsonObject &map, const char *key, double fallback)
{
    const double value = map.value(QLatin1String(key)).toDouble(fallback);
    return std::isfinite(value) ? value : fallback;
}

int integer(const QJsonObject &map, const char *key, int fallback, int low, int high)
{
    const double value = number(map, key, fallback);
    return int(std::clamp(std::round(value), double(low), double(high)));
}

double position(const QJsonObject &map, const char *key)
{
    return std::clamp(number(map, key, 0), -kFarMm, kFarMm) * kUnitsPerMm;
}

double side(const QJsonObject &map, const char *key)
{
    const double millimetres = number(map, key, 0);
    return millimetres <= 3 ? kMinimumSide : std::min(millimetres, kFarMm) * kUnitsPerMm;
}

QString text(const QJsonObject &map, const char *key, const QString &fallback = QString())
{
    return map.value(QLatin1String(key)).toString(fallback);
}

} // namespace

bool isElementType(const QString &type)
{
    return elementTypes().contains(type);
}

QString elementDisplayName(const QString &type)
{
    if (type == QLatin1String("text"))
        return QStringLiteral("Static text");
    if (type == QLatin1String("field"))
        return QStringLiteral("Fill-in field");
    if (type == QLatin1String("table"))
        return QStringLiteral("Table");
    if (type == QLatin1String("rect"))
        return QStringLiteral("Rectangle");
    if (type == QLatin1String("line"))
        return QStringLiteral("Line");
    return QString();
}

FormElement defaultElement(const QString &type)
{
    FormElement element;
    element.type = type;
    const auto size = [&element](double widthMm, double heightMm) {
        element.width = widthMm * kUnitsPerMm;
        element.height = heightMm * kUnitsPerMm;
    };
    if (type == QLatin1String("text")) {
        size(45, 8);
        element.text = QStringLiteral("Static text");
        element.borderWidth = 0;
    } else if (type == QLatin1String("field")) {
        size(55, 9);
        element.text = QStringLiteral("Customer name");
        element.fieldKey = QStringLiteral("customer_name");
    } else if (type == QLatin1String("table")) {
        size(120, 45);
    } else if (type == QLatin1String("rect")) {
        size(55, 25);
    } else if (type == QLatin1String("line")) {
        size(70, 3);
    }
    return element;
}

QJsonObject elementToMap(const FormElement &element)
{
    return QJsonObject{
        {QStringLiteral("type"), element.type},
        {QStringLiteral("x_mm"), element.x / kUnitsPerMm},
        {QStringLiteral("y_mm"), element.y / kUnitsPerMm},
        {QStringLiteral("width_mm"), element.width / kUnitsPerMm},
        {QStringLiteral("height_mm"), element.height / kUnitsPerMm},
        {QStringLiteral("text"), element.text},
        {QStringLiteral("field_key"), element.fieldKey},
        {QStringLiteral("font_size"), element.fontSize},
        {QStringLiteral("border_width"), element.borderWidth},
        {QStringLiteral("rows"), element.rows},
        {QStringLiteral("columns"), element.columns},
        {QStringLiteral("alignment"), element.alignment},
        {QStringLiteral("z"), element.z},
    };
}

void applyElementMap(FormElement *element, const QJsonObject &map)
{
    element->x = position(map, "x_mm");
    element->y = position(map, "y_mm");
    element->width = side(map, "width_mm");
    element->height = side(map, "height_mm");
    element->text = text(map, "text");
    element->fieldKey = text(map, "field_key");
    element->fontSize = integer(map, "font_size", 10, 5, 72);
    element->borderWidth = integer(map, "border_width", 1, 0, 8);
    element->rows = integer(map, "rows", 4, 1, 50);
    element->columns = integer(map, "columns", 4, 1, 30);
    element->alignment = text(map, "alignment", QStringLiteral("left"));
    element->z = std::clamp(number(map, "z", 0), -1e9, 1e9);
}

QByteArray layoutJson(const FormSetup &setup, const QList<FormElement> &elements)
{
    QJsonArray array;
    for (const FormElement &element : elements)
        array.append(elementToMap(element));
    const QJsonObject root{
        {QStringLiteral("version"), 2},
        {QStringLiteral("formMode"), setup.formMode},
        {QStringLiteral("multipartParts"), setup.multipartParts},
        {QStringLiteral("measurementUnit"), setup.measurementUnit},
        {QStringLiteral("horizontalOffsetMm"), setup.horizontalOffsetMm},
        {QStringLiteral("verticalOffsetMm"), setup.verticalOffsetMm},
        {QStringLiteral("elements"), array},
    };
    return QJsonDocument(root).toJson(QJsonDocument::Compact);
}

ParsedLayout parseLayoutJson(const QByteArray &json)
{
    ParsedLayout layout;
    const QJsonDocument document = QJsonDocument::fromJson(json);
    if (!document.isObject())
        return layout;
    layout.isObject = true;
    const QJsonObject root = document.object();

    FormSetup &setup = layout.setup;
    setup.measurementUnit = text(root, "measurementUnit") == QLatin1String("in") ? QStringLiteral("in")
                                                                                  : QStringLiteral("mm");
    const QString mode = text(root, "formMode", QStringLiteral("standard"));
    const auto modes = formModes();
    setup.formMode = std::any_of(modes.cbegin(), modes.cend(), [&](const auto &entry) { return entry.first == mode; })
        ? mode
        : modes.first().first;
    const double parts = number(root, "multipartParts", 2);
    setup.multipartParts = parts == std::floor(parts) && parts >= 2 && parts <= 7 ? int(parts) : 2;
    setup.horizontalOffsetMm = std::clamp(number(root, "horizontalOffsetMm", 0), -100.0, 100.0);
    setup.verticalOffsetMm = std::clamp(number(root, "verticalOffsetMm", 0), -100.0, 100.0);

    for (const QJsonValue &entry : root.value(QStringLiteral("elements")).toArray()) {
        const QJsonObject map = entry.toObject();
        const QString type = text(map, "type");
        if (!isElementType(type))
            continue;
        FormElement element = defaultElement(type);
        applyElementMap(&element, map);
        layout.elements.append(element);
    }
    return layout;
}

QList<QPair<QString, QString>> formModes()
{
    return {{QStringLiteral("standard"), QStringLiteral("Standard cut-sheet form")},
            {QStringLiteral("preprinted"), QStringLiteral("Preprinted form overlay")},
            {QStringLiteral("ncr-impact"), QStringLiteral("Multipart NCR (impact printer)")}};
}

QList<QPair<int, QString>> multipartChoices()
{
    QList<QPair<int, QString>> choices;
    for (int parts = 2; parts <= 7; ++parts)
        choices.append({parts, QStringLiteral("%1-part (original + %2)").arg(parts).arg(parts - 1)});
    return choices;
}

QList<PaperPreset> paperPresets()
{
    return {
        {QStringLiteral("driver"), QStringLiteral("Printer default")},
        {QStringLiteral("custom"), QStringLiteral("Custom size")},
        {QStringLiteral("215.9x279.4"), QStringLiteral("US Letter — 8.5 × 11 in")},
        {QStringLiteral("215.9x355.6"), QStringLiteral("US Legal — 8.5 × 14 in")},
        {QStringLiteral("139.7x215.9"), QStringLiteral("Half Letter — 5.5 × 8.5 in")},
        {QStringLiteral("210x297"), QStringLiteral("A4 — 210 × 297 mm")},
        {QStringLiteral("148x210"), QStringLiteral("A5 — 148 × 210 mm")},
        {QStringLiteral("241.3x279.4"), QStringLiteral("Continuous — 9.5 × 11 in")},
        {QStringLiteral("241.3x139.7"), QStringLiteral("Continuous — 9.5 × 5.5 in")},
    };
}

bool paperSizeFromKey(const QString &key, double *widthMm, double *heightMm)
{
    const QStringList parts = key.split(QLatin1Char('x'));
    if (parts.size() != 2)
        return false;
    bool widthOk = false;
    bool heightOk = false;
    const double width = parts.at(0).toDouble(&widthOk);
    const double height = parts.at(1).toDouble(&heightOk);
    if (!widthOk || !heightOk)
        return false;
    *widthMm = width;
    *heightMm = height;
    return true;
}

QString matchingPaperPreset(double widthMm, double heightMm)
{
    for (const PaperPreset &preset : paperPresets()) {
        double width = 0;
        double height = 0;
        if (paperSizeFromKey(preset.key, &width, &height) && std::abs(width - widthMm) < 0.2
            && std::abs(height - heightMm) < 0.2)
            return preset.key;
    }
    return QStringLiteral("custom");
}

} // namespace Forms
