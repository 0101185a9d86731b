#include "queue/ColoredTabBar.h"

#include <QComboBox>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <QPainterPath>
#include <QPushButton>

namespace {

const QColor kBarFill(0x12, 0x23, 0x3d);
const QColor kCurrentFill(0x29, 0x4a, 0x73);
const QColor kOtherFill(0x1d, 0x35, 0x57);
constexpr int kIconSize = 28;

int brightness(const QColor &color)
{
    return (11 * color.red() + 16 * color.green() + 5 * color.blue()) / 32;
}

QFont tabFont(int pointSize, bool bold)
{
    QFont font(QStringLiteral("Microsoft YaHei UI"));
    font.setPointSize(pointSize);
    font.setBold(bold);
    return font;
}

void drawIconFrame(QPainter &painter, const QRect &rect)
{
    painter.setPen(QPen(QColor(0x94, 0xa3, 0xb8), 1));
    painter.setBrush(QColor(0xf8, 0xfa, 0xfc));
    painter.drawRoundedRect(QRectF(rect).adjusted(0.5, 0.5, -0.5, -0.5), 7, 7);
    painter.setPen(QPen(QColor(0x24, 0x3b, 0x53), 1.6, Qt::SolidLine, Qt::RoundCap));
    painter.setBrush(Qt::NoBrush);
}

// Three slider lines with their knobs.
void drawEditIcon(QPainter &painter, const QRect &rect)
{
    drawIconFrame(painter, rect);
    const QPointF c = QRectF(rect).center();
    const qreal knobs[] = {-3, 3, -1};
    for (int i = 0; i < 3; ++i) {
        const qreal y = c.y() - 6 + 6 * i;
        painter.drawLine(QPointF(c.x() - 7, y), QPointF(c.x() + 7, y));
        painter.setBrush(QColor(0xf8, 0xfa, 0xfc));
        painter.drawEllipse(QPointF(c.x() + knobs[i] * 2, y), 2.2, 2.2);
        painter.setBrush(Qt::NoBrush);
    }
}

// A waste bin: lid, handle, body and two ribs.
void drawDeleteIcon(QPainter &painter, const QRect &rect)
{
    drawIconFrame(painter, rect);
    const QPointF c = QRectF(rect).center();
    painter.drawLine(QPointF(c.x() - 7, c.y() - 5), QPointF(c.x() + 7, c.y() - 5));
    painter.drawLine(QPointF(c.x() - 2, c.y() - 7.5), QPointF(c.x() + 2, c.y() - 7.5));
    QPainterPath body;
    body.moveTo(c.x() - 5, c.y() - 3);
    body.lineTo(c.x() - 4, c.y() + 7);
    body.lineTo(c.x() + 4, c.y() + 7);
    body.lineTo(c.x() + 5, c.y() - 3);
    painter.drawPath(body);
    painter.drawLine(QPointF(c.x() - 1.5, c.y() - 1), QPointF(c.x() - 1.5, c.y() + 5));
    painter.drawLine(QPointF(c.x() + 1.5, c.y() - 1), QPointF(c.x() + 1.5, c.y() + 5));
}

} // namespace

ColoredTabBar::ColoredTabBar(QWidget *parent)
    : QTabBar(parent)
    , m_printerCombo(new QComboBox(this))
    , m_propertiesButton(new QPushButton(QStringLiteral("⚙  Printer properties"), this))
{
    setObjectName(QStringLiteral("ColoredTabBar"));
    setShape(QTabBar::RoundedWest);
    setExpanding(true);
    setUsesScrollButtons(false);
    setElideMode(Qt::ElideNone);
    setDocumentMode(true);
    setDrawBase(false);
    setCursor(Qt::PointingHandCursor);
    // As wide as the sidebar lets it be; as tall as its tabs.
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);

    m_printerCombo->setObjectName(QStringLiteral("NormalPrinterCombo"));
    m_printerCombo->setToolTip(QStringLiteral("Printer used by the normal queue"));
    m_propertiesButton->setObjectName(QStringLiteral("PrinterPropertiesButton"));
    m_propertiesButton->setToolTip(QStringLiteral("Open the selected printer driver properties"));
}

void ColoredTabBar::setTabColor(int index, const QColor &color)
{
    if (index >= 0 && index < m_colors.size()) {
        m_colors[index] = color;
        update();
    }
}

void ColoredTabBar::setTabDetails(int index, const QString &details)
{
    if (index >= 0 && index < m_details.size()) {
        m_details[index] = details;
        update();
    }
}

void ColoredTabBar::setEditCallback(std::function<void(int)> callback)
{
    m_edit = std::move(callback);
}

void ColoredTabBar::setDeleteCallback(std::function<void(int)> callback)
{
    m_delete = std::move(callback);
}

void ColoredTabBar::tabInserted(int index)
{
    m_colors.insert(index, QColor());
    m_details.insert(index, QString());
    QTabBar::tabInserted(index);
    // The base class tells the layout only while shown; a scroll area
    // holding the bar must learn its height even before.
    updateGeometry();
}

