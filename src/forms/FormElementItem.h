#pragma once

#include "forms/FormLayout.h"

#include <QGraphicsItem>

#include <functional>

// One element of a form on the designer's canvas: drawn from its values,
// moved with snapping to the other elements, resized by the handle at its
// lower-right corner, nudged with the arrow keys.
class FormElementItem : public QGraphicsItem
{
public:
    explicit FormElementItem(const QString &type);
    ~FormElementItem() override;

    std::function<void()> geometryChanged;
    std::function<void()> editFinished;

    QString elementType() const { return m_type; }
    QString text() const { return m_text; }
    void setText(const QString &text);
    QString fieldKey() const { return m_fieldKey; }
    void setFieldKey(const QString &key);
    QString alignment() const { return m_alignment; }
    void setAlignment(const QString &alignment);
    double width() const { return m_width; }
    double height() const { return m_height; }
    // Both at least 3 mm.
    void setSize(double width, double height);
    int fontSize() const { return m_fontSize; }
    void setFontSize(int points);
    int borderWidth() const { return m_borderWidth; }
    void setBorderWidth(int pixels);
    int rows() const { return m_rows; }
    void setRows(int rows);
    int columns() const { return m_columns; }
    void setColumns(int columns);
    QString printValue() const { return m_printValue; }
    void setPrintValue(const QString &value);
    bool isPrintMode() const { return m_printMode; }
    void setPrintMode(bool on);

    // The element's values, and setting them (position taken exactly while
    // the element is not on a canvas, else through the move rules).
    Forms::FormElement values() const;
    void setValues(const Forms::FormElement &values);

    // The handle that resizes: 10 × 10 units on the lower-right corner.
    QRectF handleRect() const;

    QRectF boundingRect() const override;
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget) override;

protected:
    void hoverMoveEvent(QGraphicsSceneHoverEvent *event) override;
    void mousePressEvent(QGraphicsSceneMouseEvent *event) override;
    void mouseMoveEvent(QGraphicsSceneMouseEvent *event) override;
    void mouseReleaseEvent(QGraphicsSceneMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    QVariant itemChange(GraphicsItemChange change, const QVariant &value) override;

private:
    bool isLine() const { return m_type == QLatin1String("line"); }
    void paintText(QPainter *painter, const QRectF &box) const;
    void notifyGeometry();

    QString m_type;
    QString m_text;
    QString m_fieldKey;
    QString m_alignment = QStringLiteral("left");
    double m_width = Forms::kMinimumSide;
    double m_height = Forms::kMinimumSide;
    int m_fontSize = 10;
    int m_borderWidth = 1;
    int m_rows = 4;
    int m_columns = 4;
    QString m_printValue;
    bool m_printMode = false;
    bool m_resizing = false;
    QPointF m_pressPoint;
    QSizeF m_startSize;
    bool m_nudging = false; // arrow keys: whole millimetres, no guides
};

// The other elements' guide lines on one axis (topmost element first).
QList<double> snapGuides(const FormElementItem *element, Qt::Orientation axis);

// Through the element map of the layout JSON.
QJsonObject elementToMap(const FormElementItem *element);
void applyElementMap(FormElementItem *element, const QJsonObject &map);
