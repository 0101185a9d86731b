// The designer's property panel, units and paper.

#include "forms/FormDesignerDialog.h"

#include "forms/DesignerGraphicsView.h"
#include "forms/FormCanvas.h"
#include "forms/FormDesignerUi.h"
#include "forms/FormElementItem.h"
#include "forms/FormScene.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPageSize>
#include <QPrinterInfo>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>

#include <cmath>

using namespace Forms;

double FormDesignerDialog::millimetres(const QDoubleSpinBox *field) const
{
    return m_inches ? field->value() * kMmPerInch : field->value();
}

void FormDesignerDialog::setMillimetres(QDoubleSpinBox *field, double mm)
{
    field->setValue(m_inches ? mm / kMmPerInch : mm);
}

double FormDesignerDialog::paperWidthMm() const
{
    return millimetres(m_ui->paperWidth);
}

double FormDesignerDialog::paperHeightMm() const
{
    return millimetres(m_ui->paperHeight);
}

void FormDesignerDialog::setMeasurementUnit(bool inches)
{
    QList<double> values;
    for (const QDoubleSpinBox *field : m_ui->lengthFields())
        values << millimetres(field);
    m_inches = inches;
    const QList<QDoubleSpinBox *> fields = m_ui->lengthFields();
    for (int i = 0; i < fields.size(); ++i) {
        QDoubleSpinBox *field = fields.at(i);
        const QSignalBlocker blocker(field);
        setLengthFieldUnit(field, inches, field == m_ui->paperWidth || field == m_ui->paperHeight,
                           field == m_ui->offsetX || field == m_ui->offsetY);
        setMillimetres(field, values.at(i));
    }
    // The selection's own lengths, not their rounded old-unit text.
    refreshProperties();
    updatePaperRect();
    if (!m_loading)
        scheduleHistory();
}

void FormDesignerDialog::applyPrinterDefaultPaper()
{
    QSizeF size;
    const QString printer = m_ui->printers->currentText();
    if (!printer.isEmpty())
        size = QPrinterInfo::printerInfo(printer).defaultPageSize().size(QPageSize::Millimeter);
    if (!size.isValid() || size.width() <= 0 || size.height() <= 0) {
        size = QLocale::system().measurementSystem() == QLocale::ImperialUSSystem ? QSizeF(215.9, 279.4)
                                                                                   : QSizeF(210, 297);
    }
    setMillimetres(m_ui->paperWidth, size.width());
    setMillimetres(m_ui->paperHeight, size.height());
}

void FormDesignerDialog::applyPaperPreset()
{
    const QString key = m_ui->paperPreset->currentData().toString();
    if (key == QLatin1String("driver")) {
        applyPrinterDefaultPaper();
        return;
    }
    double width = 0;
    double height = 0;
    if (paperSizeFromKey(key, &width, &height)) {
        setMillimetres(m_ui->paperWidth, width);
        setMillimetres(m_ui->paperHeight, height);
    }
}

void FormDesignerDialog::updatePaperRect()
{
    m_scene->setPaperSize(paperWidthMm(), paperHeightMm());
    m_view->setSceneRect(m_scene->sceneRect().adjusted(-24, -24, 24, 24));
}

void FormDesignerDialog::refreshProperties()
{
    Ui &ui = *m_ui;
    m_panelUpdating = true;
    FormElementItem *element = firstSelected();
    const bool any = element != nullptr;
    for (QWidget *field : std::initializer_list<QWidget *>{ui.content, ui.fieldKey, ui.x, ui.y, ui.width, ui.height,
                                                          ui.fontSize, ui.border, ui.rows, ui.columns, ui.alignment,
                                                          ui.deleteButton})
        field->setEnabled(any);
    if (!element) {
        ui.selectionType->setText(QStringLiteral("No component selected"));
        ui.content->clear();
        ui.fieldKey->clear();
        m_panelUpdating = false;
        return;
    }
    const QString type = element->elementType();
    const QString name = elementDisplayName(type);
    ui.selectionType->setText(name.isEmpty() ? type : name);
    ui.content->setText(element->text());
    ui.fieldKey->setText(element->fieldKey());
    setMillimetres(ui.x, element->pos().x() / kUnitsPerMm);
    setMillimetres(ui.y, element->pos().y() / kUnitsPerMm);
    setMillimetres(ui.width, element->width() / kUnitsPerMm);
    setMillimetres(ui.height, element->height() / kUnitsPerMm);
    ui.fontSize->setValue(element->fontSize());
    ui.border->setValue(element->borderWidth());
    ui.rows->setValue(element->rows());
    ui.columns->setValue(element->columns());
    const int alignment = ui.alignment->findData(element->alignment());
    ui.alignment->setCurrentIndex(alignment >= 0 ? alignment : 0);
    const bool isText = type == QLatin1String("text") || type == QLatin1String("field");
    ui.content->setEnabled(isText);
    ui.fontSize->setEnabled(isText);
    ui.alignment->setEnabled(isText);
    ui.fieldKey->setEnabled(type == QLatin1String("field"));
    ui.rows->setEnabled(type == QLatin1String("table"));
    ui.columns->setEnabled(type == QLatin1String("table"));
    m_panelUpdating = false;
}

void FormDesignerDialog::applyProperties()
{
    FormElementItem *element = firstSelected();
    if (m_panelUpdating || !element)
        return;
    Ui &ui = *m_ui;
    // Setting the position calls back into the panel: keep it from
    // overwriting the fields still to be read.
    m_panelUpdating = true;
    element->setText(ui.content->text());
    element->setFieldKey(ui.fieldKey->text());
    // Only a length the user changed is set: the fields hold lengths rounded
    // to their decimals (and converted to inches), and setting that back
    // would move or resize an element whenever another value changes.
    const auto edited = [this](const QDoubleSpinBox *field, double units) {
        const double shown = m_inches ? units / kUnitsPerMm / kMmPerInch : units / kUnitsPerMm;
        return std::abs(field->value() - shown) >= std::pow(10.0, -field->decimals()) / 2;
    };
    const auto length = [&](const QDoubleSpinBox *field, double current) {
        return edited(field, current) ? millimetres(field) * kUnitsPerMm : current;
    };
    const auto side = [&](const QDoubleSpinBox *field, double current) {
        return edited(field, current) && millimetres(field) <= 3 ? kMinimumSide : length(field, current);
    };
    element->setSize(side(ui.width, element->width()), side(ui.height, element->height()));
    element->setFontSize(ui.fontSize->value());
    element->setBorderWidth(ui.border->value());
    element->setRows(ui.rows->value());
    element->setColumns(ui.columns->value());
    element->setAlignment(ui.alignment->currentData().toString());
    const QPointF position(length(ui.x, element->pos().x()), length(ui.y, element->pos().y()));
    if (position != element->pos())
        element->setPos(position);
    m_panelUpdating = false;
    element->update();
    scheduleHistory();
}