void ColoredTabBar::tabRemoved(int index)
{
    m_colors.removeAt(index);
    m_details.removeAt(index);
    QTabBar::tabRemoved(index);
    updateGeometry();
}

QSize ColoredTabBar::sizeHint() const
{
    return QSize(216, kFirstTabHeight + kTabHeight * std::max(0, count() - 1));
}

QSize ColoredTabBar::minimumSizeHint() const
{
    return QSize(100, sizeHint().height());
}

void ColoredTabBar::wheelEvent(QWheelEvent *event)
{
    // The wheel scrolls the sidebar: a tab that changed under the wheel
    // would send the next dropped files to another preset.
    event->ignore();
}

QSize ColoredTabBar::tabSizeHint(int index) const
{
    return QSize(216, index == 0 ? kFirstTabHeight : kTabHeight);
}

QRect ColoredTabBar::tabArea(int index) const
{
    if (index == 0)
        return QRect(0, 0, width(), 101);
    return QRect(0, 26 + kTabHeight * index, width(), 75);
}

QRect ColoredTabBar::editIconRect(int index) const
{
    return QRect(width() - 66, tabArea(index).top() + 7, kIconSize, kIconSize);
}

QRect ColoredTabBar::deleteIconRect(int index) const
{
    return QRect(width() - 34, tabArea(index).top() + 7, kIconSize, kIconSize);
}

int ColoredTabBar::tabIndexAt(const QPoint &pos) const
{
    if (pos.y() < kFirstTabHeight)
        return count() > 0 ? 0 : -1;
    const int index = (pos.y() - kFirstTabHeight) / kTabHeight + 1;
    return index < count() ? index : -1;
}

void ColoredTabBar::mousePressEvent(QMouseEvent *event)
{
    const int index = event->button() == Qt::LeftButton ? tabIndexAt(event->pos()) : -1;
    if (index < 0) {
        QTabBar::mousePressEvent(event);
        return;
    }
    // The tab becomes current first, so the callbacks act on the clicked tab.
    setCurrentIndex(index);
    if (index > 0 && editIconRect(index).contains(event->pos()) && m_edit)
        m_edit(index);
    else if (index > 0 && deleteIconRect(index).contains(event->pos()) && m_delete)
        m_delete(index);
    event->accept();
}

void ColoredTabBar::resizeEvent(QResizeEvent *event)
{
    QTabBar::resizeEvent(event);
    placeFirstTabWidgets();
}

void ColoredTabBar::placeFirstTabWidgets()
{
    const int width = std::max(80, this->width() - 20);
    m_printerCombo->setGeometry(10, 34, width, 28);
    m_propertiesButton->setGeometry(10, 68, width, 30);
}

void ColoredTabBar::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(rect(), kBarFill);
    for (int index = 0; index < count(); ++index)
        paintTab(painter, index);
}

void ColoredTabBar::paintTab(QPainter &painter, int index) const
{
    const bool current = index == currentIndex();
    const QColor custom = index > 0 ? m_colors.value(index) : QColor();
    QColor fill = current ? kCurrentFill : kOtherFill;
    if (custom.isValid())
        fill = current ? custom.lighter(108) : custom;
    const bool dark = brightness(fill) < 150;

    QPen outline;
    if (current)
        outline = QPen(dark ? QColor(0x9b, 0xc0, 0xff) : fill.darker(145), 2);
    else
        outline = QPen(custom.isValid() ? custom.darker(125) : QColor(0x2d, 0x4a, 0x70), 1);

    const QRect area = tabArea(index);
    const qreal inset = outline.widthF() / 2;
    painter.setPen(outline);
    painter.setBrush(fill);
    painter.drawRoundedRect(QRectF(area).adjusted(inset, inset, -inset, -inset), 7, 7);

    painter.setPen(dark ? QColor(Qt::white) : QColor(0x17, 0x20, 0x33));
    painter.setFont(tabFont(10, current));
    const QRect title = index == 0 ? QRect(14, 0, width() - 24, 31)
                                   : QRect(14, area.top() + 5, width() - 88, 23);
    painter.drawText(title, Qt::AlignLeft | Qt::AlignVCenter,
                     painter.fontMetrics().elidedText(tabText(index), Qt::ElideRight, title.width()));
    if (index == 0)
        return;

    painter.setPen(dark ? QColor(0xc8, 0xd7, 0xea) : QColor(0x34, 0x40, 0x54));
    painter.setFont(tabFont(8, false));
    const QStringList lines = m_details.value(index).split(QLatin1Char('\n'));
    const int lineWidth = width() - 28;
    const QRect lineRects[] = {QRect(14, area.top() + 38, lineWidth, 16),
                               QRect(14, area.top() + 55, lineWidth, 16)};
    for (int i = 0; i < 2 && i < lines.size(); ++i) {
        painter.drawText(lineRects[i], Qt::AlignLeft | Qt::AlignVCenter,
                         painter.fontMetrics().elidedText(lines.at(i), Qt::ElideRight,
                                                          lineWidth));
    }
    drawEditIcon(painter, editIconRect(index));
    drawDeleteIcon(painter, deleteIconRect(index));
}
