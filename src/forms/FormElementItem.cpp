#include "forms/FormElementItem.h"

#include "forms/FormSnapping.h"

#include <QCursor>
#include <QGraphicsScene>
#include <QGraphicsSceneHoverEvent>
#include <QGraphicsSceneMouseEvent>
#include <QKeyEvent>
#include <QPaintDevice>
#include <QPainter>

#include <algorithm>

using namespace Forms;

namespace {

const QColor kInk(QStringLiteral("#344054"));
const QColor kSelection(QStringLiteral("#2563eb"));
constexpr double kMargin = 7;

} // namespace

FormElementItem::FormElementItem(const QString &type)
    : m_type(type)
{
    setFlags(ItemIsMovable | ItemIsSelectable | ItemIsFocusable | ItemSendsGeometryChanges);
    setAcceptHoverEvents(true);
    setValues(defaultElement(type));
}

FormElementItem::~FormElementItem() = default;

void FormElementItem::setText(const QString &text)
{
    m_text = text;
    update();
}

void FormElementItem::setFieldKey(const QString &key)
{
    m_fieldKey = key;
    update();
}

void FormElementItem::setAlignment(const QString &alignment)
{
    m_alignment = alignment;
    update();
}

void FormElementItem::setSize(double width, double height)
{
    prepareGeometryChange();
    m_width = std::max(width, kMinimumSide);
    m_height = std::max(height, kMinimumSide);
    update();
}

void FormElementItem::setFontSize(int points)
{
    m_fontSize = std::clamp(points, 5, 72);
    update();
}

void FormElementItem::setBorderWidth(int pixels)
{
    m_borderWidth = std::clamp(pixels, 0, 8);
    update();
}

void FormElementItem::setRows(int rows)
{
    m_rows = std::clamp(rows, 1, 50);
    update();
}

void FormElementItem::setColumns(int columns)
{
    m_columns = std::clamp(columns, 1, 30);
    update();
}

void FormElementItem::setPrintValue(const QString &value)
{
    m_printValue = value;
    update();
}

void FormElementItem::setPrintMode(bool on)
{
    m_printMode = on;
    update();
}

FormElement FormElementItem::values() const
{
    FormElement element;
    element.type = m_type;
    element.text = m_text;
    element.fieldKey = m_fieldKey;
    element.alignment = m_alignment;
    element.x = pos().x();
    element.y = pos().y();
    element.width = m_width;
    element.height = m_height;
    element.fontSize = m_fontSize;
    element.borderWidth = m_borderWidth;
    element.rows = m_rows;
    element.columns = m_columns;
    element.z = zValue();
    return element;
}

void FormElementItem::setValues(const FormElement &values)
{
    m_text = values.text;
    m_fieldKey = values.fieldKey;
    m_alignment = values.alignment;
    setSize(values.width, values.height);
    setFontSize(values.fontSize);
    setBorderWidth(values.borderWidth);
    setRows(values.rows);
    setColumns(values.columns);
    setPos(values.x, values.y);
    setZValue(values.z);
}

QRectF FormElementItem::handleRect() const
{
    return QRectF(m_width - 5, m_height - 5, 10, 10);
}

QRectF FormElementItem::boundingRect() const
{
    return QRectF(-kMargin, -kMargin, m_width + 2 * kMargin, m_height + 2 * kMargin);
}

void FormElementItem::paint(QPainter *painter, const QStyleOptionGraphicsItem *, QWidget *)
{
    const QRectF box(0, 0, m_width, m_height);
    painter->setRenderHint(QPainter::Antialiasing);
    const QPen ink(kInk, std::max(m_borderWidth, 1));
    if (m_type == QLatin1String("table")) {
        painter->setPen(ink);
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(box);
        for (int i = 1; i < m_rows; ++i)
            painter->drawLine(QPointF(0, i * m_height / m_rows), QPointF(m_width, i * m_height / m_rows));
        for (int j = 1; j < m_columns; ++j)
            painter->drawLine(QPointF(j * m_width / m_columns, 0), QPointF(j * m_width / m_columns, m_height));
    } else if (m_type == QLatin1String("line")) {
        painter->setPen(ink);
        painter->drawLine(QPointF(0, m_height / 2), QPointF(m_width, m_height / 2));
    } else if (m_type == QLatin1String("rect")) {
        painter->setPen(ink);
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(box);
    } else {
        paintText(painter, box);
    }

    if (isSelected()) {
        QPen outline(kSelection, 1.3, Qt::DashLine);
        painter->setPen(outline);
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(box);
        painter->setPen(QPen(Qt::white, 1));
        painter->setBrush(kSelection);
        painter->drawRect(handleRect());
    }
}

void FormElementItem::paintText(QPainter *painter, const QRectF &box) const
{
    const bool isField = m_type == QLatin1String("field");
    if (isField && !m_printMode) {
        QColor tint(QStringLiteral("#eff6ff"));
        tint.setAlpha(180);
        painter->fillRect(box, tint);
    }
    if (m_borderWidth > 0) {
        painter->setPen(QPen(isField ? QColor(QStringLiteral("#60a5fa")) : kInk, m_borderWidth));
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(box);
    }
    // Points on the paper: a scene unit is 1/3 mm whatever the device, so
    // the size is given in scene units (1 pt = 25.4/72 mm), not in the
    // device's points, which a printer at 1200 dpi would make fifteen
    // times too large and a screen a third too large.
    QFont font(QStringLiteral("Segoe UI"));
    const double sceneUnits = std::clamp(m_fontSize, 5, 72) * kMmPerInch / 72 * kUnitsPerMm;
    const double dpi = painter->device() ? painter->device()->logicalDpiY() : 96;
    font.setPointSizeF(sceneUnits * 72 / dpi);
    painter->setFont(font);
    painter->setPen(QColor(QStringLiteral("#172033")));
    int flags = Qt::AlignVCenter | Qt::TextWordWrap;
    if (m_alignment == QLatin1String("center"))
        flags |= Qt::AlignHCenter;
    else if (m_alignment == QLatin1String("right"))
        flags |= Qt::AlignRight;
    else
        flags |= Qt::AlignLeft;
    QString shown = m_text;
    if (isField)
        shown = m_printMode ? m_printValue
                            : QStringLiteral("{{%1}}").arg(m_text.isEmpty() ? m_fieldKey : m_text);
    // Plain text: markup in a label is shown as typed, never rendered.
    painter->drawText(box.adjusted(3, 1, -3, -1), flags, shown);
}

