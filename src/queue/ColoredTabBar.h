#pragma once

#include <QColor>
#include <QTabBar>

#include <functional>

class QComboBox;
class QPushButton;

// The sidebar's tall tabs: the normal queue on top, with its printer combo
// and properties button inside its tab, and one coloured tab per hot folder
// with two detail lines and edit and delete icons.
class ColoredTabBar : public QTabBar
{
    Q_OBJECT

public:
    static constexpr int kFirstTabHeight = 108;
    static constexpr int kTabHeight = 82;

    explicit ColoredTabBar(QWidget *parent = nullptr);

    // Colours and details by tab index; an invalid colour is the default fill.
    void setTabColor(int index, const QColor &color);
    void setTabDetails(int index, const QString &details);
    void setEditCallback(std::function<void(int index)> callback);
    void setDeleteCallback(std::function<void(int index)> callback);

    QComboBox *printerCombo() const { return m_printerCombo; }
    QPushButton *propertiesButton() const { return m_propertiesButton; }

    // The tab under a point of the bar, or -1 past the last tab.
    int tabIndexAt(const QPoint &pos) const;
    QRect tabArea(int index) const;
    QRect editIconRect(int index) const;
    QRect deleteIconRect(int index) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    QSize tabSizeHint(int index) const override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void tabInserted(int index) override;
    void tabRemoved(int index) override;

private:
    void placeFirstTabWidgets();
    void paintTab(QPainter &painter, int index) const;

    QList<QColor> m_colors;
    QStringList m_details;
    std::function<void(int)> m_edit;
    std::function<void(int)> m_delete;
    QComboBox *m_printerCombo;
    QPushButton *m_propertiesButton;
};
