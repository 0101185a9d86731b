#include "forms/FormPrinting.h"

#include "forms/FormCanvas.h"
#include "forms/FormDesignerDialog.h"
#include "forms/FormDesignerUi.h"
#include "forms/FormElementItem.h"
#include "forms/FormScene.h"

#include <QComboBox>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace Forms {

QString printKey(const FormElementItem *field)
{
    const QString key = field->fieldKey().trimmed();
    return key.isEmpty() ? field->text().trimmed() : key;
}

QMap<QString, QString> fieldRecord(const QList<FormElementItem *> &topmostFirst)
{
    QMap<QString, QString> record;
    for (const FormElementItem *element : topmostFirst) {
        if (element->elementType() != QLatin1String("field"))
            continue;
        const QString key = printKey(element);
        const QString text = element->text().trimmed();
        record.insert(key, text.isEmpty() ? key : text);
    }
    return record;
}

QString printReport(double widthMm, double heightMm, double offsetXMm, double offsetYMm,
                    const QString &formMode, int parts)
{
    const auto mm = [](double value) { return QString::number(value, 'f', 1); };
    QString text = QStringLiteral("The form was submitted at %1 × %2 mm with an offset of %3, %4 mm.\nFor "
                                  "tractor-feed paper, save the same form size in the printer driver.")
                       .arg(mm(widthMm), mm(heightMm), mm(offsetXMm), mm(offsetYMm));
    if (formMode == QLatin1String("ncr-impact"))
        text += QStringLiteral("\nNCR mode: load a %1-part carbonless set. The printer submits one impression per form.")
                    .arg(parts);
    return text;
}

} // namespace Forms

namespace {

// The record for one print: one input per key. False when cancelled.
bool askRecord(QWidget *parent, const QMap<QString, QString> &record, QMap<QString, QString> *values)
{
    QDialog dialog(parent);
    dialog.setWindowTitle(QStringLiteral("Enter one form record"));
    dialog.setMinimumWidth(460);
    auto *layout = new QVBoxLayout(&dialog);
    auto *note = new QLabel(QStringLiteral("Enter one record for this print. For spreadsheet-driven variable data, "
                                           "use Quorvalent VDP."));
    note->setWordWrap(true);
    layout->addWidget(note);
    auto *form = new QFormLayout;
    QMap<QString, QLineEdit *> inputs;
    for (auto it = record.cbegin(); it != record.cend(); ++it) {
        auto *input = new QLineEdit;
        input->setPlaceholderText(it.key());
        // Labels are plain text, whatever a label holds.
        auto *label = new QLabel(it.value());
        label->setTextFormat(Qt::PlainText);
        form->addRow(label, input);
        inputs.insert(it.key(), input);
    }
    layout->addLayout(form);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Continue printing"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Cancel"));
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    for (auto it = inputs.cbegin(); it != inputs.cend(); ++it)
        values->insert(it.key(), it.value()->text());
    return true;
}

void leavePrintMode(FormScene *scene, const QList<FormElementItem *> &elements)
{
    scene->setPrintMode(false);
    for (FormElementItem *element : elements) {
        element->setPrintValue(QString());
        element->setPrintMode(false);
    }
}

} // namespace

void FormDesignerDialog::printForm()
{
    using namespace Forms;
    const QList<FormElementItem *> elements = m_canvas->elements();
    if (elements.isEmpty()) {
        QMessageBox::information(this, QStringLiteral("No content"), QStringLiteral("Add a component to the canvas first."));
        return;
    }
    const QList<FormElementItem *> topmostFirst(elements.crbegin(), elements.crend());
    const QMap<QString, QString> record = fieldRecord(topmostFirst);
    QMap<QString, QString> values;
    if (!record.isEmpty() && !askRecord(this, record, &values))
        return;

    const double width = paperWidthMm();
    const double height = paperHeightMm();
    const double offsetX = millimetres(m_ui->offsetX);
    const double offsetY = millimetres(m_ui->offsetY);
    QPrinter printer(QPrinter::HighResolution);
    // The job carries the template's name in the queue.
    printer.setDocName(m_ui->name->text());
    if (!m_ui->printers->currentText().isEmpty())
        printer.setPrinterName(m_ui->printers->currentText());
    const QPageSize pageSize(QSizeF(width, height), QPageSize::Millimeter, m_ui->name->text(),
                             QPageSize::ExactMatch);
    QPageLayout layout(pageSize, QPageLayout::Portrait, QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
    layout.setMinimumMargins(QMarginsF(0, 0, 0, 0));
    printer.setPageLayout(layout);
    printer.setFullPage(true);

    QPrintDialog printDialog(&printer, this);
    printDialog.setWindowTitle(QStringLiteral("Print form template"));
    if (printDialog.exec() != QDialog::Accepted)
        return;
    const bool accepted = printer.setPageLayout(layout);
    printer.setFullPage(true);
    if (!accepted
        && QMessageBox::warning(this, QStringLiteral("Printer did not accept custom paper"),
                                QStringLiteral("The current printer driver did not accept the template paper size. "
                                               "Continuing may crop the output.\nCreate a paper size with the same "
                                               "dimensions in the printer driver before printing."),
                                QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel)
               != QMessageBox::Ok)
        return;

    const QList<QGraphicsItem *> selected = m_scene->selectedItems();
    m_scene->clearSelection();
    for (FormElementItem *element : elements) {
        if (element->elementType() != QLatin1String("field"))
            continue;
        element->setPrintValue(values.value(printKey(element)));
        element->setPrintMode(true);
    }
    m_scene->setPrintMode(true);

    // The print dialog's job is found by its title and time: a second before
    // allows for the scheduler's clock ticking over.
    const qint64 since = QDateTime::currentSecsSinceEpoch() - 1;
    QPainter painter;
    if (!painter.begin(&printer)) {
        leavePrintMode(m_scene, elements);
        QMessageBox::warning(this, QStringLiteral("Print failed"),
                             QStringLiteral("Unable to create the print job. Check the printer."));
        return;
    }
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    const double dpiX = printer.logicalDpiX();
    const double dpiY = printer.logicalDpiY();
    const QRectF target(offsetX * dpiX / kMmPerInch, offsetY * dpiY / kMmPerInch, width * dpiX / kMmPerInch,
                        height * dpiY / kMmPerInch);
    m_scene->render(&painter, target, m_scene->sceneRect(), Qt::IgnoreAspectRatio);
    // Ending the painting submits the job: a refusal there is no success.
    const bool submitted = painter.end() && printer.printerState() != QPrinter::Error;

    leavePrintMode(m_scene, elements);
    for (QGraphicsItem *item : selected) {
        if (item->scene() == m_scene)
            item->setSelected(true);
    }
    if (!submitted) {
        QMessageBox::warning(this, QStringLiteral("Print failed"),
                             QStringLiteral("Unable to create the print job. Check the printer."));
        return;
    }
    if (printer.outputFormat() == QPrinter::NativeFormat)
        Q_EMIT formSubmitted(printer.printerName(), printer.docName(), since);
    QMessageBox::information(this, QStringLiteral("Print submitted"),
                             printReport(width, height, offsetX, offsetY, m_ui->workflow->currentData().toString(),
                                         m_ui->ncrParts->currentData().toInt()));
}