void FormElementItem::notifyGeometry()
{
    if (geometryChanged)
        geometryChanged();
}

void FormElementItem::hoverMoveEvent(QGraphicsSceneHoverEvent *event)
{
    setCursor(handleRect().contains(event->pos()) ? Qt::SizeFDiagCursor : Qt::OpenHandCursor);
    QGraphicsItem::hoverMoveEvent(event);
}

void FormElementItem::mousePressEvent(QGraphicsSceneMouseEvent *event)
{
    m_resizing = handleRect().contains(event->pos());
    m_pressPoint = event->scenePos();
    m_startSize = QSizeF(m_width, m_height);
    setCursor(m_resizing ? Qt::SizeFDiagCursor : Qt::ClosedHandCursor);
    QGraphicsItem::mousePressEvent(event);
}

void FormElementItem::mouseMoveEvent(QGraphicsSceneMouseEvent *event)
{
    if (!m_resizing) {
        QGraphicsItem::mouseMoveEvent(event);
        return;
    }
    const QSizeF paper = scene() ? scene()->sceneRect().size() : QSizeF(1e9, 1e9);
    const QSizeF size = snapResize(pos(), m_startSize, event->scenePos() - m_pressPoint, isLine(),
                                   snapGuides(this, Qt::Horizontal), snapGuides(this, Qt::Vertical), paper);
    setSize(size.width(), size.height());
    notifyGeometry();
    event->accept();
}

void FormElementItem::mouseReleaseEvent(QGraphicsSceneMouseEvent *event)
{
    m_resizing = false;
    setCursor(Qt::OpenHandCursor);
    notifyGeometry();
    QGraphicsItem::mouseReleaseEvent(event);
    if (editFinished)
        editFinished();
}

void FormElementItem::keyPressEvent(QKeyEvent *event)
{
    QPointF step;
    switch (event->key()) {
    case Qt::Key_Left: step = QPointF(-1, 0); break;
    case Qt::Key_Right: step = QPointF(1, 0); break;
    case Qt::Key_Up: step = QPointF(0, -1); break;
    case Qt::Key_Down: step = QPointF(0, 1); break;
    default: QGraphicsItem::keyPressEvent(event); return;
    }
    // One millimetre, ten with Shift, for every selected element; guides
    // would pull a small step straight back.
    step *= kUnitsPerMm * (event->modifiers() & Qt::ShiftModifier ? 10 : 1);
    const QList<QGraphicsItem *> moved = scene() ? scene()->selectedItems() : QList<QGraphicsItem *>{this};
    for (QGraphicsItem *item : moved) {
        if (auto *element = dynamic_cast<FormElementItem *>(item)) {
            element->m_nudging = true;
            element->setPos(element->pos() + step);
            element->m_nudging = false;
        }
    }
    event->accept();
    if (editFinished)
        editFinished();
}

QVariant FormElementItem::itemChange(GraphicsItemChange change, const QVariant &value)
{
    if (change == ItemPositionChange && scene()) {
        const QList<double> none;
        return snapPosition(value.toPointF(), QSizeF(m_width, m_height), isLine(),
                            m_nudging ? none : snapGuides(this, Qt::Horizontal),
                            m_nudging ? none : snapGuides(this, Qt::Vertical), scene()->sceneRect().size());
    }
    if (change == ItemPositionHasChanged)
        notifyGeometry();
    return QGraphicsItem::itemChange(change, value);
}

QList<double> snapGuides(const FormElementItem *element, Qt::Orientation axis)
{
    QList<double> guides;
    if (!element->scene())
        return guides;
    for (QGraphicsItem *item : element->scene()->items()) {
        const auto *other = dynamic_cast<const FormElementItem *>(item);
        if (!other || other == element)
            continue;
        const QPointF at = other->pos();
        if (axis == Qt::Horizontal) {
            guides << at.x() << at.x() + other->width() << at.x() + other->width() / 2;
            if (other->elementType() == QLatin1String("table")) {
                for (int j = 1; j < other->columns(); ++j)
                    guides << at.x() + j * other->width() / other->columns();
            }
        } else {
            guides << at.y() << at.y() + other->height() << at.y() + other->height() / 2;
            if (other->elementType() == QLatin1String("table")) {
                for (int i = 1; i < other->rows(); ++i)
                    guides << at.y() + i * other->height() / other->rows();
            } else if (other->elementType() == QLatin1String("line")) {
                guides << at.y() + other->height() / 2;
            }
        }
    }
    return guides;
}

QJsonObject elementToMap(const FormElementItem *element)
{
    return Forms::elementToMap(element->values());
}

void applyElementMap(FormElementItem *element, const QJsonObject &map)
{
    FormElement values = element->values();
    Forms::applyElementMap(&values, map);
    element->setValues(values);
}
